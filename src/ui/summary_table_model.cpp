#include "ui/summary_table_model.h"

#include <QFont>

#include "ui/window_setup.h"

namespace quorvel::ui {

SummaryTableModel::SummaryTableModel(wizard::SummaryModel& summary, QObject* parent)
    : QAbstractTableModel(parent), summary_(summary) {}

void SummaryTableModel::refresh() {
    beginResetModel();
    endResetModel();
}

int SummaryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(summary_.rowCount());
}

int SummaryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : wizard::SummaryModel::ColumnCount;
}

QVariant SummaryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole:
            return qs(summary_.cell(index.row(), column));
        case Qt::TextAlignmentRole:
            if (column >= wizard::SummaryModel::Changed && column <= wizard::SummaryModel::Deleted)
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        case Qt::FontRole:
            // The tables that differ stand out.
            return arialFont(kTextPointSize, summary_.table(index.row()).differs());
        default:
            return {};
    }
}

QVariant SummaryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return QString::fromLatin1(wizard::SummaryModel::columnTitle(section));
}

}  // namespace quorvel::ui
