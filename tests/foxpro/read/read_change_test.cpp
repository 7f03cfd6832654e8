// A table or memo file that shrinks, is written over or is replaced while it
// is read: the read ends in "<file> changed while it was being read", never
// in a signal and never with what it read; growth does no harm.  Each test
// changes the file between two reads of one open reader.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/table_copier.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;

constexpr const char* kChanged = "orders.dbf changed while it was being read";

class ReadChangeTest : public ::testing::Test {
  protected:
    std::string path() const { return dir_.file("orders.dbf"); }

    // n records of 100 letters (and a memo each): 3000 fill about 75 pages.
    static TableBuilder Records(int n, char letter = 'a', bool memo = true) {
        TableBuilder t(0x30);
        t.field("NAME", 'C', 100);
        if (memo) t.field("NOTE", 'M', 4);
        for (int i = 0; i < n; ++i) {
            std::vector<Cell> cells = {Cell::text(std::string(100, letter))};
            if (memo) cells.push_back(Cell::memo(std::string(40, letter)));
            t.record(cells);
        }
        return t;
    }

    // Reads every value from stored record `from` on; the error, "" when none.
    static std::string WalkError(const TableReader& r, std::int64_t from = 0) {
        try {
            for (auto i = r.nextLive(from); i < r.storedCount(); i = r.nextLive(i + 1))
                for (int f = 0; f < r.fieldCount(); ++f) r.valueAt(i, f);
            return "";
        } catch (const FoxProError& e) {
            return e.description();
        }
    }

    std::size_t RecordsEnd(const TableReader& r, int n) const {
        return static_cast<std::size_t>(r.headerLength() + n * r.layout().recordLength);
    }

    test::TempFolder dir_;
};

TEST_F(ReadChangeTest, ShrinkingIsReportedWhereverTheFileNowEnds) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses to shrink or write over a file while it is mapped: a read "
                    "never meets one";
#endif
    Records(3000).write(path());
    // Far before the end (reads of the pages past it fault), and by one
    // record (reads there may find zeros without a fault).
    for (int kept : {10, 2999}) {
        TableReader r(path());
        test::truncateTo(path(), RecordsEnd(r, kept));
        EXPECT_EQ(WalkError(r), kChanged) << kept;
        Records(3000).write(path());
    }
}

TEST_F(ReadChangeTest, WrittenOverOrReplacedIsReported) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses to shrink or write over a file while it is mapped: a read "
                    "never meets one";
#endif
    Records(3000).write(path());
    std::filesystem::last_write_time(
        path(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 10));
    std::optional<TableReader> r(std::in_place, path());
    Records(3000, 'b').write(path());  // what cp over it does, at the same length
    EXPECT_EQ(WalkError(*r), kChanged);

    r.emplace(path());
    Records(3000, 'c').write(dir_.file("new.dbf"));
    std::filesystem::rename(dir_.file("new.dbf"), path());  // what a pack does
    EXPECT_EQ(WalkError(*r), kChanged);
}

TEST_F(ReadChangeTest, RecordsAppendedMeanwhileAreNotReadAndDoNoHarm) {
    Records(3000).write(path());
    TableReader r(path());
    std::ofstream(path(), std::ios::binary | std::ios::app) << std::string(100 * 101, ' ');
    EXPECT_EQ(WalkError(r), "");
    EXPECT_EQ(r.storedCount(), 3000);
}

TEST_F(ReadChangeTest, MemoFileThatShrinksIsNamed) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses to shrink or write over a file while it is mapped: a read "
                    "never meets one";
#endif
    Records(3000).write(path());
    TableReader r(path());
    ASSERT_EQ(r.memoAt(r.memoBlock(r.storedRecord(0), 1)).data, std::string(40, 'a'));
    test::truncateTo(dir_.file("orders.fpt"), 512);
    EXPECT_THAT(WalkError(r), ::testing::StartsWith("orders.fpt changed while it was being read"));
}

TEST_F(ReadChangeTest, RecordSetNeverReachesItsEndAfterTheTableShrank) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses to shrink or write over a file while it is mapped: a read "
                    "never meets one";
#endif
    Records(3000).write(path());
    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + dir_.path() + ";");
    Recordset rs;
    rs.open("SELECT * FROM orders", c);
    rs.moveNext();
    test::truncateTo(path(), 2000);
    try {
        for (; !rs.eof(); rs.moveNext()) rs.value(0);
        ADD_FAILURE() << "the walk ended as if the table were whole";
    } catch (const FoxProError& e) {
        EXPECT_EQ(e.description(), kChanged);
    }
}

// Both ways of the copy: runs gathered from the map (written from bytes
// the file no longer has) and a long run copied by the kernel (which finds
// the file ended).  The temporary file goes with the failed copy.
TEST_F(ReadChangeTest, CopyOfASourceThatShrankFailsAndLeavesNoFile) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses to shrink or write over a file while it is mapped: a read "
                    "never meets one";
#endif
    for (int n : {3000, 15000}) {
        Records(n, 'a', false).write(path());
        TableReader source(path());
        TableCopier copier(source, std::nullopt);
        {
            NewFileSet files(dir_.path());
            FileSink& sink = files.create("copy.dbf");
            test::truncateTo(path(), RecordsEnd(source, 10));
            try {
                copier.write(sink, nullptr);
                ADD_FAILURE() << n << " records copied from a table of 10";
            } catch (const FoxProError& e) {
                EXPECT_EQ(e.description(), kChanged) << n;
            }
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1) << n;
    }
}

}  // namespace
}  // namespace quorvel::foxpro
