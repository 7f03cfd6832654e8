#pragma once

#include <QAbstractTableModel>

#include "wizard/grouped_lines.h"

namespace quorvel::ui {

class DifferenceListModel;

// The grouped view's model: one row per record pair of the field
// differences that a list model's filter shows, its changed fields as
// columns ("old → new"), the first column the pair's record numbers with,
// in the new-table window, one check box for all of the pair's lines.
// Groups anew only while a view shows it (active).
class GroupedListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    GroupedListModel(DifferenceListModel& lines, QObject* parent = nullptr);

    void setActive(bool active);
    wizard::GroupedLines& groups() { return groups_; }
    // The list row a cell stands for: its change, or the pair's first line.
    int listRow(const QModelIndex& index) const;
    // The cell of a list row, invalid when no group holds it.
    QModelIndex indexOfListRow(int listRow) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    void rebuild();

    DifferenceListModel& lines_;
    wizard::GroupedLines groups_;
    bool active_ = false;
};

}  // namespace quorvel::ui
