// Merge timing: 10,000 field changes and 10,000 added records applied to a
// copy of a 1,000,000-record table, the copy included, as Form4's "Create"
// runs it (one read of Table #2 and one statement per line).
//
//   merge_bench [FOLDER] [RUNS]
//
// FOLDER (default: a new temporary folder, removed at the end) receives the
// two generated tables and the new table.  Prints each run and the medians.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "compare/difference_line.h"
#include "foxpro/connection.h"
#include "foxpro/dbf_format.h"
#include "results/merge.h"

namespace {

namespace fs = std::filesystem;
namespace dbf = quorvel::foxpro::dbf;
using namespace quorvel;

constexpr int kRecords = 1'000'000;
constexpr int kChanges = 10'000;
constexpr int kAdded = 10'000;
// Every kStride-th record of Table #2 has another QTY.
constexpr int kStride = kRecords / kChanges;

struct Field {
    const char* name;
    char letter;
    int width;
    int decimals;
};
constexpr Field kFields[] = {{"ID", 'I', 4, 0},  {"NAME", 'C', 30, 0}, {"QTY", 'N', 10, 2},
                             {"DAY", 'D', 8, 0}, {"OK", 'L', 1, 0},    {"PRICE", 'Y', 8, 0}};

// A free Visual FoxPro table written directly, so that the benchmark does
// not time its own input.  changed: QTY differs on every kStride-th record.
void writeTable(const std::string& path, int records, bool changed) {
    const int n = static_cast<int>(std::size(kFields));
    int recordLength = 1;
    for (const auto& f : kFields) recordLength += f.width;
    const int headerLength = 32 + 32 * n + 1 + 263;
    std::vector<std::uint8_t> header(static_cast<std::size_t>(headerLength), 0);
    header[0] = 0x30;
    header[1] = 126, header[2] = 12, header[3] = 7;
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
    std::vector<char> rec(static_cast<std::size_t>(recordLength) + 1);
    for (int r = 0; r < records; ++r) {
        char* p = rec.data();
        *p++ = ' ';
        dbf::putLe32(reinterpret_cast<std::uint8_t*>(p), static_cast<std::uint32_t>(r));
        p += 4;
        std::snprintf(p, 31, "%-30s", ("customer number " + std::to_string(r)).c_str());
        p += 30;
        const bool differs = changed && r % kStride == kStride / 2;
        std::snprintf(p, 11, "%10.2f", r / 100.0 + (differs ? 0.5 : 0));
        p += 10;
        std::snprintf(p, 9, "%04d%02d%02d", 2000 + r % 20, 1 + r % 12, 1 + r % 28);
        p += 8;
        *p++ = r % 2 ? 'T' : 'F';
        dbf::putLe64(reinterpret_cast<std::uint8_t*>(p), static_cast<std::uint64_t>(r) * 100);
        std::fwrite(rec.data(), 1, static_cast<std::size_t>(recordLength), f);
    }
    std::fputc(0x1A, f);
    std::fclose(f);
}

class FixedLines : public results::MergeLines {
  public:
    std::vector<std::string> lines;
    int count() const override { return static_cast<int>(lines.size()); }
    std::string text(int i) const override { return lines[i]; }
    bool checked(int) const override { return true; }
};

class CountingDialogs : public shell::Dialogs {
  public:
    int reports = 0;
    std::string first;
    shell::Answer message(const std::string& text, shell::MessageButtons, shell::MessageIcon icon,
                          const std::string&) override {
        if (icon == shell::MessageIcon::Exclamation && reports++ == 0) first = text;
        return shell::Answer::Ok;
    }
};

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const bool own = argc < 2;
    const std::string folder =
        own ? (fs::temp_directory_path() / ("quorvel-merge-bench-" + std::to_string(getpid())))
                  .string()
            : argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    fs::create_directories(folder);
    int status = 0;
    try {
        std::printf("generating t1 (%d records) and t2 (%d records) in %s\n", kRecords,
                    kRecords + kAdded, folder.c_str());
        writeTable(folder + "/t1.dbf", kRecords, false);
        writeTable(folder + "/t2.dbf", kRecords + kAdded, true);

        // The lines the comparison gives for this pair.
        FixedLines fields, added;
        for (int r = 0; r < kRecords; ++r) {
            if (r % kStride != kStride / 2) continue;
            char before[16], after[16];
            std::snprintf(before, sizeof before, "%.2f", r / 100.0);
            std::snprintf(after, sizeof after, "%.2f", r / 100.0 + 0.5);
            fields.lines.push_back(compare::changedLine(r + 1, "QTY", before, after));
        }
        for (int r = kRecords; r < kRecords + kAdded; ++r)
            added.lines.push_back(compare::addedLine(r + 1, "t2"));

        data::SourceDescriptor source;
        source.optionDBC = false;
        source.folderText = folder;
        const results::MergeRequest request{"t1new", "t1", "t2", source, source};

        foxpro::Connection c;
        c.open(data::connectionString(source));
        std::vector<double> copyTimes, mergeTimes;
        for (int run = 0; run < runs; ++run) {
            const double copy =
                seconds([&] { c.execute("SELECT *  FROM [t1] INTO TABLE [copyonly]"); });
            CountingDialogs dialogs;
            results::MergeOutcome outcome;
            const double merge = seconds(
                [&] { outcome = results::MergeIntoNewTable(request, fields, added, dialogs); });
            std::printf(
                "run %d: copy alone %.3f s, merge %.3f s (%lld updated, %lld added, %lld "
                "failed)\n",
                run + 1, copy, merge, static_cast<long long>(outcome.fieldsUpdated),
                static_cast<long long>(outcome.recordsAdded),
                static_cast<long long>(outcome.linesFailed));
            const auto made = c.execute("SELECT COUNT(*) FROM t1new");
            if (made.asInteger() != kRecords + kAdded) {
                std::printf("t1new has %lld records, expected %d\n",
                            static_cast<long long>(made.asInteger()), kRecords + kAdded);
                status = 1;
            }
            if (dialogs.reports > 0) {
                std::printf("first failure: %s\n", dialogs.first.c_str());
                status = 1;
            }
            copyTimes.push_back(copy);
            mergeTimes.push_back(merge);
        }
        std::printf(
            "merge of %d changes + %d added records into a copy of %d records: median %.3f s "
            "(copy alone median %.3f s), goal < 5 s\n",
            kChanges, kAdded, kRecords, median(mergeTimes), median(copyTimes));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "merge_bench: %s\n", e.what());
        status = 2;
    }
    if (own) fs::remove_all(folder);
    return status;
}
