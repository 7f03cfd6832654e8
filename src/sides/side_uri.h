#pragma once

// A side that is not a FoxPro source, named by a URI where SOURCE TABLE
// stands:
//   sqlite:PATH?table=NAME        (also sqlite:///abs/path; &immutable=yes)
//   postgresql://[user@]host[:port]/db?table=[schema.]NAME   (or postgres://)
//   csv:PATH[?delimiter=;&encoding=cp1252&header=yes&null=TEXT]

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::sides {

// A side that cannot be named, opened or read: what() names it and the problem.
class SideError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class SideKind { Sqlite, Postgres, Csv };

struct SideUri {
    SideKind kind = SideKind::Csv;
    std::string text;  // as given, for messages
    // SQLite and CSV: the file's path.  PostgreSQL: the URI for libpq, with
    // this program's own parameters (table) taken out.
    std::string location;
    std::string table;  // table=, "" when not given (a CSV file is its own table)
    // The other parameters of SQLite and CSV, percent-decoded, in order.
    std::vector<std::pair<std::string, std::string>> parameters;

    std::string parameter(std::string_view name, std::string fallback = {}) const;
    bool hasParameter(std::string_view name) const;
};

// Whether an operand names such a side (by its scheme) rather than a FoxPro source.
bool isSideUri(std::string_view operand);

// Throws SideError for a URI that breaks the forms above: an unknown
// parameter, a PostgreSQL password on the command line.
SideUri parseSideUri(const std::string& operand);

}  // namespace quorvel::sides
