#include "ui/difference_list_model.h"

#include <algorithm>

namespace quorvel::ui {

DifferenceListModel::DifferenceListModel(QString header, bool checkable, QObject* parent)
    : QAbstractListModel(parent), header_(std::move(header)), checkable_(checkable) {}

void DifferenceListModel::appendLine(std::string line) {
    lines_.push_back(std::move(line));
    checks_.push_back(1);
}

void DifferenceListModel::flush() {
    const int total = count();
    if (total == shown_) return;
    beginInsertRows({}, shown_, total - 1);
    shown_ = total;
    endInsertRows();
}

void DifferenceListModel::clear() {
    beginResetModel();
    lines_.clear();
    lines_.shrink_to_fit();
    checks_.clear();
    checks_.shrink_to_fit();
    shown_ = 0;
    endResetModel();
}

void DifferenceListModel::setChecked(int index, bool checked) {
    if (index < 0 || index >= count()) return;
    checks_[static_cast<size_t>(index)] = checked ? 1 : 0;
    if (index < shown_) {
        const QModelIndex changed = this->index(index);
        emit dataChanged(changed, changed, {Qt::CheckStateRole});
    }
}

void DifferenceListModel::setAllChecked(bool checked) {
    std::fill(checks_.begin(), checks_.end(), checked ? 1 : 0);
    emit allChecksChanged();
}

int DifferenceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

QVariant DifferenceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_) return {};
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(text(index.row()));
        case Qt::CheckStateRole:
            if (!checkable_) return {};
            return checked(index.row()) ? Qt::Checked : Qt::Unchecked;
        default:
            return {};
    }
}

bool DifferenceListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkable_ || role != Qt::CheckStateRole || !index.isValid() || index.row() >= shown_) {
        return false;
    }
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags DifferenceListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // The texts are not editable: the report and the merge read exactly
    // the lines the comparison wrote.
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (checkable_) result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant DifferenceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole) return header_;
    return {};
}

}  // namespace quorvel::ui
