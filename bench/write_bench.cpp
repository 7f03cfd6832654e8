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

#include "foxpro/connection.h"
#include "foxpro/dbf_format.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using quorvel::foxpro::Connection;
namespace dbf = quorvel::foxpro::dbf;

constexpr int kRecords = 1'000'000;
constexpr int kStatements = 100'000;

struct Field {
    const char* name;
    char letter;
    int width;
    int decimals;
};
constexpr Field kFields[] = {{"ID", 'I', 4, 0},  {"NAME", 'C', 30, 0}, {"QTY", 'N', 10, 2},
                             {"DAY", 'D', 8, 0}, {"OK", 'L', 1, 0},    {"PRICE", 'Y', 8, 0}};

// A Visual FoxPro table of `records` records (every 50th deleted), written
// directly so that the benchmark does not time its own input.
void writeTable(const std::string& path, int records) {
    const int n = static_cast<int>(std::size(kFields));
    int recordLength = 1;
    for (const auto& f : kFields) recordLength += f.width;
    const int headerLength = 32 + 32 * n + 1 + 263;
    std::vector<std::uint8_t> header(static_cast<std::size_t>(headerLength), 0);
    header[0] = 0x30;
    header[1] = 126, header[2] = 1, header[3] = 1;
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
    std::vector<char> rec(static_cast<std::size_t>(recordLength));
    for (int r = 0; r < records; ++r) {
        char* p = rec.data();
        *p++ = r % 50 == 49 ? '*' : ' ';
        dbf::putLe32(reinterpret_cast<std::uint8_t*>(p), static_cast<std::uint32_t>(r));
        p += 4;
        std::snprintf(p, 31, "%-30s", ("customer number " + std::to_string(r)).c_str());
        p += 30;
        std::snprintf(p, 11, "%10.2f", r / 100.0);
        p += 10;
        std::snprintf(p, 9, "%04d%02d%02d", 2000 + r % 20, 1 + r % 12, 1 + r % 28);
        p += 8;
        *p++ = r % 2 ? 'T' : 'F';
        dbf::putLe64(reinterpret_cast<std::uint8_t*>(p), static_cast<std::uint64_t>(r) * 100);
        std::fwrite(rec.data(), 1, rec.size(), f);
    }
    std::fputc(0x1A, f);
    std::fclose(f);
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
        writeTable(folder + "/big.dbf", kRecords);
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
            writeTable(folder + "/grow.dbf", 0);
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
