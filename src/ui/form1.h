#pragma once

#include <QWidget>
#include <memory>

#include "ui/window_setup.h"
#include "wizard/start_window_model.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel::ui {

class Wizard;

// The start window: both sources are chosen, tested and saved here.  The
// logic, and the two source descriptors, live in its StartWindowModel; the
// window shows it and forwards its events.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(Wizard& wizard);
    ~Form1() override;

    wizard::StartWindowModel& model() { return *model_; }

    // Form_Load: the start-up sequence.
    void load();
    // True once "Next >" has moved on to the table choice (also during
    // start-up, when both saved sources are valid).
    bool movedOn() const { return movedOn_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void build();
    void connectHandlers();
    void showOptions(int source);
    QComboBox* codePageBox(int source) const;

    Wizard& wizard_;
    std::unique_ptr<WindowDialogs> dialogs_;
    std::unique_ptr<wizard::StartWindowModel> model_;
    bool movedOn_ = false;
    std::unique_ptr<StretchLayout> stretch_;

    QPushButton* PushButton4 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton12 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* Combo1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton9 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QLabel* Label4 = nullptr;
    // Source 2 as a database or CSV file: its URI and the file chooser.
    QLineEdit* Text3 = nullptr;
    QPushButton* PushButton10 = nullptr;
    QComboBox* Combo2 = nullptr;
    QPushButton* PushButton2 = nullptr;
};

}  // namespace quorvel::ui
