#include "ui/filter_bar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "ui/difference_list_model.h"
#include "ui/window_setup.h"

namespace quorvel::ui {

namespace {

constexpr int kTypingPauseMs = 250;

// The kinds of the two lists, as the kind choice offers them.
enum KindChoice { kAllKinds, kFirstKind, kSecondKind };

}  // namespace

FilterBar::FilterBar(DifferenceListModel& model, bool fieldList, const QString& prefix,
                     QWidget* parent)
    : QWidget(parent), model_(model), fieldList_(fieldList) {
    setObjectName(prefix + QStringLiteral("Filter"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    const QFont font = arialFont(kTextPointSize, false);

    kinds_ = new QComboBox(this);
    kinds_->setObjectName(prefix + QStringLiteral("Kind"));
    kinds_->setAccessibleName(QStringLiteral("Kind of line"));
    kinds_->setToolTip(QStringLiteral("Show lines of one kind"));
    kinds_->setFont(font);
    kinds_->addItem(QStringLiteral("All kinds"));
    kinds_->addItem(fieldList ? QStringLiteral("Changed") : QStringLiteral("Added"));
    kinds_->addItem(fieldList ? QStringLiteral("Missing field") : QStringLiteral("Deleted"));
    row->addWidget(kinds_);

    if (fieldList) {
        fields_ = new QComboBox(this);
        fields_->setObjectName(prefix + QStringLiteral("Field"));
        fields_->setAccessibleName(QStringLiteral("Field"));
        fields_->setToolTip(QStringLiteral("Show the lines of one field"));
        fields_->setFont(font);
        fields_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        fields_->addItem(QStringLiteral("All fields"), -1);
        row->addWidget(fields_);
    }

    search_ = new QLineEdit(this);
    search_->setObjectName(prefix + QStringLiteral("Search"));
    search_->setAccessibleName(QStringLiteral("Search"));
    search_->setPlaceholderText(QStringLiteral("Search record numbers, field names and values"));
    search_->setToolTip(QStringLiteral(
        "A number finds that record (\"record 12\" only the record); other text finds field "
        "names and values (Ctrl+F)"));
    search_->setClearButtonEnabled(true);
    search_->setFont(font);
    row->addWidget(search_, 1);

    count_ = new QLabel(this);
    count_->setObjectName(prefix + QStringLiteral("Count"));
    count_->setFont(arialFont(kTextPointSize, true));
    row->addWidget(count_);

    if (model.checkable()) {
        tick_ = new QPushButton(QStringLiteral("Tick shown"), this);
        tick_->setObjectName(prefix + QStringLiteral("TickShown"));
        untick_ = new QPushButton(QStringLiteral("Untick shown"), this);
        untick_->setObjectName(prefix + QStringLiteral("UntickShown"));
        for (QPushButton* button : {tick_, untick_}) {
            button->setAccessibleName(button->text());
            button->setToolTip(QStringLiteral("Acts on the lines the filter shows, no others"));
            button->setAutoDefault(false);
            button->setFont(font);
            row->addWidget(button);
        }
        connect(tick_, &QPushButton::clicked, this,
                [this] { model_.filter().setShownChecked(true); });
        connect(untick_, &QPushButton::clicked, this,
                [this] { model_.filter().setShownChecked(false); });
    }

    typing_ = new QTimer(this);
    typing_->setSingleShot(true);
    typing_->setInterval(kTypingPauseMs);
    connect(typing_, &QTimer::timeout, this, &FilterBar::apply);
    connect(search_, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));
    connect(search_, &QLineEdit::returnPressed, this, &FilterBar::apply);
    connect(kinds_, &QComboBox::currentIndexChanged, this, &FilterBar::apply);
    if (fields_) connect(fields_, &QComboBox::currentIndexChanged, this, &FilterBar::apply);
    connect(&model_, &DifferenceListModel::countChanged, this, [this] {
        refreshFields();
        refreshCount();
    });
    refreshFields();
    refreshCount();
}

QList<QWidget*> FilterBar::buttons() const {
    QList<QWidget*> result;
    if (tick_) result << tick_ << untick_;
    return result;
}

void FilterBar::apply() {
    typing_->stop();
    wizard::LineCriteria criteria;
    const int kind = kinds_->currentIndex();
    if (kind != kAllKinds) {
        const bool first = kind == kFirstKind;
        if (fieldList_) {
            criteria.added = criteria.deleted = false;
            criteria.changed = first;
            criteria.missingField = !first;
        } else {
            criteria.changed = criteria.missingField = false;
            criteria.added = first;
            criteria.deleted = !first;
        }
    }
    if (fields_) criteria.field = fields_->currentData().toInt();
    criteria.search = ss(search_->text());
    const wizard::LineCriteria& now = model_.filter().criteria();
    if (criteria.changed == now.changed && criteria.added == now.added &&
        criteria.deleted == now.deleted && criteria.missingField == now.missingField &&
        criteria.field == now.field && criteria.search == now.search)
        return;
    model_.filter().setCriteria(std::move(criteria));
}

void FilterBar::refreshFields() {
    if (!fields_) return;
    const wizard::LineFilter& filter = model_.filter();
    if (filter.total() == fieldsTotal_) return;
    fieldsTotal_ = filter.total();
    const int chosen = fields_->currentData().toInt();
    const QSignalBlocker blocker(fields_);
    fields_->clear();
    fields_->addItem(QStringLiteral("All fields"), -1);
    for (const auto& count : filter.fieldCounts())
        fields_->addItem(
            QStringLiteral("%1 (%2)").arg(qs(count.name), qs(wizard::groupedNumber(count.count))),
            count.field);
    const int at = fields_->findData(chosen);
    fields_->setCurrentIndex(at >= 0 ? at : 0);
    // A field the list no longer has (a new run's list) is no choice: the
    // filter lets every field through again.
    if (at < 0 && filter.criteria().field >= 0) {
        QMetaObject::invokeMethod(this, &FilterBar::apply, Qt::QueuedConnection);
    }
}

void FilterBar::refreshCount() {
    const QString text = qs(model_.filter().countText());
    count_->setText(text);
    count_->setAccessibleName(text);
}

}  // namespace quorvel::ui
