#include "ui/form3.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>

#include "frame/error_trap.h"
#include "results/text_report.h"
#include "ui/form2.h"
#include "ui/form4.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

const QSize kDesignSize = twipsSize(8040, 4500);
constexpr int kColumnWidthTwips = 6500;

results::LineSource linesOfModel(const DifferenceListModel& model) {
    return {[&model] { return static_cast<std::size_t>(model.count()); },
            [&model](std::size_t index) { return model.text(static_cast<int>(index)); }};
}

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

Form3::Form3(Wizard& wizard) : wizard_(wizard), stretch_(kDesignSize) {
    setObjectName(QStringLiteral("Form3"));
    dialogs_ = std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); });
    setFont(arialFont(kTextPointSize, true));
    resize(kDesignSize);
    setMinimumSize(kDesignSize);
    fields_ = new DifferenceListModel(QStringLiteral("Field Differences"), false, this);
    added_ = new DifferenceListModel(QStringLiteral("Added / Deleted Records"), false, this);

    PushButton2 =
        addButton(this, "PushButton2", QStringLiteral("< Back"), twipsRect(120, 120, 7800, 405));
    ListView1 = addDifferenceList(this, "ListView1", fields_, twipsRect(120, 630, 7800, 1335));
    ListView2 = addDifferenceList(this, "ListView2", added_, twipsRect(120, 2060, 7800, 1335));
    PushButton4 = addButton(this, "PushButton4", QStringLiteral("Save Results to Text File"),
                            twipsRect(120, 3480, 7800, 405));
    PushButton3 =
        addButton(this, "PushButton3", QStringLiteral("Create New Table Based On Differences"),
                  twipsRect(120, 3990, 7800, 405));

    setTabOrder(PushButton2, ListView1);
    setTabOrder(ListView1, ListView2);
    setTabOrder(ListView2, PushButton4);
    setTabOrder(PushButton4, PushButton3);
    installHoverRule(this, {PushButton2, PushButton3, PushButton4}, {this, ListView1, ListView2});

    stretch_.add(PushButton2, 0, 0, 1, 0);
    stretch_.add(ListView1, 0, 0, 1, 0.5);
    stretch_.add(ListView2, 0, 0.5, 1, 0.5);
    stretch_.add(PushButton4, 0, 1, 1, 0);
    stretch_.add(PushButton3, 0, 1, 1, 0);

    connect(PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form3::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form3::PushButton4_Click);
}

Form3::~Form3() = default;

void Form3::load() {
    frame::ErrorTrap trap(*dialogs_, "Form3.Form_Load");
    trap.step([&] { setUpWindow(this); });
}

void Form3::PushButton2_Click() {
    // "< Back" while the report is being saved is ignored: the save reads
    // these lists.
    if (saving_) return;
    frame::ErrorTrap trap(*dialogs_, "Form3.PushButton2_Click");
    trap.step([&] { fields_->clear(); });
    trap.step([&] { added_->clear(); });
    trap.step([&] {
        if (wizard_.hasForm4()) {
            wizard_.form4().fieldList().clear();
            wizard_.form4().addedList().clear();
        }
    });
    trap.step([&] {
        wizard_.form2().show();
        hide();
    });
}

void Form3::PushButton3_Click() {
    frame::ErrorTrap trap(*dialogs_, "Form3.PushButton3_Click");
    trap.step([&] {
        wizard_.form4().show();
        hide();
    });
}

void Form3::PushButton4_Click() {
    if (saving_) return;
    frame::ErrorTrap trap(*dialogs_, "Form3.PushButton4_Click");
    std::string fileName;
    trap.step([&] {
        frame::FileDialogRequest request;
        request.title = "Save File As";
        request.fileName = "";
        request.filter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|";
        fileName = dialogs_->saveFileName(request);
    });
    if (fileName.empty()) return;
    saving_ = true;
    trap.step([&] { dialogs_->setPointer(frame::Pointer::Hourglass); });
    std::string report;
    trap.step([&] {
        report = results::buildTextReport(linesOfModel(*fields_), linesOfModel(*added_),
                                          [this] { wizard_.processEvents(); });
    });
    trap.step([&] { results::WriteTextFile(report, fileName); });
    saving_ = false;
    trap.step([&] { dialogs_->setPointer(frame::Pointer::Default); });
}

void Form3::closeEvent(QCloseEvent* event) {
    event->accept();
    wizard_.end();
}

void Form3::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stretch_.apply(size());
}

}  // namespace quorvel::ui
