// The n-th live record through the positions of the deleted ones, and the
// process-wide list of them that readers and writers share per file state.

#include "foxpro/read/deleted_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "foxpro/read/table_reader.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;

// The answer of a walk over the delete flags.
std::int64_t walkedLiveIndex(const std::vector<bool>& deleted, std::int64_t n) {
    for (std::size_t i = 0; i < deleted.size(); ++i)
        if (!deleted[i] && --n == 0) return static_cast<std::int64_t>(i);
    return -1;
}

TEST(DeletedRecords, LiveIndexAgreesWithAWalkOfTheFlags) {
    std::mt19937 random(7);
    // Shapes: none deleted, all deleted, runs at either end, scattered.
    for (int shape = 0; shape < 40; ++shape) {
        const int count = shape < 2 ? 9 : static_cast<int>(random() % 60);
        std::vector<bool> flags(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const bool edge = i < 3 || i >= count - 3;
            flags[static_cast<std::size_t>(i)] =
                shape == 1 || (shape > 1 && (shape % 3 == 0 ? edge : random() % 3 == 0));
        }
        std::vector<std::uint32_t> list;
        for (int i = 0; i < count; ++i)
            if (flags[static_cast<std::size_t>(i)]) list.push_back(static_cast<std::uint32_t>(i));
        const DeletedRecords records(count, list);
        EXPECT_EQ(records.liveCount(), count - static_cast<int>(list.size()));
        for (std::int64_t n = -1; n <= count + 1; ++n)
            ASSERT_EQ(records.liveIndex(n), walkedLiveIndex(flags, n))
                << "shape " << shape << ", n " << n;
        // Records appended after the same deleted ones.
        const DeletedRecords longer(records, count + 2);
        flags.push_back(false);
        flags.push_back(false);
        EXPECT_EQ(longer.liveIndex(records.liveCount() + 2), count + 1);
        EXPECT_EQ(longer.liveIndex(records.liveCount() + 3), -1);
    }
}

TEST(DeletedRecords, LongTableFlagsReadInTwoHalvesAndPieces) {
    // Long enough for its flags to be read by read calls, in two halves of
    // several pieces each: deleted records at both ends and on either side
    // of the middle (record 35,000 is the second half's first).
    TableBuilder t(0x30);
    t.field("NAME", 'C', 20);
    const std::vector<int> deleted{0, 34999, 35000, 69999};
    for (int i = 0; i < 70000; ++i)
        t.record({Cell::text("n" + std::to_string(i))},
                 std::find(deleted.begin(), deleted.end(), i) != deleted.end());
    test::TempFolder dir;
    t.write(dir.file("long.dbf"));
    const TableReader reader(dir.file("long.dbf"));
    EXPECT_EQ(reader.liveCount(), 70000 - 4);
    EXPECT_EQ(reader.liveIndex(1), 1);
    EXPECT_EQ(reader.liveIndex(34998), 34998);
    EXPECT_EQ(reader.liveIndex(34999), 35001);
    EXPECT_EQ(reader.liveIndex(69996), 69998);
    EXPECT_EQ(reader.liveIndex(69997), -1);
}

std::string folderString(const std::string& folder) {
    return "Provider=vfpoledb.1;Data Source=" + folder + ";";
}

// Another program's change to a table: bytes written in place (same file,
// same size) and a modification time of its own.
void writeInPlace(const std::string& path, std::size_t offset, std::uint8_t byte) {
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(offset));
        file.put(static_cast<char>(byte));
        if (!file.flush()) throw std::runtime_error("cannot change " + path);
    }
    // Far from the times of the writes before it, whatever the file
    // system's clock resolution.
    static int step = 0;
    std::error_code ec;
    std::filesystem::last_write_time(path,
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::hours(24 * 365) +
                                         std::chrono::seconds(10 * ++step),
                                     ec);
    if (ec) throw std::runtime_error("cannot change " + path);
}

class SharedDeletedListTest : public ::testing::Test {
  protected:
    // Five live records: a, b, c, d, e.
    void SetUp() override {
        TableBuilder t(0x30);
        t.field("NAME", 'C', 4);
        for (const char* name : {"a", "b", "c", "d", "e"}) t.record({Cell::text(name)});
        headerLength_ = static_cast<std::size_t>(t.headerLength());
        recordLength_ = static_cast<std::size_t>(t.recordLength());
        path_ = dir_.file("t.dbf");
        t.write(path_);
        connection_.open(folderString(dir_.path()));
    }

    std::string nameAt(std::int64_t n) {
        Recordset rs;
        rs.open("SELECT * FROM [t] WHERE RECNO() = " + std::to_string(n), connection_);
        return rs.eof() ? "<none>" : rs.value(0).str();
    }

    void setDeleted(int storedIndex, bool deleted) {
        writeInPlace(path_, headerLength_ + static_cast<std::size_t>(storedIndex) * recordLength_,
                     deleted ? '*' : ' ');
    }

    test::TempFolder dir_;
    std::string path_;
    std::size_t headerLength_ = 0, recordLength_ = 0;
    Connection connection_;
};

TEST_F(SharedDeletedListTest, ReaderSeesDeleteFlagsChangedByAnotherProgram) {
    EXPECT_EQ(nameAt(3), "c   ");
    setDeleted(0, true);
    EXPECT_EQ(nameAt(3), "d   ");
    EXPECT_EQ(connection_.execute("SELECT COUNT(*) FROM t").asInteger(), 4);
    // Undeleting keeps the found record live, but moves it.
    setDeleted(0, false);
    EXPECT_EQ(nameAt(3), "c   ");
    EXPECT_EQ(connection_.execute("SELECT COUNT(*) FROM t").asInteger(), 5);
}

TEST_F(SharedDeletedListTest, OwnWritesKeepTheListAndTheReaderFollows) {
    setDeleted(1, true);  // a c d e
    EXPECT_EQ(nameAt(2), "c   ");
    connection_.execute("UPDATE [t] SET [NAME] = 'C2' WHERE RECNO() = 2");
    connection_.execute("INSERT INTO [t] VALUES('f')");
    connection_.execute("INSERT INTO [t] VALUES('g')");
    connection_.execute("UPDATE [t] SET [NAME] = 'g2' WHERE RECNO() = 6");
    EXPECT_EQ(nameAt(2), "C2  ");
    EXPECT_EQ(nameAt(5), "f   ");
    EXPECT_EQ(nameAt(6), "g2  ");
    EXPECT_EQ(nameAt(7), "<none>");
    EXPECT_EQ(connection_.execute("SELECT COUNT(*) FROM t").asInteger(), 6);
}

TEST_F(SharedDeletedListTest, WriterDropsAListMadeBeforeAnotherProgramsChange) {
    // The list is made for the table as it is now ...
    connection_.execute("UPDATE [t] SET [NAME] = 'B2' WHERE RECNO() = 2");
    // ... another program deletes a, and a later write of ours must not
    // take the old list for the state after it.
    setDeleted(0, true);  // B2 c d e
    connection_.execute("INSERT INTO [t] VALUES('f')");
    connection_.execute("UPDATE [t] SET [NAME] = 'C2' WHERE RECNO() = 2");
    EXPECT_EQ(nameAt(1), "B2  ");
    EXPECT_EQ(nameAt(2), "C2  ");
    EXPECT_EQ(nameAt(5), "f   ");
}

}  // namespace
}  // namespace quorvel::foxpro
