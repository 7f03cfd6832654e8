#include "ui/form3.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/elided_label.h"
#include "ui/form2.h"
#include "ui/form4.h"
#include "ui/results_panel.h"
#include "ui/summary_window.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

// The smallest window; it opens larger, with room for the record details.
const QSize kDesignSize = twipsSize(8040, 6720);
const QSize kOpeningSize(1000, 720);
// Buttons of the shift hint: more than the pairings ever offered.
constexpr int kHintButtons = 4;

}  // namespace

Form3::Form3(Wizard& wizard)
    : wizard_(wizard),
      dialogs_(std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); })),
      model_(wizard.run(), *dialogs_),
      detail_(wizard.run(), wizard.store(), wizard.locale()),
      stretch_(kDesignSize) {
    setObjectName(QStringLiteral("Form3"));
    setFont(arialFont(kTextPointSize, true));
    resize(kDesignSize);
    setMinimumSize(kDesignSize);
    fields_ = new DifferenceListModel(QStringLiteral("Field Differences"), false,
                                      wizard.run().fieldDifferences(), this);
    added_ = new DifferenceListModel(QStringLiteral("Added / Deleted Records"), false,
                                     wizard.run().addedDeleted(), this);

    PushButton2 =
        addButton(this, "PushButton2", QStringLiteral("< Back"), twipsRect(120, 120, 7800, 405));
    Label3 = new ElidedLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAccessibleName(QStringLiteral("Compared tables"));
    Label3->setFont(arialFont(kTextPointSize, true));
    Label3->setGeometry(twipsRect(120, 600, 7800, 255));
    Label1 = addLabel(this, "Label1", QString(), twipsRect(120, 870, 7800, 255));
    Label4 = new ElidedLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setAccessibleName(QStringLiteral("Comparison options"));
    Label4->setFont(arialFont(kTextPointSize, false));
    Label4->setGeometry(twipsRect(120, 1140, 7800, 255));
    Label2 = addLabel(this, "Label2", QString(), twipsRect(120, 1410, 7800, 255));
    panel_ = new ResultsPanel(this, fields_, added_, detail_);
    panel_->setGeometry(twipsRect(120, 1710, 7800, 3900));
    ListView1 = panel_->list(1);
    ListView2 = panel_->list(2);
    PushButton4 = addButton(this, "PushButton4", QStringLiteral("Save Results to Text File"),
                            twipsRect(120, 5700, 7800, 405));
    PushButton3 =
        addButton(this, "PushButton3", QStringLiteral("Create New Table Based On Differences"),
                  twipsRect(120, 6210, 7800, 405));

    // The shift hint, above the first list while it has something to say.
    Hint = new QFrame(panel_);
    Hint->setObjectName(QStringLiteral("Hint"));
    Hint->setFrameShape(QFrame::StyledPanel);
    Hint->setAccessibleName(QStringLiteral("Shifted records"));
    auto* hintLayout = new QVBoxLayout(Hint);
    hintLayout->setContentsMargins(6, 4, 6, 4);
    HintText = new QLabel(Hint);
    HintText->setObjectName(QStringLiteral("HintText"));
    HintText->setWordWrap(true);
    HintText->setFont(arialFont(kTextPointSize, false));
    hintLayout->addWidget(HintText);
    // One button per offered pairing, made ahead so that the hover rule
    // knows them.
    auto* buttons = new QHBoxLayout();
    for (int i = 0; i < kHintButtons; ++i) {
        const std::string name = "HintButton" + std::to_string(i + 1);
        auto* button = new QPushButton(Hint);
        button->setObjectName(qs(name));
        button->setAutoDefault(false);
        button->setFont(arialFont(kTextPointSize, true));
        button->hide();
        // Later: the click ends in this window showing anew.
        connect(button, &QPushButton::clicked, this, [this, i] {
            QMetaObject::invokeMethod(
                this, [this, i] { model_.HintButton_Click(i); }, Qt::QueuedConnection);
        });
        buttons->addWidget(button);
        hintButtons_.push_back(button);
    }
    buttons->addStretch(1);
    hintLayout->addLayout(buttons);
    Hint->hide();
    panel_->addAboveLists(Hint);

    setMnemonic(PushButton2, 'B');
    setMnemonic(PushButton4, 'S');
    setMnemonic(PushButton3, 'C');
    installWindowKeys(this, {PushButton3}, {PushButton2});

    QList<QWidget*> hand{PushButton2, PushButton3, PushButton4};
    hand << panel_->handControls();
    for (QPushButton* button : hintButtons_) hand << button;
    QList<QWidget*> plain{this};
    plain << panel_->plainControls();
    installHoverRule(this, hand, plain);

    // Wider: everything widens; taller: the lists and the pane take it.
    stretch_.add(PushButton2, 0, 0, 1, 0);
    stretch_.add(Label3, 0, 0, 1, 0);
    stretch_.add(Label1, 0, 0, 1, 0);
    stretch_.add(Label4, 0, 0, 1, 0);
    stretch_.add(Label2, 0, 0, 1, 0);
    stretch_.add(panel_, 0, 0, 1, 1);
    stretch_.add(PushButton4, 0, 1, 1, 0);
    stretch_.add(PushButton3, 0, 1, 1, 0);
    resize(kDesignSize.expandedTo(kOpeningSize));

    wizard::ResultsView& view = model_.view;
    view.setUp = [this] { setUpWindow(this); };
    view.showTableChoice = [this] { wizard_.showInPlaceOf(wizard_.form2(), *this); };
    view.showSummary = [this] { wizard_.showInPlaceOf(wizard_.summary(), *this); };
    view.showNewTable = [this] { wizard_.showInPlaceOf(wizard_.form4(), *this); };
    view.hide = [this] { hide(); };
    view.processEvents = [this] { wizard_.processEvents(); };
    view.setPairingText = [this](const std::string& text) { Label1->setText(qs(text)); };
    view.setStructureText = [this](const std::string& text) {
        // One line; the whole text, however long, in the tooltip.
        Label2->setText(qs(text));
        Label2->setToolTip(qs(text));
        Label2->setAccessibleName(text.empty() ? QStringLiteral("Structure differences")
                                               : qs(text));
    };
    view.setNewTableAllowed = [this](bool allowed, const std::string& reason) {
        PushButton3->setEnabled(allowed);
        PushButton3->setToolTip(qs(reason));
        // A disabled button is still read out; its description says why.
        PushButton3->setAccessibleDescription(qs(reason));
    };
    view.setTablesText = [this](const std::string& text) { Label3->setFullText(qs(text)); };
    view.setOptionsText = [this](const std::string& text) { Label4->setFullText(qs(text)); };
    view.setShiftHint = [this](const wizard::ShiftHint& hint) { showShiftHint(hint); };
    view.runAgain = [this](const compare::RecordPairing& pairing) {
        wizard_.form2().model().runAgain(pairing);
    };
    connect(PushButton2, &QPushButton::clicked, this, [this] { model_.PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { model_.PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { model_.PushButton4_Click(); });
}

Form3::~Form3() = default;

void Form3::showShiftHint(const wizard::ShiftHint& hint) {
    HintText->setText(qs(hint.text));
    HintText->setAccessibleName(hint.text.empty() ? QStringLiteral("Shifted records")
                                                  : qs(hint.text));
    for (std::size_t i = 0; i < hintButtons_.size(); ++i) {
        QPushButton* button = hintButtons_[i];
        const bool offered = i < hint.offers.size();
        if (offered) {
            button->setText(qs(hint.offers[i].caption));
            button->setAccessibleName(button->text());
        }
        button->setVisible(offered);
    }
    Hint->setVisible(!hint.text.empty());
}

void Form3::load() {
    model_.Form_Load();
}

void Form3::closeEvent(QCloseEvent* event) {
    event->accept();
    wizard_.end();
}

void Form3::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    panel_->restore();
    model_.Form_Activate();
}

void Form3::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stretch_.apply(size());
}

}  // namespace quorvel::ui
