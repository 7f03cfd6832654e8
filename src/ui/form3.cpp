#include "ui/form3.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

#include "ui/form2.h"
#include "ui/form4.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

const QSize kDesignSize = twipsSize(8040, 4800);
constexpr int kColumnWidthTwips = 6500;

}  // namespace

QTreeView* addDifferenceList(QWidget* parent, const char* name, DifferenceListModel* model,
                             const QRect& rect) {
    auto* view = new QTreeView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setFont(arialFont(kTextPointSize, true));
    view->setGeometry(rect);
    // A flat list: no tree decoration, every row the same height so that a
    // million lines lay out and scroll without measuring each one.
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setToolTip(QString::fromUtf8(kListTooltip));
    view->setModel(model);
    QObject::connect(model, &DifferenceListModel::allChecksChanged, view->viewport(),
                     qOverload<>(&QWidget::update));
    view->header()->setStretchLastSection(false);
    view->header()->setSectionResizeMode(QHeaderView::Interactive);
    view->header()->resizeSection(0, twips(kColumnWidthTwips));
    return view;
}

Form3::Form3(Wizard& wizard)
    : wizard_(wizard),
      dialogs_(std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); })),
      model_(wizard.run(), *dialogs_),
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
    Label1 = addLabel(this, "Label1", QString(), twipsRect(120, 600, 7800, 255));
    Label2 = addLabel(this, "Label2", QString(), twipsRect(120, 870, 7800, 255));
    ListView1 = addDifferenceList(this, "ListView1", fields_, twipsRect(120, 1155, 7800, 1110));
    ListView2 = addDifferenceList(this, "ListView2", added_, twipsRect(120, 2360, 7800, 1335));
    PushButton4 = addButton(this, "PushButton4", QStringLiteral("Save Results to Text File"),
                            twipsRect(120, 3780, 7800, 405));
    PushButton3 =
        addButton(this, "PushButton3", QStringLiteral("Create New Table Based On Differences"),
                  twipsRect(120, 4290, 7800, 405));

    setMnemonic(PushButton2, 'B');
    setMnemonic(PushButton4, 'S');
    setMnemonic(PushButton3, 'C');
    installWindowKeys(this, {PushButton3}, {PushButton2});

    setTabOrder(PushButton2, ListView1);
    setTabOrder(ListView1, ListView2);
    setTabOrder(ListView2, PushButton4);
    setTabOrder(PushButton4, PushButton3);
    installHoverRule(this, {PushButton2, PushButton3, PushButton4}, {this, ListView1, ListView2});

    stretch_.add(PushButton2, 0, 0, 1, 0);
    stretch_.add(Label1, 0, 0, 1, 0);
    stretch_.add(Label2, 0, 0, 1, 0);
    stretch_.add(ListView1, 0, 0, 1, 0.5);
    stretch_.add(ListView2, 0, 0.5, 1, 0.5);
    stretch_.add(PushButton4, 0, 1, 1, 0);
    stretch_.add(PushButton3, 0, 1, 1, 0);

    wizard::ResultsView& view = model_.view;
    view.setUp = [this] { setUpWindow(this); };
    view.showTableChoice = [this] { wizard_.showInPlaceOf(wizard_.form2(), *this); };
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
    connect(PushButton2, &QPushButton::clicked, this, [this] { model_.PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { model_.PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { model_.PushButton4_Click(); });
}

Form3::~Form3() = default;

void Form3::load() {
    model_.Form_Load();
}

void Form3::closeEvent(QCloseEvent* event) {
    event->accept();
    wizard_.end();
}

void Form3::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_.Form_Activate();
}

void Form3::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stretch_.apply(size());
}

}  // namespace quorvel::ui
