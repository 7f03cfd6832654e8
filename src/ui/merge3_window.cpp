#include "ui/merge3_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTreeView>
#include <algorithm>

#include "ui/conflict_table_model.h"
#include "ui/form4.h"
#include "ui/options_dialog.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

const QSize kDesignSize = twipsSize(8040, 8525);
const QSize kOpeningSize(900, 700);
constexpr int kProgressSteps = 1000;

}  // namespace

Merge3Window::Merge3Window(Wizard& wizard)
    : wizard_(wizard),
      dialogs_(std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); })),
      model_(wizard.run(), *dialogs_, wizard.locale(), wizard.store()),
      stretch_(kDesignSize) {
    setObjectName(QStringLiteral("Merge3"));
    setFont(arialFont(kTextPointSize, true));
    resize(kDesignSize);
    setMinimumSize(kDesignSize);
    conflicts_ = new ConflictTableModel(model_, this);

    PushButton1 =
        addButton(this, "PushButton1", QStringLiteral("< Back"), twipsRect(120, 120, 7800, 405));
    Frame1 = addFrame(this, "Frame1", QStringLiteral("Which tables do you want to merge?"),
                      twipsRect(120, 600, 7800, 1950));
    const char* const captions[4] = {"Base:", "Ours:", "Theirs:", "Merged table:"};
    const char* const tips[4] = {
        "The table both copies started from: a table file, or SOURCE::TABLE",
        "Your edited copy: a table file, or SOURCE::TABLE; the merged table has its header",
        "Their edited copy: a table file, or SOURCE::TABLE",
        "The file of the table that Write makes"};
    for (int box = 0; box < 4; ++box) {
        const int top = 300 + box * 405;
        const QByteArray label = "Label" + QByteArray::number(box + 1);
        const QByteArray text = "Text" + QByteArray::number(box + 1);
        const QByteArray browse = "PushButton" + QByteArray::number(box + 2);
        Labels[box] = addLabel(Frame1, label.constData(), QString::fromLatin1(captions[box]),
                               twipsRect(240, top + 45, 1380, 255));
        Boxes[box] = addTextBox(Frame1, text.constData(), twipsRect(1680, top, 5160, 345));
        Boxes[box]->setAccessibleName(withoutMnemonic(Labels[box]->text()));
        Boxes[box]->setToolTip(QString::fromLatin1(tips[box]));
        Labels[box]->setBuddy(Boxes[box]);
        Browse[box] = addButton(Frame1, browse.constData(), QStringLiteral("..."),
                                twipsRect(6960, top, 600, 345));
        Browse[box]->setAccessibleName(QStringLiteral("Choose the %1 file")
                                           .arg(QString::fromLatin1(
                                               wizard::Merge3Model::boxName(box))));
        Browse[box]->setToolTip(Browse[box]->accessibleName());
    }

    Frame2 = addFrame(this, "Frame2", QStringLiteral("Pair records by:"),
                      twipsRect(120, 2640, 7800, 1080));
    const auto option = [this](QRadioButton*& button, const char* name, const char* caption,
                               const QRect& rect) {
        button = new QRadioButton(QString::fromLatin1(caption), Frame2);
        button->setObjectName(QString::fromLatin1(name));
        button->setFont(arialFont(kTextPointSize, true));
        button->setGeometry(rect);
        button->setAccessibleName(QString::fromLatin1(caption));
    };
    option(Option1, "Option1", "Table's own key (automatic)", twipsRect(240, 345, 3000, 255));
    option(Option2, "Option2", "Content", twipsRect(3360, 345, 1800, 255));
    option(Option3, "Option3", "Key fields:", twipsRect(240, 690, 1380, 255));
    Text5 = addTextBox(Frame2, "Text5", twipsRect(1680, 645, 5880, 345));
    Text5->setAccessibleName(QStringLiteral("Key fields"));
    Text5->setToolTip(QStringLiteral("The key fields, such as ID, or ID, LINE"));
    Text5->setPlaceholderText(QStringLiteral("ID, LINE"));

    PushButton6 = addButton(this, "PushButton6", QStringLiteral("Options\u2026"),
                            twipsRect(120, 3830, 1800, 405));
    PushButton7 =
        addButton(this, "PushButton7", QStringLiteral("Run"), twipsRect(2040, 3830, 5880, 405));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));
    ProgressBar1->setGeometry(twipsRect(2040, 3830, 4200, 405));
    ProgressBar1->setRange(0, kProgressSteps);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFont(arialFont(kTextPointSize, true));
    ProgressBar1->hide();
    PushButton14 =
        addButton(this, "PushButton14", QStringLiteral("Stop"), twipsRect(6360, 3830, 1560, 405));
    PushButton14->hide();

    // The outcome scrolls: the tables' warnings and the merge's notes come
    // after its counts, and each of them must stay readable.
    Outcome = new QScrollArea(this);
    Outcome->setObjectName(QStringLiteral("Outcome"));
    Outcome->setAccessibleName(QStringLiteral("Outcome"));
    Outcome->setFrameShape(QFrame::NoFrame);
    Outcome->setWidgetResizable(true);
    Outcome->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Outcome->setGeometry(twipsRect(120, 4310, 7800, 900));
    Label5 = new QLabel(Outcome);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setAccessibleName(QStringLiteral("Outcome"));
    Label5->setWordWrap(true);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label5->setFont(arialFont(kTextPointSize, false));
    Label5->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Outcome->setWidget(Label5);

    Frame3 =
        addFrame(this, "Frame3", QStringLiteral("Conflicts"), twipsRect(120, 5270, 7800, 2610));
    ListView1 = new QTreeView(Frame3);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Conflicts"));
    ListView1->setToolTip(QStringLiteral("Select conflicts, then keep a side for them"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setFont(arialFont(kTextPointSize, false));
    ListView1->setModel(conflicts_);
    ListView1->setGeometry(twipsRect(240, 300, 7320, 1710));
    QHeaderView* header = ListView1->header();
    header->setStretchLastSection(true);
    header->resizeSection(wizard::Merge3Model::Key, twips(900));
    header->resizeSection(wizard::Merge3Model::Field, twips(1100));
    for (int column : {wizard::Merge3Model::BaseValue, wizard::Merge3Model::OursValue,
                       wizard::Merge3Model::TheirsValue})
        header->resizeSection(column, twips(1200));
    header->resizeSection(wizard::Merge3Model::Kind, twips(1300));
    int left = 240;
    for (auto [button, name, caption] :
         {std::tuple{&PushButton8, "PushButton8", "Keep Ours"},
          std::tuple{&PushButton9, "PushButton9", "Keep Theirs"},
          std::tuple{&PushButton10, "PushButton10", "Keep Base"},
          std::tuple{&PushButton11, "PushButton11", "All Ours"},
          std::tuple{&PushButton12, "PushButton12", "All Theirs"},
          std::tuple{&PushButton15, "PushButton15", "Type Value\u2026"}}) {
        *button =
            addButton(Frame3, name, QString::fromUtf8(caption), twipsRect(left, 2100, 1150, 405));
        left += 1235;
    }
    PushButton13 =
        addButton(this, "PushButton13", QStringLiteral("Write"), twipsRect(120, 8000, 7800, 405));

    setMnemonic(PushButton1, 'B');
    setMnemonic(PushButton6, 'O');
    setMnemonic(PushButton7, 'R');
    setMnemonic(PushButton13, 'W');
    setMnemonic(PushButton14, 'p');
    setMnemonic(PushButton8, 'u');
    setMnemonic(PushButton9, 'h');
    setMnemonic(PushButton10, 's');
    setMnemonic(PushButton11, 'A');
    setMnemonic(PushButton12, 'T');
    setMnemonic(PushButton15, 'V');
    setMnemonic(Option1, 'n');
    setMnemonic(Option2, 'C');
    setMnemonic(Option3, 'K');
    // While Run or Write works, Escape stops it rather than leaving the window.
    installWindowKeys(this, {PushButton7}, {PushButton14, PushButton1});

    QWidget* order[] = {PushButton1,  Boxes[0],     Browse[0],    Boxes[1],    Browse[1],
                        Boxes[2],     Browse[2],    Boxes[3],     Browse[3],   Option1,
                        Option2,      Option3,      Text5,        PushButton6, PushButton7,
                        PushButton14, ListView1,    PushButton8,  PushButton9, PushButton10,
                        PushButton11, PushButton12, PushButton15, PushButton13};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    QList<QWidget*> hand{PushButton1,  PushButton6,  PushButton7,  PushButton8,
                         PushButton9,  PushButton10, PushButton11, PushButton12,
                         PushButton13, PushButton14, PushButton15};
    QList<QWidget*> plain{this,    Frame1,  Frame2,  Frame3,       ListView1, Text5,
                          Option1, Option2, Option3, ProgressBar1, Outcome};
    for (int box = 0; box < 4; ++box) {
        hand << Browse[box];
        plain << Boxes[box];
    }
    installHoverRule(this, hand, plain);

    // Wider: everything widens, the boxes take the width; taller: the
    // conflict list takes the height and what lies below it moves down.
    stretch_.add(PushButton1, 0, 0, 1, 0);
    stretch_.add(Frame1, 0, 0, 1, 0);
    for (int box = 0; box < 4; ++box) {
        stretch_.add(Boxes[box], 0, 0, 1, 0);
        stretch_.add(Browse[box], 1, 0, 0, 0);
    }
    stretch_.add(Frame2, 0, 0, 1, 0);
    stretch_.add(Text5, 0, 0, 1, 0);
    stretch_.add(PushButton7, 0, 0, 1, 0);
    stretch_.add(ProgressBar1, 0, 0, 1, 0);
    stretch_.add(PushButton14, 1, 0, 0, 0);
    stretch_.add(Outcome, 0, 0, 1, 0);
    stretch_.add(Frame3, 0, 0, 1, 1);
    stretch_.add(ListView1, 0, 0, 1, 1);
    const double share = 1.0 / 6;
    int at = 0;
    for (QPushButton* button :
         {PushButton8, PushButton9, PushButton10, PushButton11, PushButton12, PushButton15})
        stretch_.add(button, share * at++, 1, share, 0);
    stretch_.add(PushButton13, 0, 1, 1, 0);
    resize(kDesignSize.expandedTo(kOpeningSize));

    connectModel();
}

Merge3Window::~Merge3Window() = default;

void Merge3Window::connectModel() {
    wizard::Merge3View& view = model_.view;
    view.setUp = [this] {
        setUpWindow(this);
        setWindowTitle(windowTitle() + QStringLiteral(" - Three-Way Merge"));
    };
    view.setBoxText = [this](int box, const std::string& text) {
        const QSignalBlocker blocker(Boxes[box]);
        Boxes[box]->setText(qs(text));
    };
    view.setPairing = [this](compare::Pairing by) {
        (by == compare::Pairing::Key       ? Option3
         : by == compare::Pairing::Content ? Option2
                                           : Option1)
            ->setChecked(true);
    };
    view.setKeyFieldsText = [this](const std::string& text) {
        const QSignalBlocker blocker(Text5);
        Text5->setText(qs(text));
    };
    view.setOutcome = [this](const std::string& text) {
        Label5->setText(qs(text));
        Label5->setToolTip(qs(text));  // notes may run past its two lines
        Label5->setAccessibleName(text.empty() ? QStringLiteral("Outcome") : qs(text));
    };
    view.conflictsChanged = [this] {
        if (conflicts_->refresh())
            for (int column : {wizard::Merge3Model::Key, wizard::Merge3Model::Field,
                               wizard::Merge3Model::Kind})
                ListView1->resizeColumnToContents(column);
        Frame3->setTitle(model_.hasResult()
                             ? QStringLiteral("Conflicts (%1 of %2 open)")
                                   .arg(model_.openConflicts())
                                   .arg(model_.conflictCount())
                             : QStringLiteral("Conflicts"));
        Frame3->setAccessibleName(Frame3->title());
    };
    view.askValue = [this](const std::string& prompt,
                           const std::string& initial) -> std::optional<std::string> {
        bool ok = false;
        const QString text = QInputDialog::getText(this, windowTitle(), qs(prompt),
                                                   QLineEdit::Normal, qs(initial), &ok);
        if (!ok) return std::nullopt;
        return ss(text);
    };
    view.editOptions = [this](wizard::OptionsModel& options) {
        return OptionsDialog::edit(options, this);
    };
    view.showNewTable = [this] { wizard_.showInPlaceOf(wizard_.form4(), *this); };
    view.hide = [this] { hide(); };
    view.processEvents = [this] { wizard_.processEvents(); };
    view.ending = [this] { return wizard_.ending(); };
    view.showProgress = [this](const std::string& what, std::int64_t done, std::int64_t total) {
        showProgress(what, done, total);
    };
    view.endProgress = [this] { endProgress(); };

    for (int box = 0; box < 4; ++box) {
        connect(Boxes[box], &QLineEdit::textChanged, this,
                [this, box](const QString& text) { model_.boxChange(box, ss(text)); });
        connect(Browse[box], &QPushButton::clicked, this, [this, box] { model_.browse(box); });
    }
    connect(Option1, &QRadioButton::clicked, this,
            [this] { model_.choosePairing(compare::Pairing::Auto); });
    connect(Option2, &QRadioButton::clicked, this,
            [this] { model_.choosePairing(compare::Pairing::Content); });
    connect(Option3, &QRadioButton::clicked, this,
            [this] { model_.choosePairing(compare::Pairing::Key); });
    connect(Text5, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_.keyFieldsChange(ss(text)); });
    // Typing key fields means pairing by them.
    connect(Text5, &QLineEdit::textEdited, this, [this] {
        Option3->setChecked(true);
        model_.choosePairing(compare::Pairing::Key);
    });
    connect(PushButton1, &QPushButton::clicked, this, [this] { model_.Back_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { model_.Options_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { model_.Run_Click(); });
    connect(PushButton13, &QPushButton::clicked, this, [this] { model_.Write_Click(); });
    connect(PushButton14, &QPushButton::clicked, this, [this] { model_.Stop_Click(); });
    const auto keep = [this](QPushButton* button, compare::MergeSide side) {
        connect(button, &QPushButton::clicked, this,
                [this, side] { model_.keep(selectedRows(), side); });
    };
    keep(PushButton8, compare::MergeSide::Ours);
    keep(PushButton9, compare::MergeSide::Theirs);
    keep(PushButton10, compare::MergeSide::Base);
    connect(PushButton11, &QPushButton::clicked, this,
            [this] { model_.keepAll(compare::MergeSide::Ours); });
    connect(PushButton12, &QPushButton::clicked, this,
            [this] { model_.keepAll(compare::MergeSide::Theirs); });
    connect(PushButton15, &QPushButton::clicked, this,
            [this] { model_.giveValue(selectedRows()); });
}

std::vector<int> Merge3Window::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : ListView1->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// As the new-table window's merge shows it: a bar in place of the button
// that started the work, and Stop beside it.
void Merge3Window::showProgress(const std::string& what, std::int64_t done, std::int64_t total) {
    if (!ProgressBar1->isVisible()) {
        PushButton7->hide();
        ProgressBar1->show();
        PushButton14->show();
    }
    const QLocale locale;
    // The text first: whoever follows the value sees the matching text.
    ProgressBar1->setFormat(total > 0
                                ? QStringLiteral("%1 %2 of %3 records")
                                      .arg(qs(what), locale.toString(static_cast<qlonglong>(done)),
                                           locale.toString(static_cast<qlonglong>(total)))
                                : QStringLiteral("%1\u2026").arg(qs(what)));
    ProgressBar1->setValue(
        total > 0 ? static_cast<int>(std::min(done, total) * kProgressSteps / total) : 0);
}

void Merge3Window::endProgress() {
    ProgressBar1->hide();
    PushButton14->hide();
    PushButton7->show();
}

void Merge3Window::load() {
    model_.Form_Load();
}

void Merge3Window::closeEvent(QCloseEvent* event) {
    event->accept();
    wizard_.end();
}

void Merge3Window::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stretch_.apply(size());
}

}  // namespace quorvel::ui
