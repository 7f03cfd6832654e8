#pragma once

#include <QDialog>

#include "wizard/options_model.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quorvel::ui {

// The Options dialog of the table-choice window: the fields of Table #1 to
// compare, the text rules, the tolerance and the structure differences of
// an OptionsModel.  Shows the model's choices; writeBack() puts the
// controls' state into it.
class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    OptionsDialog(wizard::OptionsModel& model, QWidget* parent);

    void writeBack();

    // Shows the dialog modal; on OK writes back and returns true.
    static bool edit(wizard::OptionsModel& model, QWidget* parent);

  private:
    wizard::OptionsModel& model_;
    QListWidget* List1 = nullptr;  // the fields, each with a check box
    QCheckBox* Check1 = nullptr;   // trailing blanks
    QCheckBox* Check2 = nullptr;   // case
    QLineEdit* Text1 = nullptr;    // tolerance
    QCheckBox* Check3 = nullptr;   // structure
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
};

}  // namespace quorvel::ui
