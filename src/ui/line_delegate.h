#pragma once

#include <QStyledItemDelegate>

namespace quorvel::ui {

// Draws the difference lines as the default delegate does; a line cut by
// the column's width shows its whole text in its tooltip (a very long one
// its first kLineTooltipLimit characters: the detail pane shows the
// rest), other lines the model's or the list's own tooltip.
class LineDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int kLineTooltipLimit = 2000;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The text a tooltip shows of a line: whole, or cut with a note.
    static QString tooltipText(const QString& line);
};

}  // namespace quorvel::ui
