#pragma once

// The benchmarks' input table, written directly so that a benchmark does not
// time its own input: a free Visual FoxPro table with the fields ID (I),
// NAME (C 30), QTY (N 10,2), DAY (D), OK (L) and PRICE (Y).

#include <functional>
#include <string>

namespace quorvel::bench {

struct BenchTable {
    int records = 0;
    // Last-update date in the header (year - 1900, month, day).
    int year = 126, month = 1, day = 1;
    // Record r is stored deleted when this says so (none when empty).
    std::function<bool(int)> deleted;
    // QTY of record r is 0.50 higher than r / 100 when this says so.
    std::function<bool(int)> changed;
};

// Writes the table to path; throws std::runtime_error when it cannot.
void writeBenchTable(const std::string& path, const BenchTable& table);

}  // namespace quorvel::bench
