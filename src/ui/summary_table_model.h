#pragma once

#include <QAbstractTableModel>

#include "wizard/summary_model.h"

namespace quorvel::ui {

// The summary window's table: a view of the SummaryModel's rows.  The
// summary sorts them itself (a header click asks it), so that the row a
// view shows is the row the summary opens.
class SummaryTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    SummaryTableModel(wizard::SummaryModel& summary, QObject* parent = nullptr);

    // The summary's rows changed: the views read them anew.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    wizard::SummaryModel& summary_;
};

}  // namespace quorvel::ui
