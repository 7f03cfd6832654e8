#pragma once

// The forms of a difference for quorvel-cli diff --format, written to an
// output stream piece by piece: a value of many megabytes is never copied
// or escaped whole in memory.  JSON and CSV carry the same six fields, in
// this order:
//   kind     "changed", "added", "deleted" or "missing_field"
//   record1  the record number in Table #1 (none for added)
//   record2  the record number in Table #2 (none for deleted)
//   field    the field's name as Table #1 spells it (changed, missing_field)
//   old      Table #1's value text (changed; none when the value is null)
//   new      Table #2's value text (changed; none when the value is null)
// The structure differences take the same fields: kind
// "field_only_in_table2" or "field_definition_changed", no record numbers,
// field, old (Table #1's definition, "N(10,2)"; none for the first) and new.

#include <string>
#include <string_view>
#include <vector>

#include "cli/output_stream.h"
#include "compare/difference.h"
#include "compare/structure_difference.h"

namespace quorvel::cli {

// The line text (compare::forEachLinePiece) and its end: a line feed, or
// with nulTerminated a NUL, every backslash of the line then written as
// "\\" and every NUL in it (which only a value holds) as "\0", so that a
// NUL ends lines and nothing else.
void writeTextLine(OutputStream& out, const compare::Difference& difference, bool nulTerminated);
// The same for a line given as its text (a structure difference's).
void writeTextLine(OutputStream& out, std::string_view line, bool nulTerminated);

// A JSON string of text, quoted and escaped as in the lines below.
std::string jsonQuoted(std::string_view text);

// One JSON object and a line feed (JSON Lines): a missing field is null,
// which stays distinct from "".  Text that is not valid UTF-8 has each bad
// byte replaced by U+FFFD (JSON holds Unicode only); returns false then.
bool writeJsonLine(OutputStream& out, const compare::Difference& difference);
bool writeJsonLine(OutputStream& out, const compare::StructureDifference& difference);
// The same with "table" first, for a comparison of whole sources.
bool writeJsonLine(OutputStream& out, const compare::Difference& difference,
                   std::string_view table);

// For --csv-safe: which values are text, by Table #1's field position (the
// difference's field): old is the value of Table #1's field, new of its
// partner in Table #2.  Numbers, dates and the like keep their signs.
struct CsvSafety {
    bool on = false;
    std::vector<bool> oldIsText;
    std::vector<bool> newIsText;
};

// The CSV header "kind,record1,record2,field,old,new" and CR LF.
void writeCsvHeader(OutputStream& out);

// One CSV record (RFC 4180, CR LF): a missing field is empty.
void writeCsvLine(OutputStream& out, const compare::Difference& difference,
                  const CsvSafety& safety);
void writeCsvLine(OutputStream& out, const compare::StructureDifference& difference,
                  const CsvSafety& safety);
// The same with a table column first ("table,kind,record1,...").
void writeCsvLine(OutputStream& out, const compare::Difference& difference, std::string_view table);

}  // namespace quorvel::cli
