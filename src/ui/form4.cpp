#include "ui/form4.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeView>
#include <algorithm>

#include "ui/form3.h"
#include "ui/merge3_window.h"
#include "ui/results_panel.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

// The smallest window; it opens larger, with room for the record details.
const QSize kDesignSize = twipsSize(8040, 8985);
const QSize kOpeningSize(1000, 760);

// The bar's scale: differences may outnumber an int's range.
constexpr int kProgressSteps = 1000;

// The program's own windows, as opposed to message boxes and file dialogs.
bool isWizardWindow(const QWidget* window) {
    return window != nullptr && window->objectName().startsWith(QLatin1String("Form"));
}

}  // namespace

Form4::Form4(Wizard& wizard)
    : wizard_(wizard),
      dialogs_(std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); })),
      model_(wizard.run(), *dialogs_),
      detail_(wizard.run(), wizard.store(), wizard.locale()),
      stretch_(kDesignSize) {
    setObjectName(QStringLiteral("Form4"));
    setFont(arialFont(kTextPointSize, true));
    resize(kDesignSize);
    setMinimumSize(kDesignSize);
    fields_ = new DifferenceListModel(QStringLiteral("Field Differences"), true,
                                      wizard.run().fieldDifferences(), this);
    added_ = new DifferenceListModel(QStringLiteral("Added / Deleted Records"), true,
                                     wizard.run().addedDeleted(), this);

    Frame3 = addFrame(this, "Frame3", QStringLiteral("Results"), twipsRect(120, 30, 7800, 6300));
    panel_ = new ResultsPanel(Frame3, fields_, added_, detail_);
    panel_->setGeometry(twipsRect(240, 300, 7320, 5850));
    ListView1 = panel_->list(1);
    ListView2 = panel_->list(2);
    // Select All / Unselect All under each list, as before.
    const auto buttonRow = [this](QPushButton*& select, const char* selectName,
                                  QPushButton*& unselect, const char* unselectName) {
        auto* row = new QWidget(panel_);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        select = addButton(row, selectName, QStringLiteral("Select All"), QRect());
        unselect = addButton(row, unselectName, QStringLiteral("Unselect All"), QRect());
        for (QPushButton* button : {select, unselect}) {
            button->setMinimumHeight(twips(405));
            layout->addWidget(button);
        }
        return row;
    };
    panel_->addUnderList(1, buttonRow(PushButton1, "PushButton1", PushButton4, "PushButton4"));
    panel_->addUnderList(2, buttonRow(PushButton5, "PushButton5", PushButton6, "PushButton6"));
    Frame1 = addFrame(this, "Frame1", QStringLiteral("Results"), twipsRect(120, 6375, 7800, 1095));
    Label1 =
        addLabel(Frame1, "Label1", QStringLiteral(" Create :"), twipsRect(240, 300, 7300, 615));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Frame2 =
        addFrame(this, "Frame2", QStringLiteral("New Table Name"), twipsRect(120, 7530, 7800, 825));
    Text1 = addTextBox(Frame2, "Text1", twipsRect(240, 300, 4800, 345));
    PushButton8 = addButton(Frame2, "PushButton8", QString::fromUtf8("Three-Way Merge\u2026"),
                            twipsRect(5160, 270, 2400, 405));
    PushButton8->setToolTip(
        QStringLiteral("Merge two edited copies of a table against the table they started from"));
    PushButton2 =
        addButton(this, "PushButton2", QStringLiteral("< Back"), twipsRect(120, 8460, 3840, 405));
    PushButton3 =
        addButton(this, "PushButton3", QStringLiteral("Create"), twipsRect(4080, 8460, 3840, 405));

    ProgressBar1 = new QProgressBar(Frame1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(twipsRect(240, 405, 5500, 405));
    ProgressBar1->setRange(0, kProgressSteps);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFont(arialFont(kTextPointSize, true));
    ProgressBar1->hide();
    PushButton7 =
        addButton(Frame1, "PushButton7", QStringLiteral("Stop"), twipsRect(5860, 405, 1680, 405));
    PushButton7->hide();

    setMnemonic(PushButton1, 'S');
    setMnemonic(PushButton4, 'U');
    setMnemonic(PushButton5, 'l');
    setMnemonic(PushButton6, 'n');
    setMnemonic(Frame2, 'T');
    setMnemonic(PushButton2, 'B');
    setMnemonic(PushButton3, 'C');
    setMnemonic(PushButton7, 'o');
    setMnemonic(PushButton8, 'W');
    // While the merge runs, Escape stops it rather than leaving the window.
    installWindowKeys(this, {PushButton3}, {PushButton7, PushButton2});

    setTabOrder(PushButton6, Text1);
    setTabOrder(Text1, PushButton8);
    setTabOrder(PushButton8, PushButton2);
    setTabOrder(PushButton2, PushButton3);
    setTabOrder(PushButton3, PushButton7);

    QList<QWidget*> hand{PushButton2, PushButton3, PushButton7, PushButton8};
    hand << panel_->handControls();
    QList<QWidget*> plain{this, Frame1, Frame2, Frame3, Label1, Text1, ProgressBar1};
    plain << panel_->plainControls();
    installHoverRule(this, hand, plain);

    // Wider: everything widens; taller: the lists share the extra height and
    // what lies below them moves down.
    stretch_.add(Frame3, 0, 0, 1, 1);
    stretch_.add(panel_, 0, 0, 1, 1);
    stretch_.add(Frame1, 0, 1, 1, 0);
    stretch_.add(Label1, 0, 0, 1, 0);
    stretch_.add(ProgressBar1, 0, 0, 1, 0);
    stretch_.add(PushButton7, 1, 0, 0, 0);
    stretch_.add(Frame2, 0, 1, 1, 0);
    stretch_.add(Text1, 0, 0, 1, 0);
    stretch_.add(PushButton8, 1, 0, 0, 0);
    stretch_.add(PushButton2, 0, 1, 0.5, 0);
    stretch_.add(PushButton3, 0.5, 1, 0.5, 0);
    resize(kDesignSize.expandedTo(kOpeningSize));

    connectModel();
    watchActiveWindow();
}

Form4::~Form4() = default;

void Form4::connectModel() {
    wizard::NewTableView& view = model_.view;
    view.setUp = [this] { setUpWindow(this); };
    view.whitenCaption = [this] {
        QPalette palette = Label1->palette();
        palette.setColor(QPalette::Window, Qt::white);
        Label1->setPalette(palette);
        Label1->setAutoFillBackground(true);
    };
    view.setNewTableName = [this](const std::string& name) {
        const QSignalBlocker blocker(Text1);
        Text1->setText(qs(name));
    };
    view.setCaptionText = [this](const std::string& caption) { Label1->setText(qs(caption)); };
    view.showResults = [this] { wizard_.showInPlaceOf(wizard_.form3(), *this); };
    view.hide = [this] { hide(); };
    view.showThreeWay = [this](const std::string& newName) {
        Merge3Window& window = wizard_.merge3();
        window.model().startFrom(newName);
        wizard_.showInPlaceOf(window, *this);
    };
    view.processEvents = [this] { wizard_.processEvents(); };
    view.ending = [this] { return wizard_.ending(); };
    view.showMergeProgress = [this](std::int64_t done, std::int64_t total) {
        showMergeProgress(done, total);
    };
    view.endMergeProgress = [this] { endMergeProgress(); };

    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_.Text1_Change(ss(text)); });
    auto click = [this](QPushButton* button, void (wizard::NewTableModel::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { (model_.*handler)(); });
    };
    click(PushButton1, &wizard::NewTableModel::PushButton1_Click);
    click(PushButton4, &wizard::NewTableModel::PushButton4_Click);
    click(PushButton5, &wizard::NewTableModel::PushButton5_Click);
    click(PushButton6, &wizard::NewTableModel::PushButton6_Click);
    click(PushButton2, &wizard::NewTableModel::PushButton2_Click);
    click(PushButton3, &wizard::NewTableModel::PushButton3_Click);
    click(PushButton7, &wizard::NewTableModel::PushButton7_Click);
    click(PushButton8, &wizard::NewTableModel::PushButton8_Click);
}

void Form4::showMergeProgress(std::int64_t done, std::int64_t total) {
    if (!ProgressBar1->isVisible()) {
        Label1->hide();
        ProgressBar1->show();
        PushButton7->show();
    }
    const QLocale locale;
    // The text first: whoever follows the value sees the matching text.
    ProgressBar1->setFormat(QStringLiteral("Applying %1 of %2")
                                .arg(locale.toString(static_cast<qlonglong>(done)),
                                     locale.toString(static_cast<qlonglong>(total))));
    ProgressBar1->setValue(
        total > 0 ? static_cast<int>(std::min(done, total) * kProgressSteps / total) : 0);
}

void Form4::endMergeProgress() {
    ProgressBar1->hide();
    PushButton7->hide();
    Label1->show();
}

void Form4::load() {
    model_.Form_Load();
}

void Form4::watchActiveWindow() {
    // Another of the program's windows becoming active ends this window's
    // turn, so that its next activation checks every line again.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == nullptr) return;
        QWidget* window = now->window();
        if (window != this && isWizardWindow(window)) lastActive_ = false;
    });
}

bool Form4::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !lastActive_) {
        lastActive_ = true;
        model_.Form_Activate();
    }
    return QWidget::event(event);
}

void Form4::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    panel_->restore();
    // Shown = becoming active, also where the platform activates nothing.
    if (!lastActive_) {
        lastActive_ = true;
        model_.Form_Activate();
    }
}

void Form4::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    lastActive_ = false;
}

void Form4::closeEvent(QCloseEvent* event) {
    event->accept();
    wizard_.end();
}

void Form4::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stretch_.apply(size());
}

}  // namespace quorvel::ui
