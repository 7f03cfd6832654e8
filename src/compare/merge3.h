#pragma once

// The three-way merge of tables: an ancestor (base) and two edited copies
// of it (ours, theirs) give one table with every change of either side,
// and a conflict wherever both sides changed the same thing differently.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "compare/compare.h"
#include "compare/compare_options.h"
#include "compare/pairing.h"
#include "foxpro/format/field_info.h"
#include "foxpro/format/literal.h"
#include "foxpro/format/value.h"
#include "foxpro/text/text_locale.h"

namespace quorvel::foxpro {
class TableReader;
}

namespace quorvel::compare {

// Where a value of the result comes from: one of the three tables, or a
// value a resolution gave (none given: the field's blank, for a field no
// side of the record has).
enum class MergeSide : std::uint8_t { Base = 0, Ours = 1, Theirs = 2, Given = 3 };

enum class ConflictKind : std::uint8_t {
    BothChanged,
    DeletedAndChanged,
    BothAdded,
    DroppedAndChanged
};
// "both_changed", "deleted_and_changed", "both_added", "dropped_and_changed".
const char* conflictKindName(ConflictKind kind);

// A field of the result: its definition and the field it is in each table.
struct MergedField {
    foxpro::FieldInfo info;       // name, letter, width, decimals, nullable, binary
    int index[3] = {-1, -1, -1};  // field of base, ours, theirs (-1: the table lacks it)
    MergeSide definedBy = MergeSide::Ours;
    bool dropped = false;  // left out of the result
};

// A record of the result, in the result's order: ours' records in their
// order, then those only theirs has (added, or changed where ours deleted
// them), in theirs' order.  Whose value each field takes is a row of
// Merge3Result::sourceRows, which the records that take alike share (a
// few rows serve a million records).
struct MergedRecord {
    std::uint32_t record[3] = {0, 0, 0};  // live record numbers (1-based), 0: none on that side
    std::uint32_t row = 0;                // its row of sources
    bool kept = true;                     // false: deleted by the merge
};

struct MergeConflict {
    ConflictKind kind = ConflictKind::BothChanged;
    std::int64_t record = -1;  // index into the records, -1 for a field's conflict
    int field = -1;            // result field, -1 for a whole record's conflict
    std::string key;           // the key's values as text (", " between parts); "" unless by key
    // The value of base, ours and theirs; none where that side has no such
    // record or field (a deleted record, a dropped field).
    std::optional<foxpro::Value> value[3];
};

struct Merge3Result {
    std::vector<MergedField> fields;
    std::vector<MergedRecord> records;
    // Rows of sources, fields.size() sides each: per result field, whose
    // value a record takes.
    std::vector<MergeSide> sourceRows;
    std::vector<MergeConflict> conflicts;
    // Values resolutions gave: (record index, result field) -> value.
    std::map<std::pair<std::int64_t, int>, foxpro::Literal> given;
    std::vector<std::string> notes;  // definitions that could not apply, and why

    // Whose value a field of a record takes.
    MergeSide from(const MergedRecord& m, std::size_t field) const {
        return sourceRows[m.row * fields.size() + field];
    }
    std::span<const MergeSide> row(const MergedRecord& m) const {
        return std::span(sourceRows).subspan(m.row * fields.size(), fields.size());
    }
    // The number of the row holding sides (fields.size() of them), added
    // when no row holds them yet.
    std::uint32_t rowOf(std::span<const MergeSide> sides);
    // Record number record takes field from side (its row is not changed
    // for the records that share it).
    void setFrom(std::size_t record, std::size_t field, MergeSide side);

  private:
    std::unordered_map<std::string, std::uint32_t> rowNumbers_;
};

struct Merge3Options {
    // Key (fields given, rules of the key), Content or Position; Auto is
    // settled by the caller before.
    RecordPairing pairing;
    CompareOptions compare;  // decides which values are equal
    foxpro::TextLocale locale;
};

// Pairs the live records of the three tables and applies the rules per
// record and field: a change of one side is taken, equal changes of both
// are one, different ones a conflict (both_changed); a record added on one
// side is added, on both with one key and equal values once, else
// both_added per field; deleted on one side and unchanged on the other is
// deleted, changed on the other deleted_and_changed; a field added on one
// side is added with its values; dropped on one side and changed on the
// other dropped_and_changed; a type or width change of one side applies
// when every value of the result fits it.  A conflict's record or field
// keeps ours' value until it is resolved.  Throws std::invalid_argument
// for a key field a table lacks.
//
// Progress and the window's events go through callbacks as for a
// comparison, at the one event pace: counted tells the records of ours and
// theirs the rules have been applied to, of both tables' live records
// (pairing comes first, at 0).  stopRequested is asked after each run of
// processEvents: true ends the merge with Merge3Stopped.
Merge3Result merge3(const foxpro::TableReader& base, const foxpro::TableReader& ours,
                    const foxpro::TableReader& theirs, const Merge3Options& options,
                    const CompareCallbacks& callbacks = {},
                    const std::function<bool()>& stopRequested = {});

// Thrown when the caller's stopRequested ended a merge or the writing of
// its table: nothing is returned, and no table was put in place.
struct Merge3Stopped {};

// What resolves one conflict: the side to keep, or a value of the user's.
struct Resolution {
    MergeSide keep = MergeSide::Ours;
    foxpro::Literal value;  // for MergeSide::Given
};

// Applies a resolution to conflict number index.  Throws
// std::invalid_argument when it does not fit the conflict: base for a
// record no base holds, a value for a whole record or field.
void resolveConflict(Merge3Result& result, std::size_t index, const Resolution& resolution);

}  // namespace quorvel::compare
