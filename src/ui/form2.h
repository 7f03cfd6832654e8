#pragma once

#include <QWidget>
#include <memory>

#include "data/string_list.h"
#include "ui/window_setup.h"
#include "wizard/table_choice_model.h"

class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace quorvel::ui {

class ElidedLabel;
class Wizard;

// The table-choice window: its layout, wired to its TableChoiceModel, which
// picks Table #1 and Table #2 and runs the comparison.
class Form2 : public QWidget {
    Q_OBJECT
  public:
    explicit Form2(Wizard& wizard);
    ~Form2() override;

    wizard::TableChoiceModel& model() { return *model_; }
    // The table list of source n (List1 / List2); the start window fills it.
    data::StringList& tableList(int source) { return model_->tableList(source); }

    void load();  // Form_Load

    // ProgressBar1: the value (0..100) and the text the run sets.
    void setProgress(int value, const std::string& text);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void connectModel();
    void mirror(data::StringList& list, QListWidget* view);

    Wizard& wizard_;
    std::unique_ptr<WindowDialogs> dialogs_;
    std::unique_ptr<wizard::TableChoiceModel> model_;
    StretchLayout stretch_;

    QPushButton* PushButton2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QListWidget* List1 = nullptr;
    QListWidget* List2 = nullptr;
    ElidedLabel* Label4 = nullptr;  // the source of List1's tables
    ElidedLabel* Label5 = nullptr;  // the source of List2's tables
    QGroupBox* Frame2 = nullptr;    // "Pair records by:"
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option4 = nullptr;
    QListWidget* List3 = nullptr;        // the key fields, each with a check box
    ElidedLabel* Label6 = nullptr;       // which key the table's own key is
    QPushButton* PushButton4 = nullptr;  // "Options…"
    QPushButton* PushButton5 = nullptr;  // "Compare All Tables"
    QPushButton* PushButton3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};

}  // namespace quorvel::ui
