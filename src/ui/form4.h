#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "ui/difference_list_model.h"
#include "ui/window_setup.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace quorvel::ui {

class Wizard;

// The new-table window: the lines of the last run with a check box each,
// the new table's name, and "Create", which runs the merge.
class Form4 : public QWidget {
    Q_OBJECT
  public:
    explicit Form4(Wizard& wizard);
    ~Form4() override;

    DifferenceListModel& fieldList() { return *fields_; }  // ListView1
    DifferenceListModel& addedList() { return *added_; }   // ListView2

    // Set by the table-choice window after a run with differences.
    void setNewTableName(const std::string& name);
    void setCaptionText(const std::string& text);

    void load();               // Form_Load
    void Form_Activate();      // every line of both lists checked
    void PushButton1_Click();  // Select All, field differences
    void PushButton4_Click();  // Unselect All, field differences
    void PushButton5_Click();  // Select All, added/deleted
    void PushButton6_Click();  // Unselect All, added/deleted
    void PushButton2_Click();  // "< Back"
    void PushButton3_Click();  // "Create": the merge
    bool merging() const { return merging_; }

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void setAll(DifferenceListModel& list, bool checked, const char* location);
    void watchActiveWindow();

    Wizard& wizard_;
    std::unique_ptr<WindowDialogs> dialogs_;
    DifferenceListModel* fields_;
    DifferenceListModel* added_;
    bool merging_ = false;
    // True while this window is the last of the program's windows to have
    // been active: message boxes in between do not count.
    bool lastActive_ = false;
    StretchLayout stretch_;

    QGroupBox* Frame3 = nullptr;
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
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
};

}  // namespace quorvel::ui
