#pragma once

// The read verbs on a side that is not a FoxPro source (sides/side_uri.h):
// an operand such as sqlite:orders.db?table=orders where SOURCE TABLE stands.

#include <optional>
#include <string>
#include <string_view>

#include "cli/arguments.h"
#include "cli/output_stream.h"
#include "sides/side_diff.h"

namespace quorvel::cli {

// Whether the verb's first operand names such a side.
bool namesSide(const Arguments& args);

// show and tables on such a side: status 0, or 2 after a message naming it.
int showSide(const Arguments& args);
int listSideTables(const Arguments& args);

// diff SOURCE TABLE URI (or URI TABLE2): whether the operands ask for it,
// and the comparison (verb_diff_side.cpp): status 0, 1 or 2 as diff's.
bool diffNamesSide(const Arguments& args);
int diffWithSide(const Arguments& args);

// The value rules, ignored fields and line locale of a comparison with a
// side, from diff's options (format: the --format given).
sides::SideDiffOptions sideDiffOptionsOf(const Arguments& args, const std::string& format);

// The same as an object of --format json, table first for a whole source:
//   {"kind":"column","field":"PRICE","column":"price","equal":1000000,
//    "differ":2,"as":"N(10,2) as numeric","cut":null}
// cut is the number of values cut by a narrower text column, else null.
std::string columnObject(const sides::SideColumnReport& column, std::string_view table = {});
// And as a record of --format csv (table column first for a whole source):
// kind "column", record1 and record2 the counts of equal and differing
// values, field as the differences name it (the column's name with the
// side first), old the "as" text, new the values cut or empty.
void writeColumnRecord(OutputStream& out, const sides::SideColumnReport& column, bool sideFirst,
                       std::optional<std::string_view> table = std::nullopt);

}  // namespace quorvel::cli
