#include "ui/form2.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <tuple>

#include "ui/elided_label.h"
#include "ui/form1.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/options_dialog.h"
#include "ui/summary_window.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

const QSize kDesignSize = twipsSize(8040, 5535);

}  // namespace

Form2::Form2(Wizard& wizard) : wizard_(wizard), stretch_(kDesignSize) {
    setObjectName(QStringLiteral("Form2"));
    dialogs_ = std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); });
    model_ = std::make_unique<wizard::TableChoiceModel>(wizard.run(), *dialogs_, wizard.locale(),
                                                        wizard.store());
    setFont(arialFont(kTextPointSize, true));
    resize(kDesignSize);
    setMinimumSize(kDesignSize);

    PushButton2 =
        addButton(this, "PushButton2", QStringLiteral("< Back"), twipsRect(120, 120, 7800, 405));
    Frame1 = addFrame(this, "Frame1", QStringLiteral("Which two tables do you want to compare?"),
                      twipsRect(120, 600, 7800, 2430));
    Label2 =
        addLabel(Frame1, "Label2", QStringLiteral("Table #1:"), twipsRect(240, 300, 2460, 255));
    Label3 =
        addLabel(Frame1, "Label3", QStringLiteral("Table #2"), twipsRect(3960, 300, 1860, 255));
    for (QListWidget** list : {&List1, &List2}) {
        *list = new QListWidget(Frame1);
        (*list)->setSelectionMode(QAbstractItemView::SingleSelection);
        (*list)->setSortingEnabled(false);
        (*list)->setFont(arialFont(kTextPointSize, true));
    }
    List1->setObjectName(QStringLiteral("List1"));
    List2->setObjectName(QStringLiteral("List2"));
    List1->setGeometry(twipsRect(240, 600, 3600, 1410));
    List2->setGeometry(twipsRect(3960, 600, 3600, 1410));
    // Under each list, the source its tables come from.
    int side = 1;
    for (ElidedLabel** label : {&Label4, &Label5}) {
        *label = new ElidedLabel(Frame1);
        (*label)->setObjectName(side == 1 ? QStringLiteral("Label4") : QStringLiteral("Label5"));
        (*label)->setAccessibleName(QStringLiteral("Source #%1").arg(side));
        (*label)->setFont(arialFont(kTextPointSize, false));
        (*label)->setGeometry(twipsRect(side == 1 ? 240 : 3960, 2070, 3600, 255));
        ++side;
    }
    // How records are paired: three options on the left, the key fields
    // that both chosen tables share on the right.
    Frame2 = addFrame(this, "Frame2", QStringLiteral("Pair records by:"),
                      twipsRect(120, 3135, 7800, 1260));
    // Four options in the frame's height: a little closer than a row apart.
    int optionTop = 240;
    for (auto [option, name, caption] :
         {std::tuple{&Option1, "Option1", "Position"},
          std::tuple{&Option2, "Option2", "Key fields"}, std::tuple{&Option3, "Option3", "Content"},
          std::tuple{&Option4, "Option4", "Table's own key (automatic)"}}) {
        *option = new QRadioButton(QString::fromLatin1(caption), Frame2);
        (*option)->setObjectName(QString::fromLatin1(name));
        (*option)->setFont(arialFont(kTextPointSize, true));
        (*option)->setGeometry(twipsRect(240, optionTop, option == &Option4 ? 2700 : 1800, 255));
        (*option)->setAccessibleName(QString::fromLatin1(caption));
        optionTop += 240;
    }
    Option1->setChecked(true);
    List3 = new QListWidget(Frame2);
    List3->setObjectName(QStringLiteral("List3"));
    List3->setAccessibleName(QStringLiteral("Key fields"));
    List3->setToolTip(QStringLiteral("The fields both tables share: tick the key fields"));
    List3->setFont(arialFont(kTextPointSize, true));
    List3->setSelectionMode(QAbstractItemView::NoSelection);
    List3->setGeometry(twipsRect(3000, 270, 4560, 630));
    // On the row of "Table's own key (automatic)": the key it would use.
    Label6 = new ElidedLabel(Frame2);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setAccessibleName(QStringLiteral("Table's own key"));
    Label6->setFont(arialFont(kTextPointSize, false));
    Label6->setGeometry(twipsRect(3000, 960, 4560, 255));
    PushButton4 = addButton(this, "PushButton4", QStringLiteral("Options\u2026"),
                            twipsRect(120, 4510, 1800, 405));
    PushButton5 = addButton(this, "PushButton5", QStringLiteral("Compare All Tables"),
                            twipsRect(2040, 4510, 2880, 405));
    PushButton3 =
        addButton(this, "PushButton3", QStringLiteral("Next >"), twipsRect(5040, 4510, 2880, 405));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress Bar"));
    ProgressBar1->setGeometry(twipsRect(120, 5040, 7800, 405));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFont(arialFont(kTextPointSize, true));
    setProgress(0, wizard::kProgressBarText);

    setMnemonic(PushButton2, 'B');
    setMnemonic(PushButton3, 'N');
    setMnemonic(PushButton4, 'O');
    setMnemonic(PushButton5, 'A');
    setMnemonic(Label2, '1', List1);
    setMnemonic(Label3, '2', List2);
    setMnemonic(Option1, 'P');
    setMnemonic(Option2, 'K');
    setMnemonic(Option3, 'C');
    installWindowKeys(this, {PushButton3}, {PushButton2});

    setTabOrder(PushButton2, List1);
    setTabOrder(List1, List2);
    setTabOrder(List2, Option1);
    setTabOrder(Option1, Option2);
    setTabOrder(Option2, Option3);
    setTabOrder(Option3, Option4);
    setTabOrder(Option4, List3);
    setTabOrder(List3, PushButton4);
    setTabOrder(PushButton4, PushButton5);
    setTabOrder(PushButton5, PushButton3);
    List1->setAccessibleName(QStringLiteral("Table #1:"));
    List2->setAccessibleName(QStringLiteral("Table #2"));

    mirror(model_->tableList(1), List1);
    mirror(model_->tableList(2), List2);

    installHoverRule(
        this, {PushButton2, PushButton3, PushButton4, PushButton5},
        {this, Frame1, List1, List2, Frame2, Option1, Option2, Option3, Option4, List3});

    // Wider: everything widens, the two lists share the extra width.
    // Taller: the table lists take the extra height.
    stretch_.add(PushButton2, 0, 0, 1, 0);
    stretch_.add(Frame1, 0, 0, 1, 1);
    stretch_.add(Label3, 0.5, 0, 0, 0);
    stretch_.add(List1, 0, 0, 0.5, 1);
    stretch_.add(List2, 0.5, 0, 0.5, 1);
    stretch_.add(Label4, 0, 1, 0.5, 0);
    stretch_.add(Label5, 0.5, 1, 0.5, 0);
    stretch_.add(Frame2, 0, 1, 1, 0);
    stretch_.add(List3, 0, 0, 1, 0);
    stretch_.add(Label6, 0, 0, 1, 0);
    stretch_.add(PushButton4, 0, 1, 0, 0);
    stretch_.add(PushButton5, 0, 1, 0.5, 0);
    stretch_.add(PushButton3, 0.5, 1, 0.5, 0);
    stretch_.add(ProgressBar1, 0, 1, 1, 0);

    connectModel();
}

Form2::~Form2() = default;

void Form2::mirror(data::StringList& list, QListWidget* view) {
    list.onCleared = [view] { view->clear(); };
    list.onAdded = [view](int, const std::string& text) { view->addItem(qs(text)); };
    view->clear();
    for (const std::string& text : list.items()) view->addItem(qs(text));
}

void Form2::connectModel() {
    wizard::TableChoiceView& view = model_->view;
    view.setUp = [this] { setUpWindow(this); };
    view.selectedEntries = [this](int list) {
        std::vector<std::string> texts;
        for (QListWidgetItem* item : (list == 1 ? List1 : List2)->selectedItems())
            texts.push_back(ss(item->text()));
        return texts;
    };
    view.select = [this](int list, int row) { (list == 1 ? List1 : List2)->setCurrentRow(row); };
    view.setProgress = [this](int value, const std::string& text) { setProgress(value, text); };
    view.showStartWindow = [this] { wizard_.showInPlaceOf(wizard_.form1(), *this); };
    view.showResults = [this] { wizard_.showInPlaceOf(wizard_.form3(), *this); };
    view.hide = [this] { hide(); };
    view.setNewTableName = [this](const std::string& name) {
        wizard_.form4().model().setNewTableName(name);
    };
    view.setNewTableCaption = [this](const std::string& caption) {
        wizard_.form4().model().setCaptionText(caption);
    };
    view.processEvents = [this] { wizard_.processEvents(); };
    view.ending = [this] { return wizard_.ending(); };
    view.setPairing = [this](compare::Pairing by) {
        (by == compare::Pairing::Key       ? Option2
         : by == compare::Pairing::Content ? Option3
         : by == compare::Pairing::Auto    ? Option4
                                           : Option1)
            ->setChecked(true);
    };
    view.setSourceTexts = [this](const std::string& source1, const std::string& source2) {
        Label4->setFullText(qs(source1));
        Label5->setFullText(qs(source2));
    };
    view.setAutoKeyText = [this](const std::string& text) {
        Label6->setFullText(text.empty() ? QString() : QStringLiteral("Key: ") + qs(text));
        if (text.empty()) Label6->setAccessibleName(QStringLiteral("Table's own key"));
    };
    view.compareAllTables = [this](compare::Pairing by) {
        SummaryWindow& summary = wizard_.summary();
        wizard_.showInPlaceOf(summary, *this);
        hide();
        summary.model().compareAll(by);
    };
    view.editOptions = [this](wizard::OptionsModel& options) {
        return OptionsDialog::edit(options, this);
    };
    view.setKeyFields = [this](const std::vector<std::string>& fields,
                               const std::vector<bool>& ticked) {
        // Filled without announcing every tick as the user's.
        const QSignalBlocker blocker(List3);
        List3->clear();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            auto* item = new QListWidgetItem(qs(fields[i]), List3);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(ticked[i] ? Qt::Checked : Qt::Unchecked);
        }
    };

    connect(PushButton2, &QPushButton::clicked, this, [this] { model_->PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { model_->PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { model_->PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { model_->PushButton5_Click(); });
    connect(List1, &QListWidget::itemSelectionChanged, this, [this] { model_->List1_Click(); });
    connect(List2, &QListWidget::itemSelectionChanged, this, [this] { model_->List2_Click(); });
    connect(Option1, &QRadioButton::clicked, this, [this] { model_->Option1_Click(); });
    connect(Option2, &QRadioButton::clicked, this, [this] { model_->Option2_Click(); });
    connect(Option3, &QRadioButton::clicked, this, [this] { model_->Option3_Click(); });
    connect(Option4, &QRadioButton::clicked, this, [this] { model_->Option4_Click(); });
    connect(List3, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        model_->List3_ItemCheck(List3->row(item), item->checkState() == Qt::Checked);
    });
}

void Form2::load() {
    model_->Form_Load();
}

void Form2::setProgress(int value, const std::string& text) {
    // The run's texts hold no '%', which the bar would read as a placeholder.
    // Text first, so that whoever follows the value sees the matching text.
    ProgressBar1->setFormat(qs(text));
    ProgressBar1->setValue(std::clamp(value, 0, 100));
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    wizard_.end();
}

void Form2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_->Form_Activate();
}

void Form2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stretch_.apply(size());
}

}  // namespace quorvel::ui
