#include "ui/form4.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include "frame/error_trap.h"
#include "results/merge.h"
#include "ui/form3.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

const QSize kDesignSize = twipsSize(8040, 6585);

// The merge reads a list line by line as it reaches it, so a tick changed
// while it runs still counts for the lines ahead.
class ModelLines : public results::MergeLines {
  public:
    explicit ModelLines(const DifferenceListModel& model) : model_(model) {}
    int count() const override { return model_.count(); }
    std::string text(int index) const override { return model_.text(index); }
    bool checked(int index) const override { return model_.checked(index); }

  private:
    const DifferenceListModel& model_;
};

// The program's own windows, as opposed to message boxes and file dialogs.
bool isWizardWindow(const QWidget* window) {
    return window != nullptr && window->objectName().startsWith(QLatin1String("Form"));
}

}  // namespace

Form4::Form4(Wizard& wizard) : wizard_(wizard), stretch_(kDesignSize) {
    setObjectName(QStringLiteral("Form4"));
    dialogs_ = std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); });
    setFont(arialFont(kTextPointSize, true));
    resize(kDesignSize);
    setMinimumSize(kDesignSize);
    fields_ = new DifferenceListModel(QStringLiteral("Field Differences"), true, this);
    added_ = new DifferenceListModel(QStringLiteral("Added / Deleted Records"), true, this);

    Frame3 = addFrame(this, "Frame3", QStringLiteral("Results"), twipsRect(120, 30, 7800, 3900));
    ListView1 = addDifferenceList(Frame3, "ListView1", fields_, twipsRect(240, 300, 7320, 1155));
    PushButton1 = addButton(Frame3, "PushButton1", QStringLiteral("Select All"),
                            twipsRect(240, 1530, 3600, 405));
    PushButton4 = addButton(Frame3, "PushButton4", QStringLiteral("Unselect All"),
                            twipsRect(3960, 1530, 3600, 405));
    ListView2 = addDifferenceList(Frame3, "ListView2", added_, twipsRect(240, 2040, 7320, 1185));
    PushButton5 = addButton(Frame3, "PushButton5", QStringLiteral("Select All"),
                            twipsRect(240, 3300, 3600, 405));
    PushButton6 = addButton(Frame3, "PushButton6", QStringLiteral("Unselect All"),
                            twipsRect(3960, 3300, 3600, 405));
    Frame1 = addFrame(this, "Frame1", QStringLiteral("Results"), twipsRect(120, 3975, 7800, 1095));
    Label1 =
        addLabel(Frame1, "Label1", QStringLiteral(" Create :"), twipsRect(240, 300, 7300, 615));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Frame2 =
        addFrame(this, "Frame2", QStringLiteral("New Table Name"), twipsRect(120, 5130, 7800, 825));
    Text1 = addTextBox(Frame2, "Text1", twipsRect(240, 300, 7300, 345));
    PushButton2 =
        addButton(this, "PushButton2", QStringLiteral("< Back"), twipsRect(120, 6060, 3840, 405));
    PushButton3 =
        addButton(this, "PushButton3", QStringLiteral("Create"), twipsRect(4080, 6060, 3840, 405));

    setTabOrder(ListView1, PushButton1);
    setTabOrder(PushButton1, PushButton4);
    setTabOrder(PushButton4, ListView2);
    setTabOrder(ListView2, PushButton5);
    setTabOrder(PushButton5, PushButton6);
    setTabOrder(PushButton6, Text1);
    setTabOrder(Text1, PushButton2);
    setTabOrder(PushButton2, PushButton3);

    installHoverRule(this,
                     {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6},
                     {this, Frame1, Frame2, Frame3, ListView1, ListView2, Label1, Text1});

    // Wider: everything widens; taller: the lists share the extra height and
    // what lies below them moves down.
    stretch_.add(Frame3, 0, 0, 1, 1);
    stretch_.add(ListView1, 0, 0, 1, 0.5);
    stretch_.add(PushButton1, 0, 0.5, 0.5, 0);
    stretch_.add(PushButton4, 0.5, 0.5, 0.5, 0);
    stretch_.add(ListView2, 0, 0.5, 1, 0.5);
    stretch_.add(PushButton5, 0, 1, 0.5, 0);
    stretch_.add(PushButton6, 0.5, 1, 0.5, 0);
    stretch_.add(Frame1, 0, 1, 1, 0);
    stretch_.add(Label1, 0, 0, 1, 0);
    stretch_.add(Frame2, 0, 1, 1, 0);
    stretch_.add(Text1, 0, 0, 1, 0);
    stretch_.add(PushButton2, 0, 1, 0.5, 0);
    stretch_.add(PushButton3, 0.5, 1, 0.5, 0);

    connect(PushButton1, &QPushButton::clicked, this, &Form4::PushButton1_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form4::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form4::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form4::PushButton6_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form4::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form4::PushButton3_Click);
    watchActiveWindow();
}

Form4::~Form4() = default;

void Form4::load() {
    frame::ErrorTrap trap(*dialogs_, "Form4.Form_Load");
    trap.step([&] { setUpWindow(this); });
    trap.step([&] {
        // The caption label stands out in white.
        QPalette palette = Label1->palette();
        palette.setColor(QPalette::Window, Qt::white);
        Label1->setPalette(palette);
        Label1->setAutoFillBackground(true);
    });
}

void Form4::setNewTableName(const std::string& name) {
    Text1->setText(qs(name));
}

void Form4::setCaptionText(const std::string& text) {
    Label1->setText(qs(text));
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
        Form_Activate();
    }
    return QWidget::event(event);
}

void Form4::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Shown = becoming active, also where the platform activates nothing.
    if (!lastActive_) {
        lastActive_ = true;
        Form_Activate();
    }
}

void Form4::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    lastActive_ = false;
}

void Form4::Form_Activate() {
    frame::ErrorTrap trap(*dialogs_, "Form4.Form_Activate");
    trap.step([&] { fields_->setAllChecked(true); });
    trap.step([&] { added_->setAllChecked(true); });
}

void Form4::setAll(DifferenceListModel& list, bool checked, const char* location) {
    frame::ErrorTrap trap(*dialogs_, location);
    trap.step([&] { list.setAllChecked(checked); });
}

void Form4::PushButton1_Click() {
    setAll(*fields_, true, "Form4.PushButton1_Click");
}
void Form4::PushButton4_Click() {
    setAll(*fields_, false, "Form4.PushButton4_Click");
}
void Form4::PushButton5_Click() {
    setAll(*added_, true, "Form4.PushButton5_Click");
}
void Form4::PushButton6_Click() {
    setAll(*added_, false, "Form4.PushButton6_Click");
}

void Form4::PushButton2_Click() {
    frame::ErrorTrap trap(*dialogs_, "Form4.PushButton2_Click");
    trap.step([&] {
        wizard_.form3().show();
        hide();
    });
}

void Form4::PushButton3_Click() {
    // A second "Create" during a merge is ignored.
    if (merging_) return;
    merging_ = true;
    frame::ErrorTrap trap(*dialogs_, results::kMergeLocation);
    trap.step([&] {
        results::MergeRequest request;
        request.newTableName = ss(Text1->text());
        request.Table1Name = wizard_.Table1Name;
        request.Table2Name = wizard_.Table2Name;
        request.source1 = wizard_.startModel().source(1);
        request.source2 = wizard_.startModel().source(2);
        results::MergeCallbacks callbacks;
        callbacks.processEvents = [this] { wizard_.processEvents(); };
        results::MergeIntoNewTable(request, ModelLines(*fields_), ModelLines(*added_), *dialogs_,
                                   callbacks);
    });
    merging_ = false;
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
