#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compare/difference.h"
#include "data/source_descriptor.h"
#include "foxpro/text/text_locale.h"
#include "wizard/result_list.h"
#include "wizard/run_model.h"

namespace quorvel::wizard {

// How a field of the record pair compares, as the detail pane marks it.
enum class FieldMark : std::uint8_t {
    Same,          // the comparison found no difference
    Changed,       // the list holds a Changed line for it
    NotInTable2,   // Table #2 lacks the field (the Missing-field lines)
    OnlyInTable2,  // a field of Table #2 that no field of Table #1 pairs with
    BytesDiffer,   // binary data of one type that differs: never compared, so no line
    Ignored        // left out of the comparison by its options
};

struct DetailValue {
    bool present = false;  // the side has the field and the record
    bool null = false;
    bool binary = false;  // text holds the raw bytes
    std::string text;     // the value text (the line's, for a changed field)
};

struct DetailField {
    std::string name;   // as Table #1 spells it; Table #2's for OnlyInTable2
    int field1 = -1;    // its position in Table #1, -1 for OnlyInTable2
    std::string type1;  // its definition ("C(10)", "M"); "" where a side lacks it
    std::string type2;
    FieldMark mark = FieldMark::Same;
    bool memo = false;
    DetailValue value1;
    DetailValue value2;

    bool binary() const { return value1.binary || value2.binary; }
    // Shown as a line diff: a memo, or values compare::wantsLineDiff finds long.
    bool longText() const;
};

// The two records of a selected line: every field of both, marked.
struct RecordDetail {
    bool selected = false;
    compare::DifferenceKind kind = compare::DifferenceKind::Changed;
    // The list's record numbers (the n-th live record, as the lines count)
    // and FoxPro's RECNO(), which counts deleted records too; 0 where the
    // line has no record of that table or it could not be read.
    std::int64_t record1 = 0;
    std::int64_t record2 = 0;
    std::int64_t recno1 = 0;
    std::int64_t recno2 = 0;
    std::string table1;
    std::string table2;
    std::string pairing;    // "Records paired by key fields: ID"
    std::string keyValues;  // key pairing: "ID = 17, CODE = abc"; else ""
    std::vector<DetailField> fields;
    int focus = -1;   // the selected line's field in fields, -1 when none
    int changed = 0;  // fields marked Changed
    // The records could not be read (the message names the file): fields
    // then holds what the list itself knows.
    std::string problem;
};

// "Record 12 of Table #1 (customers) and record 14 of Table #2 (customers_old)",
// "Record 5 of Table #2 (customers_old): added", ...
std::string recordHeading(const RecordDetail& detail);
// "RECNO() 14 in Table #1 (the list counts 12)" for each side whose RECNO()
// differs from the list's number; "" when none does.
std::string recnoNote(const RecordDetail& detail);
// "Changed", "Not in Table #2", ... with the symbol that marks it, so that
// the mark does not rest on colour alone.
std::string markText(FieldMark mark);
std::string markSymbol(FieldMark mark);

// Reads the records of the line at `row` of `list` (one of the run's two
// lists) through the table-access layer: the two records of the pair, not
// the tables.  The fields are paired as the comparison pairs them.  Never
// throws: a failure to read is told in problem.
RecordDetail readRecordDetail(const RunModel& run, const ResultList& list, int row,
                              const foxpro::TextLocale& locale);

// The live records of a table (what the comparison counts); -1 when the
// table cannot be read.
std::int64_t liveRecordCount(const data::SourceDescriptor& source, const std::string& table);

}  // namespace quorvel::wizard
