#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foxpro/format/field_info.h"
#include "foxpro/format/value.h"

namespace quorvel::foxpro {

class Connection;
class TableReader;

inline constexpr int kOpenDynamic = 2;
inline constexpr int kOpenStatic = 3;
inline constexpr int kLockOptimistic = 3;

// Stand-in for the outside data-access record set, over "SELECT * FROM [t]"
// (optionally "WHERE RECNO() = n").  Rows come in stored order, deleted
// records skipped.  Failures throw FoxProError.
class Recordset {
  public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void open(const std::string& sql, Connection& connection, int cursorType = kOpenStatic,
              int lockType = kLockOptimistic);
    void close();
    bool isOpen() const;

    void moveFirst();
    void moveNext();
    // To the position-th live record (1-based), or to the end when there is
    // none.  A record a few rows away is reached by walking there (forward
    // as moveNext() walks, giving back the pages it has passed); any other
    // by a lookup in the table's list of deleted records.
    void moveTo(std::int64_t position);
    // To stored record index as the position-th live record, for a caller
    // that read the delete flags before it itself (index storedCount() is
    // the end); nothing is checked or looked up.
    void moveToStored(std::int64_t position, std::int64_t index);
    bool eof() const;  // after the last row, and at once for an empty result

    int fieldCount() const;
    const FieldInfo& field(int index) const;      // 0-based; 3265 when out of range
    int fieldIndex(std::string_view name) const;  // without case; 3265 when missing
    Value value(int index) const;                 // of the current row
    Value value(std::string_view name) const;

    // Fast path for the comparison: the current record's stored bytes
    // (delete flag first) and the table's layout.
    std::span<const std::uint8_t> rawRecord() const;
    const TableLayout& layout() const;

    // The current row's position among the live records, 1-based.
    std::int64_t position() const;

    // The table read: its header facts and what reading it has tolerated
    // so far (TableReader::warnings()).
    const TableReader& table() const;

  private:
    void requireOpen() const;
    void requireRow() const;
    // The stored records [from, current_) that a step of a walk from the
    // first record passed over are deleted.
    void noteSkipped(std::int64_t from);

    std::unique_ptr<TableReader> reader_;
    std::int64_t current_ = 0;   // stored index of the current row
    std::int64_t position_ = 0;  // 1-based among the live records
    bool filtered_ = false;      // WHERE RECNO() = n
    std::int64_t filterPosition_ = 0;
    std::int64_t filterIndex_ = -1;  // stored index of that record, -1 when none
    // A walk by moveNext alone since moveFirst, and the deleted records it
    // has passed.
    bool walkWhole_ = false;
    std::vector<std::uint32_t> walkDeleted_;
};

}  // namespace quorvel::foxpro
