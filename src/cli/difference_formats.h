#pragma once

// The machine-readable forms of a difference for quorvel-cli diff --format.
// Both carry the same six fields, in this order:
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

#include "compare/difference.h"
#include "compare/structure_difference.h"

namespace quorvel::cli {

// One JSON object and a line feed (JSON Lines): a missing field is null,
// which stays distinct from "".  Text that is not valid UTF-8 has each bad
// byte replaced by U+FFFD (JSON holds Unicode only); returns false then.
bool appendJsonLine(std::string& out, const compare::Difference& difference);
bool appendJsonLine(std::string& out, const compare::StructureDifference& difference);

// The CSV header "kind,record1,record2,field,old,new" and CR LF.
void appendCsvHeader(std::string& out);

// One CSV record (RFC 4180, CR LF): a missing field is empty.
void appendCsvLine(std::string& out, const compare::Difference& difference);
void appendCsvLine(std::string& out, const compare::StructureDifference& difference);

}  // namespace quorvel::cli
