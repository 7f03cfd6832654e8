#pragma once

#include <QWidget>
#include <memory>

#include "ui/difference_list_model.h"
#include "ui/window_setup.h"
#include "wizard/results_model.h"

class QLabel;
class QPushButton;
class QTreeView;

namespace quorvel::ui {

class Wizard;

// The tooltip of the four difference lists.
inline constexpr const char* kListTooltip =
    "Double-click item to remove it. Move | line to right and out of window to reveal full names.";

// A report-style list of one column over a DifferenceListModel, as the
// results window and the new-table window show them.
QTreeView* addDifferenceList(QWidget* parent, const char* name, DifferenceListModel* model,
                             const QRect& rect);

// The results window: its layout, wired to its ResultsModel (the two lists
// of the last run, the text report, the way on to the new-table window).
class Form3 : public QWidget {
    Q_OBJECT
  public:
    explicit Form3(Wizard& wizard);
    ~Form3() override;

    wizard::ResultsModel& model() { return model_; }
    DifferenceListModel& fieldList() { return *fields_; }  // ListView1
    DifferenceListModel& addedList() { return *added_; }   // ListView2

    void load();  // Form_Load

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    Wizard& wizard_;
    std::unique_ptr<WindowDialogs> dialogs_;
    wizard::ResultsModel model_;
    DifferenceListModel* fields_;
    DifferenceListModel* added_;
    StretchLayout stretch_;

    QPushButton* PushButton2 = nullptr;
    QLabel* Label1 = nullptr;  // how the records were paired
    QLabel* Label2 = nullptr;  // the structure differences, when asked for
    QTreeView* ListView1 = nullptr;
    QTreeView* ListView2 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton3 = nullptr;
};

}  // namespace quorvel::ui
