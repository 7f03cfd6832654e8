#pragma once

#include <QAbstractListModel>
#include <QString>
#include <string>

#include "wizard/result_list.h"

namespace quorvel::ui {

// A view's model of one of the run's two lists (field differences or
// added/deleted records), with or without a check box on every row.  The
// rows are the run's typed differences; a row's text is rendered when the
// view paints it.  The list announces appended rows in batches, so a
// million rows go in without a million view updates.
class DifferenceListModel : public QAbstractListModel, private wizard::ResultList::Observer {
    Q_OBJECT
  public:
    DifferenceListModel(QString header, bool checkable, wizard::ResultList& list,
                        QObject* parent = nullptr);
    ~DifferenceListModel() override;

    // The list's rows, shown and pending alike.
    int count() const { return list_.count(); }
    std::string text(int row) const { return list_.text(row); }
    bool checked(int row) const { return list_.checked(row); }
    bool checkable() const { return checkable_; }
    wizard::ResultList& list() { return list_; }

  signals:
    // Every row's tick changed at once.  Announced alone, not by
    // dataChanged() over every row: a tree view walks each row of such a
    // range, which at a million rows is a visible pause.  Views of this
    // model repaint on it; the ticks are read anew when rows are painted.
    void allChecksChanged();

  public:
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    void rowsCleared() override;
    void rowsAppended(int count) override;
    void tickChanged(int row) override;
    void allTicksChanged() override;

    QString header_;
    bool checkable_;
    wizard::ResultList& list_;
    int shown_ = 0;  // rows the views have been told about
};

}  // namespace quorvel::ui
