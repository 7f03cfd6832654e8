// The list model behind the four difference lists: rows of the run's typed
// differences announced in batches, check states, and the contract with the
// views.

#include "ui/difference_list_model.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include "compare/difference_list.h"
#include "wizard/result_list.h"

using quorvel::compare::DifferenceList;
using quorvel::ui::DifferenceListModel;
using quorvel::wizard::ResultList;

class DifferenceListModelTest : public QObject {
    Q_OBJECT

    static DifferenceList someDifferences() {
        DifferenceList d("t", {"A"});
        d.addChanged(1, 1, 0, "x", false, "y", false);
        d.addAdded(2);
        d.addDeleted(3);
        return d;
    }

  private slots:
    void appendedRowsReachTheViewsAtFlush() {
        const DifferenceList d = someDifferences();
        ResultList list(d);
        DifferenceListModel model("Field Differences", true, list);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        list.append(0);
        list.append(1);
        // Stored at once, shown at the next flush, in one notice.
        QCOMPARE(model.count(), 2);
        QCOMPARE(model.rowCount(), 0);
        list.flush();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][1].toInt(), 0);
        QCOMPARE(inserted[0][2].toInt(), 1);
        list.flush();
        QCOMPARE(inserted.size(), 1);
        // The text is the difference's line, rendered when asked for.
        QCOMPARE(model.data(model.index(0)).toString(),
                 QStringLiteral("Record 1, Field \"A\" has changed from \"x\" to \"y\""));
        QCOMPARE(model.data(model.index(1)).toString(), QStringLiteral("Record 2 added to t"));
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Field Differences"));
        // A second view of the same list (the other window) is told too.
        DifferenceListModel other("Field Differences", false, list);
        QCOMPARE(other.rowCount(), 2);
    }

    // A line whose values hold line ends stands on one row; the whole text
    // stays there for its tooltip.  A filter shows its rows, a tick set
    // through it reaches the right line.
    void linesStandOnOneRowAndFilteredRowsMapToTheirLines() {
        DifferenceList d("t", {"A", "NOTE"});
        d.addChanged(1, 1, 0, "x", false, "y", false);
        d.addChanged(1, 1, 1, "one\r\ntwo", false, "one\nthree", false);
        ResultList list(d);
        list.append(0);
        list.append(1);
        list.flush();
        DifferenceListModel model("Field Differences", true, list);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.data(model.index(1)).toString(),
                 QStringLiteral("Record 1, Field \"NOTE\" has changed from \"one\u21B5two\" to "
                                "\"one\u21B5three\""));
        QVERIFY(model.data(model.index(1), quorvel::ui::kLineTextRole)
                    .toString()
                    .contains(QStringLiteral("one\r\ntwo")));
        QCOMPARE(quorvel::ui::displayedLine(QString(5000, QLatin1Char('x'))).size(),
                 quorvel::ui::kDisplayLimit + 1);

        quorvel::wizard::LineCriteria note;
        note.field = 1;
        model.filter().setCriteria(note);
        QCOMPARE(model.rowCount(), 1);
        QVERIFY(model.setData(model.index(0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(list.checked(0));
        QVERIFY(!list.checked(1));
    }

    void tooltipGivesTableTwosRecordWhenThePairIsApart() {
        DifferenceList d("t", {"A"});
        d.addChanged(4, 9, 0, "x", false, "y", false);
        d.addChanged(5, 5, 0, "x", false, "y", false);
        d.addAdded(2);
        ResultList list(d);
        for (std::size_t i = 0; i < 3; ++i) list.append(i);
        list.flush();
        DifferenceListModel model("Field Differences", false, list);
        QCOMPARE(model.data(model.index(0), Qt::ToolTipRole).toString(),
                 QStringLiteral("Record 9 in Table #2"));
        // Otherwise the list's own tooltip shows.
        QVERIFY(!model.data(model.index(1), Qt::ToolTipRole).isValid());
        QVERIFY(!model.data(model.index(2), Qt::ToolTipRole).isValid());
    }

    void checkStatesOnlyWhereThereAreCheckBoxes() {
        const DifferenceList d = someDifferences();
        ResultList list(d);
        DifferenceListModel plain("Added / Deleted Records", false, list);
        DifferenceListModel ticks("Added / Deleted Records", true, list);
        for (std::size_t i = 0; i < 3; ++i) list.append(i);
        list.flush();
        QVERIFY(!plain.data(plain.index(0), Qt::CheckStateRole).isValid());
        QVERIFY(!plain.setData(plain.index(0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!(plain.flags(plain.index(0)) & Qt::ItemIsUserCheckable));
        QVERIFY(!(plain.flags(plain.index(0)) & Qt::ItemIsEditable));

        QVERIFY(ticks.flags(ticks.index(0)) & Qt::ItemIsUserCheckable);
        // New rows start checked.
        QCOMPARE(ticks.data(ticks.index(2), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QSignalSpy changed(&ticks, &QAbstractItemModel::dataChanged);
        QVERIFY(ticks.setData(ticks.index(1), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(changed.size(), 1);
        QVERIFY(ticks.checked(0));
        QVERIFY(!ticks.checked(1));
        // Text cannot be edited through the view.
        QVERIFY(!ticks.setData(ticks.index(0), "other", Qt::EditRole));
        QCOMPARE(ticks.text(1), std::string("Record 2 added to t"));

        QSignalSpy all(&ticks, &DifferenceListModel::allChecksChanged);
        list.setAllChecked(false);
        QCOMPARE(all.size(), 1);
        for (int i = 0; i < 3; ++i) QVERIFY(!ticks.checked(i));
        list.setAllChecked(true);
        for (int i = 0; i < 3; ++i) QVERIFY(ticks.checked(i));
    }

    void clearEmptiesShownAndPendingRows() {
        const DifferenceList d = someDifferences();
        ResultList list(d);
        DifferenceListModel model("Field Differences", true, list);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.append(0);
        list.flush();
        list.append(1);  // not yet shown
        list.clear();
        QCOMPARE(model.count(), 0);
        QCOMPARE(model.rowCount(), 0);
        list.flush();
        QCOMPARE(model.rowCount(), 0);
        // Select All on an empty list does nothing and fails nothing.
        list.setAllChecked(true);
        list.append(2);
        list.flush();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.text(0), std::string("Record 3 deleted from t"));
    }
};

QTEST_MAIN(DifferenceListModelTest)
#include "difference_list_model_test.moc"
