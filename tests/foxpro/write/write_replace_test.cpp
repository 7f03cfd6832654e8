#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/source/new_table.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/table_replacement.h"
#include "support/child_process.h"
#include "support/table_builder.h"
#include "write_helpers_test.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using writetest::listFolder;
using writetest::readRows;
using writetest::runOnNewConnection;
using Rows = std::vector<std::vector<std::string>>;

// A source table with memos and an older table "dest" (with another memo
// file) that the copy replaces.
class WriteReplaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TableBuilder calls(0x30);
        calls.field("NAME", 'C', 8).field("NOTE", 'M', 4);
        calls.record({Cell::text("Ann"), Cell::memo("new memo of Ann")});
        calls.record({Cell::text("Bob"), Cell::memo("new memo of Bob")});
        calls.write(src_.file("calls.dbf"));
        TableBuilder dest(0x30);
        dest.field("OLD", 'C', 3).field("MEMO", 'M', 4);
        dest.record({Cell::text("old"), Cell::memo("old memo")});
        dest.write(src_.file("dest.dbf"));
        oldRows_ = readRows(src_.file("dest.dbf"));
        newRows_ = readRows(src_.file("calls.dbf"));
    }
    void TearDown() override { setReplacementHookForTesting(nullptr); }

    std::string folder() const { return src_.dir().path(); }

    writetest::FolderSource src_;
    Rows oldRows_, newRows_;
};

TEST_F(WriteReplaceTest, KilledBetweenTheRenamesTheNameShowsNoMixAndALaterRunFinishes) {
    if (!test::canForkChildren())
        GTEST_SKIP() << "needs a forked second process, which Windows has not";
    // The table with its memo file replaces another: four renames (the old
    // .dbf and .fpt aside, the new .fpt and .dbf in).
    for (int killedAfter = 1; killedAfter <= 4; ++killedAfter) {
        SCOPED_TRACE("killed after rename " + std::to_string(killedAfter));
        SetUp();
        const pid_t child = test::forkChild([&] {
            setReplacementHookForTesting([&](int done) {
                if (done == killedAfter) ::_exit(0);
            });
            src_.execute("SELECT * FROM calls INTO TABLE dest");
        });
        ASSERT_EQ(test::waitChild(child), 0);

        // Now, before any run looks: the old table, the new one, or none.
        if (std::filesystem::exists(src_.file("dest.dbf"))) {
            const Rows now = readRows(src_.file("dest.dbf"));
            EXPECT_TRUE(now == oldRows_ || now == newRows_);
        }
        // A run that only reads leaves it as it is; the next write finishes
        // the replacement and clears what was left.
        const auto left = listFolder(folder());
        Connection reader;
        reader.open("Provider=vfpoledb.1;Data Source=" + folder() + ";");
        reader.execute("SELECT COUNT(*) FROM calls");
        EXPECT_EQ(listFolder(folder()), left);
        EXPECT_EQ(runOnNewConnection(folder(), "UPDATE calls SET NAME = 'Ann' WHERE RECNO() = 1"),
                  "");
        EXPECT_EQ(readRows(src_.file("dest.dbf")), newRows_);
        EXPECT_THAT(listFolder(folder()),
                    ElementsAre("calls.dbf", "calls.fpt", "dest.dbf", "dest.fpt"));
    }
}

TEST_F(WriteReplaceTest, KilledBetweenTheRenamesOfThreeFilesTheIndexGoesWithItsTable) {
    if (!test::canForkChildren())
        GTEST_SKIP() << "needs a forked second process, which Windows has not";
    auto index = [&](const std::string& table, const std::string& field) {
        const TableReader reader(src_.file(table + ".dbf"));
        std::filesystem::remove(src_.file(table + ".cdx"));  // the last round's
        NewFileSet files(folder());
        ASSERT_TRUE(writeCompoundIndex(reader,
                                       {TagDefinition{field, field, "", false, false, false, ""}},
                                       files, table + ".cdx")
                        .fileWritten());
        files.commit();
    };
    // Which set's index dest.cdx is, by its one tag.
    auto tagOfDest = [&] { return CdxReader(src_.file("dest.cdx")).tags().at(0).name; };
    // Table, memo and index aside, then in: six renames.
    for (int killedAfter = 1; killedAfter <= 6; ++killedAfter) {
        SCOPED_TRACE("killed after rename " + std::to_string(killedAfter));
        SetUp();
        index("calls", "NAME");
        index("dest", "OLD");
        const pid_t child = test::forkChild([&] {
            setReplacementHookForTesting([&](int done) {
                if (done == killedAfter) ::_exit(0);
            });
            NewTable table(src_.connection().source(), "dest", true, {});
            table.carryIndexOf("calls", false);
            src_.execute("SELECT * FROM calls INTO TABLE [" + table.name() + "]");
            table.commit();
            ::_exit(3);  // fewer renames than counted
        });
        ASSERT_EQ(test::waitChild(child), 0);

        // The old set or the new one, whole; or no table at all.
        if (std::filesystem::exists(src_.file("dest.dbf"))) {
            const Rows now = readRows(src_.file("dest.dbf"));
            ASSERT_TRUE(now == oldRows_ || now == newRows_);
            ASSERT_TRUE(std::filesystem::exists(src_.file("dest.cdx")));
            EXPECT_EQ(tagOfDest(), now == newRows_ ? "NAME" : "OLD");
        }
        EXPECT_EQ(runOnNewConnection(folder(), "UPDATE calls SET NAME = 'Ann' WHERE RECNO() = 1"),
                  "");
        EXPECT_EQ(readRows(src_.file("dest.dbf")), newRows_);
        EXPECT_EQ(tagOfDest(), "NAME");
        EXPECT_THAT(listFolder(folder()), ElementsAre("calls.cdx", "calls.dbf", "calls.fpt",
                                                      "dest.cdx", "dest.dbf", "dest.fpt"));
    }
}

TEST_F(WriteReplaceTest, WhatAGoneWriterLeftGoesAtTheNextWriteAndNothingElse) {
    if (!test::canForkChildren())
        GTEST_SKIP() << "needs a forked second process, which Windows has not";
    // A copy killed halfway, its hidden table files, and a foreign host's file.
    const pid_t child = test::forkChild([&] {
        NewFileSet files(folder());
        files.create("half.dbf").append(std::string(1000, 'x'));
        files.create("half.fpt").flush();
        DataSource& source = src_.connection().source();
        NewTable table(source, "other", false, {});
        src_.execute("SELECT * FROM calls INTO TABLE [" + table.name() + "]");
        ::_exit(0);
    });
    ASSERT_EQ(test::waitChild(child), 0);
    const std::string foreign = "~quorvel-00000000-1-1-abcdefgh.tmp";
    test::writeFile(src_.file(foreign), {1});
    NewFileSet mine(folder());
    mine.create("mine.dbf").flush();
    // The foreign file, the child's two new files, hidden table and name
    // lock, and mine.
    EXPECT_EQ(listFolder(folder()).size(), 4u + 1 + 5 + 1);

    src_.execute("UPDATE dest SET OLD = 'new' WHERE RECNO() = 1");

    const auto left = listFolder(folder());
    EXPECT_EQ(left.size(), 6u);
    EXPECT_THAT(left, ::testing::Contains(foreign));  // whose writer we cannot judge
    EXPECT_EQ(std::count_if(left.begin(), left.end(),
                            [](const std::string& n) { return n.ends_with(".tmp"); }),
              2);  // mine, still being written, and the foreign one
}

TEST_F(WriteReplaceTest, ANameIsMadeByOneWriterAtATime) {
    DataSource& source = src_.connection().source();
    auto first = std::make_unique<NewTable>(source, "made", false, std::vector<std::string>{});
    try {
        NewTable second(source, "MADE", false, {});
        ADD_FAILURE() << "a second writer of one name";
    } catch (const FoxProError& e) {
        EXPECT_THAT(e.description(), HasSubstr("MADE.dbf is being made by another merge or copy"));
    }
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE made"), HasSubstr("in use"));
    src_.execute("SELECT * FROM calls INTO TABLE [" + first->name() + "]");
    EXPECT_FALSE(std::filesystem::exists(src_.file("made.dbf")));  // not before commit()
    first->commit();
    first.reset();
    EXPECT_EQ(readRows(src_.file("made.dbf")), newRows_);
    EXPECT_THAT(listFolder(folder()), ElementsAre("calls.dbf", "calls.fpt", "dest.dbf", "dest.fpt",
                                                  "made.dbf", "made.fpt"));
    // Only a NewTable's own hidden name can be written to.
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE [~x]"), HasSubstr("would hide"));
}

TEST_F(WriteReplaceTest, NoSourceFileIsReplacedWhateverNameOrLinkLeadsToIt) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows that tests do not have";
#endif
    std::filesystem::create_symlink("calls.dbf", src_.file("link.dbf"));
    std::filesystem::create_symlink("calls.fpt", src_.file("memo.fpt"));
    TableBuilder memo(0x30);
    memo.field("A", 'C', 1);
    memo.write(src_.file("memo.dbf"));
    const auto dbf = test::readFile(src_.file("calls.dbf"));
    const auto fpt = test::readFile(src_.file("calls.fpt"));

    // The new table's .dbf is the table read; its memo file the memo read.
    EXPECT_THAT(src_.failure("SELECT * FROM link INTO TABLE calls"),
                HasSubstr("calls.dbf is link.dbf, which it reads from"));
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE memo"),
                HasSubstr("memo.fpt is calls.fpt, which it reads from"));
    EXPECT_EQ(test::readFile(src_.file("calls.dbf")), dbf);
    EXPECT_EQ(test::readFile(src_.file("calls.fpt")), fpt);
    // A connection told not to replace refuses an existing table.
    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + folder() + ";");
    c.setReplaceTables(false);
    try {
        c.execute("SELECT * FROM calls INTO TABLE dest");
        ADD_FAILURE() << "replaced";
    } catch (const FoxProError& e) {
        EXPECT_THAT(e.description(), HasSubstr("dest.dbf already exists"));
    }
    EXPECT_EQ(readRows(src_.file("dest.dbf")), oldRows_);
}

}  // namespace
}  // namespace quorvel::foxpro
