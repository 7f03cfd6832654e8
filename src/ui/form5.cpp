#include "ui/form5.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "ui/window_setup.h"

namespace quorvel::ui {

Form5::Form5(wizard::StartWindowModel& start, int source, QWidget* owner)
    : QDialog(owner), model_(start, source) {
    setObjectName(qs(model_.formName()));
    setModal(true);
    setWindowTitle(QStringLiteral("Advanced Options"));
    setWindowIcon(applicationIcon());
    setFont(arialFont(kTextPointSize, true));
    setFixedSize(twipsSize(6120, 1830));

    Frame2 = addFrame(this, "Frame2", qs(model_.frameCaption()), twipsRect(120, 60, 5880, 1035));
    Label1 =
        addLabel(Frame2, "Label1", QStringLiteral("DBC File:"), twipsRect(240, 450, 1020, 225));
    Text1 = addTextBox(Frame2, "Text1", twipsRect(1320, 390, 3720, 345));
    PushButton5 =
        addButton(Frame2, "PushButton5", QStringLiteral("..."), twipsRect(5100, 390, 600, 345));
    PushButton1 =
        addButton(this, "PushButton1", QStringLiteral("OK"), twipsRect(2280, 1245, 1800, 405));
    PushButton2 =
        addButton(this, "PushButton2", QStringLiteral("Cancel"), twipsRect(4200, 1245, 1800, 405));
    setMnemonic(Label1, 'D', Text1);
    setMnemonic(PushButton1, 'O');
    setMnemonic(PushButton2, 'C');
    installWindowKeys(this, {PushButton1}, {PushButton2});
    setTabOrder(Text1, PushButton5);
    setTabOrder(PushButton5, PushButton1);
    setTabOrder(PushButton1, PushButton2);
    selectAllOnFocus(Text1);
    installHoverRule(this, {PushButton5, PushButton1, PushButton2}, {this, Frame2, Text1});
    ApplySystemColors(this);

    model_.setText = [this](const std::string& text) {
        const QSignalBlocker blocker(Text1);
        Text1->setText(qs(text));
    };
    model_.close = [this] { accept(); };
    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString& text) { model_.Text1_Change(ss(text)); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { model_.PushButton5_Click(); });
    connect(PushButton1, &QPushButton::clicked, this, [this] { model_.PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { model_.PushButton2_Click(); });
}

Form5::~Form5() = default;

void Form5::load() {
    model_.Form_Load();
    Text1->setFocus();
}

}  // namespace quorvel::ui
