#pragma once

#include <QDialog>

#include "wizard/start_window_model.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel::ui {

// The options window of one source: Form5 for source 1, Form6 for source 2
// (the objectName and the error locations follow the source).  Made for
// one opening, modal over the start window.
class Form5 : public QDialog {
    Q_OBJECT
  public:
    Form5(wizard::StartWindowModel& start, int source, QWidget* owner);
    ~Form5() override;

    wizard::OptionsWindowModel& model() { return model_; }
    // Form_Load: the stored container path into Text1.
    void load();

  private:
    wizard::OptionsWindowModel model_;

    QGroupBox* Frame2 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
};

}  // namespace quorvel::ui
