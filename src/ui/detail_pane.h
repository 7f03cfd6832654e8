#pragma once

#include <QWidget>

#include "wizard/detail_model.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QTextBrowser;

namespace quorvel::ui {

// The detail pane under the lists: the two records of the selected line,
// one row per field (its mark as a symbol and a colour, its two values),
// and below them the whole value of the chosen field: a line diff with
// "n lines changed" above it and "Whole texts" a click away, both values
// with their changed words, or a hex view.  A thin view of a DetailModel.
class DetailPane : public QWidget {
    Q_OBJECT
  public:
    DetailPane(wizard::DetailModel& model, QWidget* parent = nullptr);

    // Shows what the model holds now.
    void refresh();

    QTableWidget* fieldTable() const { return fields_; }
    QTextBrowser* valueView() const { return value_; }
    QLabel* summaryLabel() const { return summary_; }
    QPushButton* wholeButton() const { return whole_; }

  private:
    void showFields();
    void showValue();

    wizard::DetailModel& model_;
    QLabel* heading_ = nullptr;
    QLabel* note_ = nullptr;
    QTableWidget* fields_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* whole_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QTextBrowser* value_ = nullptr;
    QPlainTextEdit* whole1_ = nullptr;
    QPlainTextEdit* whole2_ = nullptr;
};

}  // namespace quorvel::ui
