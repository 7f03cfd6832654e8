#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/advisory_lock.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/target_table.h"
#include "support/child_process.h"
#include "support/table_builder.h"
#include "write_helpers_test.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::HasSubstr;
using writetest::readRows;

// Writers of one table in two processes (or two connections of one), each
// stopped where a test needs it by the hooks of the locked section.
class WriteLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TableBuilder t(0x30);
        t.field("NAME", 'C', 10).field("NOTE", 'M', 4).field("N1", 'N', 5).field("N2", 'N', 5);
        t.record(
            {Cell::text("first"), Cell::memo("first memo"), Cell::number("0"), Cell::number("0")});
        t.write(src_.file("t.dbf"));
    }
    void TearDown() override {
        setLockedWriteHookForTesting(nullptr);
        setLockWaitHookForTesting(nullptr);
    }

    // A statement through a connection of its own.
    std::string run(const std::string& sql) {
        return writetest::runOnNewConnection(src_.dir().path(), sql);
    }

    writetest::FolderSource src_;
};

TEST_F(WriteLockTest, TwoProcessesWritingOneTableLoseNothing) {
    if (!test::canForkChildren())
        GTEST_SKIP() << "needs a forked second process, which Windows has not";
    // Each inserts records with memos and sets its own field of record 1:
    // without a lock, records, memo blocks and field values go lost.
    auto writer = [this](int k) {
        return test::forkChild([this, k] {
            for (int i = 1; i <= 100; ++i) {
                const std::string name = 'p' + std::to_string(k) + "-" + std::to_string(i);
                if (!run("INSERT INTO t VALUES('" + name + "', 'memo of " + name + "', 0, 0)")
                         .empty() ||
                    !run("UPDATE t SET N" + std::to_string(k) + " = " + std::to_string(i) +
                         " WHERE RECNO() = 1")
                         .empty())
                    throw std::runtime_error("a statement failed");
            }
        });
    };
    const pid_t a = writer(1), b = writer(2);
    ASSERT_EQ(test::waitChild(a), 0);
    ASSERT_EQ(test::waitChild(b), 0);

    const auto rows = readRows(src_.file("t.dbf"));
    ASSERT_EQ(rows.size(), 201u);
    EXPECT_EQ(rows[0][2], "100");
    EXPECT_EQ(rows[0][3], "100");
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const std::string name = rows[r][0].substr(0, rows[r][0].find(' '));
        EXPECT_EQ(rows[r][1], "memo of " + name) << r;
    }
}

TEST_F(WriteLockTest, AWriterInsideItsStatementMakesAnotherProcessWait) {
    if (!test::canForkChildren())
        GTEST_SKIP() << "needs a forked second process, which Windows has not";
    test::Turn inside, go;
    const pid_t child = test::forkChild([&] {
        setLockedWriteHookForTesting([&](const std::string&) {
            inside.give();
            go.take();
        });
        src_.execute("INSERT INTO t VALUES('child', 'child memo', 1, 1)");
    });
    ASSERT_EQ(inside.take(), '.');
    bool waited = false;
    setLockWaitHookForTesting([&](const std::string& file) {
        EXPECT_EQ(file, "t.dbf");
        waited = true;
        go.give();  // the child may finish now; this statement waits for it
    });
    EXPECT_EQ(run("INSERT INTO t VALUES('parent', 'parent memo', 2, 2)"), "");
    EXPECT_TRUE(waited);
    ASSERT_EQ(test::waitChild(child), 0);
    const auto rows = readRows(src_.file("t.dbf"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][1], "child memo");
    EXPECT_EQ(rows[2][1], "parent memo");
}

TEST_F(WriteLockTest, AReaderOfAnotherProcessSeesTheRecordWholeOrNotAtAll) {
    if (!test::canForkChildren())
        GTEST_SKIP() << "needs a forked second process, which Windows has not";
    test::Turn go, waiting, seen;
    const pid_t child = test::forkChild([&] {
        go.take();
        setLockWaitHookForTesting([&](const std::string&) { waiting.give(); });
        TableReader t(src_.file("t.dbf"));
        const auto last = t.storedRecord(t.storedCount() - 1);
        const std::string memo = t.memo(last, 1).data;
        for (char c : memo + "|") seen.give(c);
    });
    setLockedWriteHookForTesting([&](const std::string&) {
        go.give();
        EXPECT_EQ(waiting.take(), '.');  // the reader waits for this statement
    });
    src_.execute("INSERT INTO t VALUES('new', 'the whole new memo', 3, 3)");
    std::string memo;
    for (char c = seen.take(); c != '|' && c != '\0'; c = seen.take()) memo += c;
    EXPECT_EQ(memo, "the whole new memo");
    EXPECT_EQ(test::waitChild(child), 0);
}

TEST_F(WriteLockTest, InOneProcessASecondWriterFailsInsteadOfWaitingForItself) {
    std::string secondWriter;
    std::size_t readInside = 0;
    setLockedWriteHookForTesting([&](const std::string&) {
        setLockedWriteHookForTesting(nullptr);
        secondWriter = run("UPDATE t SET N1 = 9 WHERE RECNO() = 1");
        // The writer's own reads of its table go on under its lock.
        readInside = readRows(src_.file("t.dbf")).size();
    });
    src_.execute("UPDATE t SET N2 = 5 WHERE RECNO() = 1");
    EXPECT_THAT(secondWriter, HasSubstr("t.dbf: in use by another operation of this program"));
    EXPECT_EQ(readInside, 1u);
    auto rows = readRows(src_.file("t.dbf"));
    EXPECT_EQ(rows[0][2], "0");
    EXPECT_EQ(rows[0][3], "5");
    // Nor does a statement write a table that a reader of this program holds.
    {
        TableReader open(src_.file("t.dbf"));
        EXPECT_THAT(run("UPDATE t SET N1 = 9 WHERE RECNO() = 1"), HasSubstr("in use"));
    }
    // Once they are over, the table is free again.
    EXPECT_EQ(run("UPDATE t SET N1 = 9 WHERE RECNO() = 1"), "");
    rows = readRows(src_.file("t.dbf"));
    EXPECT_EQ(rows[0][2], "9");
}

}  // namespace
}  // namespace quorvel::foxpro
