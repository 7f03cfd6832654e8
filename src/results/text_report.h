#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::results {

// Read-only view of one list of difference lines (count + text of line i,
// 0-based), so that a window's list model can be passed without copying.
struct LineSource {
    std::function<std::size_t()> count;
    std::function<std::string(std::size_t index)> text;
};

// A LineSource over a vector; the vector must outlive it.
LineSource linesOf(const std::vector<std::string>& lines);

// The text report: every field-difference line, then every added/deleted
// line, each followed by CR LF.  Two empty lists give the empty string.
// processEvents (optional) runs before the first line and at every 100th
// line of each list (lines 100, 200, ... counted from 1).
std::string buildTextReport(const LineSource& fieldDifferences, const LineSource& addedDeleted,
                            const std::function<void()>& processEvents = {});

// Writes text (UTF-8) to path in the encoding of the user's locale (UTF-8
// on today's systems; no byte-order mark), creating the file or replacing
// it whole.  The text goes to a temporary file in the same folder that is
// renamed into place, so a failed write leaves any older file untouched.
// Throws std::runtime_error naming the file and the system's reason.
void WriteTextFile(const std::string& text, const std::string& path);

}  // namespace quorvel::results
