#pragma once

// The records of a side that is not a FoxPro source, as one stream of rows:
// what the comparison with a FoxPro table reads.  Each kind keeps its C
// library in its own file; the library is loaded when a side needs it.

#include <memory>
#include <string>
#include <vector>

#include "sides/side_uri.h"

namespace quorvel::sides {

// How a database stored a value: the comparison reads day numbers and
// real numbers differently from text.
enum class CellStorage { Text, Integer, Real, Blob };

struct SideCell {
    bool null = false;
    // A CSV field left empty without null= naming a null mark: a null and
    // an empty value alike.
    bool blank = false;
    CellStorage storage = CellStorage::Text;
    std::string text;  // UTF-8 text, or the bytes of a blob
};

struct SideColumn {
    std::string name;
    std::string type;  // the declared type, lower case ("numeric(10,2)"); "text" for CSV
};

class SideStream {
  public:
    virtual ~SideStream() = default;
    const std::vector<SideColumn>& columns() const { return columns_; }
    // The next row, one cell per column; false at the end.  Throws SideError.
    virtual bool next(std::vector<SideCell>& row) = 0;
    // The rows come in an order of their own (a file's, a table's rowid):
    // records may pair by position.
    virtual bool ordered() const { return true; }

  protected:
    std::vector<SideColumn> columns_;
};

// Opens the side's table for reading (never for writing).  timeZone names
// the zone that PostgreSQL's timestamptz values are shown in ("" for UTC).
// Throws SideError naming the side and the problem, or "sqlite: support
// not built" style refusals naming the library that is missing.
std::unique_ptr<SideStream> openSideStream(const SideUri& side, const std::string& timeZone = {});

// The side's tables, for quorvel-cli tables.  Throws SideError.
std::vector<std::string> sideTableNames(const SideUri& side);

// The kinds' own openers (csv_side.cpp, sqlite_side.cpp, postgres_side.cpp).
std::unique_ptr<SideStream> openCsvSide(const SideUri& side);
std::unique_ptr<SideStream> openSqliteSide(const SideUri& side);
std::vector<std::string> sqliteTableNames(const SideUri& side);
std::unique_ptr<SideStream> openPostgresSide(const SideUri& side, const std::string& timeZone);
std::vector<std::string> postgresTableNames(const SideUri& side);

}  // namespace quorvel::sides
