// The controls beside the results lists, wired: the detail pane follows the
// selected line and F8, the filter bar narrows the list and "Untick shown"
// the ticks of the new-table window, the toggles are remembered, the shift
// hint runs the comparison again, and the table choice names its sources.

#include "ui/results_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QtTest>

#include "support/table_builder.h"
#include "ui/filter_bar.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "window_harness.h"

using quorvel::ui_test::checkedCount;
using quorvel::ui_test::Harness;
namespace frame = quorvel::frame;
namespace ui = quorvel::ui;
namespace test = quorvel::test;

class ResultsPanelTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<Harness> h;

    ui::Form3& form3() { return h->wizard->form3(); }

    // Both sources saved: start-up goes on to the table choice.
    void startOn(const std::string& folder1, const std::string& folder2) {
        h->store.SaveSetting(frame::folderKey(1), folder1);
        h->store.SaveSetting(frame::folderKey(2), folder2);
        h->store.SaveSetting(frame::kindKey(1), frame::kKindFolder);
        h->store.SaveSetting(frame::kindKey(2), frame::kKindFolder);
        QVERIFY(h->wizard->start());
        QVERIFY(h->wizard->hasForm2());
    }

    void run(const QString& table) {
        QWidget* form2 = &h->wizard->form2();
        for (const char* name : {"List1", "List2"}) {
            const auto found =
                Harness::control<QListWidget>(form2, name)->findItems(table, Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            found.front()->setSelected(true);
        }
        h->click(form2, "PushButton3");
        QVERIFY(form3().isVisible());
    }

  private slots:
    void init() {
        h = std::make_unique<Harness>();
        QVERIFY2(h->samplesCopied, "samples/ of the source tree could not be copied");
    }
    void cleanup() { h.reset(); }

    void paneFollowsTheSelectedLineAndF8() {
        startOn(h->sample(1), h->sample(2));
        // The table choice names where its lists come from.
        auto* source1 = Harness::control<QLabel>(&h->wizard->form2(), "Label4");
        QCOMPARE(source1->toolTip().toStdString(), "Folder " + h->sample(1));
        run(QStringLiteral("customers"));
        QVERIFY(QTest::qWaitForWindowActive(&form3()));
        QVERIFY(Harness::control<QLabel>(&form3(), "Label3")
                    ->toolTip()
                    .startsWith(QStringLiteral("Table #1: customers in folder ")));
        QCOMPARE(Harness::control<QLabel>(&form3(), "Label4")->toolTip(),
                 QStringLiteral("Options: none"));
        auto* list = Harness::control<QTreeView>(&form3(), "ListView1");
        auto* fields = Harness::control<QTableWidget>(&form3(), "DetailFields");
        auto* heading = Harness::control<QLabel>(&form3(), "DetailHeading");
        list->setFocus();
        list->setCurrentIndex(QModelIndex());
        QTest::keyClick(list, Qt::Key_F8);
        QCOMPARE(list->currentIndex().row(), 0);
        const QString first = heading->text();
        QVERIFY2(first.startsWith(QStringLiteral("Record ")), qPrintable(first));
        QVERIFY(fields->rowCount() > 3);
        // The line's field is the current row, marked by a symbol too.
        const int field = fields->currentRow();
        QVERIFY(field >= 0);
        QVERIFY(!fields->item(field, 0)->text().trimmed().isEmpty());
        // F8 walks on to the last line, Shift+F8 back.
        const int lines = list->model()->rowCount();
        for (int i = 1; i < lines; ++i) QTest::keyClick(list, Qt::Key_F8);
        QCOMPARE(list->currentIndex().row(), lines - 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F8, Qt::ShiftModifier);
        QCOMPARE(list->currentIndex().row(), lines - 2);
        // Ctrl+F to the search box of the list in use; F6 to the pane.
        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("ListView1Search"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F6);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        QCOMPARE(QApplication::focusWidget(), fields);
        // Every control of the window has a name for assistive technology.
        for (QWidget* control : form3().findChildren<QWidget*>())
            if (control->isVisible() && control->focusPolicy() != Qt::NoFocus &&
                !qobject_cast<QLabel*>(control) && control->parent() != nullptr &&
                !control->objectName().startsWith(QLatin1String("qt_")))
                QVERIFY2(!control->accessibleName().isEmpty(),
                         qPrintable(control->metaObject()->className() + QStringLiteral(" ") +
                                    control->objectName()));
    }

    void filterNarrowsTheListAndUntickShownTheTicks() {
        startOn(h->sample(1), h->sample(2));
        run(QStringLiteral("customers"));
        ui::FilterBar* bar = form3().panel().filterBar(1);
        const int all = form3().fieldList().rowCount();
        bar->searchBox()->setText(QStringLiteral("rating"));
        bar->apply();
        const int shown = form3().fieldList().rowCount();
        QVERIFY(shown > 0 && shown < all);
        QCOMPARE(bar->countLabel()->text(), QStringLiteral("%1 of %2 lines").arg(shown).arg(all));
        h->click(&form3(), "PushButton3");
        ui::Form4& form4 = h->wizard->form4();
        QVERIFY(form4.isVisible());
        auto* field = Harness::control<QComboBox>(&form4, "ListView1Field");
        const int rating = field->findText(QStringLiteral("RATING"), Qt::MatchStartsWith);
        QVERIFY(rating > 0);
        field->setCurrentIndex(rating);
        const int ratingLines = form4.fieldList().rowCount();
        QVERIFY(ratingLines < all);
        h->click(&form4, "ListView1UntickShown");
        QCOMPARE(checkedCount(form4.fieldList()), all - ratingLines);
        h->click(&form4, "ListView1TickShown");
        QCOMPARE(checkedCount(form4.fieldList()), all);
    }

    void togglesAreRememberedAndTheGroupedViewShowsPairs() {
        startOn(h->sample(1), h->sample(2));
        run(QStringLiteral("customers"));
        auto* details = Harness::control<QCheckBox>(&form3(), "DetailToggle");
        QVERIFY(details->isChecked());
        details->setChecked(false);
        QVERIFY(!Harness::control<QWidget>(&form3(), "DetailPane")->isVisible());
        QCOMPARE(h->store.GetSetting(frame::kKeyRecordDetails), std::string("Hidden"));
        h->click(&form3(), "PushButton3");
        QVERIFY(!Harness::control<QCheckBox>(&h->wizard->form4(), "DetailToggle")->isChecked());

        h->click(&h->wizard->form4(), "PushButton2");
        Harness::control<QCheckBox>(&form3(), "GroupToggle")->setChecked(true);
        auto* grouped = Harness::control<QTableView>(&form3(), "GroupView1");
        QVERIFY(grouped->isVisible());
        QVERIFY(grouped->model()->rowCount() > 0);
        QCOMPARE(grouped->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Records"));
        QVERIFY(grouped->model()->columnCount() > 1);
    }

    void shiftedRecordsOfferAnotherPairing() {
        // A record inserted at the start of Table #2.
        test::TempFolder one, two;
        test::TableBuilder t1(0x30), t2(0x30);
        t1.field("NAME", 'C', 8);
        t2.field("NAME", 'C', 8);
        t2.record({test::Cell::text("new")});
        for (int n = 1; n <= 9; ++n) {
            t1.record({test::Cell::text("r" + std::to_string(n))});
            t2.record({test::Cell::text("r" + std::to_string(n))});
        }
        t1.write(one.file("t.dbf"));
        t2.write(two.file("t.dbf"));
        startOn(one.path(), two.path());
        run(QStringLiteral("t"));
        auto* hint = Harness::control<QWidget>(&form3(), "Hint");
        QVERIFY(hint->isVisible());
        auto* again = Harness::control<QPushButton>(&form3(), "HintButton1");
        QCOMPARE(again->text(), QStringLiteral("Run again paired by content"));
        h->click(&form3(), "HintButton1");
        QTRY_VERIFY(Harness::control<QRadioButton>(&h->wizard->form2(), "Option3")->isChecked());
        // Paired by content, only the inserted record is a difference.
        QTRY_VERIFY(form3().isVisible());
        QCOMPARE(form3().fieldList().count(), 0);
        QCOMPARE(form3().addedList().count(), 1);
        QVERIFY(!hint->isVisible());
    }
};

QTEST_MAIN(ResultsPanelTest)
#include "results_panel_test.moc"
