#include "ui/difference_list_model.h"

namespace quorvel::ui {

QString displayedLine(const QString& line) {
    QString shown = line.left(kDisplayLimit + 1);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\u21B5"))
        .replace(QLatin1Char('\n'), QChar(0x21B5))
        .replace(QLatin1Char('\r'), QChar(0x21B5));
    if (line.size() > kDisplayLimit) shown = shown.left(kDisplayLimit) + QChar(0x2026);
    return shown;
}

DifferenceListModel::DifferenceListModel(QString header, bool checkable, wizard::ResultList& list,
                                         QObject* parent)
    : QAbstractListModel(parent),
      header_(std::move(header)),
      checkable_(checkable),
      list_(list),
      filter_(std::make_unique<wizard::LineFilter>(list)) {
    shown_ = filter_->count();
    filter_->addObserver(this);
}

DifferenceListModel::~DifferenceListModel() {
    filter_->removeObserver(this);
}

void DifferenceListModel::rowsReset() {
    beginResetModel();
    shown_ = filter_->count();
    endResetModel();
    emit countChanged();
}

void DifferenceListModel::rowsAppended(int count) {
    if (count <= shown_) return;
    beginInsertRows({}, shown_, count - 1);
    shown_ = count;
    endInsertRows();
    emit countChanged();
}

void DifferenceListModel::tickChanged(int shown) {
    if (!checkable_ || shown >= shown_) return;
    const QModelIndex changed = index(shown);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

void DifferenceListModel::allTicksChanged() {
    if (checkable_) emit allChecksChanged();
}

int DifferenceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

QVariant DifferenceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_ || index.row() >= filter_->count()) return {};
    const int row = filter_->listRow(index.row());
    switch (role) {
        case Qt::DisplayRole:
            // One row per line, however many line ends its values hold.
            return displayedLine(QString::fromStdString(list_.text(row)));
        case kLineTextRole:
            return QString::fromStdString(list_.text(row));
        case Qt::CheckStateRole:
            if (!checkable_) return {};
            return list_.checked(row) ? Qt::Checked : Qt::Unchecked;
        case Qt::ToolTipRole: {
            // A pair of records at different places: the line gives Table
            // #1's number, the tooltip Table #2's.  Other rows show the
            // list's own tooltip.
            const compare::Difference d = list_.difference(row);
            if (d.kind != compare::DifferenceKind::Changed || d.record1 == d.record2) return {};
            return QStringLiteral("Record %1 in Table #2").arg(d.record2);
        }
        default:
            return {};
    }
}

bool DifferenceListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkable_ || role != Qt::CheckStateRole || !index.isValid() || index.row() >= shown_ ||
        index.row() >= filter_->count()) {
        return false;
    }
    list_.setChecked(filter_->listRow(index.row()), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags DifferenceListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // The texts are not editable: they are the differences' own lines.
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (checkable_) result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant DifferenceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole) return header_;
    return {};
}

}  // namespace quorvel::ui
