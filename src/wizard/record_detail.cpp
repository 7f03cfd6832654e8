#include "wizard/record_detail.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>

#include "compare/field_name.h"
#include "compare/pairing.h"
#include "compare/structure_difference.h"
#include "compare/table_pair.h"
#include "compare/text_diff.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/text/text_form.h"

namespace quorvel::wizard {

namespace {

using compare::Difference;
using compare::DifferenceKind;

// One table of a source, opened for reading a record by its number.
class TableRecords {
  public:
    TableRecords(const data::SourceDescriptor& source, const std::string& table) {
        connection_.open(data::connectionString(source));
        cursor_.open("SELECT * FROM [" + table + "]", connection_, foxpro::kOpenStatic,
                     foxpro::kLockOptimistic);
    }

    // To the n-th live record; its RECNO(), 0 when the table has none.
    std::int64_t moveTo(std::int64_t n) {
        cursor_.moveTo(n);
        if (cursor_.eof()) return 0;
        return cursor_.table().liveIndex(n) + 1;
    }

    foxpro::Recordset& cursor() { return cursor_; }

  private:
    foxpro::Connection connection_;
    foxpro::Recordset cursor_;
};

DetailValue readValue(const foxpro::Recordset& cursor, int index,
                      const foxpro::TextLocale& locale) {
    DetailValue v;
    v.present = true;
    const foxpro::Value value = cursor.value(index);
    v.null = value.isNull();
    if (value.kind() == foxpro::Value::Kind::Bytes) {
        v.binary = true;
        v.text = value.str();
    } else if (!v.null) {
        v.text = foxpro::textForm(value, locale);
    }
    return v;
}

DetailValue lineValue(std::string_view text, bool null) {
    DetailValue v;
    v.present = true;
    v.null = null;
    v.text = std::string(text);
    return v;
}

// The lines of the selected line's record pair: its neighbours in the list
// with the same record numbers (a pair's lines are found together).
std::vector<Difference> pairLines(const ResultList& list, int row) {
    const Difference d = list.difference(row);
    std::vector<Difference> lines;
    if (d.kind != DifferenceKind::Changed && d.kind != DifferenceKind::MissingField) return lines;
    if (d.record1 == 0 && d.record2 == 0) return {d};
    const auto samePair = [&](const Difference& other) {
        return (other.kind == DifferenceKind::Changed ||
                other.kind == DifferenceKind::MissingField) &&
               other.record1 == d.record1 && other.record2 == d.record2;
    };
    int first = row;
    while (first > 0 && samePair(list.difference(first - 1))) --first;
    for (int r = first; r < list.count(); ++r) {
        const Difference other = list.difference(r);
        if (!samePair(other)) break;
        lines.push_back(other);
    }
    return lines;
}

const Difference* changedLine(const std::vector<Difference>& lines, int field) {
    for (const auto& line : lines)
        if (line.kind == DifferenceKind::Changed && line.field == field) return &line;
    return nullptr;
}

bool ignored(const compare::CompareOptions& options, const std::string& name) {
    const std::string upper = compare::upperFieldName(name);
    for (const auto& other : options.ignoredFields)
        if (compare::upperFieldName(other) == upper) return true;
    return false;
}

// Every field of one record (an added or deleted one).
void oneSide(RecordDetail& detail, foxpro::Recordset& cursor, int side,
             const foxpro::TextLocale& locale) {
    for (int i = 0; i < cursor.fieldCount(); ++i) {
        DetailField f;
        const foxpro::FieldInfo& info = cursor.field(i);
        f.name = info.name;
        if (side == 1) f.field1 = i;
        f.memo = info.memo;
        (side == 1 ? f.type1 : f.type2) = compare::fieldTypeText(info);
        (side == 1 ? f.value1 : f.value2) = readValue(cursor, i, locale);
        detail.fields.push_back(std::move(f));
    }
}

// Both records, their fields paired as the comparison pairs them.
void bothSides(RecordDetail& detail, TableRecords& table1, TableRecords& table2,
               const std::vector<Difference>& lines, const compare::CompareOptions& options,
               const foxpro::TextLocale& locale) {
    foxpro::Recordset& cursor1 = table1.cursor();
    foxpro::Recordset& cursor2 = table2.cursor();
    const compare::TablePair pair(cursor1, cursor1, cursor2, locale);
    std::vector<bool> paired2(static_cast<std::size_t>(cursor2.fieldCount()), false);
    for (const compare::FieldPair& p : pair.fields()) {
        DetailField f;
        const foxpro::FieldInfo& info1 = cursor1.field(p.index1);
        f.name = info1.name;
        f.field1 = p.index1;
        f.type1 = compare::fieldTypeText(info1);
        f.memo = info1.memo;
        f.value1 = readValue(cursor1, p.index1, locale);
        if (p.missing()) {
            f.mark = FieldMark::NotInTable2;
        } else {
            paired2[static_cast<std::size_t>(p.index2)] = true;
            const foxpro::FieldInfo& info2 = cursor2.field(p.index2);
            f.type2 = compare::fieldTypeText(info2);
            f.memo = f.memo || info2.memo;
            f.value2 = readValue(cursor2, p.index2, locale);
            if (const Difference* line = changedLine(lines, p.index1)) {
                // The line's own texts: what the list says, whole.
                f.mark = FieldMark::Changed;
                f.value1 = lineValue(line->value1, line->null1);
                f.value2 = lineValue(line->value2, line->null2);
            } else if (ignored(options, f.name)) {
                f.mark = FieldMark::Ignored;
            } else if (f.value1.binary && f.value2.binary &&
                       (f.value1.text != f.value2.text || f.value1.null != f.value2.null)) {
                f.mark = FieldMark::BytesDiffer;
            }
        }
        detail.fields.push_back(std::move(f));
    }
    for (int j = 0; j < cursor2.fieldCount(); ++j) {
        if (paired2[static_cast<std::size_t>(j)]) continue;
        DetailField f;
        const foxpro::FieldInfo& info2 = cursor2.field(j);
        f.name = info2.name;
        f.type2 = compare::fieldTypeText(info2);
        f.memo = info2.memo;
        f.mark = FieldMark::OnlyInTable2;
        f.value2 = readValue(cursor2, j, locale);
        detail.fields.push_back(std::move(f));
    }
}

// What the list alone tells of the pair, for records that could not be read.
void fromLines(RecordDetail& detail, const std::vector<Difference>& lines) {
    for (const auto& line : lines) {
        DetailField f;
        f.name = std::string(line.fieldName);
        f.field1 = line.field;
        if (line.kind == DifferenceKind::Changed) {
            f.mark = FieldMark::Changed;
            f.value1 = lineValue(line.value1, line.null1);
            f.value2 = lineValue(line.value2, line.null2);
        } else {
            f.mark = FieldMark::NotInTable2;
        }
        detail.fields.push_back(std::move(f));
    }
}

std::string keyValues(foxpro::Recordset& cursor, const std::vector<std::string>& keyFields,
                      const foxpro::TextLocale& locale) {
    std::string text;
    for (const auto& name : keyFields) {
        const int index = cursor.table().findField(name);
        if (index < 0) continue;
        const DetailValue v = readValue(cursor, index, locale);
        if (!text.empty()) text += ", ";
        text += cursor.field(index).name + " = " + (v.null ? ".NULL." : v.text);
    }
    return text;
}

std::string side(int n, const std::string& table) {
    return "Table #" + std::to_string(n) + " (" + table + ")";
}

}  // namespace

bool DetailField::longText() const {
    if (binary()) return false;
    return memo || compare::wantsLineDiff(value1.text, value2.text);
}

std::string markText(FieldMark mark) {
    switch (mark) {
        case FieldMark::Same:
            return "Same";
        case FieldMark::Changed:
            return "Changed";
        case FieldMark::NotInTable2:
            return "Not in Table #2";
        case FieldMark::OnlyInTable2:
            return "Only in Table #2";
        case FieldMark::BytesDiffer:
            return "Bytes differ (binary data is not compared)";
        case FieldMark::Ignored:
            return "Left out of the comparison";
    }
    return {};
}

std::string markSymbol(FieldMark mark) {
    switch (mark) {
        case FieldMark::Same:
            return " ";
        case FieldMark::Changed:
            return "\xE2\x89\xA0";  // ≠
        case FieldMark::NotInTable2:
            return "\xE2\x88\x92";  // −
        case FieldMark::OnlyInTable2:
            return "+";
        case FieldMark::BytesDiffer:
            return "\xE2\x89\x88";  // ≈
        case FieldMark::Ignored:
            return "\xE2\x80\x93";  // –
    }
    return " ";
}

std::string recordHeading(const RecordDetail& d) {
    if (!d.selected) return {};
    switch (d.kind) {
        case DifferenceKind::Added:
            return "Record " + std::to_string(d.record2) + " of " + side(2, d.table2) +
                   ": added, no partner in " + side(1, d.table1);
        case DifferenceKind::Deleted:
            return "Record " + std::to_string(d.record1) + " of " + side(1, d.table1) +
                   ": deleted, no partner in " + side(2, d.table2);
        case DifferenceKind::Changed:
        case DifferenceKind::MissingField:
            break;
    }
    if (d.record1 == 0 && d.record2 == 0)
        return "Every record of " + side(1, d.table1) + ": a field that " + side(2, d.table2) +
               " lacks";
    return "Record " + std::to_string(d.record1) + " of " + side(1, d.table1) + " and record " +
           std::to_string(d.record2) + " of " + side(2, d.table2);
}

std::string recnoNote(const RecordDetail& d) {
    std::string text;
    const auto add = [&](int n, std::int64_t record, std::int64_t recno) {
        if (record == 0 || recno == 0 || record == recno) return;
        if (!text.empty()) text += "; ";
        text += "RECNO() " + std::to_string(recno) + " in Table #" + std::to_string(n) +
                " (the list counts " + std::to_string(record) +
                ": deleted records before it are not counted)";
    };
    add(1, d.record1, d.recno1);
    add(2, d.record2, d.recno2);
    return text;
}

RecordDetail readRecordDetail(const RunModel& run, const ResultList& list, int row,
                              const foxpro::TextLocale& locale) {
    RecordDetail detail;
    if (row < 0 || row >= list.count()) return detail;
    const Difference d = list.difference(row);
    detail.selected = true;
    detail.kind = d.kind;
    detail.record1 = d.record1;
    detail.record2 = d.record2;
    detail.table1 = run.Table1Name;
    detail.table2 = run.Table2Name;
    detail.pairing = compare::pairingDescription(run.pairing);
    const std::vector<Difference> lines = pairLines(list, row);
    try {
        std::optional<TableRecords> table1, table2;
        if (d.record1 > 0) {
            table1.emplace(run.source(1), run.Table1Name);
            detail.recno1 = table1->moveTo(d.record1);
            if (detail.recno1 == 0)
                throw std::runtime_error(run.Table1Name + " has no record " +
                                         std::to_string(d.record1) + " now");
        }
        if (d.record2 > 0) {
            table2.emplace(run.source(2), run.Table2Name);
            detail.recno2 = table2->moveTo(d.record2);
            if (detail.recno2 == 0)
                throw std::runtime_error(run.Table2Name + " has no record " +
                                         std::to_string(d.record2) + " now");
        }
        if (table1 && table2)
            bothSides(detail, *table1, *table2, lines, run.options, locale);
        else if (table1)
            oneSide(detail, table1->cursor(), 1, locale);
        else if (table2)
            oneSide(detail, table2->cursor(), 2, locale);
        else
            fromLines(detail, lines);
        if (run.pairing.by == compare::Pairing::Key && (table1 || table2))
            detail.keyValues =
                keyValues((table1 ? *table1 : *table2).cursor(), run.pairing.keyFields, locale);
    } catch (const std::exception& e) {
        detail.problem = e.what();
        detail.fields.clear();
        detail.recno1 = detail.recno2 = 0;
        fromLines(detail, lines);
    }
    for (std::size_t i = 0; i < detail.fields.size(); ++i) {
        const DetailField& f = detail.fields[i];
        if (f.mark == FieldMark::Changed) ++detail.changed;
        if (detail.focus < 0 && d.field >= 0 && f.field1 == d.field)
            detail.focus = static_cast<int>(i);
    }
    return detail;
}

std::int64_t liveRecordCount(const data::SourceDescriptor& source, const std::string& table) {
    try {
        TableRecords records(source, table);
        return records.cursor().table().liveCount();
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace quorvel::wizard
