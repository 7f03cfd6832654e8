#pragma once

#include <QWidget>

#include "wizard/line_filter.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace quorvel::ui {

class DifferenceListModel;

// The filter above one of the two lists: the kinds of line it shows, the
// field (field differences only: each field with its count), a search box
// and the count of the lines shown; with ticks, "Tick shown" and "Untick
// shown", which act on the shown lines only.  Names its controls after
// the list (prefix "ListView1" gives "ListView1Search", ...).
class FilterBar : public QWidget {
    Q_OBJECT
  public:
    FilterBar(DifferenceListModel& model, bool fieldList, const QString& prefix,
              QWidget* parent = nullptr);

    QLineEdit* searchBox() const { return search_; }
    QLabel* countLabel() const { return count_; }
    QList<QWidget*> buttons() const;

    // Applies what the controls say now (the search box waits a moment
    // after typing, so that a million lines are not filtered per key).
    void apply();

  private:
    void refreshFields();
    void refreshCount();

    DifferenceListModel& model_;
    bool fieldList_;
    QComboBox* kinds_ = nullptr;
    QComboBox* fields_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* tick_ = nullptr;
    QPushButton* untick_ = nullptr;
    QTimer* typing_ = nullptr;
    int fieldsTotal_ = -1;  // the list's total when the field choice was filled
};

}  // namespace quorvel::ui
