#include "ui/line_delegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

#include "ui/difference_list_model.h"

namespace quorvel::ui {

QString LineDelegate::tooltipText(const QString& line) {
    if (line.size() <= kLineTooltipLimit) return line;
    return line.left(kLineTooltipLimit) +
           QStringLiteral(
               "\u2026\n(%1 characters in all: the record details show the whole "
               "value)")
               .arg(line.size());
}

bool LineDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                             const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString line = index.data(Qt::DisplayRole).toString();
    // The width the text has in its cell: the cell less what sizeHint adds
    // beside the text (check box, margins).
    const int room = option.rect.width() -
                     (sizeHint(item, index).width() - item.fontMetrics.horizontalAdvance(line));
    if (item.fontMetrics.horizontalAdvance(line) <= room)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    // The line itself, not the one row it is shown as.
    const QVariant whole = index.data(kLineTextRole);
    QString text = tooltipText(whole.isValid() ? whole.toString() : line);
    const QString note = index.data(Qt::ToolTipRole).toString();
    if (!note.isEmpty()) text += QLatin1Char('\n') + note;
    QToolTip::showText(event->globalPos(), text, view);
    return true;
}

}  // namespace quorvel::ui
