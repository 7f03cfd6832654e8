#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "ui/window_setup.h"
#include "wizard/merge3_model.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTreeView;

namespace quorvel::ui {

class ConflictTableModel;
class Wizard;

// The three-way merge window: base, ours and theirs, the pairing, Run, the
// conflicts with the side kept in each, and Write; wired to its Merge3Model.
class Merge3Window : public QWidget {
    Q_OBJECT
  public:
    explicit Merge3Window(Wizard& wizard);
    ~Merge3Window() override;

    wizard::Merge3Model& model() { return model_; }
    void load();  // Form_Load

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void connectModel();
    void showProgress(const std::string& what, std::int64_t done, std::int64_t total);
    void endProgress();
    std::vector<int> selectedRows() const;

    Wizard& wizard_;
    std::unique_ptr<WindowDialogs> dialogs_;
    wizard::Merge3Model model_;
    ConflictTableModel* conflicts_ = nullptr;
    StretchLayout stretch_;

    QPushButton* PushButton1 = nullptr;  // "< Back"
    QGroupBox* Frame1 = nullptr;         // the tables
    QLabel* Labels[4] = {};              // Base:, Ours:, Theirs:, Merged table:
    QLineEdit* Boxes[4] = {};            // Text1..Text4
    QPushButton* Browse[4] = {};         // "..." of each box
    QGroupBox* Frame2 = nullptr;         // "Pair records by:"
    QRadioButton* Option1 = nullptr;     // Table's own key (automatic)
    QRadioButton* Option2 = nullptr;     // Content
    QRadioButton* Option3 = nullptr;     // Key fields
    QLineEdit* Text5 = nullptr;          // the key fields
    QPushButton* PushButton6 = nullptr;  // "Options..."
    QPushButton* PushButton7 = nullptr;  // "Run"
    QProgressBar* ProgressBar1 = nullptr;  // in Run's place while Run or Write works
    QPushButton* PushButton14 = nullptr;   // "Stop", beside it
    QScrollArea* Outcome = nullptr;        // holds Label5, which notes may make long
    QLabel* Label5 = nullptr;              // what the run found
    QGroupBox* Frame3 = nullptr;         // "Conflicts"
    QTreeView* ListView1 = nullptr;
    QPushButton* PushButton8 = nullptr;   // Keep Ours
    QPushButton* PushButton9 = nullptr;   // Keep Theirs
    QPushButton* PushButton10 = nullptr;  // Keep Base
    QPushButton* PushButton11 = nullptr;  // All Ours
    QPushButton* PushButton12 = nullptr;  // All Theirs
    QPushButton* PushButton15 = nullptr;  // "Type Value...", for the one selected conflict
    QPushButton* PushButton13 = nullptr;  // "Write"
};

}  // namespace quorvel::ui
