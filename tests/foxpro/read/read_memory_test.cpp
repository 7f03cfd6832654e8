// A walk through a table (and its memos) keeps only a stretch of the file
// mapped, whatever the table's size, and still reads what it passed.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "foxpro/read/lookup_pages.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/text/code_page.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;

// Resident kilobytes of this process's mappings of path (/proc/self/smaps),
// -1 when none is mapped.
long residentKb(const std::string& path) {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    long total = -1;
    bool inside = false;
    while (std::getline(smaps, line)) {
        // Mapping lines start with "from-to perms"; field lines with "Name:".
        const auto firstSpace = line.find(' ');
        const bool header = firstSpace != std::string::npos && line.find('-') < firstSpace;
        if (header) {
            inside = line.size() >= path.size() &&
                     line.compare(line.size() - path.size(), path.size(), path) == 0;
            if (inside && total < 0) total = 0;
        } else if (inside && line.rfind("Rss:", 0) == 0) {
            std::istringstream in(line.substr(4));
            long kb = 0;
            in >> kb;
            total += kb;
        }
    }
    return total;
}

std::string folderString(const std::string& folder) {
    return "Provider=vfpoledb.1;Data Source=" + folder + ";";
}

constexpr int kRecords = 80'000;
constexpr int kWidth = 250;  // 20 MB of records

std::string textOf(int i) {
    return "row " + std::to_string(i);
}

TEST(ReadMemory, WalkKeepsAStretchOfTheTableMappedAndReadsItAgain) {
#ifdef _WIN32
    GTEST_SKIP() << "the resident pages are read from /proc/self/smaps, which Windows has not";
#endif
    test::TempFolder dir;
    TableBuilder t(0x30);
    t.field("TEXT", 'C', kWidth);
    for (int i = 0; i < kRecords; ++i) t.record({Cell::text(textOf(i))}, i % 1000 == 7);
    const std::string path = dir.file("big.dbf");
    t.write(path);

    Connection c;
    c.open(folderString(dir.path()));
    // The count reads every delete flag, through a map of its own.
    EXPECT_EQ(c.execute("SELECT COUNT(*) FROM big").asInteger(), kRecords - kRecords / 1000);

    Recordset rs;
    rs.open("SELECT * FROM [big]", c);
    long peak = 0;
    int live = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        if (rs.value(0).str().rfind("row ", 0) != 0) ADD_FAILURE() << "record " << live;
        if (++live % 4000 == 0) peak = std::max(peak, residentKb(path));
    }
    EXPECT_EQ(live, kRecords - kRecords / 1000);
    // Without giving pages back the map would hold the whole 20 MB here.
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 8 * 1024) << "kB of the table resident during the walk";

    // Released pages come back from the file when read again.
    rs.moveFirst();
    EXPECT_EQ(rs.value(0).str().substr(0, 5), "row 0");
    rs.close();
}

TEST(ReadMemory, RecordsLookedUpBackwardsKeepAFewStretchesMapped) {
#ifdef _WIN32
    GTEST_SKIP() << "the resident pages are read from /proc/self/smaps, which Windows has not";
#endif
    test::TempFolder dir;
    TableBuilder t(0x30);
    t.field("TEXT", 'C', kWidth);
    for (int i = 0; i < kRecords; ++i) t.record({Cell::text(textOf(i))});
    const std::string path = dir.file("big.dbf");
    t.write(path);
    TableReader reader(path);
    // Backwards, the way a pairing reads the partners of a reversed table;
    // then back and forth in no order, where nothing is given back but
    // every record still reads right.
    long peak = 0;
    {
        LookupPages pages(reader);
        for (int i = kRecords - 1; i >= 0; --i) {
            const auto record = reader.storedRecord(i);
            pages.reading(record);
            if (reader.value(record, 0).str().rfind(textOf(i), 0) != 0)
                ADD_FAILURE() << "record " << i;
            if (i % 1000 == 0) peak = std::max(peak, residentKb(path));
        }
    }
    EXPECT_LT(peak, 14 * 1024) << "kB of the table resident while read backwards";
    LookupPages pages(reader);
    for (int k = 0; k < 4000; ++k) {
        const int i = (k % 2 == 0 ? k * 7919 : kRecords - 1 - k * 104729 % kRecords) % kRecords;
        const auto record = reader.storedRecord(i);
        pages.reading(record);
        if (reader.value(record, 0).str().rfind(textOf(i), 0) != 0) ADD_FAILURE() << "record " << i;
    }
}

TEST(ReadMemory, MemosReadOneAfterAnotherDoNotStayMapped) {
#ifdef _WIN32
    GTEST_SKIP() << "the resident pages are read from /proc/self/smaps, which Windows has not";
#endif
    test::TempFolder dir;
    TableBuilder t(0x30);
    t.field("ID", 'I', 4).field("NOTE", 'M', 4);
    const int count = 6000;
    auto memoText = [](int i) { return std::string(3000, static_cast<char>('a' + i % 26)); };
    for (int i = 0; i < count; ++i) t.record({Cell::integer32(i), Cell::memo(memoText(i))});
    const std::string path = dir.file("notes.dbf");
    const std::string memoPath = t.write(path);
    ASSERT_FALSE(memoPath.empty());

    Connection c;
    c.open(folderString(dir.path()));
    Recordset rs;
    rs.open("SELECT * FROM [notes]", c);
    long peak = 0;
    int n = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext(), ++n) {
        if (rs.value(1).str() != memoText(n)) ADD_FAILURE() << "memo of record " << n + 1;
        if (n % 500 == 0) peak = std::max(peak, residentKb(memoPath));
    }
    EXPECT_EQ(n, count);
    // 18 MB of memos; at most a stretch of them is mapped at a time.
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 8 * 1024) << "kB of the memo file resident during the walk";
}

// A text memo of several release steps is decoded straight from the file,
// a piece at a time: in a multi-byte code page as in a single-byte one it
// reads as the whole memo decoded at once, with blanks to cut at or none.
TEST(ReadMemory, LongTextMemosReadAsDecodedWholeInEveryCodePage) {
    struct Case {
        std::uint8_t mark;
        int codePage;
        std::string unit;  // UTF-8, without a byte below '0' in the code page
    };
    for (const Case& c :
         {Case{0x03, 1252, "d\xC3\xA9j\xC3\xA0"}, Case{0x7A, 936, "\xE4\xB8\xAD\xE6\x96\x87"},
          Case{0x00, 65001, "\xE6\x97\xA5\xE6\x9C\xAC\xC3\xA9"}}) {
        std::string spaced, solid;
        while (spaced.size() < 9u << 20) {
            spaced += c.unit + " ";
            solid += c.unit;
        }
        const std::string spacedBytes = encodeText(c.codePage, spaced);
        const std::string solidBytes = encodeText(c.codePage, solid);
        test::TempFolder dir;
        TableBuilder t(0x30);
        t.codePageMark(c.mark).field("NOTE", 'M', 4);
        t.record({Cell::memo(spacedBytes)}).record({Cell::memo(solidBytes)});
        t.write(dir.file("t.dbf"));
        const TableReader r(dir.file("t.dbf"), {}, c.codePage);
        EXPECT_TRUE(r.value(r.storedRecord(0), 0).str() == decodeText(c.codePage, spacedBytes))
            << c.codePage;
        EXPECT_TRUE(r.value(r.storedRecord(1), 0).str() == solid) << c.codePage;
    }
}

}  // namespace
}  // namespace quorvel::foxpro
