#pragma once

#include <QRect>

class QTreeView;
class QWidget;

namespace quorvel::ui {

class DifferenceListModel;

// The tooltip of the four difference lists.
inline constexpr const char* kListTooltip =
    "Double-click item to remove it. Move | line to right and out of window to reveal full names.";

// A report-style list of one column over a DifferenceListModel, as the
// results window and the new-table window show them.  The column is 6500
// twips wide when it is made and then follows the list's width (a user may
// still drag it wider); a line the column cuts shows its whole text in its
// tooltip.
QTreeView* addDifferenceList(QWidget* parent, const char* name, DifferenceListModel* model,
                             const QRect& rect);

}  // namespace quorvel::ui
