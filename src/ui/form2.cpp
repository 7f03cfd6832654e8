#include "ui/form2.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "compare/compare.h"
#include "compare/line_kind.h"
#include "frame/error_trap.h"
#include "ui/difference_list_model.h"
#include "ui/form1.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/wizard.h"

namespace quorvel::ui {
namespace {

const QSize kDesignSize = twipsSize(8040, 3915);

// How long filling the lists works between two looks at pending events.
constexpr int kFillEventIntervalMs = 20;

// Clears the flag when the run ends, whichever way it ends.
class RunGuard {
  public:
    explicit RunGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunGuard() { flag_ = false; }

  private:
    bool& flag_;
};

}  // namespace

Form2::Form2(Wizard& wizard) : wizard_(wizard), stretch_(kDesignSize) {
    setObjectName(QStringLiteral("Form2"));
    dialogs_ = std::make_unique<WindowDialogs>(wizard.dialogs(), this,
                                               [&wizard] { return wizard.ending(); });
    setFont(arialFont(kTextPointSize, true));
    resize(kDesignSize);
    setMinimumSize(kDesignSize);

    PushButton2 =
        addButton(this, "PushButton2", QStringLiteral("< Back"), twipsRect(120, 120, 7800, 405));
    Frame1 = addFrame(this, "Frame1", QStringLiteral("Which two tables do you want to compare?"),
                      twipsRect(120, 600, 7800, 2175));
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
    PushButton3 =
        addButton(this, "PushButton3", QStringLiteral("Next >"), twipsRect(120, 2890, 7800, 405));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(twipsRect(120, 3420, 7800, 405));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFont(arialFont(kTextPointSize, true));
    setProgress(0, kProgressBarText);

    setTabOrder(PushButton2, List1);
    setTabOrder(List1, List2);
    setTabOrder(List2, PushButton3);

    mirror(tables1_, List1);
    mirror(tables2_, List2);

    installHoverRule(this, {PushButton2, PushButton3}, {this, Frame1, List1, List2});

    // Wider: everything widens, the two lists share the extra width.
    // Taller: the lists take the extra height.
    stretch_.add(PushButton2, 0, 0, 1, 0);
    stretch_.add(Frame1, 0, 0, 1, 1);
    stretch_.add(Label3, 0.5, 0, 0, 0);
    stretch_.add(List1, 0, 0, 0.5, 1);
    stretch_.add(List2, 0.5, 0, 0.5, 1);
    stretch_.add(PushButton3, 0, 1, 1, 0);
    stretch_.add(ProgressBar1, 0, 1, 1, 0);

    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form2::PushButton3_Click);
}

Form2::~Form2() = default;

void Form2::mirror(data::StringList& list, QListWidget* view) {
    list.onCleared = [view] { view->clear(); };
    list.onAdded = [view](int, const std::string& text) { view->addItem(qs(text)); };
    view->clear();
    for (const std::string& text : list.items()) view->addItem(qs(text));
}

void Form2::load() {
    frame::ErrorTrap trap(*dialogs_, "Form2.Form_Load");
    trap.step([&] { setUpWindow(this); });
    trap.step([&] {
        if (List2->count() > 0) List2->setCurrentRow(0);
    });
}

void Form2::PushButton2_Click() {
    frame::ErrorTrap trap(*dialogs_, "Form2.PushButton2_Click");
    trap.step([&] { wizard_.form1().show(); });
    trap.step([&] { hide(); });
}

void Form2::setProgress(int value, const std::string& text) {
    // The run's texts hold no '%', which the bar would read as a placeholder.
    // Text first, so that whoever follows the value sees the matching text.
    ProgressBar1->setFormat(qs(text));
    ProgressBar1->setValue(std::clamp(value, 0, 100));
}

void Form2::PushButton3_Click() {
    // A second "Next >" while a run is going on is ignored.
    if (running_) return;
    RunGuard guard(running_);
    frame::ErrorTrap trap(*dialogs_, "Form2.PushButton3_Click");
    std::string& table1 = wizard_.Table1Name;
    std::string& table2 = wizard_.Table2Name;

    trap.step([&] {
        for (QListWidgetItem* item : List1->selectedItems()) table1 = ss(item->text());
        for (QListWidgetItem* item : List2->selectedItems()) table2 = ss(item->text());
    });
    const std::string& title = wizard_.startModel().applicationTitle();
    if (table1.empty()) {
        dialogs_->message("You forgot to select Table #1", frame::MessageButtons::Ok,
                          frame::MessageIcon::None, title);
        return;
    }
    if (table2.empty()) {
        dialogs_->message("You forgot to select Table #2", frame::MessageButtons::Ok,
                          frame::MessageIcon::None, title);
        return;
    }
    trap.step([&] { dialogs_->setPointer(frame::Pointer::Hourglass); });

    compare::CompareResult result;
    trap.step([&] {
        // Copies: the start window stays live during the run, and an edit
        // there must not change the sources under the walk.
        const data::SourceDescriptor source1 = wizard_.startModel().source(1);
        const data::SourceDescriptor source2 = wizard_.startModel().source(2);
        compare::CompareCallbacks callbacks;
        callbacks.progress = [this](int value, const std::string& text) {
            setProgress(value, text);
        };
        callbacks.processEvents = [this] { wizard_.processEvents(); };
        result = compare::Compare(source1, source2, table1, table2, wizard_.locale(), *dialogs_,
                                  callbacks);
    });

    // Closed while the walk ran: the windows are gone, nothing more to show.
    if (wizard_.ending()) return;
    if (!result.completed()) {
        // The comparison has shown why it could not run; its partial lines
        // are no result, and "identical" would be a false claim.
        dialogs_->setPointer(frame::Pointer::Default);
        setProgress(0, kProgressBarText);
        return;
    }
    if (result.lines.empty()) {
        dialogs_->message(
            "No differences between the two tables were found. The tables appear to be identical.",
            frame::MessageButtons::Ok, frame::MessageIcon::None, title);
        dialogs_->setPointer(frame::Pointer::Default);
        return;
    }

    trap.step([&] { fillResultLists(result.lines); });
    trap.step([&] {
        dialogs_->setPointer(frame::Pointer::Default);
        setProgress(0, kProgressBarText);
    });
    trap.step([&] { wizard_.form4().setNewTableName(table1 + "2"); });
    trap.step([&] {
        wizard_.form4().setCaptionText("Create new table from " + table1 +
                                       " (Table #1) and only apply checked changes from " + table2 +
                                       " (Table #2).");
    });
    trap.step([&] {
        wizard_.form3().show();
        hide();
    });
    trap.step([&] { dialogs_->setPointer(frame::Pointer::Default); });
}

void Form2::fillResultLists(const std::vector<std::string>& lines) {
    Form4& form4 = wizard_.form4();
    Form3& form3 = wizard_.form3();
    DifferenceListModel* lists4[] = {&form4.fieldList(), &form4.addedList()};
    DifferenceListModel* lists3[] = {&form3.fieldList(), &form3.addedList()};
    auto flushAll = [&] {
        for (auto* list : lists4) list->flush();
        for (auto* list : lists3) list->flush();
    };
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (const std::string& line : lines) {
        if (sinceEvents.elapsed() >= kFillEventIntervalMs) {
            flushAll();
            wizard_.processEvents();
            sinceEvents.restart();
        }
        if (line.empty()) continue;
        const int which = compare::listOfLine(line) == compare::LineList::AddedDeleted ? 1 : 0;
        lists4[which]->appendLine(line);
        lists3[which]->appendLine(line);
    }
    flushAll();
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    wizard_.end();
}

void Form2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stretch_.apply(size());
}

}  // namespace quorvel::ui
