#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/window_setup.h"

namespace quorvel::ui {

namespace {

QCheckBox* addCheckBox(QWidget* parent, const char* name, const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setFont(arialFont(kTextPointSize, true));
    box->setChecked(checked);
    box->setAccessibleName(caption);
    return box;
}

}  // namespace

OptionsDialog::OptionsDialog(wizard::OptionsModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(QStringLiteral("Options"));
    setFont(arialFont(kTextPointSize, true));

    auto* fieldsLabel = new QLabel(QStringLiteral("Fields to compare:"), this);
    fieldsLabel->setObjectName(QStringLiteral("Label1"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Fields to compare:"));
    List1->setSelectionMode(QAbstractItemView::NoSelection);
    for (std::size_t i = 0; i < model.fields.size(); ++i) {
        auto* item = new QListWidgetItem(qs(model.fields[i]), List1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(model.compared[i] ? Qt::Checked : Qt::Unchecked);
    }
    Check1 = addCheckBox(this, "Check1", QStringLiteral("Ignore trailing blanks"),
                         model.ignoreTrailingBlanks);
    Check2 = addCheckBox(this, "Check2", QStringLiteral("Ignore case"), model.ignoreCase);
    auto* toleranceLabel = new QLabel(QStringLiteral("Numeric tolerance:"), this);
    toleranceLabel->setObjectName(QStringLiteral("Label2"));
    Text1 = new QLineEdit(qs(model.tolerance), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Numeric tolerance:"));
    Text1->setPlaceholderText(QStringLiteral("none"));
    Check3 =
        addCheckBox(this, "Check3", QStringLiteral("Show structure differences"), model.structure);
    PushButton1 = new QPushButton(QStringLiteral("OK"), this);
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton1->setDefault(true);
    PushButton1->setAccessibleName(QStringLiteral("OK"));
    PushButton2 = new QPushButton(QStringLiteral("Cancel"), this);
    PushButton2->setObjectName(QStringLiteral("PushButton2"));
    PushButton2->setAccessibleName(QStringLiteral("Cancel"));

    setMnemonic(fieldsLabel, 'F', List1);
    setMnemonic(Check1, 'b');
    setMnemonic(Check2, 'c');
    setMnemonic(toleranceLabel, 't', Text1);
    setMnemonic(Check3, 's');

    auto* tolerance = new QHBoxLayout;
    tolerance->addWidget(toleranceLabel);
    tolerance->addWidget(Text1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(PushButton1);
    buttons->addWidget(PushButton2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fieldsLabel);
    layout->addWidget(List1, 1);
    layout->addWidget(Check1);
    layout->addWidget(Check2);
    layout->addLayout(tolerance);
    layout->addWidget(Check3);
    layout->addLayout(buttons);
    resize(twipsSize(4800, 5400));

    connect(PushButton1, &QPushButton::clicked, this, &QDialog::accept);
    connect(PushButton2, &QPushButton::clicked, this, &QDialog::reject);
}

void OptionsDialog::writeBack() {
    for (int i = 0; i < List1->count() && i < static_cast<int>(model_.compared.size()); ++i)
        model_.compared[static_cast<std::size_t>(i)] = List1->item(i)->checkState() == Qt::Checked;
    model_.ignoreTrailingBlanks = Check1->isChecked();
    model_.ignoreCase = Check2->isChecked();
    model_.tolerance = ss(Text1->text());
    model_.structure = Check3->isChecked();
}

bool OptionsDialog::edit(wizard::OptionsModel& model, QWidget* parent) {
    OptionsDialog dialog(model, parent);
    setUpWindow(&dialog);
    dialog.setWindowTitle(QStringLiteral("Options"));
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.writeBack();
    return true;
}

}  // namespace quorvel::ui
