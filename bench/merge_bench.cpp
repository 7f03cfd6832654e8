// Merge timing: 10,000 field changes and 10,000 added records (or CHANGES
// and ADDED) applied to a copy of a 1,000,000-record table, the copy
// included, as Form4's "Create" runs it (one statement per line).
//
//   merge_bench [FOLDER] [RUNS] [CHANGES] [ADDED]
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

#include "bench_table.h"
#include "compare/difference_list.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/sql/connection.h"
#include "results/merge.h"

namespace {

namespace fs = std::filesystem;
namespace dbf = quorvel::foxpro::dbf;
using namespace quorvel;

constexpr int kRecords = 1'000'000;
int kChanges = 10'000;
int kAdded = 10'000;
// Every kStride-th record of Table #2 has another QTY.
int kStride = kRecords / kChanges;

// Table #2's QTY differs on every kStride-th record.
bool differs(int r) {
    return r % kStride == kStride / 2;
}

class CountingDialogs : public frame::Dialogs {
  public:
    int reports = 0;
    std::string first;
    frame::Answer message(const std::string& text, frame::MessageButtons, frame::MessageIcon icon,
                          const std::string&) override {
        if (icon == frame::MessageIcon::Exclamation && reports++ == 0) first = text;
        return frame::Answer::Ok;
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
    if (argc > 3) kChanges = std::clamp(std::atoi(argv[3]), 1, kRecords);
    if (argc > 4) kAdded = std::max(0, std::atoi(argv[4]));
    kStride = kRecords / kChanges;
    fs::create_directories(folder);
    int status = 0;
    try {
        std::printf("generating t1 (%d records) and t2 (%d records) in %s\n", kRecords,
                    kRecords + kAdded, folder.c_str());
        quorvel::bench::writeBenchTable(folder + "/t1.dbf", {kRecords, 126, 12, 7, {}, {}});
        quorvel::bench::writeBenchTable(folder + "/t2.dbf",
                                        {kRecords + kAdded, 126, 12, 7, {}, differs});

        // The differences the comparison gives for this pair.
        // Table #1's fields as bench_table.h writes them; QTY is the third.
        compare::DifferenceList differences("t2", {"ID", "NAME", "QTY", "DAY", "OK", "PRICE"});
        constexpr int qty = 2;
        for (int r = 0; r < kRecords; ++r) {
            if (r % kStride != kStride / 2) continue;
            char before[16], after[16];
            std::snprintf(before, sizeof before, "%.2f", r / 100.0);
            std::snprintf(after, sizeof after, "%.2f", r / 100.0 + 0.5);
            differences.addChanged(r + 1, r + 1, qty, before, false, after, false);
        }
        for (int r = kRecords; r < kRecords + kAdded; ++r) differences.addAdded(r + 1);
        const results::ListOfKind fields(differences, compare::LineList::FieldDifferences, true);
        const results::ListOfKind added(differences, compare::LineList::AddedDeleted, true);

        data::SourceDescriptor source;
        source.optionDBC = false;
        source.folderText = folder;
        // Every run after the first replaces the table the one before made.
        const results::MergeRequest request{"t1new", "t1", "t2", source, source, true};

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
            "(copy alone median %.3f s)\n",
            kChanges, kAdded, kRecords, median(mergeTimes), median(copyTimes));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "merge_bench: %s\n", e.what());
        status = 2;
    }
    if (own) fs::remove_all(folder);
    return status;
}
