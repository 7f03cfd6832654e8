// Write-side timings: the copy (SELECT * INTO TABLE) of a 1,000,000-record
// table against cp of the same .dbf in the same run, and 100,000 UPDATE and
// 100,000 INSERT statements sent one by one through Connection::execute.
//
//   write_bench [FOLDER] [RUNS]
//
// FOLDER (default: a new temporary folder, removed at the end) receives the
// generated table and the copies.  Prints each run and the medians.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_table.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/sql/connection.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using quorvel::foxpro::Connection;
namespace dbf = quorvel::foxpro::dbf;

constexpr int kRecords = 1'000'000;
constexpr int kStatements = 100'000;

// The source table has every 50th record deleted.
bool everyFiftieth(int r) {
    return r % 50 == 49;
}

double cpuSeconds() {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return s(self.ru_utime) + s(self.ru_stime);
}

// Wall-clock seconds of work; *cpu receives this process's user + system
// seconds, which a busy machine does not inflate.
double seconds(const std::function<void()>& work, double* cpu = nullptr) {
    double cpuStart = cpuSeconds();
    auto start = std::chrono::steady_clock::now();
    work();
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (cpu) *cpu = cpuSeconds() - cpuStart;
    return wall;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void runCp(const std::string& from, const std::string& to) {
    const char* argv[] = {"cp", from.c_str(), to.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        throw std::runtime_error("cannot run cp");
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("cp failed");
}

}  // namespace

int main(int argc, char** argv) {
    bool own = argc < 2;
    std::string folder =
        own ? (fs::temp_directory_path() / ("quorvel-write-bench-" + std::to_string(getpid())))
                  .string()
            : argv[1];
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    fs::create_directories(folder);
    try {
        std::printf("generating %d records in %s\n", kRecords, folder.c_str());
        quorvel::bench::writeBenchTable(folder + "/big.dbf",
                                        {kRecords, 126, 1, 1, everyFiftieth, {}});
        std::printf("big.dbf: %.1f MB\n",
                    static_cast<double>(fs::file_size(folder + "/big.dbf")) / 1e6);
        Connection c;
        c.open("Provider=vfpoledb.1;Data Source=" + folder + ";Collating Sequence=general;");

        std::vector<double> cpTimes, copyTimes;
        for (int run = 0; run < runs; ++run) {
            // Both write a new file: neither times the removal of its last result.
            fs::remove(folder + "/cp_copy.dbf");
            fs::remove(folder + "/copy.dbf");
            double cp = seconds([&] { runCp(folder + "/big.dbf", folder + "/cp_copy.dbf"); });
            double copy = seconds([&] { c.execute("SELECT *  FROM [big] INTO TABLE [copy]"); });
            cpTimes.push_back(cp);
            copyTimes.push_back(copy);
            std::printf("run %d: cp %.3f s, SELECT INTO TABLE %.3f s\n", run + 1, cp, copy);
        }
        double cpMedian = median(cpTimes), copyMedian = median(copyTimes);
        std::printf("copy of %d records: median %.3f s, cp median %.3f s, ratio %.2f\n", kRecords,
                    copyMedian, cpMedian, copyMedian / cpMedian);

        std::vector<double> updateTimes, insertTimes, updateCpu, insertCpu;
        for (int run = 0; run < std::min(runs, 3); ++run) {
            double uCpu = 0, iCpu = 0;
            double update = seconds(
                [&] {
                    for (int i = 0; i < kStatements; ++i) {
                        long recno = 1 + (static_cast<long>(i) * 7919) % (kRecords - kRecords / 50);
                        c.execute("UPDATE [copy] SET [NAME] = 'updated " + std::to_string(i) +
                                  "' WHERE RECNO() = " + std::to_string(recno));
                    }
                },
                &uCpu);
            quorvel::bench::writeBenchTable(folder + "/grow.dbf", {0, 126, 1, 1, {}, {}});
            double insert = seconds(
                [&] {
                    for (int i = 0; i < kStatements; ++i)
                        c.execute("INSERT INTO [grow] VALUES('" + std::to_string(i) + "', 'name " +
                                  std::to_string(i) + "', '" + std::to_string(i % 1000) +
                                  ".5', '2020-12-31', True, '12.34')");
                },
                &iCpu);
            updateTimes.push_back(update);
            insertTimes.push_back(insert);
            updateCpu.push_back(uCpu);
            insertCpu.push_back(iCpu);
            std::printf("run %d: %d UPDATE %.3f s (cpu %.3f s), %d INSERT %.3f s (cpu %.3f s)\n",
                        run + 1, kStatements, update, uCpu, kStatements, insert, iCpu);
        }
        std::printf(
            "UPDATE x %d: median %.3f s (cpu %.3f s); INSERT x %d: median %.3f s (cpu %.3f s)\n",
            kStatements, median(updateTimes), median(updateCpu), kStatements, median(insertTimes),
            median(insertCpu));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "write_bench: %s\n", e.what());
        if (own) fs::remove_all(folder);
        return 2;
    }
    if (own) fs::remove_all(folder);
    return 0;
}
