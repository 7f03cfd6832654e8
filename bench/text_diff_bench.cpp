// The line diff of the detail pane on long memo values: LINES lines of
// program text (default 100,000, 4.6 MB) against the same text with a few
// words changed, with a block moved, and against a text with no line in
// common; the median of five diffs each, with the lines it changed.
//
//   text_diff_bench [LINES]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "compare/text_diff.h"

namespace {

using namespace quorvel;

std::string program(long lines, long changeEvery, const char* word) {
    std::string text;
    for (long i = 0; i < lines; ++i) {
        const bool changed = changeEvery > 0 && i % changeEvery == changeEvery / 2;
        text += "   lcKey = \"K\" + TRANSFORM(lnCount + " + std::to_string(i) + ") && " +
                (changed ? word : "node") + "\r\n";
    }
    return text;
}

void time(const char* what, const std::string& a, const std::string& b) {
    std::vector<double> times;
    compare::TextDiff diff;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        diff = compare::diffLines(a, b);
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%-34s %8.3f s  %s%s\n", what, times[2], compare::changeSummary(diff).c_str(),
                diff.approximate ? " (past the bound)" : "");
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 100'000;
    const std::string before = program(lines, 0, "");
    std::printf("%ld lines, %zu bytes\n", lines, before.size());
    time("a word changed in 10 lines", before, program(lines, lines / 10, "leaf"));
    time("a word changed in 1,000 lines", before, program(lines, lines / 1000, "leaf"));
    std::string moved = before;
    const std::size_t third = moved.size() / 3;
    const std::size_t from = moved.find("\r\n", third) + 2;
    const std::size_t to = moved.find("\r\n", 2 * third) + 2;
    moved = moved.substr(0, from) + moved.substr(to) + moved.substr(from, to - from);
    time("a third of the lines moved", before, moved);
    std::string other;
    for (long i = 0; i < lines; ++i) other += "other " + std::to_string(i) + "\n";
    time("no line in common", before, other);
    return 0;
}
