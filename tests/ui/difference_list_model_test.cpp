// The list model behind the four difference lists: buffered appends,
// check states, and the contract with the views.

#include "ui/difference_list_model.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using quorvel::ui::DifferenceListModel;

class DifferenceListModelTest : public QObject {
    Q_OBJECT

  private slots:
    void appendedLinesReachTheViewsAtFlush() {
        DifferenceListModel model("Field Differences", true);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.appendLine("Record 1, Field \"A\" has changed from \"x\" to \"y\"");
        model.appendLine("Record 2 added to t");
        // Stored at once, shown at the next flush, in one notice.
        QCOMPARE(model.count(), 2);
        QCOMPARE(model.rowCount(), 0);
        model.flush();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][1].toInt(), 0);
        QCOMPARE(inserted[0][2].toInt(), 1);
        model.flush();
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(model.data(model.index(1)).toString(), QStringLiteral("Record 2 added to t"));
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Field Differences"));
    }

    void checkStatesOnlyWhereThereAreCheckBoxes() {
        DifferenceListModel plain("Added / Deleted Records", false);
        plain.appendLine("Record 1 deleted from t");
        plain.flush();
        QVERIFY(!plain.data(plain.index(0), Qt::CheckStateRole).isValid());
        QVERIFY(!plain.setData(plain.index(0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!(plain.flags(plain.index(0)) & Qt::ItemIsUserCheckable));
        QVERIFY(!(plain.flags(plain.index(0)) & Qt::ItemIsEditable));

        DifferenceListModel ticks("Added / Deleted Records", true);
        for (int i = 1; i <= 3; ++i)
            ticks.appendLine("Record " + std::to_string(i) + " added to t");
        ticks.flush();
        QVERIFY(ticks.flags(ticks.index(0)) & Qt::ItemIsUserCheckable);
        // New lines start checked.
        QCOMPARE(ticks.data(ticks.index(2), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QSignalSpy changed(&ticks, &QAbstractItemModel::dataChanged);
        QVERIFY(ticks.setData(ticks.index(1), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(changed.size(), 1);
        QVERIFY(ticks.checked(0));
        QVERIFY(!ticks.checked(1));
        // Text cannot be edited through the view.
        QVERIFY(!ticks.setData(ticks.index(0), "other", Qt::EditRole));
        QCOMPARE(ticks.text(0), std::string("Record 1 added to t"));

        QSignalSpy all(&ticks, &DifferenceListModel::allChecksChanged);
        ticks.setAllChecked(false);
        QCOMPARE(all.size(), 1);
        for (int i = 0; i < 3; ++i) QVERIFY(!ticks.checked(i));
        ticks.setAllChecked(true);
        for (int i = 0; i < 3; ++i) QVERIFY(ticks.checked(i));
    }

    void clearEmptiesShownAndPendingLines() {
        DifferenceListModel model("Field Differences", true);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.appendLine("a");
        model.flush();
        model.appendLine("b");  // not yet shown
        model.clear();
        QCOMPARE(model.count(), 0);
        QCOMPARE(model.rowCount(), 0);
        model.flush();
        QCOMPARE(model.rowCount(), 0);
        // Select All on an empty list does nothing and fails nothing.
        model.setAllChecked(true);
        model.appendLine("c");
        model.flush();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.text(0), std::string("c"));
    }
};

QTEST_MAIN(DifferenceListModelTest)
#include "difference_list_model_test.moc"
