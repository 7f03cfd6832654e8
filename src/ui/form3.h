#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "ui/difference_list_model.h"
#include "ui/difference_list_view.h"
#include "ui/window_setup.h"
#include "wizard/detail_model.h"
#include "wizard/results_model.h"

class QFrame;
class QLabel;
class QPushButton;
class QTreeView;

namespace quorvel::ui {

class ElidedLabel;
class ResultsPanel;
class Wizard;

// The results window: its layout, wired to its ResultsModel (the two lists
// of the last run, the text report, the way on to the new-table window),
// with what the run was (tables, sources, pairing, options), the lists'
// filters and the detail pane of the selected line beside them.
class Form3 : public QWidget {
    Q_OBJECT
  public:
    explicit Form3(Wizard& wizard);
    ~Form3() override;

    wizard::ResultsModel& model() { return model_; }
    wizard::DetailModel& detail() { return detail_; }
    DifferenceListModel& fieldList() { return *fields_; }  // ListView1
    DifferenceListModel& addedList() { return *added_; }   // ListView2
    ResultsPanel& panel() { return *panel_; }

    void load();  // Form_Load

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void showShiftHint(const wizard::ShiftHint& hint);

    Wizard& wizard_;
    std::unique_ptr<WindowDialogs> dialogs_;
    wizard::ResultsModel model_;
    wizard::DetailModel detail_;
    DifferenceListModel* fields_;
    DifferenceListModel* added_;
    StretchLayout stretch_;

    QPushButton* PushButton2 = nullptr;
    ElidedLabel* Label3 = nullptr;  // the tables and their sources
    QLabel* Label1 = nullptr;       // how the records were paired
    ElidedLabel* Label4 = nullptr;  // the options in force
    QLabel* Label2 = nullptr;       // the structure differences, when asked for
    ResultsPanel* panel_ = nullptr;
    QTreeView* ListView1 = nullptr;
    QTreeView* ListView2 = nullptr;
    QFrame* Hint = nullptr;  // the records look shifted: run again?
    QLabel* HintText = nullptr;
    std::vector<QPushButton*> hintButtons_;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton3 = nullptr;
};

}  // namespace quorvel::ui
