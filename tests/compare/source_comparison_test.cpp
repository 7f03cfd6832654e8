// The loop over the tables of two sources: pairing of names without case,
// the run's order and count, each pair's own options, and Stop.

#include "compare/source_comparison.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "frame/event_pace.h"
#include "support/table_builder.h"

namespace quorvel::compare {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;

class SourceComparisonTest : public ::testing::Test {
  protected:
    SourceComparisonTest() {
        for (const char* side : {"a", "b"}) {
            std::filesystem::create_directories(dir.file(side));
            const bool second = side[0] == 'b';
            TableBuilder items(0x30);
            items.field("NAME", 'C', 4).field("QTY", 'N', 3);
            items.record({Cell::text("pen"), Cell::number(second ? "2" : "1")});
            // Source #2 spells the name in capitals.
            items.write(dir.file(std::string(side) + (second ? "/ITEMS.dbf" : "/items.dbf")));
            TableBuilder notes(0x30);
            notes.field("X", 'C', 2).record({Cell::text("n")});
            notes.write(dir.file(std::string(side) + "/notes.dbf"));
        }
        TableBuilder old(0x30);
        old.field("X", 'C', 2).record({Cell::text("o")});
        old.write(dir.file("a/old.dbf"));
        for (int n : {1, 2}) {
            data::SourceDescriptor& source = n == 1 ? request.source1 : request.source2;
            source.optionDBC = false;
            source.folderText = dir.file(n == 1 ? "a" : "b");
        }
    }

    test::TempFolder dir;
    SourceComparisonRequest request;
};

TEST_F(SourceComparisonTest, PairsNamesWithoutCaseAndCountsTheRun) {
    std::vector<std::string> started;
    SourceComparisonCallbacks callbacks;
    callbacks.tableStarted = [&](std::size_t i, std::size_t n, const std::string& name) {
        started.push_back(name + " " + std::to_string(i) + "/" + std::to_string(n));
    };
    request.excluded = {"NOTES"};
    const SourceComparison run = compareSources(request, callbacks);
    EXPECT_THAT(started, ElementsAre("items 1/2", "old 2/2"));
    ASSERT_EQ(run.tables.size(), 2u);
    EXPECT_EQ(run.tables[0].name2, "ITEMS");
    EXPECT_EQ(run.tables[0].status, TableStatus::Different);
    EXPECT_EQ(run.tables[0].changed, 1u);
    EXPECT_EQ(run.tables[1].status, TableStatus::OnlyInSource1);
    EXPECT_TRUE(run.anyDifferent());
    EXPECT_FALSE(run.anyFailed());

    // Each pair's own options: QTY left out, the tables are alike.
    std::vector<std::string> asked;
    request.optionsFor = [&](const std::string& table1, const std::string& table2) {
        asked.push_back(table1 + "/" + table2);
        CompareOptions options;
        options.ignoredFields = {"QTY"};
        return options;
    };
    request.only = {"items"};
    request.excluded.clear();
    const SourceComparison alike = compareSources(request);
    EXPECT_THAT(asked, ElementsAre("items/ITEMS"));
    ASSERT_EQ(alike.tables.size(), 1u);
    EXPECT_EQ(alike.tables[0].status, TableStatus::Identical);
    EXPECT_EQ(tableHeaderLine(alike.tables[0]), "Table \"items\": identical");
}

TEST_F(SourceComparisonTest, StopLeavesTheTablesNotReached) {
    SourceComparisonCallbacks callbacks;
    std::size_t done = 0;
    callbacks.tableDone = [&](const TableComparison&, CompareResult*) { ++done; };
    callbacks.stopRequested = [&] { return done == 1; };
    const SourceComparison run = compareSources(request, callbacks);
    EXPECT_TRUE(run.stopped);
    ASSERT_EQ(run.tables.size(), 1u);
    EXPECT_EQ(run.tables[0].name, "items");

    // Asked during a walk: the table at hand is left out, not failed.
    TableBuilder many(0x30);
    many.field("N", 'N', 5);
    for (int i = 0; i < 500; ++i) many.record({Cell::number(std::to_string(i))});
    many.write(dir.file("a/items.dbf"));
    bool stop = false;
    callbacks = {};
    // The walk's first progress waits out the event interval, so that its
    // next look at the clock lets the events run.
    callbacks.walk.progress = [&](int, const std::string&) {
        if (!stop) std::this_thread::sleep_for(2 * frame::kEventInterval);
    };
    callbacks.walk.processEvents = [&] { stop = true; };
    callbacks.stopRequested = [&] { return stop; };
    const SourceComparison interrupted = compareSources(request, callbacks);
    EXPECT_TRUE(stop);
    EXPECT_TRUE(interrupted.stopped);
    EXPECT_TRUE(interrupted.tables.empty());
}

}  // namespace
}  // namespace quorvel::compare
