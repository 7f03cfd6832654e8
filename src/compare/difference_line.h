#pragma once

#include <string>

#include "compare/difference.h"

namespace quorvel::compare {

// The line text of a difference, the one form in which lists, report and
// command-line tool show it, built by plain concatenation with nothing
// before or after it:
//   Deleted        "Record " + record1 + " deleted from " + table2
//   Added          "Record " + record2 + " added to " + table2
//   Changed        "Record " + record1 + ", Field \"" + field + "\" has changed from \""
//                  + value1 + "\" to \"" + value2 + "\""
//   Missing field  " Field \"" + field + "\" not exist "
// Names and values are written unchanged: a double quote inside them is not
// escaped.  Code that needs the kind, record or field asks the Difference,
// never this text.
std::string lineText(const Difference& difference);

// The same appended to out (the report builds one text of many lines).
void appendLineText(std::string& out, const Difference& difference);

}  // namespace quorvel::compare
