// Whole sources merged into a new copy: each merged table as the one-table
// merge makes it, the container and its keys kept, nothing made on a stop.

#include "results/source_merge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "compare/compare.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/source/table_keys.h"
#include "foxpro/write/atomic_file.h"
#include "results/merge.h"
#include "support/child_process.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace quorvel::results {
namespace {

namespace fs = std::filesystem;
using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using Status = TableMergeOutcome::Status;

struct Customer {
    std::string id, name, note;
};

const std::vector<std::string> kLongNames{"customer_number", "company_name", "note"};

// shop.dbc: customers (long names, primary key CUSTNO over
// UPPER(customer_number), tag COMPANY, a memo) and setup in a subfolder;
// extra when asked.
void writeShop(const std::string& folder, const std::vector<Customer>& customers,
               bool extra = false) {
    fs::create_directories(folder);
    test::ContainerBuilder container;
    container.table("customers", "customers.dbf")
        .field("customer_number")
        .field("company_name")
        .field("note")
        .primaryKey("custno")
        .index("custno", true)
        .index("company", false);
    container.table("setup", "data\\setup.dbf").field("key").field("val");
    if (extra) container.table("extra", "extra.dbf").field("extra_code");
    container.write(folder + "/shop.dbc");
    TableBuilder t(0x30);
    t.field("CUSTOMER_N", 'C', 6).field("COMPANY_NA", 'C', 14).field("NOTE", 'M', 4);
    t.backlink("shop.dbc");
    for (const auto& c : customers)
        t.record({Cell::text(c.id), Cell::text(c.name), Cell::memo(c.note)});
    t.write(folder + "/customers.dbf");
    {
        const foxpro::TableReader reader(folder + "/customers.dbf", kLongNames);
        foxpro::TagDefinition key, company;
        key.name = "CUSTNO";
        key.keyExpression = "UPPER(customer_number)";
        key.candidate = true;
        company.name = "COMPANY";
        company.keyExpression = "company_name";
        foxpro::NewFileSet files(folder);
        ASSERT_TRUE(foxpro::writeCompoundIndex(reader, {key, company}, files, "customers.cdx")
                        .fileWritten());
        files.commit();
    }
    TableBuilder s(0x30);
    s.field("KEY", 'C', 6).field("VAL", 'C', 6).backlink("..\\shop.dbc");
    s.record({Cell::text("mode"), Cell::text("fast")});
    fs::create_directories(folder + "/data");
    s.write(folder + "/data/setup.dbf");
    if (extra) {
        TableBuilder e(0x30);
        e.field("EXTRA_CODE", 'C', 4).backlink("shop.dbc");
        e.record({Cell::text("x1")});
        e.write(folder + "/extra.dbf");
    }
}

std::map<std::string, std::vector<std::uint8_t>> snapshot(const std::string& folder) {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(folder).string()] =
                test::readFile(entry.path().string());
    return files;
}

data::SourceDescriptor container(const std::string& dbc) {
    data::SourceDescriptor s;
    s.dbcPath = dbc;
    return s;
}

class SourceMergeTest : public ::testing::Test {
  protected:
    test::TempFolder dir;

    void SetUp() override {
        writeShop(dir.file("a"),
                  {{"c1", "Ann", "first"}, {"c2", "Bob", ""}, {"c3", "Cy", "third"}});
        // c1 renamed, c2 gone (a deletion, which the merge keeps), c4 added.
        writeShop(dir.file("b"),
                  {{"c1", "Ann Ltd", "first"}, {"c3", "Cy", "third"}, {"c4", "Di", "new memo"}},
                  true);
    }

    SourceMergeRequest request(bool addNew = false) const {
        SourceMergeRequest r;
        r.source1 = container(dir.file("a/shop.dbc"));
        r.source2 = container(dir.file("b/shop.dbc"));
        r.intoFolder = dir.file("out");
        r.pairing.by = compare::Pairing::Auto;
        r.addNewTables = addNew;
        return r;
    }

    // Nothing of a copy beside out: neither it nor a hidden one.
    void expectNoCopy() const {
        EXPECT_FALSE(fs::exists(dir.file("out")));
        for (const auto& entry : fs::directory_iterator(dir.path()))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".out.")) << entry.path();
    }
};

TEST_F(SourceMergeTest, EachMergedTableIsTheOneTableMergeInsideTheKeptContainer) {
    const auto before1 = snapshot(dir.file("a")), before2 = snapshot(dir.file("b"));
    const SourceMergeOutcome outcome = MergeSources(request(true));
    ASSERT_TRUE(outcome.made) << outcome.failure;
    EXPECT_FALSE(outcome.someFailed());
    std::vector<std::pair<std::string, Status>> statuses;
    for (const auto& t : outcome.tables) statuses.emplace_back(t.name, t.status);
    EXPECT_THAT(statuses, ElementsAre(std::pair{std::string("customers"), Status::Merged},
                                      std::pair{std::string("setup"), Status::Identical},
                                      std::pair{std::string("extra"), Status::AddedAsFree}));
    EXPECT_EQ(outcome.tables[0].fieldsUpdated, 1);
    EXPECT_EQ(outcome.tables[0].recordsAdded, 1);
    EXPECT_EQ(snapshot(dir.file("a")), before1);
    EXPECT_EQ(snapshot(dir.file("b")), before2);

    // The copy's container: the same tables, long names and key.
    const auto copy = foxpro::DataSource::open(dir.file("out/shop.dbc"));
    EXPECT_THAT(copy->tableNames(), ElementsAre("customers", "setup"));
    EXPECT_EQ(copy->longFieldNames("customers"), kLongNames);
    const auto keys = foxpro::readTableKeys(*copy, "customers");
    const auto keys1 =
        foxpro::readTableKeys(*foxpro::DataSource::open(dir.file("a/shop.dbc")), "customers");
    EXPECT_EQ(keys.primaryTag, "custno");
    EXPECT_EQ(keys.primaryTag, keys1.primaryTag);
    EXPECT_EQ(keys.containerIndexes.size(), keys1.containerIndexes.size());
    EXPECT_TRUE(keys.warnings.empty());
    EXPECT_EQ(test::readFile(dir.file("out/data/setup.dbf")),
              test::readFile(dir.file("a/data/setup.dbf")));
    const auto merged = copy->openTable("customers");
    EXPECT_EQ(merged->backlink(), "shop.dbc");
    EXPECT_EQ(merged->descriptors()[0].name, "CUSTOMER_N");
    {
        // The index over the final records, its expressions as they were.
        const foxpro::CdxReader index(dir.file("out/customers.cdx"), merged.get());
        ASSERT_EQ(index.tags().size(), 2u);
        EXPECT_EQ(index.tags()[0].keyExpression, "UPPER(customer_number)");
        EXPECT_EQ(index.tags()[1].keyExpression, "company_name");
        std::vector<std::string> keys;
        for (const auto& e : index.entries(index.tags()[0])) keys.push_back(e.key.substr(0, 2));
        EXPECT_THAT(keys, ElementsAre("C1", "C2", "C3", "C4"));
    }
    // The table only in source #2: free, without its link.
    EXPECT_EQ(foxpro::TableReader(dir.file("out/extra.dbf")).backlink(), "");

    // The one-table merge of the same tables, into source #1's folder.
    test::ScriptedDialogs dialogs;
    const compare::CompareResult diff = compare::Compare(
        container(dir.file("a/shop.dbc")), container(dir.file("b/shop.dbc")), "customers",
        "customers", foxpro::TextLocale::c(), dialogs, {}, request().pairing);
    ASSERT_TRUE(diff.completed()) << diff.failure;
    MergeRequest single;
    single.source1 = container(dir.file("a/shop.dbc"));
    single.source2 = container(dir.file("b/shop.dbc"));
    single.Table1Name = single.Table2Name = "customers";
    single.newTableName = "single";
    const ListOfKind fields(diff.differences, compare::LineList::FieldDifferences, true);
    const ListOfKind added(diff.differences, compare::LineList::AddedDeleted, true);
    ASSERT_TRUE(MergeIntoNewTable(single, fields, added, dialogs).tableMade);
    const foxpro::TableReader one(dir.file("a/single.dbf"));
    ASSERT_EQ(merged->storedCount(), one.storedCount());
    for (std::int64_t i = 0; i < one.storedCount(); ++i) {
        const auto a = merged->storedRecord(i), b = one.storedRecord(i);
        EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << "record " << i;
        EXPECT_EQ(merged->valueAt(i, 2).str(), one.valueAt(i, 2).str()) << "memo " << i;
    }
}

// A window's options saved per pair of tables take the place of the one set.
TEST_F(SourceMergeTest, OptionsForEachPairReplaceTheRequestsOptions) {
    SourceMergeRequest r = request();
    std::vector<std::string> asked;
    r.optionsFor = [&](const std::string& table1, const std::string& table2) {
        asked.push_back(table1 + "/" + table2);
        compare::CompareOptions options;
        if (table1 == "customers") options.ignoredFields = {"company_name"};
        return options;
    };
    const SourceMergeOutcome outcome = MergeSources(r);
    ASSERT_TRUE(outcome.made) << outcome.failure;
    EXPECT_THAT(asked, ElementsAre("customers/customers", "setup/setup"));
    ASSERT_EQ(outcome.tables[0].status, Status::Merged);
    // The renamed company is not taken; the added record still is.
    EXPECT_EQ(outcome.tables[0].fieldsUpdated, 0);
    EXPECT_EQ(outcome.tables[0].recordsAdded, 1);
}

TEST_F(SourceMergeTest, StopKillAndExistingFolderMakeNothing) {
    SourceMergeCallbacks callbacks;
    std::vector<std::string> seen;
    callbacks.progress = [&](int index, int count, const std::string& table) {
        seen.push_back(std::to_string(index) + "/" + std::to_string(count) + " " + table);
    };
    callbacks.stopRequested = [&] { return seen.size() == 2; };
    SourceMergeOutcome outcome = MergeSources(request(), callbacks);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(outcome.made);
    EXPECT_THAT(seen, ElementsAre("1/3 customers", "2/3 setup"));
    expectNoCopy();

    // Killed after the first table's merge: only the hidden folder is left,
    // and the next run, seeing its writer gone, removes it.
    auto hiddenFolders = [&] {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            n += entry.path().filename().string().starts_with(".out.") ? 1 : 0;
        return n;
    };
    if (test::canForkChildren()) {
        const pid_t child = test::forkChild([&] {
            SourceMergeCallbacks kill;
            kill.progress = [](int index, int, const std::string&) {
                if (index == 2) _exit(0);
            };
            MergeSources(request(), kill);
        });
        ASSERT_EQ(test::waitChild(child), 0);
        EXPECT_FALSE(fs::exists(dir.file("out")));
        EXPECT_EQ(hiddenFolders(), 1);
    }
    ASSERT_TRUE(MergeSources(request()).made);
    EXPECT_EQ(hiddenFolders(), 0);

    // FOLDER exists: refused before anything is written; it stays as it was.
    const auto made = snapshot(dir.file("out"));
    outcome = MergeSources(request());
    EXPECT_FALSE(outcome.made);
    EXPECT_THAT(outcome.failure, ::testing::HasSubstr("exists already"));
    EXPECT_EQ(snapshot(dir.file("out")), made);
    EXPECT_EQ(hiddenFolders(), 0);
}

// Folders whose table has a name twice: the second field of that name keeps
// its own value and its line fails; the first still takes its change.
TEST(SourceMergeDuplicateNames, SecondFieldOfOneNameIsNeverWrittenIntoTheFirst) {
    test::TempFolder dir;
    for (const char* side : {"a", "b"}) {
        fs::create_directories(dir.file(side));
        const bool second = side[0] == 'b';
        TableBuilder t(0x03);
        t.field("P", 'C', 4).field("P", 'N', 3);
        t.record({Cell::text(second ? "p2" : "p1"), Cell::number(second ? "6" : "5")});
        t.write(dir.file(side) + "/t.dbf");
    }
    SourceMergeRequest r;
    r.source1.optionDBC = r.source2.optionDBC = false;
    r.source1.folderText = dir.file("a");
    r.source2.folderText = dir.file("b");
    r.intoFolder = dir.file("out");
    r.pairing.by = compare::Pairing::Auto;

    const SourceMergeOutcome outcome = MergeSources(r);

    ASSERT_TRUE(outcome.made) << outcome.failure;
    ASSERT_EQ(outcome.tables.size(), 1u);
    EXPECT_EQ(outcome.tables[0].fieldsUpdated, 1);
    EXPECT_EQ(outcome.tables[0].linesFailed, 1);
    const foxpro::TableReader made(dir.file("out") + "/t.dbf");
    ASSERT_EQ(made.fieldCount(), 2);
    EXPECT_EQ(made.valueAt(0, 0), foxpro::Value::text("p2  "));
    EXPECT_EQ(made.valueAt(0, 1), foxpro::TableReader(dir.file("a") + "/t.dbf").valueAt(0, 1));
}

}  // namespace
}  // namespace quorvel::results
