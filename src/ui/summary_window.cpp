#include "ui/summary_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <algorithm>

#include "ui/elided_label.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/summary_table_model.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

const QSize kDesignSize = twipsSize(8040, 6000);
const QSize kOpeningSize(760, 520);

}  // namespace

SummaryWindow::SummaryWindow(Wizard& wizard)
    : wizard_(wizard),
      dialogs_(std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); })),
      model_(wizard.run(), *dialogs_, wizard.locale(), wizard.store()),
      stretch_(kDesignSize) {
    setObjectName(QStringLiteral("Summary"));
    setFont(arialFont(kTextPointSize, true));
    resize(kDesignSize);
    setMinimumSize(kDesignSize);
    rows_ = new SummaryTableModel(model_, this);

    PushButton2 =
        addButton(this, "PushButton2", QStringLiteral("< Back"), twipsRect(120, 120, 7800, 405));
    Label1 = new ElidedLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAccessibleName(QStringLiteral("Compared sources"));
    Label1->setFont(arialFont(kTextPointSize, false));
    Label1->setGeometry(twipsRect(120, 600, 7800, 255));
    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Tables"));
    ListView1->setToolTip(
        QStringLiteral("Double-click a table (or press Enter) to see its differences"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setFont(arialFont(kTextPointSize, false));
    ListView1->setModel(rows_);
    ListView1->setGeometry(twipsRect(120, 900, 7800, 3600));
    QHeaderView* header = ListView1->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setStretchLastSection(true);
    header->resizeSection(wizard::SummaryModel::Name, twips(1700));
    header->resizeSection(wizard::SummaryModel::Pairing, twips(3300));
    for (int column : {wizard::SummaryModel::Changed, wizard::SummaryModel::Added,
                       wizard::SummaryModel::Deleted})
        header->resizeSection(column, twips(780));
    Label2 = addLabel(this, "Label2", QString(), twipsRect(120, 4560, 7800, 255));
    Label2->setAccessibleName(QStringLiteral("Outcome"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress Bar"));
    ProgressBar1->setGeometry(twipsRect(120, 4860, 7800, 405));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFont(arialFont(kTextPointSize, true));
    ProgressBar1->setFormat(QString::fromLatin1(wizard::kProgressBarText));
    ProgressBar1->setValue(0);
    // The row of buttons under the table, the two actions sharing the room
    // that Stop leaves.
    PushButton4 = addButton(this, "PushButton4", QStringLiteral("Save Summary Report"),
                            twipsRect(120, 5400, 2880, 405));
    PushButton6 = addButton(this, "PushButton6", QString::fromUtf8("Create Merged Copy\u2026"),
                            twipsRect(3120, 5400, 2880, 405));
    PushButton5 =
        addButton(this, "PushButton5", QStringLiteral("Stop"), twipsRect(6120, 5400, 1800, 405));
    PushButton5->hide();

    setMnemonic(PushButton2, 'B');
    setMnemonic(PushButton4, 'S');
    setMnemonic(PushButton6, 'C');
    setMnemonic(PushButton5, 't');
    // Enter is the table's (it opens the row); while the run goes on,
    // Escape stops it rather than leaving the window.
    installWindowKeys(this, {}, {PushButton5, PushButton2});
    setTabOrder(PushButton2, ListView1);
    setTabOrder(ListView1, PushButton4);
    setTabOrder(PushButton4, PushButton6);
    setTabOrder(PushButton6, PushButton5);
    installHoverRule(this, {PushButton2, PushButton4, PushButton6, PushButton5}, {this, ListView1});

    stretch_.add(PushButton2, 0, 0, 1, 0);
    stretch_.add(Label1, 0, 0, 1, 0);
    stretch_.add(ListView1, 0, 0, 1, 1);
    stretch_.add(Label2, 0, 1, 1, 0);
    stretch_.add(ProgressBar1, 0, 1, 1, 0);
    stretch_.add(PushButton4, 0, 1, 0.5, 0);
    stretch_.add(PushButton6, 0.5, 1, 0.5, 0);
    stretch_.add(PushButton5, 1, 1, 0, 0);
    resize(kDesignSize.expandedTo(kOpeningSize));

    wizard::SummaryView& view = model_.view;
    view.setUp = [this] { setUpWindow(this); };
    view.showTableChoice = [this] { wizard_.showInPlaceOf(wizard_.form2(), *this); };
    view.showResults = [this] { wizard_.showInPlaceOf(wizard_.form3(), *this); };
    view.hide = [this] { hide(); };
    view.rowsChanged = [this] {
        rows_->refresh();
        showSortIndicator();
    };
    view.setProgress = [this](int value, const std::string& text) {
        // Text first, so that whoever follows the value sees the matching text.
        QString format = qs(text);
        ProgressBar1->setFormat(format.replace(QLatin1Char('%'), QStringLiteral("%%")));
        ProgressBar1->setValue(std::clamp(value, 0, 100));
    };
    view.setRunning = [this](bool running) { PushButton5->setVisible(running); };
    view.setSourcesText = [this](const std::string& text) { Label1->setFullText(qs(text)); };
    view.setStatusText = [this](const std::string& text) {
        Label2->setText(qs(text));
        Label2->setAccessibleName(text.empty() ? QStringLiteral("Outcome") : qs(text));
    };
    view.processEvents = [this] { wizard_.processEvents(); };
    view.ending = [this] { return wizard_.ending(); };

    connect(PushButton2, &QPushButton::clicked, this, [this] { model_.PushButton2_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { model_.PushButton4_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { model_.PushButton6_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { model_.Stop_Click(); });
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { model_.sortBy(column); });
    // Double-click and Enter alike.
    connect(ListView1, &QTreeView::activated, this,
            [this](const QModelIndex& index) { model_.openRow(index.row()); });
}

SummaryWindow::~SummaryWindow() = default;

void SummaryWindow::showSortIndicator() {
    QHeaderView* header = ListView1->header();
    const QSignalBlocker blocker(header);
    header->setSortIndicator(model_.sortColumn(),
                             model_.ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void SummaryWindow::load() {
    model_.Form_Load();
}

void SummaryWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    wizard_.end();
}

void SummaryWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stretch_.apply(size());
}

}  // namespace quorvel::ui
