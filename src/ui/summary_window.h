#pragma once

#include <QWidget>
#include <memory>

#include "ui/window_setup.h"
#include "wizard/summary_model.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace quorvel::ui {

class ElidedLabel;
class SummaryTableModel;
class Wizard;

// The summary window of a whole-source comparison: one row per table,
// wired to its SummaryModel; a row opens the results window for its pair.
class SummaryWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SummaryWindow(Wizard& wizard);
    ~SummaryWindow() override;

    wizard::SummaryModel& model() { return model_; }
    void load();  // Form_Load

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showSortIndicator();

    Wizard& wizard_;
    std::unique_ptr<WindowDialogs> dialogs_;
    wizard::SummaryModel model_;
    SummaryTableModel* rows_ = nullptr;
    StretchLayout stretch_;

    QPushButton* PushButton2 = nullptr;  // "< Back"
    ElidedLabel* Label1 = nullptr;       // the two sources
    QTreeView* ListView1 = nullptr;      // the tables
    QLabel* Label2 = nullptr;            // the outcome in one line
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* PushButton4 = nullptr;  // "Save Summary Report"
    QPushButton* PushButton6 = nullptr;  // "Create Merged Copy..."
    QPushButton* PushButton5 = nullptr;  // "Stop", while the run goes on
};

}  // namespace quorvel::ui
