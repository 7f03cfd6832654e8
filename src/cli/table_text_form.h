#pragma once

// A table as stable text for line-based tools (git log -p, blame): one
// header line with the structure, then one line per stored record.
//
//   # code page 1252; ID I | NAME C(30) | NOTE M null
//     1 | Smith | first line\nsecond line
//   * 2 | Jones | \NULL
//
// A record line starts with "* " when the record is deleted, else with two
// blanks.  Values take their C text forms; within them "\" is written as
// "\\", a line feed as "\n", a carriage return as "\r", a tab as "\t", a
// NUL as "\0" and "|" as "\|", so that every record is one line and the
// fields split at " | ".  A null is "\NULL"; a memo whose memo file is
// missing (or cannot be read) is "\(memo not available)", never empty.
// The same bytes give the same text on every run and every machine.

#include <string>
#include <string_view>
#include <vector>

#include "cli/output_stream.h"

namespace quorvel::foxpro {
class TableReader;
}

namespace quorvel::cli {

inline constexpr std::string_view kMemoNotAvailable = "\\(memo not available)";

// Writes the text form of the table, each line after linePrefix ("+" for a
// table git-diff shows as added).  Returns the problems met with memo
// values that were marked as not available (none when every memo read),
// each naming the file, at most one per kind of problem.  Throws
// FoxProError when a record cannot be read.
std::vector<std::string> writeTableTextForm(OutputStream& out, const foxpro::TableReader& table,
                                            std::string_view linePrefix = {});

// The escaped form of one value's text, as the record lines hold it.
std::string escapedCell(std::string_view text);

}  // namespace quorvel::cli
