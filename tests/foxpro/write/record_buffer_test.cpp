#include "foxpro/write/record_buffer.h"

#include <gtest/gtest.h>

#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

// Pages of one record each, so that a batch of 100 records passes the
// pages held several times: what was written and let go is read back, and
// appends continue where the file ends.
TEST(RecordBufferTest, ChangesAndAppendsReachTheFileInPlaceWhenFlushed) {
    test::TempFolder dir;
    const std::string path = dir.file("r.bin");
    std::vector<std::uint8_t> expected(10, 0xAA);
    for (int r = 0; r < 100; ++r)
        for (int b = 0; b < 4; ++b) expected.push_back(static_cast<std::uint8_t>(r));
    test::writeFile(path, expected);

    FileSink sink = FileSink::openExisting(path, "r.bin");
    RecordBuffer buffer(sink, 10, 4, 100, 4);
    for (int r = 99; r >= 0; r -= 3) {
        buffer.change(r)[1] = 0xEE;
        expected[10 + r * 4 + 1] = 0xEE;
    }
    EXPECT_EQ(buffer.read(99)[1], 0xEE);  // written when its page went, read back
    EXPECT_EQ(buffer.read(98)[0], 98);
    for (int r = 100; r < 150; ++r) {
        const std::uint8_t record[4] = {1, 2, 3, static_cast<std::uint8_t>(r)};
        buffer.append(record);
        expected.insert(expected.end(), record, record + 4);
    }
    buffer.change(101)[0] = 0x55;  // an appended record that has been written once
    expected[10 + 101 * 4] = 0x55;
    EXPECT_EQ(buffer.records(), 150);
    buffer.flush();
    sink.close();
    EXPECT_EQ(test::readFile(path), expected);
}

}  // namespace
}  // namespace quorvel::foxpro
