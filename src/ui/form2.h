#pragma once

#include <QWidget>
#include <memory>

#include "data/string_list.h"
#include "ui/window_setup.h"

class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace quorvel::ui {

class Wizard;

// The table-choice window: Table #1 and Table #2 are picked here and
// "Next >" runs the comparison, then hands its lines to the results window
// and the new-table window.
class Form2 : public QWidget {
    Q_OBJECT
  public:
    explicit Form2(Wizard& wizard);
    ~Form2() override;

    // The table list of source n (List1 / List2); the start window fills it.
    data::StringList& tableList(int source) { return source == 1 ? tables1_ : tables2_; }

    void load();               // Form_Load
    void PushButton2_Click();  // "< Back"
    void PushButton3_Click();  // "Next >": the comparison run
    bool running() const { return running_; }

    // ProgressBar1: the value (0..100) and the text the run sets.
    void setProgress(int value, const std::string& text);

    // Step 7 of the run: every non-empty line into the matching list of
    // Form4, then of Form3, letting pending events run about every 20 ms.
    void fillResultLists(const std::vector<std::string>& lines);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void mirror(data::StringList& list, QListWidget* view);

    Wizard& wizard_;
    std::unique_ptr<WindowDialogs> dialogs_;
    data::StringList tables1_;
    data::StringList tables2_;
    bool running_ = false;
    StretchLayout stretch_;

    QPushButton* PushButton2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QListWidget* List1 = nullptr;
    QListWidget* List2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};

// The progress bar's resting text.
inline constexpr const char* kProgressBarText = "Progress Bar";

}  // namespace quorvel::ui
