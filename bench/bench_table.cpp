#include "bench_table.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "foxpro/format/dbf_format.h"

namespace quorvel::bench {

namespace {

namespace dbf = quorvel::foxpro::dbf;

struct Field {
    const char* name;
    char letter;
    int width;
    int decimals;
};
constexpr Field kFields[] = {{"ID", 'I', 4, 0},  {"NAME", 'C', 30, 0}, {"QTY", 'N', 10, 2},
                             {"DAY", 'D', 8, 0}, {"OK", 'L', 1, 0},    {"PRICE", 'Y', 8, 0}};

}  // namespace

void writeBenchTable(const std::string& path, const BenchTable& table) {
    const int records = table.records;
    const int n = static_cast<int>(std::size(kFields));
    int recordLength = 1;
    for (const auto& f : kFields) recordLength += f.width;
    const int headerLength = 32 + 32 * n + 1 + 263;
    std::vector<std::uint8_t> header(static_cast<std::size_t>(headerLength), 0);
    header[0] = 0x30;
    header[1] = static_cast<std::uint8_t>(table.year);
    header[2] = static_cast<std::uint8_t>(table.month);
    header[3] = static_cast<std::uint8_t>(table.day);
    dbf::putLe32(&header[4], static_cast<std::uint32_t>(records));
    dbf::putLe16(&header[8], static_cast<std::uint16_t>(headerLength));
    dbf::putLe16(&header[10], static_cast<std::uint16_t>(recordLength));
    header[29] = 0x03;
    int offset = 1;
    for (int i = 0; i < n; ++i) {
        std::uint8_t* d = &header[32 + 32 * static_cast<std::size_t>(i)];
        std::memcpy(d, kFields[i].name, std::strlen(kFields[i].name));
        d[11] = static_cast<std::uint8_t>(kFields[i].letter);
        dbf::putLe32(d + 12, static_cast<std::uint32_t>(offset));
        d[16] = static_cast<std::uint8_t>(kFields[i].width);
        d[17] = static_cast<std::uint8_t>(kFields[i].decimals);
        offset += kFields[i].width;
    }
    header[32 + 32 * static_cast<std::size_t>(n)] = 0x0D;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot create " + path);
    std::fwrite(header.data(), 1, header.size(), f);
    // One byte more than a record: snprintf's terminating zero.
    std::vector<char> rec(static_cast<std::size_t>(recordLength) + 1);
    for (int r = 0; r < records; ++r) {
        char* p = rec.data();
        *p++ = table.deleted && table.deleted(r) ? '*' : ' ';
        dbf::putLe32(reinterpret_cast<std::uint8_t*>(p), static_cast<std::uint32_t>(r));
        p += 4;
        std::snprintf(p, 31, "%-30s", ("customer number " + std::to_string(r)).c_str());
        p += 30;
        const bool differs = table.changed && table.changed(r);
        std::snprintf(p, 11, "%10.2f", r / 100.0 + (differs ? 0.5 : 0));
        p += 10;
        std::snprintf(p, 9, "%04d%02d%02d", 2000 + r % 20, 1 + r % 12, 1 + r % 28);
        p += 8;
        *p++ = r % 2 ? 'T' : 'F';
        dbf::putLe64(reinterpret_cast<std::uint8_t*>(p), static_cast<std::uint64_t>(r) * 100);
        std::fwrite(rec.data(), 1, static_cast<std::size_t>(recordLength), f);
    }
    std::fputc(0x1A, f);
    if (std::fclose(f) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace quorvel::bench
