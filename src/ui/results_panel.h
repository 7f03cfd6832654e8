#pragma once

#include <QList>
#include <QWidget>

#include "wizard/detail_model.h"

class QBoxLayout;
class QCheckBox;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableView;
class QTreeView;

namespace quorvel::ui {

class DetailPane;
class DifferenceListModel;
class FilterBar;
class GroupedListModel;

// The middle of the results and new-table windows: the two lists
// (ListView1, ListView2), each under its filter bar, the grouped view of the
// field differences in ListView1's place when asked for, and the detail pane
// of the selected line below them, all in one splitter; above them the two
// toggles (details, grouped) and "Previous difference" / "Next difference".
// Keys: F8 and Shift+F8 walk the lines, F6 and Shift+F6 go between the
// lists and the pane, Ctrl+F to the search box of the list in use.
class ResultsPanel : public QWidget {
    Q_OBJECT
  public:
    ResultsPanel(QWidget* parent, DifferenceListModel* fields, DifferenceListModel* added,
                 wizard::DetailModel& detail);

    QTreeView* list(int n) const { return n == 1 ? list1_ : list2_; }
    QTableView* groupedView() const { return grouped_; }
    GroupedListModel* groupedModel() const { return groupedModel_; }
    FilterBar* filterBar(int n) const { return n == 1 ? bar1_ : bar2_; }
    DetailPane* detailPane() const { return pane_; }
    QCheckBox* detailToggle() const { return detailToggle_; }
    QCheckBox* groupToggle() const { return groupToggle_; }
    QSplitter* splitter() const { return splitter_; }

    // A row of controls under list n (the new-table window's Select All
    // buttons), and a widget above the first list (the shift hint).
    void addUnderList(int n, QWidget* row);
    void addAboveLists(QWidget* widget);

    // The controls the window's hover rule needs: buttons and the rest.
    QList<QWidget*> handControls() const;
    QList<QWidget*> plainControls() const;

    // Shows the pane as the store remembers it; each time the window shows.
    void restore();
    // F8 / Shift+F8.
    void step(bool forward);
    // F6 / Shift+F6.
    void focusNextArea(bool forward);
    // Ctrl+F.
    void focusSearch();

  private:
    void selected(int list, int viewRow);
    void showDetail();
    void setGrouped(bool grouped);
    int currentRow(int list) const;
    QWidget* firstList() const;

    DifferenceListModel* fields_;
    DifferenceListModel* added_;
    wizard::DetailModel& detail_;
    GroupedListModel* groupedModel_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QBoxLayout* pane1_ = nullptr;
    QBoxLayout* pane2_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QTreeView* list1_ = nullptr;
    QTreeView* list2_ = nullptr;
    QTableView* grouped_ = nullptr;
    FilterBar* bar1_ = nullptr;
    FilterBar* bar2_ = nullptr;
    DetailPane* pane_ = nullptr;
    QCheckBox* detailToggle_ = nullptr;
    QCheckBox* groupToggle_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QList<QWidget*> extraButtons_;
    int activeList_ = 0;  // 0 the field differences, 1 the added/deleted records
    // The line the pane shows: list and list row, -1 for none.
    int detailList_ = -1;
    int detailRow_ = -1;
    bool detailStale_ = false;  // selected while the pane was hidden
};

}  // namespace quorvel::ui
