#include "ui/results_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/detail_pane.h"
#include "ui/difference_list_model.h"
#include "ui/difference_list_view.h"
#include "ui/filter_bar.h"
#include "ui/grouped_list_model.h"
#include "ui/line_delegate.h"
#include "ui/window_setup.h"
#include "wizard/run_context.h"

namespace quorvel::ui {

namespace {

QCheckBox* toggle(QWidget* parent, const char* name, const QString& caption, const QString& tip) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(caption);
    box->setToolTip(tip);
    box->setFont(arialFont(kTextPointSize, false));
    return box;
}

QPushButton* smallButton(QWidget* parent, const char* name, const QString& caption,
                         const QString& tip) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(caption);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    button->setFont(arialFont(kTextPointSize, false));
    return button;
}

QWidget* paneOf(QSplitter* splitter, QBoxLayout*& layout) {
    auto* pane = new QWidget(splitter);
    layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(2);
    return pane;
}

}  // namespace

ResultsPanel::ResultsPanel(QWidget* parent, DifferenceListModel* fields, DifferenceListModel* added,
                           wizard::DetailModel& detail)
    : QWidget(parent), fields_(fields), added_(added), detail_(detail) {
    setObjectName(QStringLiteral("ResultsPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    auto* tools = new QHBoxLayout();
    detailToggle_ = toggle(this, "DetailToggle", QStringLiteral("Show record details"),
                           QStringLiteral("The two records of the selected line, field by field"));
    groupToggle_ =
        toggle(this, "GroupToggle", QStringLiteral("One row per record pair"),
               QStringLiteral("The field differences grouped by record pair, the changed fields "
                              "as columns"));
    previous_ = smallButton(this, "PreviousDifference", QStringLiteral("Previous difference"),
                            QStringLiteral("Shift+F8"));
    next_ = smallButton(this, "NextDifference", QStringLiteral("Next difference"),
                        QStringLiteral("F8"));
    tools->addWidget(detailToggle_);
    tools->addWidget(groupToggle_);
    tools->addStretch(1);
    tools->addWidget(previous_);
    tools->addWidget(next_);
    layout->addLayout(tools);

    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName(QStringLiteral("ResultsSplitter"));
    splitter_->setChildrenCollapsible(false);
    layout->addWidget(splitter_, 1);

    QWidget* pane1 = paneOf(splitter_, pane1_);
    bar1_ = new FilterBar(*fields, true, QStringLiteral("ListView1"), pane1);
    stack_ = new QStackedWidget(pane1);
    list1_ = addDifferenceList(stack_, "ListView1", fields, QRect());
    groupedModel_ = new GroupedListModel(*fields, this);
    grouped_ = new QTableView(stack_);
    grouped_->setObjectName(QStringLiteral("GroupView1"));
    grouped_->setAccessibleName(QStringLiteral("Field differences, one row per record pair"));
    grouped_->setFont(arialFont(kTextPointSize, false));
    grouped_->setSelectionMode(QAbstractItemView::SingleSelection);
    grouped_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grouped_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grouped_->setWordWrap(false);
    grouped_->verticalHeader()->hide();
    grouped_->verticalHeader()->setDefaultSectionSize(grouped_->fontMetrics().height() + 6);
    grouped_->horizontalHeader()->setDefaultSectionSize(180);
    grouped_->setModel(groupedModel_);
    stack_->addWidget(list1_);
    stack_->addWidget(grouped_);
    pane1_->addWidget(bar1_);
    pane1_->addWidget(stack_, 1);

    QWidget* pane2 = paneOf(splitter_, pane2_);
    bar2_ = new FilterBar(*added, false, QStringLiteral("ListView2"), pane2);
    list2_ = addDifferenceList(pane2, "ListView2", added, QRect());
    pane2_->addWidget(bar2_);
    pane2_->addWidget(list2_, 1);

    pane_ = new DetailPane(detail, splitter_);
    splitter_->addWidget(pane1);
    splitter_->addWidget(pane2);
    splitter_->addWidget(pane_);
    splitter_->setStretchFactor(0, 3);
    splitter_->setStretchFactor(1, 2);
    splitter_->setStretchFactor(2, 4);

    setTabOrder(detailToggle_, groupToggle_);
    setTabOrder(groupToggle_, previous_);
    setTabOrder(previous_, next_);

    connect(list1_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now) {
                if (now.isValid()) selected(0, now.row());
            });
    connect(list2_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now) {
                if (now.isValid()) selected(1, now.row());
            });
    connect(grouped_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now) {
                const int row = groupedModel_->listRow(now);
                if (row < 0) return;
                activeList_ = 0;
                detailList_ = 0;
                detailRow_ = row;
                showDetail();
            });
    // A list shown anew: another filter keeps the pane's line selected
    // where it is still shown; a new run drops it.
    for (DifferenceListModel* model : {fields, added}) {
        connect(model, &QAbstractItemModel::modelReset, this, [this, model] {
            const int list = model == fields_ ? 0 : 1;
            if (detailList_ != list) return;
            if (model->filter().total() == 0) {
                detailList_ = detailRow_ = -1;
                detail_.clear();
                pane_->refresh();
                return;
            }
            const int shown = model->filter().shownRow(detailRow_);
            QTreeView* view = list == 0 ? list1_ : list2_;
            if (shown >= 0) view->setCurrentIndex(model->index(shown));
        });
    }
    connect(detailToggle_, &QCheckBox::toggled, this, [this](bool shown) {
        detail_.setPaneShown(shown);
        pane_->setVisible(shown);
        if (shown && detailStale_) showDetail();
    });
    connect(groupToggle_, &QCheckBox::toggled, this, &ResultsPanel::setGrouped);
    connect(previous_, &QPushButton::clicked, this, [this] { step(false); });
    connect(next_, &QPushButton::clicked, this, [this] { step(true); });

    const auto key = [this](QKeySequence sequence, auto&& fn) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, fn);
    };
    key(QKeySequence(Qt::Key_F8), [this] { step(true); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F8), [this] { step(false); });
    key(QKeySequence(Qt::Key_F6), [this] { focusNextArea(true); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F6), [this] { focusNextArea(false); });
    key(QKeySequence::Find, [this] { focusSearch(); });
    // The list in use is the one last focused or walked.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == list2_) activeList_ = 1;
        if (now == list1_ || now == grouped_) activeList_ = 0;
    });
    connect(list1_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { activeList_ = 0; });
    connect(list2_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { activeList_ = 1; });
    restore();
}

void ResultsPanel::addUnderList(int n, QWidget* row) {
    (n == 1 ? pane1_ : pane2_)->addWidget(row);
    // Tab goes from the list to its buttons, then on as before.
    QWidget* before = n == 1 ? static_cast<QWidget*>(grouped_) : list2_;
    for (QPushButton* button : row->findChildren<QPushButton*>()) {
        extraButtons_ << button;
        setTabOrder(before, button);
        before = button;
    }
}

void ResultsPanel::addAboveLists(QWidget* widget) {
    pane1_->insertWidget(0, widget);
    for (QPushButton* button : widget->findChildren<QPushButton*>()) extraButtons_ << button;
}

QList<QWidget*> ResultsPanel::handControls() const {
    QList<QWidget*> controls{previous_, next_, pane_->wholeButton()};
    controls << bar1_->buttons() << bar2_->buttons();
    for (QWidget* button : extraButtons_) controls << button;
    return controls;
}

QList<QWidget*> ResultsPanel::plainControls() const {
    return {list1_, list2_, grouped_, bar1_->searchBox(), bar2_->searchBox(), pane_->fieldTable()};
}

void ResultsPanel::restore() {
    const bool shown = detail_.paneShown();
    detailToggle_->setChecked(shown);
    pane_->setVisible(shown);
}

void ResultsPanel::selected(int list, int viewRow) {
    DifferenceListModel* model = list == 0 ? fields_ : added_;
    if (viewRow < 0 || viewRow >= model->filter().count()) return;
    activeList_ = list;
    detailList_ = list;
    detailRow_ = model->listRow(viewRow);
    showDetail();
}

void ResultsPanel::showDetail() {
    // Records are read for a shown pane only: walking a list with the pane
    // hidden reads nothing.
    if (!detailToggle_->isChecked()) {
        detailStale_ = true;
        return;
    }
    detailStale_ = false;
    if (detailList_ < 0) return;
    detail_.select((detailList_ == 0 ? fields_ : added_)->list(), detailRow_);
    pane_->refresh();
}

void ResultsPanel::setGrouped(bool grouped) {
    const int row = detailList_ == 0 ? detailRow_ : -1;
    groupedModel_->setActive(grouped);
    stack_->setCurrentIndex(grouped ? 1 : 0);
    // The same line stays selected in the other view.
    if (grouped) {
        const QModelIndex at = row >= 0 ? groupedModel_->indexOfListRow(row) : QModelIndex();
        if (at.isValid()) grouped_->setCurrentIndex(at);
    } else if (row >= 0) {
        const int shown = fields_->filter().shownRow(row);
        if (shown >= 0) list1_->setCurrentIndex(fields_->index(shown));
    }
}

int ResultsPanel::currentRow(int list) const {
    if (list == 0 && groupToggle_->isChecked()) return grouped_->currentIndex().row();
    const QModelIndex at = (list == 0 ? list1_ : list2_)->currentIndex();
    return at.isValid() ? at.row() : -1;
}

QWidget* ResultsPanel::firstList() const {
    return groupToggle_->isChecked() ? static_cast<QWidget*>(grouped_) : list1_;
}

void ResultsPanel::step(bool forward) {
    const bool grouped = groupToggle_->isChecked();
    const int count0 = grouped ? groupedModel_->rowCount() : list1_->model()->rowCount();
    const int count1 = list2_->model()->rowCount();
    const auto next =
        wizard::stepDifference({activeList_, currentRow(activeList_)}, count0, count1, forward);
    if (!next) return;
    if (next->list == 0 && grouped) {
        const int column = std::max(1, grouped_->currentIndex().column());
        grouped_->setCurrentIndex(groupedModel_->index(next->row, column));
        grouped_->setFocus();
    } else {
        QTreeView* view = next->list == 0 ? list1_ : list2_;
        view->setCurrentIndex(view->model()->index(next->row, 0));
        view->scrollTo(view->currentIndex());
        view->setFocus();
    }
    activeList_ = next->list;
}

void ResultsPanel::focusNextArea(bool forward) {
    QList<QWidget*> areas{firstList(), list2_};
    if (pane_->isVisible()) areas << pane_->fieldTable();
    int at = -1;
    for (int i = 0; i < areas.size(); ++i)
        if (areas[i]->hasFocus() || areas[i]->isAncestorOf(QApplication::focusWidget())) at = i;
    const int n = static_cast<int>(areas.size());
    const int next = at < 0 ? (forward ? 0 : n - 1) : (at + (forward ? 1 : n - 1)) % n;
    areas[next]->setFocus(Qt::ShortcutFocusReason);
}

void ResultsPanel::focusSearch() {
    QLineEdit* box = filterBar(activeList_ == 1 ? 2 : 1)->searchBox();
    box->setFocus(Qt::ShortcutFocusReason);
    box->selectAll();
}

}  // namespace quorvel::ui
