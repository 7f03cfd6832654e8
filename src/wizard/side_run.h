#pragma once

// Source #2 of the wizard when it is a database or CSV file rather than
// FoxPro tables: its URI, its tables and the comparison of Table #1 with one
// of them.  The differences come back as the run's own list, so that the
// results window shows them as it shows those of two FoxPro tables.

#include <string>
#include <vector>

#include "compare/compare_options.h"
#include "compare/difference_list.h"
#include "compare/pairing.h"
#include "data/source_descriptor.h"
#include "foxpro/text/text_locale.h"

namespace quorvel::wizard {

// The URI of a file the chooser returned: "csv:" for a .csv or .txt file,
// else "sqlite:"; the characters the URI reads as its own are escaped.
std::string sideUriOfFile(const std::string& path);

// The side's tables, by name (a CSV file is its one table).  Throws
// sides::SideError naming the side and the problem.
std::vector<std::string> sideTables(const std::string& uri);

// The names of a file the source reports besides its URI (for the report's
// rule that it never goes over a compared file): the SQLite or CSV file,
// none for a server.
std::vector<std::string> sideFiles(const std::string& uri);

struct SideRun {
    compare::DifferenceList differences;
    compare::RecordPairing pairing;     // how the records were paired in the end
    std::vector<std::string> columns;   // one report line per paired column
    std::vector<std::string> notes;     // unpaired columns, keys met twice, the pairing chosen
};

// Table #1 of source1 against table2 of the side.  Pairing by key fields
// takes them from pairing; by the table's own key (or by position where the
// side's rows come in no order of their own) the FoxPro table's primary or
// candidate key; content pairing is not offered for such a side.  Throws
// sides::SideError or foxpro::FoxProError, each naming the file and the
// problem.
SideRun runSideComparison(const data::SourceDescriptor& source1, const std::string& table1,
                          const std::string& uri, const std::string& table2,
                          const compare::RecordPairing& pairing,
                          const compare::CompareOptions& options,
                          const foxpro::TextLocale& locale);

}  // namespace quorvel::wizard
