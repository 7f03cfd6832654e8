#include "ui/conflict_table_model.h"

#include <QFont>

#include "ui/window_setup.h"

namespace quorvel::ui {

ConflictTableModel::ConflictTableModel(wizard::Merge3Model& merge, QObject* parent)
    : QAbstractTableModel(parent), merge_(merge) {}

bool ConflictTableModel::refresh() {
    if (merge_.resultIdentity() == shown_) {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        return false;
    }
    beginResetModel();
    shown_ = merge_.resultIdentity();
    endResetModel();
    return true;
}

int ConflictTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(merge_.conflictCount());
}

int ConflictTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : wizard::Merge3Model::ColumnCount;
}

QVariant ConflictTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole:
            return qs(merge_.cell(index.row(), index.column()));
        case Qt::FontRole:
            // The conflicts still open stand out.
            return arialFont(kTextPointSize, !merge_.kept(index.row()));
        default:
            return {};
    }
}

QVariant ConflictTableModel::headerData(int section, Qt::Orientation orientation,
                                        int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return QString::fromLatin1(wizard::Merge3Model::columnTitle(section));
}

}  // namespace quorvel::ui
