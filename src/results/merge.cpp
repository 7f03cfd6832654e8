#include "results/merge.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

#include "compare/difference_line.h"
#include "foxpro/ascii_case.h"
#include "foxpro/connection.h"
#include "foxpro/field_info.h"
#include "foxpro/recordset.h"
#include "frame/app_info.h"
#include "frame/error_trap.h"
#include "frame/event_pace.h"
#include "results/merge_statements.h"
#include "results/sql_literal.h"

namespace quorvel::results {

namespace {

// Step numbers of the error reports, one per stage of the merge.
constexpr int kStepOpenSource1 = 100;
constexpr int kStepOpenSource2 = 102;
constexpr int kStepCopy = 104;
constexpr int kStepUpdate = 106;
constexpr int kStepInsert = 110;

bool sameName(const std::string& a, const std::string& b) {
    return foxpro::equalsNoCase(a, b);
}

// Everything one merge keeps while it runs: the two connections, the
// new table's fields and at most one record of Table #2.
class Merge {
  public:
    Merge(const MergeRequest& request, frame::Dialogs& dialogs, const MergeCallbacks& callbacks)
        : request_(request),
          dialogs_(dialogs),
          callbacks_(callbacks),
          trap_(dialogs, kMergeLocation) {}

    MergeOutcome run(const MergeList& fieldDifferences, const MergeList& addedDeleted) {
        if (openSources() && copyTable1()) {
            updatePass(fieldDifferences);
            if (countTicked(addedDeleted) > 0) insertPass(addedDeleted);
            dialogs_.message("Done.", frame::MessageButtons::Ok, frame::MessageIcon::None,
                             frame::SetApplicationTitle());
        }
        outcome_.failures = trap_.failures();
        return outcome_;
    }

  private:
    // Runs fn as the given step; a failure is reported and told to the
    // caller with the line of the difference it was applying (none for the
    // connections and the copy).  Returns whether fn finished.
    bool attempt(int step, const compare::Difference* difference, const std::function<void()>& fn) {
        if (trap_.at(step, fn)) return true;
        if (callbacks_.failed)
            callbacks_.failed(difference ? compare::lineText(*difference) : std::string(),
                              trap_.lastFailure());
        return false;
    }

    void pump() { pace_.pump(callbacks_.processEvents); }

    bool openSources() {
        // Without both sources nothing could be applied: a lone copy of
        // Table #1 would look like a finished merge.
        if (!attempt(kStepOpenSource1, nullptr, [&] {
                source1_.setMode(foxpro::kModeReadWrite);
                source1_.open(data::connectionString(request_.source1));
            }))
            return false;
        return attempt(kStepOpenSource2, nullptr, [&] {
            source2_.setMode(foxpro::kModeReadWrite);
            source2_.open(data::connectionString(request_.source2));
        });
    }

    // The copy is the one step the rest depends on: when it fails, no update
    // or insert may touch whatever table carries the new name.
    bool copyTable1() {
        outcome_.tableMade = attempt(kStepCopy, nullptr, [&] {
            refuseReplacingTable2();
            source1_.execute(copyStatement(request_.Table1Name, request_.newTableName));
        });
        return outcome_.tableMade;
    }

    // The copy replaces an existing free table of the new name, and the
    // merge reads Table #2 after the copy: a new name that is Table #2 (in
    // the folder the copy writes to) would destroy a source table and then
    // read back the copy.  Container tables are never replaced by the copy.
    void refuseReplacingTable2() const {
        namespace fs = std::filesystem;
        if (request_.source2.optionDBC) return;
        fs::path target = request_.source1.optionDBC
                              ? fs::path(request_.source1.dbcPath).parent_path()
                              : fs::path(request_.source1.folderText);
        if (target.empty()) target = ".";
        std::error_code ec;
        if (!fs::equivalent(target, fs::path(request_.source2.folderText), ec)) return;
        if (!sameName(withoutDbf(request_.newTableName), withoutDbf(request_.Table2Name))) return;
        throw std::invalid_argument(request_.newTableName + ": the new table would replace " +
                                    request_.Table2Name + " (Table #2)");
    }

    static std::string withoutDbf(const std::string& name) {
        const std::string lower = foxpro::lowerAscii(name);
        return lower.size() > 4 && lower.ends_with(".dbf") ? lower.substr(0, lower.size() - 4)
                                                           : lower;
    }

    // The new table's fields, known from Table #1: the copy has its fields
    // in its order and types.  Table #1 is always reachable through source
    // #1, while a copy made from a container is a free table beside it,
    // which the container's connection writes to but does not list; there
    // its names are cut to ten characters and the statements' long names
    // still find them.
    const std::vector<foxpro::FieldInfo>& targetFields() {
        if (!targetFields_) {
            foxpro::Recordset rs;
            rs.open("SELECT * FROM [" + request_.Table1Name + "]", source1_, foxpro::kOpenStatic,
                    foxpro::kLockOptimistic);
            std::vector<foxpro::FieldInfo> fields;
            for (int i = 0; i < rs.fieldCount(); ++i) fields.push_back(rs.field(i));
            rs.close();
            targetFields_ = std::move(fields);
        }
        return *targetFields_;
    }

    // The new table's field of a difference: the copy has Table #1's fields
    // at their positions; by name when the position does not hold it.
    const foxpro::FieldInfo& targetField(const compare::Difference& d) {
        const auto& fields = targetFields();
        const std::string name(d.fieldName);
        if (d.field >= 0 && static_cast<std::size_t>(d.field) < fields.size() &&
            sameName(fields[static_cast<std::size_t>(d.field)].name, name))
            return fields[static_cast<std::size_t>(d.field)];
        for (const auto& f : fields)
            if (sameName(f.name, name)) return f;
        throw std::invalid_argument("field " + name + " not found in " + request_.newTableName);
    }

    // Record n of Table #2, read through source #2 with the record
    // selector, as the comparison counts records (the n-th live one in
    // stored order).  The record set is the caller's, open for one line: no
    // more than one record of Table #2 is held.
    void readTable2Record(foxpro::Recordset& record, std::int64_t n) {
        record.open("SELECT * FROM [" + request_.Table2Name + "] WHERE " + recordSelector(n),
                    source2_, foxpro::kOpenStatic, foxpro::kLockOptimistic);
        if (record.eof()) throw noRecord(n);
    }

    std::runtime_error noRecord(std::int64_t n) const {
        return std::runtime_error(request_.Table2Name + " has no record " + std::to_string(n));
    }

    void updatePass(const MergeList& list) {
        for (int i = 0; i < list.count(); ++i) {
            pump();
            if (i >= list.count() || !list.checked(i)) continue;
            // Missing-field differences change nothing.
            const compare::Difference d = list.difference(i);
            if (d.kind != compare::DifferenceKind::Changed) continue;
            if (attempt(kStepUpdate, &d, [&] { updateField(d); }))
                ++outcome_.fieldsUpdated;
            else
                ++outcome_.linesFailed;
        }
    }

    // Field d.field of record record1 of the new table takes Table #2's own
    // value of that field in record record2.
    void updateField(const compare::Difference& d) {
        const std::string field(d.fieldName);
        const foxpro::FieldInfo& target = targetField(d);
        std::string literal;
        {
            foxpro::Recordset record;
            readTable2Record(record, d.record2);
            const int index = record.fieldIndex(field);
            literal = sqlLiteral(record.value(index), record.field(index), target);
        }
        source1_.execute(updateStatement(request_.newTableName, field, literal, d.record1));
    }

    int countTicked(const MergeList& list) {
        int ticked = 0;
        for (int i = 0; i < list.count(); ++i) {
            pump();
            if (i < list.count() && list.checked(i)) ++ticked;
        }
        return ticked;
    }

    void insertPass(const MergeList& list) {
        for (int i = 0; i < list.count(); ++i) {
            pump();
            if (i >= list.count() || !list.checked(i)) continue;
            // Ticked Deleted differences are skipped: those records stay.
            const compare::Difference d = list.difference(i);
            if (d.kind != compare::DifferenceKind::Added) continue;
            if (attempt(kStepInsert, &d, [&] { insertRecord(d.record2); }))
                ++outcome_.recordsAdded;
            else
                ++outcome_.linesFailed;
        }
    }

    // Which of Table #2's columns go where in the new table: matched by name
    // without case, so that tables whose columns differ in order or number
    // keep every value in its own column.
    struct ColumnMap {
        std::vector<int> sourceIndex;                  // Table #2 column
        std::vector<const foxpro::FieldInfo*> target;  // the new table's field
        bool sameColumns = false;                      // no column list needed
    };

    const ColumnMap& columnMap(const foxpro::Recordset& record) {
        if (columnMap_) return *columnMap_;
        const auto& fields = targetFields();
        ColumnMap map;
        map.sameColumns = record.fieldCount() == static_cast<int>(fields.size());
        for (int j = 0; j < record.fieldCount(); ++j) {
            const std::string& name = record.field(j).name;
            const foxpro::FieldInfo* match = nullptr;
            for (const auto& f : fields) {
                if (sameName(f.name, name)) {
                    match = &f;
                    break;
                }
            }
            if (match == nullptr || (map.sameColumns && match != &fields[j]))
                map.sameColumns = false;
            if (match == nullptr) continue;
            map.sourceIndex.push_back(j);
            map.target.push_back(match);
        }
        if (map.target.empty())
            throw std::invalid_argument(request_.newTableName + " and " + request_.Table2Name +
                                        " have no field in common");
        columnMap_ = std::move(map);
        return *columnMap_;
    }

    // Record n of Table #2 appended to the new table.
    void insertRecord(std::int64_t n) {
        std::vector<std::string> columns;
        std::vector<std::string> values;
        {
            foxpro::Recordset record;
            readTable2Record(record, n);
            const ColumnMap& map = columnMap(record);
            for (std::size_t k = 0; k < map.target.size(); ++k) {
                pump();
                if (!map.sameColumns) columns.push_back(map.target[k]->name);
                const int j = map.sourceIndex[k];
                values.push_back(sqlLiteral(record.value(j), record.field(j), *map.target[k]));
            }
        }
        source1_.execute(insertStatement(request_.newTableName, columns, values));
    }

    const MergeRequest& request_;
    frame::Dialogs& dialogs_;
    const MergeCallbacks& callbacks_;
    frame::ErrorTrap trap_;
    frame::EventPace pace_;
    MergeOutcome outcome_;
    foxpro::Connection source1_;
    foxpro::Connection source2_;
    std::optional<std::vector<foxpro::FieldInfo>> targetFields_;
    std::optional<ColumnMap> columnMap_;
};

}  // namespace

ListOfKind::ListOfKind(const compare::DifferenceList& differences, compare::LineList list,
                       bool ticked)
    : differences_(differences), ticked_(ticked) {
    for (std::size_t i = 0; i < differences.size(); ++i)
        if (compare::listOf(differences[i].kind) == list) rows_.push_back(i);
}

MergeOutcome MergeIntoNewTable(const MergeRequest& request, const MergeList& fieldDifferences,
                               const MergeList& addedDeleted, frame::Dialogs& dialogs,
                               const MergeCallbacks& callbacks) {
    // The request is copied: the caller's fields may change while events run.
    const MergeRequest fixed = request;
    Merge merge(fixed, dialogs, callbacks);
    return merge.run(fieldDifferences, addedDeleted);
}

}  // namespace quorvel::results
