// The wizard end to end on the shipped samples: start window, table choice,
// comparison run, results window with the report, new-table window with the
// merge, and the way back through the chain.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "compare/compare.h"
#include "compare/source_comparison.h"
#include "data/source_descriptor.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/form5.h"
#include "ui/merge3_window.h"
#include "ui/summary_window.h"
#include "window_harness.h"

using quorvel::ui_test::checkedCount;
using quorvel::ui_test::Harness;
using quorvel::ui_test::linesOf;
namespace frame = quorvel::frame;
namespace ui = quorvel::ui;
namespace compare = quorvel::compare;

class WizardFlowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<Harness> h;

    QWidget* form1() { return &h->wizard->form1(); }
    QWidget* form2() { return &h->wizard->form2(); }
    QWidget* form3() { return &h->wizard->form3(); }
    QWidget* form4() { return &h->wizard->form4(); }

    // Start, both samples loaded (No to opening the folders), "Next >".
    void reachTableChoice() {
        QVERIFY(h->wizard->start());
        h->click(form1(), "PushButton5");
        h->click(form1(), "PushButton9");
        h->click(form1(), "PushButton2");
        QVERIFY(h->wizard->hasForm2());
        QVERIFY(form2()->isVisible());
    }

    // A key pressed with the focus on the control, as a person types it.
    static void press(QWidget* control, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        control->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(control->window()));
        control->setFocus();
        QTest::keyClick(control, key, modifiers);
    }

    // Picks a table in both lists and runs the comparison.
    void runComparison(const QString& table1, const QString& table2) {
        auto* list1 = Harness::control<QListWidget>(form2(), "List1");
        auto* list2 = Harness::control<QListWidget>(form2(), "List2");
        const auto found1 = list1->findItems(table1, Qt::MatchExactly);
        const auto found2 = list2->findItems(table2, Qt::MatchExactly);
        QCOMPARE(found1.size(), 1);
        QCOMPARE(found2.size(), 1);
        found1.front()->setSelected(true);
        found2.front()->setSelected(true);
        h->click(form2(), "PushButton3");
    }

  private slots:
    void init() {
        h = std::make_unique<Harness>();
        QVERIFY2(h->samplesCopied, "samples/ of the source tree could not be copied");
    }
    void cleanup() { h.reset(); }

    void firstRunStaysOnStartWindow() {
        QVERIFY(h->wizard->start());
        QVERIFY(form1()->isVisible());
        QVERIFY(!h->wizard->hasForm2());
        QCOMPARE(form1()->windowTitle(), QStringLiteral("Quorvel"));
        QVERIFY(QTest::qWaitForWindowActive(form1()));
        QVERIFY(QApplication::focusWidget() != nullptr);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));
        // An empty store: container mode without paths fails without a word.
        QVERIFY(h->dialogs.messages.empty());
        QVERIFY(h->wizard->startModel().source(1).optionDBC);
        QCOMPARE(h->ends, 0);
    }

    void loadSamplesAndTestConnection() {
        QVERIFY(h->wizard->start());
        h->click(form1(), "PushButton9");
        auto* text2 = Harness::control<QLineEdit>(form1(), "Text2");
        QCOMPARE(text2->text().toStdString(), h->sample(2));
        QCOMPARE(h->store.GetSetting("FreeTableFolder2"), h->sample(2));
        QCOMPARE(h->store.GetSetting("FoxproOption2"), std::string("2"));
        QVERIFY(!h->store.contains("FreeTableFolder"));
        // Asked whether to open the folder; answered No, so nothing opened.
        QCOMPARE(h->dialogs.messages.size(), size_t(1));
        QCOMPARE(h->dialogs.messages[0].buttons, frame::MessageButtons::YesNo);
        QVERIFY(h->dialogs.opened.empty());

        h->dialogs.pointers.clear();
        h->click(form1(), "PushButton6");
        QCOMPARE(h->dialogs.lastMessage(), std::string("Connection successful."));
        // The test showed the hourglass on the start window while it ran.
        QCOMPARE(h->dialogs.pointers,
                 (std::vector<frame::Pointer>{frame::Pointer::Hourglass, frame::Pointer::Default}));
        QCOMPARE(ui::windowPointer(form1()), frame::Pointer::Default);

        // Source 1 is still an empty container: "Next >" names it.
        h->click(form1(), "PushButton2");
        QCOMPARE(h->dialogs.lastMessage(), std::string("Database #1 does not appear to be valid."));
        QVERIFY(form1()->isVisible());
    }

    void typingIntoTheFolderBoxSavesEachText() {
        QVERIFY(h->wizard->start());
        auto* text1 = Harness::control<QLineEdit>(form1(), "Text1");
        QTest::keyClicks(text1, "ab");
        QCOMPARE(h->store.GetSetting("FreeTableFolder"), std::string("ab"));
        QCOMPARE(h->store.GetSetting("FoxproOption"), std::string("2"));
        QVERIFY(!h->wizard->startModel().source(1).optionDBC);
        QCOMPARE(h->wizard->startModel().source(1).folderText, std::string("ab"));
        QVERIFY(!h->store.contains("FreeTableFolder2"));
    }

    // The code-page box of source 2 shows the saved choice at start-up and
    // saves a new one into the source descriptor and the store at once.
    void codePageChoiceIsShownAndSaved() {
        h->store.SaveSetting("CodePage2", "1251");
        QVERIFY(h->wizard->start());
        auto* combo2 = Harness::control<QComboBox>(form1(), "Combo2");
        QCOMPARE(combo2->currentText(), QStringLiteral("1251 (Russian Windows)"));
        QCOMPARE(Harness::control<QComboBox>(form1(), "Combo1")->currentText(),
                 QStringLiteral("Automatic"));
        combo2->setCurrentIndex(combo2->findData(866));
        QCOMPARE(h->wizard->startModel().source(2).codePage, 866);
        QCOMPARE(h->store.GetSetting("CodePage2"), std::string("866"));
        QVERIFY(!h->store.contains("CodePage"));
    }

    void optionWindowHandsTheContainerOver() {
        QVERIFY(h->wizard->start());
        const std::string dbc = h->appFolder + "/shop.dbc";
        QString seenName;
        QString seenFrame;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) return;
            seenName = modal->objectName();
            seenFrame = Harness::control<QGroupBox>(modal, "Frame2")->title();
            Harness::control<QLineEdit>(modal, "Text1")->setText(QString::fromStdString(dbc));
            Harness::click(modal, "PushButton1");
        });
        h->click(form1(), "PushButton7");
        QCOMPARE(seenName, QStringLiteral("Form6"));
        QCOMPARE(seenFrame, QStringLiteral("Advanced Option #2"));
        QCOMPARE(h->store.GetSetting("DBCFile2"), dbc);
        QCOMPARE(h->store.GetSetting("FoxproOption2"), std::string("1"));
        QVERIFY(h->wizard->startModel().source(2).optionDBC);
        QCOMPARE(h->wizard->startModel().source(2).dbcPath, dbc);
        QVERIFY(!h->store.contains("DBCFile"));

        // Cancel switches source 2 back to a folder; the path stays stored.
        QTimer::singleShot(0, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                QCOMPARE(Harness::control<QLineEdit>(modal, "Text1")->text().toStdString(), dbc);
                Harness::click(modal, "PushButton2");
            }
        });
        h->click(form1(), "PushButton7");
        QCOMPARE(h->store.GetSetting("FoxproOption2"), std::string("2"));
        QVERIFY(!h->wizard->startModel().source(2).optionDBC);
        QCOMPARE(h->store.GetSetting("DBCFile2"), dbc);
    }

    void forgottenTableIsNamed() {
        reachTableChoice();
        auto* list1 = Harness::control<QListWidget>(form2(), "List1");
        QStringList tables;
        for (int i = 0; i < list1->count(); ++i) tables << list1->item(i)->text();
        tables.sort();
        QCOMPARE(tables, (QStringList{"customers", "orders", "products"}));
        h->click(form2(), "PushButton3");
        QCOMPARE(h->dialogs.lastMessage(), std::string("You forgot to select Table #1"));
        QVERIFY(form2()->isVisible());
        QVERIFY(!h->wizard->hasForm3());
    }

    void pairingByKeyFieldsFromTheTableChoice() {
        reachTableChoice();
        auto* list3 = Harness::control<QListWidget>(form2(), "List3");
        QCOMPARE(list3->count(), 0);
        auto* list1 = Harness::control<QListWidget>(form2(), "List1");
        auto* list2 = Harness::control<QListWidget>(form2(), "List2");
        list1->findItems("products", Qt::MatchExactly).front()->setSelected(true);
        list2->findItems("products", Qt::MatchExactly).front()->setSelected(true);
        // The fields both tables share, none ticked yet.
        QVERIFY(list3->count() > 3);
        QCOMPARE(list3->item(0)->text(), QStringLiteral("PRODID"));
        QCOMPARE(list3->item(0)->checkState(), Qt::Unchecked);
        QTest::mouseClick(Harness::control<QRadioButton>(form2(), "Option2"), Qt::LeftButton);
        QCOMPARE(h->store.GetSetting(frame::kKeyPairRecordsBy), std::string("Key"));
        list3->item(0)->setCheckState(Qt::Checked);
        QCOMPARE(h->store.GetSetting(frame::keyFieldsKey("products", "products")),
                 std::string("PRODID"));
        h->dialogs.messages.clear();
        h->click(form2(), "PushButton3");
        QVERIFY2(h->dialogs.messages.empty(), h->dialogs.lastMessage().c_str());
        QVERIFY(form3()->isVisible());
        QCOMPARE(Harness::control<QLabel>(form3(), "Label1")->text(),
                 QStringLiteral("Records paired by key fields: PRODID"));
    }

    void identicalTablesStayInTableChoice() {
        reachTableChoice();
        // Source 2 names the folder of source 1: the same tables.
        h->click(form2(), "PushButton2");
        auto* text2 = Harness::control<QLineEdit>(form1(), "Text2");
        text2->setText(QString::fromStdString(h->sample(1)));
        h->click(form1(), "PushButton2");
        h->dialogs.messages.clear();
        runComparison("orders", "orders");
        QCOMPARE(h->dialogs.messageTexts(),
                 std::vector<std::string>{"No differences between the two tables were found. The "
                                          "tables appear to be identical."});
        QVERIFY(form2()->isVisible());
        QVERIFY(!h->wizard->hasForm3());
        QCOMPARE(ui::windowPointer(form2()), frame::Pointer::Default);
    }

    void runSaveMergeAndBack() {
        reachTableChoice();
        h->dialogs.messages.clear();
        runComparison("products", "products");
        QVERIFY2(h->dialogs.messages.empty(), h->dialogs.lastMessage().c_str());
        QVERIFY(form3()->isVisible());
        QVERIFY(!form2()->isVisible());
        QCOMPARE(h->wizard->run().Table1Name, std::string("products"));
        QCOMPARE(h->wizard->run().Table2Name, std::string("products"));
        auto* bar = Harness::control<QProgressBar>(form2(), "ProgressBar1");
        QCOMPARE(bar->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(bar->value(), 0);

        auto& form3Lists = h->wizard->form3();
        auto& form4Lists = h->wizard->form4();
        const QStringList fields = linesOf(form3Lists.fieldList());
        const QStringList added = linesOf(form3Lists.addedList());
        // Samples1 has three products more; a field named ADDED stays with
        // the field differences.
        QCOMPARE(added, (QStringList{"Record 6 added to products", "Record 7 added to products",
                                     "Record 8 added to products"}));
        QVERIFY(!fields.isEmpty());
        for (const QString& line : fields) QVERIFY2(!line.contains("added"), qPrintable(line));
        QCOMPARE(linesOf(form4Lists.fieldList()), fields);
        QCOMPARE(linesOf(form4Lists.addedList()), added);
        // The views show every line.
        auto* view = Harness::control<QTreeView>(form3(), "ListView2");
        QCOMPARE(view->model()->rowCount(), 3);
        QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Added / Deleted Records"));
        QCOMPARE(Harness::control<QLineEdit>(form4(), "Text1")->text(),
                 QStringLiteral("products2"));
        QCOMPARE(Harness::control<QLabel>(form4(), "Label1")->text(),
                 QStringLiteral("Create new table from products (Table #1) and only apply checked "
                                "changes from products (Table #2)."));

        // The report: field differences first, CR LF after every line.
        const QString reportPath = h->dir.filePath("report");
        h->dialogs.fileNames.push_back(reportPath.toStdString());
        h->click(form3(), "PushButton4");
        QVERIFY2(h->dialogs.messages.empty(), h->dialogs.lastMessage().c_str());
        QCOMPARE(h->dialogs.fileDialogs.back().request.title, std::string("Save File As"));
        QFile report(reportPath);
        QVERIFY(report.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(report.readAll()), (fields + added).join("\r\n") + "\r\n");
        QCOMPARE(ui::windowPointer(form3()), frame::Pointer::Default);

        // Cancelling the save dialog writes nothing and shows nothing.
        h->click(form3(), "PushButton4");
        QVERIFY(h->dialogs.messages.empty());

        // On to the new-table window: every line checked.
        h->click(form3(), "PushButton3");
        QVERIFY(form4()->isVisible());
        QVERIFY(!form3()->isVisible());
        auto& checks1 = form4Lists.fieldList();
        auto& checks2 = form4Lists.addedList();
        QCOMPARE(checkedCount(checks1), checks1.count());
        QCOMPARE(checkedCount(checks2), 3);

        // Unticking through the view, as a click on the check box does.
        auto* list2 = Harness::control<QTreeView>(form4(), "ListView2");
        QVERIFY(list2->model()->setData(list2->model()->index(1, 0), Qt::Unchecked,
                                        Qt::CheckStateRole));
        QCOMPARE(checkedCount(checks2), 2);
        h->click(form4(), "PushButton4");  // Unselect All of the field differences
        QCOMPARE(checkedCount(checks1), 0);
        QCOMPARE(checkedCount(checks2), 2);
        h->click(form4(), "PushButton1");  // Select All of the field differences
        QCOMPARE(checkedCount(checks1), checks1.count());
        h->click(form4(), "PushButton6");
        QCOMPARE(checkedCount(checks2), 0);
        h->click(form4(), "PushButton5");
        QCOMPARE(checkedCount(checks2), 3);

        // "< Back" and on again: unticked lines are ticked again.
        h->click(form4(), "PushButton6");
        h->click(form4(), "PushButton2");
        QVERIFY(form3()->isVisible());
        h->click(form3(), "PushButton3");
        QCOMPARE(checkedCount(checks2), 3);

        // Create with every line ticked: the new table is Table #2 again.
        Harness::control<QLineEdit>(form4(), "Text1")->setText("merged");
        h->click(form4(), "PushButton3");
        QCOMPARE(h->dialogs.messageTexts(), std::vector<std::string>{"Done."});
        QCOMPARE(checkedCount(checks2), 3);  // the message box is no activation
        const auto& source1 = h->wizard->startModel().source(1);
        const auto& source2 = h->wizard->startModel().source(2);
        QVERIFY(QFile::exists(QString::fromStdString(h->sample(1) + "/merged.dbf")));
        const auto check = quorvel::compare::Compare(source1, source2, "merged", "products",
                                                     h->wizard->locale(), h->dialogs);
        QVERIFY(check.completed());
        QVERIFY(check.differences.empty());

        // Back through the chain: the results window empties all four lists.
        h->click(form4(), "PushButton2");
        h->click(form3(), "PushButton2");
        QVERIFY(form2()->isVisible());
        QCOMPARE(form3Lists.fieldList().count(), 0);
        QCOMPARE(form3Lists.addedList().count(), 0);
        QCOMPARE(form4Lists.fieldList().count(), 0);
        QCOMPARE(form4Lists.addedList().count(), 0);
        h->click(form2(), "PushButton2");
        QVERIFY(form1()->isVisible());
        QVERIFY(!form2()->isVisible());
        QCOMPARE(h->ends, 0);
    }

    // Enter presses the focused button or else the window's way forward,
    // Escape its way back; each window opens where the one before stood.
    void enterAndEscapeWalkTheWizardInPlace() {
        QVERIFY(h->wizard->start());
        form1()->move(140, 90);
        const QPoint place = form1()->pos();
        h->click(form1(), "PushButton5");
        h->click(form1(), "PushButton9");
        auto* help = Harness::control<QPushButton>(form1(), "PushButton4");
        press(help, Qt::Key_Return);
        QVERIFY(h->dialogs.lastMessage().starts_with("Questions?"));
        QVERIFY(form1()->isVisible());

        press(Harness::control<QLineEdit>(form1(), "Text1"), Qt::Key_Return);
        QVERIFY(form2()->isVisible());
        QVERIFY(!form1()->isVisible());
        QCOMPARE(form2()->pos(), place);

        auto* list1 = Harness::control<QListWidget>(form2(), "List1");
        auto* list2 = Harness::control<QListWidget>(form2(), "List2");
        list1->findItems("products", Qt::MatchExactly).front()->setSelected(true);
        list2->findItems("products", Qt::MatchExactly).front()->setSelected(true);
        press(list1, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(form3()->isVisible());
        QCOMPARE(form3()->pos(), place);

        auto* results = Harness::control<QTreeView>(form3(), "ListView1");
        press(results, Qt::Key_Return);
        QVERIFY(form4()->isVisible());
        QCOMPARE(form4()->pos(), place);
        // Keys with a modifier are the controls' own.
        press(Harness::control<QLineEdit>(form4(), "Text1"), Qt::Key_Escape, Qt::ShiftModifier);
        QVERIFY(form4()->isVisible());
        press(Harness::control<QLineEdit>(form4(), "Text1"), Qt::Key_Escape);
        QVERIFY(form3()->isVisible());
        QVERIFY(!form4()->isVisible());
        press(results, Qt::Key_Escape);
        QVERIFY(form2()->isVisible());
        QCOMPARE(h->wizard->form3().fieldList().count(), 0);  // "< Back" emptied the lists
        press(list2, Qt::Key_Escape);
        QVERIFY(form1()->isVisible());
        QCOMPARE(form1()->pos(), place);
        // The start window has no way back: Escape leaves it open.
        press(Harness::control<QLineEdit>(form1(), "Text1"), Qt::Key_Escape);
        QVERIFY(form1()->isVisible());
        QCOMPARE(h->ends, 0);

        // The option window: Escape is "Cancel" (the source becomes a folder
        // again), Enter "OK".
        h->store.SaveSetting("FoxproOption2", "1");
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                press(Harness::control<QLineEdit>(modal, "Text1"), Qt::Key_Escape);
        });
        h->click(form1(), "PushButton7");
        QCOMPARE(h->store.GetSetting("FoxproOption2"), std::string("2"));
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                auto* box = Harness::control<QLineEdit>(modal, "Text1");
                box->setText("shop.dbc");
                press(box, Qt::Key_Return);
            }
        });
        h->click(form1(), "PushButton7");
        QCOMPARE(h->store.GetSetting("FoxproOption2"), std::string("1"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void savedValidSourcesGoStraightToTableChoice() {
        h->store.SaveSetting("FreeTableFolder", h->sample(1));
        h->store.SaveSetting("FreeTableFolder2", h->sample(2));
        QVERIFY(h->wizard->start());
        QVERIFY(!form1()->isVisible());
        QVERIFY(h->wizard->hasForm2());
        QVERIFY(form2()->isVisible());
        QCOMPARE(Harness::control<QListWidget>(form2(), "List2")->count(), 3);
    }

    void failedSaveIsReportedWithItsLocation() {
        reachTableChoice();
        runComparison("orders", "orders");
        QVERIFY(form3()->isVisible());
        h->dialogs.messages.clear();
        h->dialogs.fileNames.push_back(h->appFolder + "/no such folder/report.txt");
        h->click(form3(), "PushButton4");
        QCOMPARE(h->dialogs.messages.size(), size_t(1));
        const auto& report = h->dialogs.messages.front();
        QCOMPARE(report.caption, std::string("Application Error"));
        QCOMPARE(report.icon, frame::MessageIcon::Exclamation);
        QVERIFY2(report.text.find("\r\nin Tablinder2021/08/31.Form3.PushButton4_Click at line ") !=
                     std::string::npos,
                 report.text.c_str());
        QVERIFY2(report.text.find("no such folder") != std::string::npos, report.text.c_str());
        // The next step still gave the default pointer back.
        QCOMPARE(ui::windowPointer(form3()), frame::Pointer::Default);
        QVERIFY(form3()->isVisible());
    }

    void secondNextDuringARunIsIgnored() {
        reachTableChoice();
        auto* bar = Harness::control<QProgressBar>(form2(), "ProgressBar1");
        QStringList texts;
        bool pressedAgain = false;
        connect(bar, &QProgressBar::valueChanged, this, [&] {
            if (bar->value() > 0) texts << bar->text();
            if (!pressedAgain) {
                pressedAgain = true;
                h->click(form2(), "PushButton3");
            }
        });
        runComparison("products", "products");
        QVERIFY(pressedAgain);
        QVERIFY(!texts.isEmpty());
        for (const QString& text : texts) {
            QVERIFY2(text.startsWith("Processing field: "), qPrintable(text));
        }
        // One run only: each line once in each window.
        QCOMPARE(h->wizard->form3().addedList().count(), 3);
        QCOMPARE(h->wizard->form4().addedList().count(), 3);
    }

    void backWhileSavingIsIgnored() {
        reachTableChoice();
        runComparison("products", "products");
        const QStringList fields = linesOf(h->wizard->form3().fieldList());
        QVERIFY(!fields.isEmpty());
        // Pending when the save starts; it runs while the report is built.
        QTimer::singleShot(0, this, [&] { h->click(form3(), "PushButton2"); });
        const QString reportPath = h->dir.filePath("report.txt");
        h->dialogs.fileNames.push_back(reportPath.toStdString());
        h->click(form3(), "PushButton4");
        QCoreApplication::processEvents();
        QVERIFY(form3()->isVisible());
        QCOMPARE(linesOf(h->wizard->form3().fieldList()), fields);
        QFile report(reportPath);
        QVERIFY(report.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(report.readAll()).startsWith(fields.join("\r\n") + "\r\n"));
    }

    void closingDuringARunShowsNothingMore() {
        reachTableChoice();
        h->click(form2(), "PushButton2");
        Harness::control<QLineEdit>(form1(), "Text2")
            ->setText(QString::fromStdString(h->sample(1)));
        h->click(form1(), "PushButton2");
        auto* bar = Harness::control<QProgressBar>(form2(), "ProgressBar1");
        connect(bar, &QProgressBar::valueChanged, this, [&] {
            if (h->ends == 0) form2()->close();
        });
        h->dialogs.messages.clear();
        runComparison("orders", "orders");
        QCOMPARE(h->ends, 1);
        // Identical tables, but the windows are gone: no message any more.
        QVERIFY(h->dialogs.messages.empty());
        QVERIFY(!form2()->isVisible());
        QVERIFY(!h->wizard->hasForm3());
    }

    // "Compare All Tables": the summary lists every table, a row opens the
    // results window, whose "< Back" returns to the summary.
    void compareAllTablesOpensTheSummary() {
        reachTableChoice();
        auto* key = Harness::control<QLabel>(form2(), "Label6");
        for (const char* list : {"List1", "List2"})
            Harness::control<QListWidget>(form2(), list)
                ->findItems("customers", Qt::MatchExactly)
                .front()
                ->setSelected(true);
        QCOMPARE(key->accessibleName(), QStringLiteral("Key: none: records pair by position"));
        h->click(form2(), "PushButton5");
        QWidget* summary = &h->wizard->summary();
        QVERIFY(summary->isVisible());
        QVERIFY(!form2()->isVisible());
        auto* rows = Harness::control<QTreeView>(summary, "ListView1");
        QCOMPARE(rows->model()->rowCount(), 3);
        QCOMPARE(rows->accessibleName(), QStringLiteral("Tables"));
        QCOMPARE(Harness::control<QProgressBar>(summary, "ProgressBar1")->text(),
                 QStringLiteral("Done"));
        QVERIFY(!Harness::control<QPushButton>(summary, "PushButton5")->isVisible());
        const QString first = rows->model()->index(0, 0).data().toString();
        QCOMPARE(rows->model()->index(0, 5).data().toString(), QStringLiteral("Different"));

        // Enter on the first row.
        rows->setCurrentIndex(rows->model()->index(0, 0));
        press(rows, Qt::Key_Return);
        QVERIFY(form3()->isVisible());
        QVERIFY(!summary->isVisible());
        QCOMPARE(QString::fromStdString(h->wizard->run().Table1Name), first);
        h->click(form3(), "PushButton2");
        QVERIFY(summary->isVisible());
        QVERIFY(!form2()->isVisible());
        h->click(summary, "PushButton2");
        QVERIFY(form2()->isVisible());
    }

    // "Create Merged Copy...": the copy's tables take source #2's changes; a
    // Stop leaves no folder, hidden or not.
    void createMergedCopyMakesTheFolderOrNothing() {
        reachTableChoice();
        h->click(form2(), "PushButton5");
        QWidget* summary = &h->wizard->summary();
        auto* rows = Harness::control<QTreeView>(summary, "ListView1");
        int changed = 0;
        for (int row = 0; row < rows->model()->rowCount(); ++row)
            changed += rows->model()->index(row, 2).data().toInt();
        QVERIFY(changed > 0);
        auto* create = Harness::control<QPushButton>(summary, "PushButton6");
        QCOMPARE(create->accessibleName(), QString::fromUtf8("Create Merged Copy\u2026"));

        const QString merged = h->dir.path() + QStringLiteral("/merged");
        h->dialogs.fileNames.push_back(merged.toStdString());
        h->dialogs.messages.clear();
        h->click(summary, "PushButton6");
        QVERIFY(QFileInfo(merged).isDir());
        QVERIFY2(h->dialogs.lastMessage().starts_with("The merged copy was made in"),
                 h->dialogs.lastMessage().c_str());
        // Compared with source #2 as the summary paired them, no value differs any more.
        compare::SourceComparisonRequest again;
        again.source1.optionDBC = false;
        again.source1.folderText = merged.toStdString();
        again.source2 = h->wizard->run().source(2);
        again.pairing.by = compare::Pairing::Auto;
        const compare::SourceComparison after = compare::compareSources(again, {});
        QCOMPARE(after.tables.size(), std::size_t(3));
        for (const auto& t : after.tables) QVERIFY2(t.changed == 0, t.name.c_str());

        // Stop as soon as the merge reports its first table.
        auto* bar = Harness::control<QProgressBar>(summary, "ProgressBar1");
        auto* stop = Harness::control<QPushButton>(summary, "PushButton5");
        const auto stopping = connect(bar, &QProgressBar::valueChanged, this, [&] {
            if (stop->isVisible()) QTest::mouseClick(stop, Qt::LeftButton);
        });
        const QString stopped = h->dir.path() + QStringLiteral("/stopped");
        h->dialogs.fileNames.push_back(stopped.toStdString());
        h->click(summary, "PushButton6");
        disconnect(stopping);
        QCOMPARE(bar->text(), QStringLiteral("Stopped"));
        QVERIFY(!stop->isVisible());
        QVERIFY2(h->dialogs.lastMessage().starts_with("Stopped:"),
                 h->dialogs.lastMessage().c_str());
        QVERIFY(QDir(h->dir.path())
                    .entryList({QStringLiteral("*stopped*")},
                               QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
    }

    // From the new-table window to the three-way merge on the run's tables:
    // with Table #1 as the base too, the merge is Table #2, written whole;
    // "< Back" goes back.
    void threeWayMergeFromTheNewTableWindow() {
        reachTableChoice();
        runComparison("products", "products");
        h->click(form3(), "PushButton3");
        QWidget* merge3 = nullptr;
        h->click(form4(), "PushButton8");
        QVERIFY(h->wizard->hasMerge3());
        merge3 = &h->wizard->merge3();
        QVERIFY(merge3->isVisible());
        QVERIFY(!form4()->isVisible());
        const auto box = [&](const char* name) { return Harness::control<QLineEdit>(merge3, name); };
        const QString samples1 = QString::fromStdString(h->sample(1));
        QCOMPARE(box("Text2")->text(), samples1 + "/products.dbf");
        QCOMPARE(box("Text3")->text(), QString::fromStdString(h->sample(2)) + "/products.dbf");
        QCOMPARE(box("Text4")->text(), samples1 + "/products2.dbf");
        for (QWidget* control : merge3->findChildren<QWidget*>())
            if (control->focusPolicy() != Qt::NoFocus)
                QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));

        box("Text1")->setText(box("Text2")->text());
        h->dialogs.messages.clear();
        // While Run and Write work, a bar and Stop stand in Run's place.
        auto& view = static_cast<ui::Merge3Window*>(merge3)->model().view;
        QWidget* bar = Harness::control<QProgressBar>(merge3, "ProgressBar1");
        QWidget* stop = Harness::control<QPushButton>(merge3, "PushButton14");
        QWidget* run = Harness::control<QPushButton>(merge3, "PushButton7");
        QStringList shown;
        const auto showProgress = view.showProgress;
        view.showProgress = [&](const std::string& what, std::int64_t done, std::int64_t total) {
            showProgress(what, done, total);
            if (bar->isVisible() && stop->isVisible() && !run->isVisible())
                shown << QString::fromStdString(what);
        };
        h->click(merge3, "PushButton7");
        QVERIFY2(h->dialogs.messages.empty(), h->dialogs.lastMessage().c_str());
        QVERIFY(Harness::control<QLabel>(merge3, "Label5")->text().contains("0 conflicts"));
        QCOMPARE(Harness::control<QTreeView>(merge3, "ListView1")->model()->rowCount(), 0);
        h->click(merge3, "PushButton13");
        QVERIFY(h->dialogs.lastMessage().find("is written") != std::string::npos);
        QVERIFY(shown.contains("Merging") && shown.contains("Writing"));
        QVERIFY(!bar->isVisible() && !stop->isVisible() && run->isVisible());
        QVERIFY(!stop->accessibleName().isEmpty() && !bar->accessibleName().isEmpty());
        auto merged = h->wizard->startModel().source(1);
        const auto check = quorvel::compare::Compare(merged, h->wizard->startModel().source(2),
                                                     "products2", "products",
                                                     h->wizard->locale(), h->dialogs);
        QVERIFY(check.completed());
        QVERIFY(check.differences.empty());

        h->click(merge3, "PushButton1");
        QVERIFY(form4()->isVisible());
        QVERIFY(!merge3->isVisible());
        QCOMPARE(h->ends, 0);
    }

    void closingAnyWizardWindowEndsTheProgram() {
        reachTableChoice();
        form2()->close();
        QCOMPARE(h->ends, 1);
        QVERIFY(!form1()->isVisible());
        QVERIFY(!form2()->isVisible());
    }

    // Source #2 as a CSV copy of the sample products with one price changed:
    // the chooser fills the URI line, the table choice lists the file as its
    // one table, the results show the one change and the column lines, and
    // no new table is offered.
    void foxProTableAgainstItsCsvCopy() {
        const QString csv = h->dir.filePath(QStringLiteral("shop products.csv"));
        {
            QFile file(csv);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                "PRODID,CODE,DESCR,PRICE,STOCK,DISCONT,ADDED,UPDATED,DETAILS\n"
                "1,A-100,Canvas tote bag,12.5,140,False,2019-05-01,2024-01-03 08:30:00,"
                "\"Natural cotton, 38 x 42 cm.\"\n"
                "2,B-220,Enamel camping mug,9.49,0,False,2020-02-14,,Holds 350 ml.\n"
                "3,C-310,\"Wool blanket, grey\",64,25,False,2018-10-09,2023-12-01 17:00:00,\n"
                "4,D-405,Brass compass,29.95,12,True,2016-07-21,,Discontinued by the maker.\n"
                "5,E-512,Beeswax candles (pair),6.25,300,False,2022-11-30,2024-02-28 09:45:00,"
                "Unscented.\n");
        }
        QVERIFY(h->wizard->start());
        h->click(form1(), "PushButton5");
        h->dialogs.fileNames.push_back(csv.toStdString());
        h->click(form1(), "PushButton10");
        QCOMPARE(Harness::control<QLineEdit>(form1(), "Text3")->text(), "csv:" + csv);
        h->dialogs.messages.clear();
        h->click(form1(), "PushButton2");
        QVERIFY2(form2()->isVisible(), h->dialogs.lastMessage().c_str());
        auto* list2 = Harness::control<QListWidget>(form2(), "List2");
        QCOMPARE(list2->count(), 1);
        QCOMPARE(list2->item(0)->text(), QStringLiteral("shop products"));

        runComparison("products", "shop products");
        QVERIFY2(form3()->isVisible(), h->dialogs.lastMessage().c_str());
        QCOMPARE(linesOf(h->wizard->form3().fieldList()),
                 QStringList{"Record 2, Field \"PRICE\" has changed from \"8.99\" to \"9.49\""});
        QVERIFY(linesOf(h->wizard->form3().addedList()).isEmpty());
        const QString notes = Harness::control<QLabel>(form3(), "Label2")->text();
        QVERIFY2(notes.contains("Column \"PRICE\": 4 equal, 1 differ"), qPrintable(notes));
        QVERIFY2(notes.contains("Column \"DETAILS\": 5 equal, 0 differ"), qPrintable(notes));
        auto* newTable = Harness::control<QPushButton>(form3(), "PushButton3");
        QVERIFY(!newTable->isEnabled());
        QCOMPARE(newTable->toolTip(), QStringLiteral("A new table is built only from two FoxPro tables."));

        // Back to the start with the line emptied: the folder of source #2
        // is the one compared again, and the new table is offered once more.
        h->click(form3(), "PushButton2");
        h->click(form2(), "PushButton2");
        Harness::control<QLineEdit>(form1(), "Text3")->clear();
        h->click(form1(), "PushButton9");
        h->click(form1(), "PushButton2");
        runComparison("products", "products");
        QVERIFY(form3()->isVisible());
        QVERIFY(newTable->isEnabled());
    }
};

QTEST_MAIN(WizardFlowTest)
#include "wizard_flow_test.moc"
