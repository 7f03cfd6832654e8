#include "ui/form1.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

#include "frame/app_info.h"
#include "ui/form2.h"
#include "ui/form5.h"
#include "ui/hand_cursor_qt.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

// Each frame has a third row, the code-page choice, below the designed two
// (480 twips each): the frames, "Next >" and the window grow by as much.
constexpr int kCodePageRow = 480;
// Source 2 has one row more: a database or CSV file in place of its folder.
constexpr int kSideRow = 480;
const QSize kDesignSize = twipsSize(8040, 4110 + 2 * kCodePageRow + kSideRow);

// Fills a code-page box with the choices, each carrying its code page.
void fillCodePages(QComboBox* box) {
    for (const auto& choice : wizard::codePageChoices())
        box->addItem(qs(choice.caption), choice.codePage);
}

}  // namespace

Form1::Form1(Wizard& wizard) : wizard_(wizard) {
    setObjectName(QStringLiteral("Form1"));
    dialogs_ = std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); });
    model_ = std::make_unique<wizard::StartWindowModel>(wizard.run(), wizard.store(), *dialogs_,
                                                        wizard.applicationFolder(),
                                                        wizard.startupEnvironment());
    build();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::build() {
    setFont(arialFont(kTextPointSize, true));
    resize(kDesignSize);
    setMinimumSize(kDesignSize);

    PushButton4 =
        addButton(this, "PushButton4", QStringLiteral("Help"), twipsRect(120, 120, 7800, 405));

    Frame1 = addFrame(this, "Frame1", QStringLiteral("FoxPro Login #1"),
                      twipsRect(120, 585, 7800, 1425 + kCodePageRow));
    // The labels reach to the text box (2160 instead of 2025 twips): the
    // metric-compatible Arial needs 143 pixels for the caption.
    Label1 = addLabel(Frame1, "Label1", QStringLiteral("Folder containing DBF/s:"),
                      twipsRect(240, 330, 2160, 225));
    Text1 = addTextBox(Frame1, "Text1", twipsRect(2400, 270, 4455, 345));
    PushButton1 =
        addButton(Frame1, "PushButton1", QStringLiteral("..."), twipsRect(6960, 270, 600, 345));
    PushButton5 = addButton(Frame1, "PushButton5", QStringLiteral("Load Sample/Example Database"),
                            twipsRect(240, 750, 3600, 405));
    PushButton8 = addButton(Frame1, "PushButton8", QStringLiteral("Test Connection"),
                            twipsRect(3960, 750, 2880, 405));
    PushButton12 =
        addButton(Frame1, "PushButton12", QStringLiteral("dbc"), twipsRect(6960, 750, 600, 405));
    Label3 =
        addLabel(Frame1, "Label3", QStringLiteral("Code page:"), twipsRect(240, 1350, 2160, 225));
    Combo1 = addComboBox(Frame1, "Combo1", Label3, twipsRect(2400, 1290, 4455, 345));

    Frame2 = addFrame(this, "Frame2",
                      QStringLiteral("FoxPro Login #2  (Folder can be the same file as #1)"),
                      twipsRect(120, 2070 + kCodePageRow, 7800, 1425 + kCodePageRow + kSideRow));
    Label2 = addLabel(Frame2, "Label2", QStringLiteral("Folder containing DBF/s:"),
                      twipsRect(240, 330, 2160, 225));
    Text2 = addTextBox(Frame2, "Text2", twipsRect(2400, 270, 4455, 345));
    PushButton3 =
        addButton(Frame2, "PushButton3", QStringLiteral("..."), twipsRect(6960, 270, 600, 345));
    PushButton9 = addButton(Frame2, "PushButton9", QStringLiteral("Load Sample/Example Database"),
                            twipsRect(240, 750, 3600, 405));
    PushButton6 = addButton(Frame2, "PushButton6", QStringLiteral("Test Connection"),
                            twipsRect(3960, 750, 2880, 405));
    PushButton7 =
        addButton(Frame2, "PushButton7", QStringLiteral("dbc"), twipsRect(6960, 750, 600, 405));
    Label4 =
        addLabel(Frame2, "Label4", QStringLiteral("Code page:"), twipsRect(240, 1350, 2160, 225));
    Combo2 = addComboBox(Frame2, "Combo2", Label4, twipsRect(2400, 1290, 4455, 345));
    PushButton10 = addButton(Frame2, "PushButton10", QStringLiteral("Database or CSV file\u2026"),
                             twipsRect(240, 1290 + kSideRow, 3600, 345));
    Text3 = addTextBox(Frame2, "Text3", twipsRect(3960, 1290 + kSideRow, 3600, 345));
    Text3->setAccessibleName(QStringLiteral("Database or CSV file of source #2"));
    Text3->setPlaceholderText(QStringLiteral("postgresql://host/db, sqlite:FILE or csv:FILE"));
    Text3->setToolTip(
        QStringLiteral("Source #2 as an SQLite or CSV file, or a PostgreSQL URI; "
                       "empty for the folder above"));
    PushButton10->setToolTip(QStringLiteral("Choose an SQLite or CSV file as source #2"));
    fillCodePages(Combo1);
    fillCodePages(Combo2);

    PushButton2 = addButton(this, "PushButton2", QStringLiteral("Next >"),
                            twipsRect(120, 3600 + 2 * kCodePageRow + kSideRow, 7800, 405));

    selectAllOnFocus(Text1);
    selectAllOnFocus(Text2);
    selectAllOnFocus(Text3);

    // Alt+letter, one letter per control of the window: the twin controls
    // of the second source take other letters of the same captions.
    setMnemonic(PushButton4, 'H');
    setMnemonic(Label1, 'F', Text1);
    setMnemonic(PushButton5, 'L');
    setMnemonic(PushButton8, 'T');
    setMnemonic(PushButton12, 'd');
    setMnemonic(Label3, 'C', Combo1);
    setMnemonic(Label2, 'o', Text2);
    setMnemonic(PushButton9, 'S');
    setMnemonic(PushButton6, 'e');
    setMnemonic(PushButton7, 'b');
    setMnemonic(Label4, 'p', Combo2);
    setMnemonic(PushButton10, 'a');
    setMnemonic(PushButton2, 'N');
    installWindowKeys(this, {PushButton2}, {});

    setTabOrder(Text1, PushButton1);
    setTabOrder(PushButton1, PushButton5);
    setTabOrder(PushButton5, PushButton8);
    setTabOrder(PushButton8, PushButton12);
    setTabOrder(PushButton12, Combo1);
    setTabOrder(Combo1, Text2);
    setTabOrder(Text2, PushButton3);
    setTabOrder(PushButton3, PushButton9);
    setTabOrder(PushButton9, PushButton6);
    setTabOrder(PushButton6, PushButton7);
    setTabOrder(PushButton7, Combo2);
    setTabOrder(Combo2, PushButton10);
    setTabOrder(PushButton10, Text3);
    setTabOrder(Text3, PushButton2);
    setTabOrder(PushButton2, PushButton4);

    installHoverRule(this,
                     {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6,
                      PushButton7, PushButton8, PushButton9, PushButton10, PushButton12},
                     {this, Frame1, Frame2, Text1, Text2, Text3, Combo1, Combo2});

    // A wider window widens the rows; the heights stay as designed.
    auto* stretch = new StretchLayout(kDesignSize);
    for (QWidget* row : {static_cast<QWidget*>(PushButton4), static_cast<QWidget*>(Frame1),
                         static_cast<QWidget*>(Frame2), static_cast<QWidget*>(PushButton2)}) {
        stretch->add(row, 0, 0, 1, 0);
    }
    for (QWidget* box : std::initializer_list<QWidget*>{Text1, Text2, Combo1, Combo2})
        stretch->add(box, 0, 0, 1, 0);
    for (QPushButton* button : {PushButton1, PushButton3, PushButton12, PushButton7}) {
        stretch->add(button, 1, 0, 0, 0);
    }
    for (QPushButton* button : {PushButton5, PushButton9, PushButton10})
        stretch->add(button, 0, 0, 0.5, 0);
    stretch->add(Text3, 0.5, 0, 0.5, 0);
    for (QPushButton* button : {PushButton8, PushButton6}) stretch->add(button, 0.5, 0, 0.5, 0);
    stretch_.reset(stretch);
    setWindowIcon(applicationIcon());
    setWindowTitle(QString::fromUtf8(frame::kProductTitle));
}

void Form1::connectHandlers() {
    wizard::StartWindowView& view = model_->view;
    view.setFolderText = [this](int source, const std::string& text) {
        QLineEdit* box = source == 1 ? Text1 : Text2;
        const QSignalBlocker blocker(box);
        box->setText(qs(text));
    };
    view.setCodePage = [this](int source, int codePage) {
        QComboBox* box = codePageBox(source);
        const QSignalBlocker blocker(box);
        box->setCurrentIndex(std::max(0, box->findData(codePage)));
    };
    view.setSideText = [this](const std::string& text) {
        const QSignalBlocker blocker(Text3);
        Text3->setText(qs(text));
    };
    view.applySystemColors = [this] { ApplySystemColors(this); };
    view.setCaption = [this](const std::string& caption) {
        setWindowTitle(qs(caption));
        setWindowIcon(applicationIcon());
    };
    view.loadHandCursor = [this] {
        // Without the file the toolkit's pointing hand stands in.
        if (const std::optional<QCursor> cursor = loadHandCursorQt(wizard_.applicationFolder())) {
            setHandCursor(*cursor);
        }
    };
    view.setPointer = [this](frame::Pointer pointer) { dialogs_->setPointer(pointer); };
    view.tableList = [this](int source) -> data::StringList& {
        return wizard_.form2().tableList(source);
    };
    view.showTableChoice = [this] {
        movedOn_ = true;
        wizard_.showInPlaceOf(wizard_.form2(), *this);
        hide();
    };
    view.showOptions = [this](int source) { showOptions(source); };
    view.quit = [this] { wizard_.end(); };

    auto click = [this](QPushButton* button, void (wizard::StartWindowModel::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { ((*model_).*handler)(); });
    };
    click(PushButton1, &wizard::StartWindowModel::PushButton1_Click);
    click(PushButton3, &wizard::StartWindowModel::PushButton3_Click);
    click(PushButton8, &wizard::StartWindowModel::PushButton8_Click);
    click(PushButton6, &wizard::StartWindowModel::PushButton6_Click);
    click(PushButton12, &wizard::StartWindowModel::PushButton12_Click);
    click(PushButton7, &wizard::StartWindowModel::PushButton7_Click);
    click(PushButton5, &wizard::StartWindowModel::PushButton5_Click);
    click(PushButton9, &wizard::StartWindowModel::PushButton9_Click);
    click(PushButton4, &wizard::StartWindowModel::PushButton4_Click);
    click(PushButton2, &wizard::StartWindowModel::PushButton2_Click);
    click(PushButton10, &wizard::StartWindowModel::PushButton10_Click);
    connect(Text3, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_->Text3_Change(ss(text)); });
    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_->Text1_Change(ss(text)); });
    connect(Text2, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_->Text2_Change(ss(text)); });
    connect(Combo1, &QComboBox::currentIndexChanged, this,
            [this] { model_->Combo1_Click(Combo1->currentData().toInt()); });
    connect(Combo2, &QComboBox::currentIndexChanged, this,
            [this] { model_->Combo2_Click(Combo2->currentData().toInt()); });
}

QComboBox* Form1::codePageBox(int source) const {
    return source == 1 ? Combo1 : Combo2;
}

void Form1::load() {
    model_->Form_Load();
    Text1->setFocus();
}

void Form1::showOptions(int source) {
    Form5 options(*model_, source, this);
    options.load();
    options.exec();
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (stretch_) stretch_->apply(size());
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    wizard_.end();
}

}  // namespace quorvel::ui
