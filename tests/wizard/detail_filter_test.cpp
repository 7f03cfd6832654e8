// The models beside the results lists, without any toolkit: the filter of a
// list (counts, search, "Tick shown"), the grouped view, the detail of a
// record pair read from real tables, the hex view, the shift hint and the
// context texts.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "compare/compare.h"
#include "foxpro/text/text_locale.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"
#include "wizard/detail_model.h"
#include "wizard/grouped_lines.h"
#include "wizard/hex_view.h"
#include "wizard/line_filter.h"
#include "wizard/record_detail.h"
#include "wizard/results_model.h"
#include "wizard/run_context.h"
#include "wizard/shift_hint.h"

namespace quorvel::wizard {
namespace {

using compare::DifferenceKind;
using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// 300 pairs: PRICE changed in every pair, NAME in every third, then 20
// added records; record n's price goes from "n.00" to "n.50".
compare::DifferenceList priceList() {
    compare::DifferenceList list("items", {"ID", "NAME", "PRICE"});
    for (int n = 1; n <= 300; ++n) {
        if (n % 3 == 0)
            list.addChanged(n, n, 1, "Name " + std::to_string(n), false,
                            "NAME " + std::to_string(n), false);
        list.addChanged(n, n, 2, std::to_string(n) + ".00", false, std::to_string(n) + ".50",
                        false);
    }
    for (int n = 301; n <= 320; ++n) list.addAdded(n);
    return list;
}

std::vector<int> shownRecords(const LineFilter& filter) {
    std::vector<int> records;
    for (int i = 0; i < filter.count(); ++i)
        records.push_back(static_cast<int>(filter.list().difference(filter.listRow(i)).record1));
    return records;
}

TEST(LineFilterTest, CountsFollowKindFieldAndSearch) {
    RunModel run;
    LineFilter fields(run.fieldDifferences());
    LineFilter added(run.addedDeleted());
    // Set before the rows come: the filter follows the list as it fills.
    LineCriteria price;
    price.field = 2;
    fields.setCriteria(price);
    run.showDifferences(priceList());
    EXPECT_EQ(fields.count(), 300);
    EXPECT_EQ(fields.countText(), "300 of 400 lines");
    EXPECT_EQ(added.countText(), "20 lines");
    EXPECT_THAT(fields.fieldCounts(),
                ElementsAre(::testing::Field(&LineFilter::FieldCount::count, 100),
                            ::testing::Field(&LineFilter::FieldCount::count, 300)));
    EXPECT_EQ(fields.fieldCounts()[0].name, "NAME");

    // A number matches record numbers and values; "record 12" only numbers.
    LineCriteria search;
    search.search = " 12 ";
    fields.setCriteria(search);
    EXPECT_THAT(shownRecords(fields), ::testing::Contains(120));
    EXPECT_THAT(shownRecords(fields), ::testing::Contains(12));
    search.search = "Record 12";
    fields.setCriteria(search);
    EXPECT_THAT(shownRecords(fields), ElementsAre(12, 12));
    search.search = "#301";
    added.setCriteria(search);
    EXPECT_EQ(added.count(), 1);
    // Field names and values, without case for A to Z.
    search.search = "pric";
    fields.setCriteria(search);
    EXPECT_EQ(fields.count(), 300);
    search.search = "name 29";
    fields.setCriteria(search);
    EXPECT_THAT(shownRecords(fields), ElementsAre(291, 294, 297));
    EXPECT_EQ(fields.shownRow(fields.listRow(1)), 1);
    EXPECT_EQ(fields.shownRow(0), -1);

    LineCriteria kinds;
    kinds.added = false;
    added.setCriteria(kinds);
    EXPECT_EQ(added.countText(), "0 of 20 lines");
    EXPECT_EQ(groupedNumber(1234567), "1,234,567");

    // A cleared list leaves nothing shown; the criteria stay.
    run.clearDifferences();
    EXPECT_EQ(fields.count(), 0);
    EXPECT_EQ(fields.total(), 0);
}

TEST(LineFilterTest, TickShownActsOnTheShownLinesOnly) {
    RunModel run;
    run.showDifferences(priceList());
    LineFilter fields(run.fieldDifferences());
    struct Watch : LineFilter::Observer {
        int all = 0;
        void allTicksChanged() override { ++all; }
    } watch;
    fields.addObserver(&watch);
    // "Apply every PRICE change but no NAME change": two clicks.
    LineCriteria name;
    name.field = 1;
    fields.setCriteria(name);
    fields.setShownChecked(false);
    EXPECT_EQ(watch.all, 1);
    const ResultList& list = run.fieldDifferences();
    int ticked = 0;
    for (int row = 0; row < list.count(); ++row) {
        EXPECT_EQ(list.checked(row), list.difference(row).field == 2) << row;
        ticked += list.checked(row) ? 1 : 0;
    }
    EXPECT_EQ(ticked, 300);
    fields.setCriteria({});
    fields.setShownChecked(true);
    EXPECT_EQ(watch.all, 2);
    for (int row = 0; row < list.count(); ++row) EXPECT_TRUE(list.checked(row));
    fields.removeObserver(&watch);
}

TEST(GroupedLinesTest, OneRowPerPairWithItsChangedFieldsAsColumns) {
    RunModel run;
    compare::DifferenceList list("items", {"ID", "NAME", "PRICE"});
    list.addMissingField(1, 1, 0);
    list.addChanged(1, 1, 1, "a", false, "b", false);
    list.addChanged(1, 1, 2, "1", false, "2", false);
    list.addMissingField(2, 2, 0);
    list.addChanged(2, 3, 2, "5", false, "6", false);
    run.showDifferences(std::move(list));
    LineFilter filter(run.fieldDifferences());
    GroupedLines groups(filter);
    groups.rebuild();
    ASSERT_EQ(groups.groupCount(), 2);
    ASSERT_EQ(groups.columnCount(), 2);
    EXPECT_EQ(groups.columnName(0), "NAME");
    EXPECT_EQ(groups.record2(1), 3);
    EXPECT_EQ(groups.cellRow(0, 1), 2);
    EXPECT_EQ(groups.cellRow(1, 0), -1);
    EXPECT_EQ(groups.groupOf(4), 1);
    EXPECT_EQ(groups.groupOf(3), -1);
    EXPECT_EQ(groups.leftOut(), 2);
    run.fieldDifferences().setChecked(1, false);
    EXPECT_EQ(groups.tickState(0), 1);
    groups.setGroupChecked(0, false);
    EXPECT_EQ(groups.tickState(0), 0);
    EXPECT_TRUE(run.fieldDifferences().checked(0));  // the Missing-field line stays
    EXPECT_EQ(groups.tickState(1), 2);
}

TEST(HexViewTest, DifferingBytesAreMarkedAndLargeValuesSummed) {
    std::string a(100, 'x'), b = a;
    b[40] = 'y';
    b += "zz";
    const HexDump dump = hexDump(a, b);
    EXPECT_EQ(dump.differing, 3u);
    // Rows 0 to 6 (112 bytes in all); row 2 differs, row 6 too: rows
    // 0 to 4 and 4 to 6 around them, so every row is shown here.
    ASSERT_EQ(dump.rows.size(), 7u);
    EXPECT_EQ(dump.rows[2].differ, 1u << 8);
    EXPECT_EQ(dump.rows[6].differ, 0b11u << 4);
    const std::string big(kHexViewLimit + 1, '\0');
    const HexDump far = hexDump(big, std::string(40 * kHexRowBytes, '\0') + "!");
    EXPECT_TRUE(hexDump(big, big).digestOnly);
    EXPECT_THAT(far.summary1, ::testing::StartsWith("1,048,577 bytes, CRC-32 "));
    EXPECT_NE(far.summary1, far.summary2);
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(hexBytes("AB\n"), "41 42 0A");
    EXPECT_EQ(printableBytes("AB\n"), "AB.");
    const HexDump skipping = hexDump(std::string(160, 'a'), std::string(159, 'a') + "b");
    ASSERT_EQ(skipping.rows.size(), 3u);
    EXPECT_EQ(skipping.rows[0].skipped, 7u);
}

// Two real tables: Table #1 begins with a deleted record, so its list
// numbers and RECNO() differ; NOTE is a memo changed in one word, PIC
// binary data, OLD a field Table #2 lacks and EXTRA one only it has.
class RecordDetailTest : public ::testing::Test {
  protected:
    RecordDetailTest() {
        for (int n : {1, 2}) {
            run.source(n).optionDBC = false;
            run.source(n).folderText = dir.path();
        }
        run.Table1Name = "t1";
        run.Table2Name = "t2";
        TableBuilder t1(0x30), t2(0x30);
        t1.field("ID", 'N', 4)
            .field("NAME", 'C', 8)
            .field("NOTE", 'M', 4)
            .field("PIC", 'G', 4)
            .field("OLD", 'C', 2);
        t2.field("ID", 'N', 4)
            .field("NAME", 'C', 8)
            .field("NOTE", 'M', 4)
            .field("PIC", 'G', 4)
            .field("EXTRA", 'L', 1);
        t1.record(
            {Cell::number("0"), Cell::text("gone"), Cell::none(), Cell::none(), Cell::text("x")},
            true);
        t1.record({Cell::number("1"), Cell::text("Ann"),
                   Cell::memo("PROCEDURE init\r\n  x = 1\r\nENDPROC\r\n"),
                   Cell::memo("\x01\x02\x03", 0), Cell::text("y")});
        t1.record({Cell::number("2"), Cell::text("Bob"), Cell::memo("same"), Cell::none(),
                   Cell::text("z")});
        t2.record({Cell::number("1"), Cell::text("Anne"),
                   Cell::memo("PROCEDURE init\r\n  x = 2\r\nENDPROC\r\n"),
                   Cell::memo("\x01\x09\x03", 0), Cell::logical('T')});
        t2.record({Cell::number("2"), Cell::text("Bob"), Cell::memo("same"), Cell::none(),
                   Cell::logical('F')});
        t2.record({Cell::number("3"), Cell::text("Cy"), Cell::memo("new"), Cell::none(),
                   Cell::logical('F')});
        t1.write(dir.file("t1.dbf"));
        t2.write(dir.file("t2.dbf"));
        compare::CompareResult result = compare::Compare(run.source(1), run.source(2), "t1", "t2",
                                                         foxpro::TextLocale::c(), dialogs);
        EXPECT_TRUE(result.completed()) << result.failure;
        run.showDifferences(std::move(result.differences));
    }

    int rowOf(const ResultList& list, const std::string& field) {
        for (int i = 0; i < list.count(); ++i)
            if (list.difference(i).fieldName == field) return i;
        return -1;
    }

    test::TempFolder dir;
    test::ScriptedDialogs dialogs;
    RunModel run;
    frame::MemorySettingsStore store;
};

TEST_F(RecordDetailTest, FieldsOfBothRecordsAreMarkedAndNumberedAsFoxProDoes) {
    const ResultList& list = run.fieldDifferences();
    const RecordDetail detail =
        readRecordDetail(run, list, rowOf(list, "NOTE"), foxpro::TextLocale::c());
    ASSERT_EQ(detail.problem, "");
    EXPECT_EQ(detail.record1, 1);
    EXPECT_EQ(detail.recno1, 2);
    EXPECT_EQ(detail.recno2, 1);
    EXPECT_THAT(recnoNote(detail), HasSubstr("RECNO() 2 in Table #1"));
    EXPECT_THAT(recordHeading(detail),
                HasSubstr("Record 1 of Table #1 (t1) and record 1 of Table #2 (t2)"));
    std::vector<std::string> names;
    std::vector<FieldMark> marks;
    for (const auto& f : detail.fields) {
        names.push_back(f.name);
        marks.push_back(f.mark);
    }
    EXPECT_THAT(names, ElementsAre("ID", "NAME", "NOTE", "PIC", "OLD", "EXTRA"));
    EXPECT_THAT(marks, ElementsAre(FieldMark::Same, FieldMark::Changed, FieldMark::Changed,
                                   FieldMark::BytesDiffer, FieldMark::NotInTable2,
                                   FieldMark::OnlyInTable2));
    EXPECT_EQ(detail.fields[2].type1, "M");
    EXPECT_EQ(detail.fields[5].value2.text, "True");
    EXPECT_FALSE(detail.fields[4].value2.present);
    EXPECT_EQ(detail.focus, 2);
    EXPECT_EQ(detail.changed, 2);
}

TEST_F(RecordDetailTest, DetailModelShowsTheLinesFieldAsALineDiffOrHexView) {
    DetailModel model(run, store, foxpro::TextLocale::c());
    EXPECT_TRUE(model.paneShown());
    model.setPaneShown(false);
    EXPECT_FALSE(DetailModel(run, store, foxpro::TextLocale::c()).paneShown());

    const ResultList& list = run.fieldDifferences();
    model.select(list, rowOf(list, "NOTE"));
    ASSERT_EQ(model.valueKind(), DetailModel::ValueKind::Lines);
    EXPECT_EQ(model.valueSummary(), "1 line changed");
    const compare::TextDiff& diff = model.lineDiff();
    ASSERT_EQ(diff.lines.size(), 4u);
    EXPECT_EQ(diff.lines[1].text, "  x = 1");
    EXPECT_EQ(diff.lines[1].marks, (std::vector<compare::TextSpan>{{6, 1}}));

    model.setField(3);  // PIC
    ASSERT_EQ(model.valueKind(), DetailModel::ValueKind::Hex);
    EXPECT_EQ(model.valueSummary(), "1 byte differs");
    model.setField(1);  // NAME
    ASSERT_EQ(model.valueKind(), DetailModel::ValueKind::Short);
    ASSERT_EQ(model.wordMarks().now.size(), 1u);

    // The added record: one side, every field.
    model.select(run.addedDeleted(), 0);
    EXPECT_EQ(model.detail().kind, DifferenceKind::Added);
    EXPECT_EQ(model.detail().recno2, 3);
    ASSERT_EQ(model.detail().fields.size(), 5u);
    EXPECT_FALSE(model.detail().fields[1].value1.present);
    EXPECT_EQ(model.detail().fields[1].value2.text, "Cy      ");
}

TEST_F(RecordDetailTest, ATableThatCannotBeReadLeavesWhatTheListKnows) {
    test::truncateTo(dir.file("t2.dbf"), 10);
    const ResultList& list = run.fieldDifferences();
    const RecordDetail detail =
        readRecordDetail(run, list, rowOf(list, "NAME"), foxpro::TextLocale::c());
    EXPECT_THAT(detail.problem, HasSubstr("t2.dbf"));
    ASSERT_EQ(detail.fields.size(), 3u);  // NAME, NOTE and the OLD line
    EXPECT_EQ(detail.fields[0].value2.text, "Anne    ");
    EXPECT_EQ(detail.focus, 0);
}

TEST(ShiftHintTest, ShiftedRecordsAreToldAndOfferedAnotherPairing) {
    // Record n of Table #2 holds record n - 1 of Table #1.
    compare::DifferenceList shifted("t2", {"ID", "NAME"});
    for (int n = 2; n <= 40; ++n)
        shifted.addChanged(n, n, 1, "name " + std::to_string(n), false,
                           "name " + std::to_string(n - 1), false);
    EXPECT_EQ(recordShift(shifted, 40), 1);
    EXPECT_EQ(recordShift(shifted, 100), 0);  // most pairs are equal
    compare::DifferenceList changed("t2", {"ID", "NAME"});
    for (int n = 1; n <= 40; ++n)
        changed.addChanged(n, n, 1, "a" + std::to_string(n), false, "b" + std::to_string(n), false);
    EXPECT_EQ(recordShift(changed, 40), 0);

    // Through the results window: a record inserted at the start of t2.
    test::TempFolder dir;
    TableBuilder t1(0x30), t2(0x30);
    t1.field("NAME", 'C', 8);
    t2.field("NAME", 'C', 8);
    t2.record({Cell::text("first")});
    for (int n = 1; n <= 12; ++n) {
        t1.record({Cell::text("r" + std::to_string(n))});
        t2.record({Cell::text("r" + std::to_string(n))});
    }
    t1.write(dir.file("t1.dbf"));
    t2.write(dir.file("t2.dbf"));
    RunModel run;
    for (int n : {1, 2}) {
        run.source(n).optionDBC = false;
        run.source(n).folderText = dir.path();
    }
    run.Table1Name = "t1";
    run.Table2Name = "t2";
    test::ScriptedDialogs dialogs;
    compare::CompareResult result = compare::Compare(run.source(1), run.source(2), "t1", "t2",
                                                     foxpro::TextLocale::c(), dialogs);
    run.showDifferences(std::move(result.differences));
    ResultsModel results(run, dialogs);
    ShiftHint shown;
    std::vector<std::string> log;
    results.view.setShiftHint = [&](const ShiftHint& hint) { shown = hint; };
    results.view.setTablesText = [&](const std::string& text) { log.push_back(text); };
    results.view.showTableChoice = [&] { log.push_back("choice"); };
    results.view.runAgain = [&](const compare::RecordPairing& pairing) {
        log.push_back(std::string(compare::pairingWord(pairing.by)));
    };
    results.Form_Activate();
    EXPECT_THAT(shown.text, HasSubstr("record 1 of Table #1 is like record 2 of Table #2"));
    EXPECT_THAT(shown.text, HasSubstr("(12 of 12)"));
    ASSERT_EQ(shown.offers.size(), 1u);
    EXPECT_EQ(shown.offers[0].caption, "Run again paired by content");
    results.HintButton_Click(0);
    EXPECT_EQ(run.fieldDifferences().count(), 0);
    EXPECT_EQ(log.back(), "Content");
    EXPECT_EQ(log[log.size() - 2], "choice");
    EXPECT_THAT(log[0], HasSubstr("Table #1: t1 in folder "));
    // Paired by content, the same tables give no hint.
    run.pairing.by = compare::Pairing::Content;
    EXPECT_EQ(shiftHint(run).text, "");
}

TEST(RunContextTest, OptionsAndTheWalkOfF8) {
    compare::CompareOptions options;
    EXPECT_EQ(optionsDescription(options), "Options: none");
    options.ignoredFields = {"NOTE", "STAMP"};
    options.ignoreCase = true;
    options.tolerance = "0.05";
    EXPECT_EQ(optionsDescription(options),
              "Options: fields left out: NOTE, STAMP; case ignored; numbers within 0.05 compare "
              "equal");
    data::SourceDescriptor container;
    container.dbcPath = "/data/shop.dbc";
    EXPECT_EQ(sourceText(container), "Container /data/shop.dbc");

    EXPECT_EQ(stepDifference({0, -1}, 2, 3, true), (LinePlace{0, 0}));
    EXPECT_EQ(stepDifference({0, 1}, 2, 3, true), (LinePlace{1, 0}));
    EXPECT_EQ(stepDifference({1, 2}, 2, 3, true), std::nullopt);
    EXPECT_EQ(stepDifference({1, 0}, 2, 3, false), (LinePlace{0, 1}));
    EXPECT_EQ(stepDifference({1, -1}, 2, 3, false), (LinePlace{1, 2}));
    EXPECT_EQ(stepDifference({0, 0}, 2, 3, false), std::nullopt);
    EXPECT_EQ(stepDifference({0, -1}, 0, 3, true), (LinePlace{1, 0}));
}

}  // namespace
}  // namespace quorvel::wizard
