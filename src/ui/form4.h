#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "ui/difference_list_model.h"
#include "ui/window_setup.h"
#include "wizard/detail_model.h"
#include "wizard/new_table_model.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace quorvel::ui {

class ResultsPanel;
class Wizard;

// The new-table window: its layout, wired to its NewTableModel (the lines
// of the last run with a check box each, the new table's name, and
// "Create", which runs the merge).  Which activation counts as the window
// becoming active is decided here, with the toolkit's events.
class Form4 : public QWidget {
    Q_OBJECT
  public:
    explicit Form4(Wizard& wizard);
    ~Form4() override;

    wizard::NewTableModel& model() { return model_; }
    DifferenceListModel& fieldList() { return *fields_; }  // ListView1
    DifferenceListModel& addedList() { return *added_; }   // ListView2
    wizard::DetailModel& detail() { return detail_; }
    ResultsPanel& panel() { return *panel_; }

    void load();  // Form_Load

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void connectModel();
    void watchActiveWindow();
    void showMergeProgress(std::int64_t done, std::int64_t total);
    void endMergeProgress();

    Wizard& wizard_;
    std::unique_ptr<WindowDialogs> dialogs_;
    wizard::NewTableModel model_;
    wizard::DetailModel detail_;
    DifferenceListModel* fields_;
    DifferenceListModel* added_;
    // True while this window is the last of the program's windows to have
    // been active: message boxes in between do not count.
    bool lastActive_ = false;
    StretchLayout stretch_;

    QGroupBox* Frame3 = nullptr;
    ResultsPanel* panel_ = nullptr;
    QTreeView* ListView1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QTreeView* ListView2 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* PushButton8 = nullptr;  // "Three-Way Merge..."
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    // Shown in Label1's place while "Create" runs.
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* PushButton7 = nullptr;  // "Stop"
};

}  // namespace quorvel::ui
