#pragma once

#include <functional>
#include <string>
#include <vector>

#include "compare/difference_list.h"
#include "compare/structure_difference.h"

namespace quorvel::results {

// The text report: the line of every field difference (Changed and Missing
// field), then of every added or deleted record, each in walk order and
// followed by CR LF; the lists are told apart by kind, never by the text.
// The structure differences, when given, come first, one line each.
// No differences give the empty string.  processEvents (optional) runs
// before the first line and at every 100th line of each list (lines 100,
// 200, ... counted from 1).
std::string buildTextReport(const compare::DifferenceList& differences,
                            const std::function<void()>& processEvents = {});
std::string buildTextReport(const compare::DifferenceList& differences,
                            const std::vector<compare::StructureDifference>& structure,
                            const std::function<void()>& processEvents = {});

// Writes text (UTF-8) to path in the encoding of the user's locale (UTF-8
// on today's systems; no byte-order mark), creating the file or replacing
// it whole.  The text goes to a temporary file in the same folder that is
// renamed into place, so a failed write leaves any older file untouched.
// A path that leads (by any name or link) to one of sourceFiles, the files
// of the compared tables, is refused: the report never replaces a table.
// Throws std::runtime_error naming the file and the system's reason.
void WriteTextFile(const std::string& text, const std::string& path,
                   const std::vector<std::string>& sourceFiles = {});

// The bytes that WriteTextFile writes for text: the text in the encoding of
// the user's locale, a character that encoding cannot hold as "?".
std::string textFileBytes(const std::string& text);

}  // namespace quorvel::results
