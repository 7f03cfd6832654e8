#pragma once

#include <QAbstractListModel>
#include <QString>
#include <memory>
#include <string>

#include "wizard/line_filter.h"
#include "wizard/result_list.h"

namespace quorvel::ui {

// The whole text of a line, where DisplayRole shows it on one row: its line
// ends as "↵", at most kDisplayLimit characters.
inline constexpr int kLineTextRole = Qt::UserRole + 1;
inline constexpr int kDisplayLimit = 4000;
QString displayedLine(const QString& line);

// A view's model of one of the run's two lists (field differences or
// added/deleted records), with or without a check box on every row.  The
// rows are the run's typed differences that the model's filter lets
// through (all of them until a filter bar sets criteria); a row's text is
// rendered when the view paints it.  The list announces appended rows in
// batches, so a million rows go in without a million view updates.
class DifferenceListModel : public QAbstractListModel, private wizard::LineFilter::Observer {
    Q_OBJECT
  public:
    DifferenceListModel(QString header, bool checkable, wizard::ResultList& list,
                        QObject* parent = nullptr);
    ~DifferenceListModel() override;

    // The list's rows, shown and pending alike, whatever the filter shows.
    int count() const { return list_.count(); }
    std::string text(int row) const { return list_.text(row); }
    bool checked(int row) const { return list_.checked(row); }
    bool checkable() const { return checkable_; }
    wizard::ResultList& list() { return list_; }

    // What the view shows of the list, and the list row of a view row.
    wizard::LineFilter& filter() { return *filter_; }
    int listRow(int viewRow) const { return filter_->listRow(viewRow); }

  signals:
    // Every row's tick changed at once.  Announced alone, not by
    // dataChanged() over every row: a tree view walks each row of such a
    // range, which at a million rows is a visible pause.  Views of this
    // model repaint on it; the ticks are read anew when rows are painted.
    void allChecksChanged();
    // The filter shows other rows, or the list has more or fewer.
    void countChanged();

  public:
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    void rowsReset() override;
    void rowsAppended(int count) override;
    void tickChanged(int shown) override;
    void allTicksChanged() override;

    QString header_;
    bool checkable_;
    wizard::ResultList& list_;
    std::unique_ptr<wizard::LineFilter> filter_;
    int shown_ = 0;  // rows the views have been told about
};

}  // namespace quorvel::ui
