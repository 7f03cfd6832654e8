// A copy (SELECT * INTO TABLE) gives back the source pages it has passed:
// its peak memory stays about a stretch of the source, whatever its size.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;

// The process's peak resident kilobytes (VmHWM), -1 when unknown.
long peakKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kb = -1;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 20, '\n');
    }
    return -1;
}

// Sets the peak back to what is resident now; false where the kernel does
// not allow it.
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

std::string folderString(const std::string& folder) {
    return "Provider=vfpoledb.1;Data Source=" + folder + ";";
}

// Peak growth in kB while sql runs, -1 when it cannot be measured: also
// under AddressSanitizer, whose quarantine keeps freed memory resident.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

long peakGrowthKb(Connection& c, const std::string& sql) {
    if (kAddressSanitizer || !resetPeak()) return -1;
    const long before = peakKb();
    c.execute(sql);
    const long after = peakKb();
    return before < 0 || after < 0 ? -1 : after - before;
}

TEST(CopyMemory, TableOfTwentyMegabytes) {
    test::TempFolder dir;
    TableBuilder t(0x30);
    t.field("TEXT", 'C', 250);
    const int records = 80'000;
    for (int i = 0; i < records; ++i)
        t.record({Cell::text("row " + std::to_string(i))}, i % 1000 == 7);
    t.write(dir.file("big.dbf"));

    Connection c;
    c.open(folderString(dir.path()));
    const long growth = peakGrowthKb(c, "SELECT *  FROM [big] INTO TABLE [copy]");
    if (growth < 0) GTEST_SKIP() << "the peak resident size cannot be measured here";
    EXPECT_LT(growth, 10 * 1024) << "kB the copy of a 20 MB table added to the peak";

    Recordset rs;
    rs.open("SELECT * FROM [copy]", c);
    int n = 0;
    for (; !rs.eof(); rs.moveNext()) ++n;
    EXPECT_EQ(n, records - records / 1000);
}

TEST(CopyMemory, EighteenMegabytesOfMemos) {
    test::TempFolder dir;
    TableBuilder t(0x30);
    t.field("ID", 'I', 4).field("NOTE", 'M', 4);
    const int count = 6000;
    auto memoText = [](int i) { return std::string(3000, static_cast<char>('a' + i % 26)); };
    for (int i = 0; i < count; ++i) t.record({Cell::integer32(i), Cell::memo(memoText(i))});
    t.write(dir.file("notes.dbf"));

    Connection c;
    c.open(folderString(dir.path()));
    const long growth = peakGrowthKb(c, "SELECT *  FROM [notes] INTO TABLE [copy]");
    if (growth < 0) GTEST_SKIP() << "the peak resident size cannot be measured here";
    EXPECT_LT(growth, 10 * 1024) << "kB the copy of 18 MB of memos added to the peak";

    Recordset rs;
    rs.open("SELECT * FROM [copy]", c);
    int n = 0;
    for (; !rs.eof(); rs.moveNext(), ++n)
        if (rs.value(1).str() != memoText(n)) ADD_FAILURE() << "memo of record " << n + 1;
    EXPECT_EQ(n, count);
}

}  // namespace
}  // namespace quorvel::foxpro
