// The summary window's logic without a toolkit: every table of two
// folders, the rows, their order, a row opened in the results window and
// back, the report, Stop; and the table choice naming the table's own key.

#include "wizard/summary_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"
#include "wizard/results_model.h"
#include "wizard/table_choice_model.h"

namespace quorvel::wizard {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class SummaryModelTest : public ::testing::Test {
  protected:
    SummaryModelTest() {
        // a: customers, orders, region; b: customers with Bob renamed and
        // one more record, orders alike, extra.
        for (const char* side : {"a", "b"}) {
            std::filesystem::create_directories(dir.file(side));
            const bool second = side[0] == 'b';
            TableBuilder customers(0x30);
            customers.field("NAME", 'C', 6);
            customers.record({Cell::text("Ann")});
            customers.record({Cell::text(second ? "Bobby" : "Bob")});
            if (second) customers.record({Cell::text("Cy")});
            customers.write(dir.file(std::string(side) + "/customers.dbf"));
            TableBuilder orders(0x30);
            orders.field("NO", 'I', 4).record({Cell::integer32(7)});
            orders.write(dir.file(std::string(side) + "/orders.dbf"));
            TableBuilder other(0x30);
            other.field("X", 'C', 2).record({Cell::text("r")});
            other.write(dir.file(std::string(side) + (second ? "/extra.dbf" : "/region.dbf")));
            run.source(second ? 2 : 1).optionDBC = false;
            run.source(second ? 2 : 1).folderText = dir.file(side);
        }
        summary.view.showResults = [this] { log.push_back("show results"); };
        summary.view.hide = [this] { log.push_back("hide summary"); };
        summary.view.setProgress = [this](int value, const std::string& text) {
            progress.push_back(std::to_string(value) + " " + text);
        };
        summary.view.setStatusText = [this](const std::string& text) { status = text; };
        results.view.showSummary = [this] { log.push_back("show summary"); };
        results.view.showTableChoice = [this] { log.push_back("show choice"); };
    }

    std::vector<std::string> column(int c) const {
        std::vector<std::string> cells;
        for (std::size_t r = 0; r < summary.rowCount(); ++r)
            cells.push_back(summary.cell(static_cast<int>(r), c));
        return cells;
    }

    test::TempFolder dir;
    test::ScriptedDialogs dialogs;
    RunModel run;
    foxpro::TextLocale locale = foxpro::TextLocale::c();
    frame::MemorySettingsStore store;
    SummaryModel summary{run, dialogs, locale, store};
    ResultsModel results{run, dialogs};
    std::vector<std::string> log, progress;
    std::string status;
};

TEST_F(SummaryModelTest, RowsPutDifferencesFirstAndSortByAnyColumn) {
    summary.compareAll(compare::Pairing::Position);
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_THAT(column(SummaryModel::Name), ElementsAre("customers", "region", "extra", "orders"));
    EXPECT_THAT(column(SummaryModel::Status),
                ElementsAre("Different", "Only in source #1", "Only in source #2", "Identical"));
    // No key in these tables: each pairs by position, as its own key says.
    EXPECT_THAT(column(SummaryModel::Pairing), ElementsAre("position", "", "", "position"));
    EXPECT_THAT(column(SummaryModel::Changed), ElementsAre("1", "", "", "0"));
    EXPECT_THAT(column(SummaryModel::Added), ElementsAre("1", "", "", "0"));
    EXPECT_THAT(progress, Contains("0 customers: table 1 of 4"));
    EXPECT_THAT(progress, Contains("75 extra: table 4 of 4"));
    EXPECT_EQ(progress.back(), "100 Done");
    EXPECT_EQ(status, "4 tables, 3 with differences");

    summary.sortBy(SummaryModel::Name);
    EXPECT_THAT(column(SummaryModel::Name), ElementsAre("customers", "extra", "orders", "region"));
    summary.sortBy(SummaryModel::Name);
    EXPECT_THAT(column(SummaryModel::Name), ElementsAre("region", "orders", "extra", "customers"));
    // Counts ascending: the tables not compared have none, before zero.
    summary.sortBy(SummaryModel::Added);
    EXPECT_THAT(column(SummaryModel::Name), ElementsAre("region", "extra", "orders", "customers"));
}

TEST_F(SummaryModelTest, ARowOpensItsPairAndBackReturnsToTheSummary) {
    summary.compareAll(compare::Pairing::Position);
    summary.openRow(0);
    EXPECT_THAT(log, ElementsAre("show results", "hide summary"));
    EXPECT_EQ(run.Table1Name, "customers");
    EXPECT_EQ(run.Table2Name, "customers");
    EXPECT_EQ(run.fieldDifferences().count(), 1);
    EXPECT_EQ(run.addedDeleted().count(), 1);
    results.PushButton2_Click();
    EXPECT_EQ(log.back(), "show summary");
    EXPECT_EQ(run.fieldDifferences().count(), 0);
    // The summary kept its own copy: the row opens again, whole.
    summary.openRow(0);
    EXPECT_EQ(run.fieldDifferences().count(), 1);

    // A table in one source only, or identical, says so instead.
    log.clear();
    summary.openRow(1);
    summary.openRow(3);
    EXPECT_THAT(dialogs.messageTexts(),
                ElementsAre("Table \"region\" is only in source #1",
                            HasSubstr("The tables appear to be identical.")));
    EXPECT_THAT(log, IsEmpty());

    // The pair is compared anew when opened: a table made alike since the
    // summary says so, and its row follows.
    TableBuilder alike(0x30);
    alike.field("NAME", 'C', 6).record({Cell::text("Ann")}).record({Cell::text("Bob")});
    alike.write(dir.file("b/customers.dbf"));
    summary.openRow(0);
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("The tables appear to be identical."));
    EXPECT_THAT(log, IsEmpty());
    EXPECT_THAT(column(SummaryModel::Status), Contains("Identical"));
    EXPECT_EQ(status, "4 tables, 2 with differences");
}

TEST_F(SummaryModelTest, ReportHoldsEveryTableInSourceOrder) {
    summary.compareAll(compare::Pairing::Position);
    summary.sortBy(SummaryModel::Name);  // the report keeps the sources' order
    const std::string expected =
        "Table \"customers\": 1 changed, 1 added, 0 deleted, 0 missing fields (paired by "
        "position)\r\n"
        "Record 2, Field \"NAME\" has changed from \"Bob   \" to \"Bobby \"\r\n"
        "Record 3 added to customers\r\n"
        "Table \"orders\": identical\r\n"
        "Table \"region\" is only in source #1\r\n"
        "Table \"extra\" is only in source #2\r\n";
    dialogs.fileNames.push_back(dir.file("summary.txt"));
    summary.PushButton4_Click();
    EXPECT_THAT(dialogs.messages, IsEmpty());
    std::ifstream in(dir.file("summary.txt"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected);
    EXPECT_EQ(summary.rowCount(), 4u);
    EXPECT_FALSE(run.busy.active());
    // Never over a compared table's file.
    dialogs.fileNames.push_back(dir.file("a/orders.dbf"));
    summary.PushButton4_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("orders.dbf"));
}

TEST_F(SummaryModelTest, StopEndsTheRunAfterTheTableAtHand) {
    summary.view.rowsChanged = [this] {
        if (summary.rowCount() == 1) summary.Stop_Click();
    };
    summary.compareAll(compare::Pairing::Position);
    EXPECT_TRUE(summary.stopped());
    EXPECT_EQ(summary.rowCount(), 1u);
    EXPECT_THAT(status, HasSubstr("stopped before the last table"));
    EXPECT_FALSE(run.busy.active());
    // A new run starts afresh.
    summary.view.rowsChanged = nullptr;
    summary.compareAll(compare::Pairing::Position);
    EXPECT_EQ(summary.rowCount(), 4u);
    EXPECT_FALSE(summary.stopped());
}

TEST_F(SummaryModelTest, TableChoiceNamesTheKeyItsOwnKeyWouldUse) {
    TableChoiceModel choice{run, dialogs, locale, store};
    std::vector<std::string> chosen1, chosen2, shown;
    choice.view.selectedEntries = [&](int list) { return list == 1 ? chosen1 : chosen2; };
    choice.view.setAutoKeyText = [&](const std::string& text) { shown.push_back(text); };
    chosen1 = {"customers"};
    choice.List1_Click();
    chosen2 = {"customers"};
    choice.List2_Click();
    // A candidate tag of the structural index of Table #1.
    foxpro::TagDefinition tag;
    tag.name = "NAME";
    tag.keyExpression = "UPPER(NAME)";
    tag.candidate = true;
    {
        const foxpro::TableReader reader(dir.file("a/customers.dbf"));
        foxpro::NewFileSet files(dir.file("a"));
        ASSERT_TRUE(
            foxpro::writeCompoundIndex(reader, {tag}, files, "customers.cdx").fileWritten());
        files.commit();
    }
    choice.List1_Click();
    EXPECT_THAT(shown, ElementsAre("", "none: records pair by position", "candidate index NAME"));

    // Compare All Tables hands the chosen pairing on.
    compare::Pairing handed = compare::Pairing::Position;
    choice.view.compareAllTables = [&](compare::Pairing by) { handed = by; };
    choice.Option3_Click();
    choice.PushButton5_Click();
    EXPECT_EQ(handed, compare::Pairing::Content);
}

}  // namespace
}  // namespace quorvel::wizard
