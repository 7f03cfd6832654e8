#include "ui/grouped_list_model.h"

#include <QColor>
#include <QTimer>

#include "ui/difference_list_model.h"
#include "ui/line_delegate.h"
#include "ui/window_setup.h"

namespace quorvel::ui {

namespace {

// A cell shows this much of each value; its tooltip and the detail pane more.
constexpr int kCellLimit = 200;

QString cut(std::string_view text) {
    QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    value.replace(QLatin1Char('\r'), QString()).replace(QLatin1Char('\n'), QChar(0x21B5));
    return value.size() > kCellLimit ? value.left(kCellLimit) + QChar(0x2026) : value;
}

QString arrow(const compare::Difference& d, bool whole) {
    const auto side = [whole](std::string_view text, bool null) {
        if (null) return QStringLiteral(".NULL.");
        return whole ? QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                     : cut(text);
    };
    return side(d.value1, d.null1) + QStringLiteral(" \u2192 ") + side(d.value2, d.null2);
}

}  // namespace

GroupedListModel::GroupedListModel(DifferenceListModel& lines, QObject* parent)
    : QAbstractTableModel(parent), lines_(lines), groups_(lines.filter()) {
    // Other lines shown (a new filter, a cleared list): the groups at once,
    // since their rows may be gone.  Lines appended leave the groups made
    // valid: they are grouped once the batches are in.
    connect(&lines_, &QAbstractItemModel::modelReset, this, [this] {
        if (active_) rebuild();
    });
    connect(&lines_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (active_) QTimer::singleShot(0, this, &GroupedListModel::rebuild);
    });
    // A tick changed in the flat list changes its pair's box.
    const auto ticks = [this] {
        if (active_ && rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    };
    connect(&lines_, &DifferenceListModel::allChecksChanged, this, ticks);
    connect(&lines_, &QAbstractItemModel::dataChanged, this, ticks);
}

void GroupedListModel::setActive(bool active) {
    beginResetModel();
    active_ = active;
    if (active) groups_.rebuild();
    endResetModel();
}

void GroupedListModel::rebuild() {
    beginResetModel();
    groups_.rebuild();
    endResetModel();
}

int GroupedListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !active_ ? 0 : groups_.groupCount();
}

int GroupedListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1 + groups_.columnCount();
}

int GroupedListModel::listRow(const QModelIndex& index) const {
    if (!active_ || !index.isValid() || index.row() >= groups_.groupCount()) return -1;
    if (index.column() > 0) {
        const int row = groups_.cellRow(index.row(), index.column() - 1);
        if (row >= 0) return row;
    }
    return groups_.rows(index.row()).front();
}

QModelIndex GroupedListModel::indexOfListRow(int listRow) const {
    const int group = groups_.groupOf(listRow);
    if (group < 0) return {};
    const int field = lines_.list().difference(listRow).field;
    for (int c = 0; c < groups_.columnCount(); ++c)
        if (groups_.columnField(c) == field) return index(group, c + 1);
    return index(group, 0);
}

QVariant GroupedListModel::data(const QModelIndex& index, int role) const {
    if (!active_ || !index.isValid() || index.row() >= groups_.groupCount()) return {};
    const int group = index.row();
    if (index.column() == 0) {
        switch (role) {
            case Qt::DisplayRole: {
                const auto r1 = groups_.record1(group), r2 = groups_.record2(group);
                return r1 == r2 ? QString::number(r1) : QStringLiteral("%1 / %2").arg(r1).arg(r2);
            }
            case Qt::CheckStateRole:
                if (!lines_.checkable()) return {};
                switch (groups_.tickState(group)) {
                    case 0:
                        return Qt::Unchecked;
                    case 1:
                        return Qt::PartiallyChecked;
                    default:
                        return Qt::Checked;
                }
            case Qt::ToolTipRole:
                return QStringLiteral("Record %1 of Table #1 and record %2 of Table #2")
                    .arg(groups_.record1(group))
                    .arg(groups_.record2(group));
            default:
                return {};
        }
    }
    const int row = groups_.cellRow(group, index.column() - 1);
    if (row < 0) return {};
    switch (role) {
        case Qt::DisplayRole:
            return arrow(lines_.list().difference(row), false);
        case Qt::ToolTipRole:
            return LineDelegate::tooltipText(arrow(lines_.list().difference(row), true));
        case Qt::BackgroundRole:
            // The arrow itself says "changed"; the colour only helps to see it.
            return QColor(255, 242, 192);
        default:
            return {};
    }
}

bool GroupedListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!lines_.checkable() || role != Qt::CheckStateRole || !index.isValid() ||
        index.column() != 0 || index.row() >= groups_.groupCount())
        return false;
    // A partly ticked pair goes to all ticked on a click.
    groups_.setGroupChecked(index.row(), value.toInt() != Qt::Unchecked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags GroupedListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0 && lines_.checkable()) result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant GroupedListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == 0) return QStringLiteral("Records");
    if (section - 1 < groups_.columnCount()) return qs(groups_.columnName(section - 1));
    return {};
}

}  // namespace quorvel::ui
