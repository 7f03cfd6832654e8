#include "results/merge.h"

#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "compare/difference_line.h"
#include "compare/field_pairing.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/format/field_info.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/source/new_table.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/write/field_encoder.h"
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
constexpr int kStepPutInPlace = 112;

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
        total_ = countTicked(fieldDifferences) + countTicked(addedDeleted);
        report();
        if (!stopRequested() && openSources() && copyTable1()) {
            updatePass(fieldDifferences);
            if (!stopRequested() && countTicked(addedDeleted) > 0) insertPass(addedDeleted);
            report();
            // The new table is let go before it moves or goes; its held
            // records are written first, and only then is it put in place.
            table2Rows_.reset();
            if (!stopRequested())
                outcome_.tableMade = attempt(kStepPutInPlace, nullptr, [&] {
                    source1_.finishTable();
                    newTable_->commit();
                });
            source1_.releaseTable();
            for (const auto& text : newTable_->indexMessages()) warn(text);
            // Not a fault: told as a warning to the command line, as a
            // plain message in the windows.
            if (const std::string& note = newTable_->scriptNote(); !note.empty()) {
                if (callbacks_.warning)
                    callbacks_.warning(note);
                else
                    dialogs_.message(note, frame::MessageButtons::Ok, frame::MessageIcon::None,
                                     frame::SetApplicationTitle());
            }
            newTable_.reset();  // what was not put in place goes with it
            if (outcome_.tableMade)
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

    // Between lines: the progress and the window's events, at the one pace.
    void pump() {
        if (!callbacks_.processEvents && !callbacks_.progress) return;
        if (!pace_.due()) return;
        report();
        if (callbacks_.processEvents) callbacks_.processEvents();
        pace_.done();
    }

    void report() const {
        if (callbacks_.progress) callbacks_.progress(done_, total_);
    }

    bool stopRequested() {
        if (!outcome_.stopped && callbacks_.stopRequested && callbacks_.stopRequested())
            outcome_.stopped = true;
        return outcome_.stopped;
    }

    // A statement on the new table.  The statements name it by its hidden
    // name; a failure names it by the name people gave it.
    template <typename Statement>
    void executeOnNewTable(const Statement& statement) {
        try {
            source1_.execute(statement);
        } catch (const foxpro::FoxProError& e) {
            std::string description = e.description();
            const std::string& hidden = newTable_->name();
            for (auto at = description.find(hidden); at != std::string::npos;
                 at = description.find(hidden, at + request_.newTableName.size()))
                description.replace(at, hidden.size(), request_.newTableName);
            throw foxpro::FoxProError(e.number(), description);
        }
    }

    bool openSources() {
        // Without both sources nothing could be applied: a lone copy of
        // Table #1 would look like a finished merge.
        if (!attempt(kStepOpenSource1, nullptr, [&] {
                source1_.setMode(foxpro::kModeReadWrite);
                source1_.open(data::connectionString(request_.source1));
            }))
            return false;
        if (!attempt(kStepOpenSource2, nullptr, [&] {
                source2_.setMode(foxpro::kModeReadWrite);
                source2_.open(data::connectionString(request_.source2));
            }))
            return false;
        // Table #2 is read line by line: held open (so locked against other
        // programs' writes) for the whole merge, every line reads the same
        // state of it, and its read joins this lock instead of taking one.
        // A table that cannot be opened is reported by the lines that read it.
        try {
            table2Held_ = source2_.source().openTable(request_.Table2Name);
        } catch (const foxpro::FoxProError&) {
        }
        return true;
    }

    // The copy is the one step the rest depends on: when it fails, no update
    // or insert may touch whatever table carries the new name.  It goes to
    // the new table's hidden name; no file of either source table may be
    // what the new name replaces.
    bool copyTable1() {
        const bool made = attempt(kStepCopy, nullptr, [&] {
            std::vector<std::string> keep = source1_.source().tableFiles(request_.Table1Name);
            for (auto& file : source2_.source().tableFiles(request_.Table2Name))
                keep.push_back(std::move(file));
            newTable_ = std::make_unique<foxpro::NewTable>(source1_.source(), request_.newTableName,
                                                           request_.replaceExisting, keep);
            newTable_->carryIndexOf(request_.Table1Name, request_.indexScript);
            source1_.execute(copyStatement(request_.Table1Name, newTable_->name()));
            // The updates and inserts that follow find it open.
            source1_.holdTable(newTable_->name(), true);
        });
        if (!made) newTable_.reset();
        // Also when the copy failed: what was left alone stays so.
        for (const auto& text : source1_.source().writeWarnings()) warn(text);
        return made;
    }

    void warn(const std::string& text) {
        if (callbacks_.warning)
            callbacks_.warning(text);
        else
            dialogs_.message(text, frame::MessageButtons::Ok, frame::MessageIcon::Exclamation,
                             frame::SetApplicationTitle());
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
            codePage1_ = rs.layout().codePage;
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

    // The name a statement gives a field of the new table: the one its header
    // stores, a copy of Table #1's.  A container's long name cut to ten
    // characters may be another field's (CONTACT_TY for "contact_type", whose
    // header says CONTACT_T2).
    static const std::string& statementName(const foxpro::FieldInfo& field) {
        return field.storedName.empty() ? field.name : field.storedName;
    }

    // The statements name a field, and a name finds the first field that
    // carries it: a table written by another program may hold a name twice
    // (Point_ID as C and again as N), and the later field cannot be reached.
    // Its lines fail rather than write into the earlier one.
    void refuseUnreachable(const foxpro::FieldInfo& target) {
        const auto& fields = targetFields();
        // Every line asks; the answer for a field does not change.
        const auto position = static_cast<std::size_t>(&target - fields.data());
        reachable_.resize(fields.size(), false);
        if (reachable_[position]) return;
        const std::string name = statementName(target);
        std::size_t first = 0;
        while (first < fields.size() && !sameName(statementName(fields[first]), name)) ++first;
        if (first == fields.size() || &fields[first] == &target) {
            reachable_[position] = true;
            return;
        }
        throw std::invalid_argument(request_.Table1Name + ": field " +
                                    std::to_string(&target - fields.data() + 1) + " is named " +
                                    name + " like field " + std::to_string(first + 1) +
                                    ", and a merge reaches only the first field of a name, so it"
                                    " is not written");
    }

    // How Table #2's fields pair with the new table's (Table #1's), as the
    // comparison paired them: a free copy's COMPANYNAM takes a container's
    // companyname and the other way round.
    const compare::FieldPairing& fieldPairing(const foxpro::Recordset& table2) {
        if (!pairing_) {
            std::vector<std::string> names1;
            std::vector<std::string> stored1;
            for (const auto& f : targetFields()) {
                names1.push_back(f.name);
                stored1.push_back(f.storedName);
            }
            pairing_ = compare::pairFieldNames(names1, compare::fieldNames(table2), stored1,
                                               compare::storedFieldNames(table2));
        }
        return *pairing_;
    }

    // Record n of Table #2 as the comparison counts records (the n-th live
    // one in stored order), read through source #2 by one record set for
    // the whole merge: lines in record order walk it, others look the
    // record up; no more than one record of Table #2 is held.
    foxpro::Recordset& readTable2Record(std::int64_t n) {
        if (!table2Rows_) {
            auto rows = std::make_unique<foxpro::Recordset>();
            rows->open("SELECT * FROM [" + request_.Table2Name + "]", source2_, foxpro::kOpenStatic,
                       foxpro::kLockOptimistic);
            table2Rows_ = std::move(rows);
        }
        table2Rows_->moveTo(n);
        if (table2Rows_->eof()) throw noRecord(n);
        return *table2Rows_;
    }

    std::runtime_error noRecord(std::int64_t n) const {
        return std::runtime_error(request_.Table2Name + " has no record " + std::to_string(n));
    }

    void updatePass(const MergeList& list) {
        for (int i = 0; i < list.count(); ++i) {
            pump();
            if (stopRequested()) return;
            if (i >= list.count() || !list.checked(i)) continue;
            ++done_;
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
        const foxpro::Recordset& record = readTable2Record(d.record2);
        const auto position = static_cast<std::size_t>(&target - targetFields().data());
        const int index = fieldPairing(record).partner1[position];
        if (index < 0)
            throw std::invalid_argument("field " + field + " not found in " + request_.Table2Name);
        refuseUnreachable(target);
        const std::string& name = statementName(target);
        // Filled in place: its names and its value keep their memory.
        auto& update = std::get<foxpro::UpdateStatement>(update_);
        if (updateReadsBack(newTable_->name(), name, d.record1) &&
            parsedLiteralInto(update.value, record, index, target)) {
            update.table = newTable_->name();
            update.field = name;
            update.recno = d.record1;
            return executeOnNewTable(update_);
        }
        executeOnNewTable(
            updateStatement(newTable_->name(), name, literalOf(record, index, target), d.record1));
    }

    // Field index of Table #2's current record as the literal for target.
    // Text with bytes its code page cannot decode reads as stand-in
    // characters, which would be written back as other bytes (in UTF-8
    // above all): into a field of the same code page it goes as the bytes
    // it is stored as.
    std::string literalOf(const foxpro::Recordset& record, int index,
                          const foxpro::FieldInfo& target) {
        const foxpro::Value value = record.value(index);
        const foxpro::FieldInfo& source = record.field(index);
        if (!asStoredBytes(record, value, source, target)) return sqlLiteral(value, source, target);
        return bytesLiteral(storedBytes(record, index, source));
    }

    // The same literal as the parser reads its text back, into `into`;
    // false when only the text gets the parser's answer.
    bool parsedLiteralInto(foxpro::Literal& into, const foxpro::Recordset& record, int index,
                           const foxpro::FieldInfo& target) {
        const foxpro::FieldInfo& source = record.field(index);
        if (storedForm(record, index, source, target, into.text)) {
            into.kind = foxpro::Literal::Kind::Stored;
            return true;
        }
        const foxpro::Value value = record.value(index);
        auto literal = asStoredBytes(record, value, source, target)
                           ? parsedBytesLiteral(storedBytes(record, index, source))
                           : parsedLiteral(value, source, target);
        if (!literal) return false;
        into = *std::move(literal);
        return true;
    }

    // A value of Table #2 stored just as the new table's field stores it (a
    // field of the same shape, not null, isStoredForm): its stored bytes,
    // put into `bytes`, are what reading the value and writing it into the
    // new field would give, so it need not be read.  False otherwise.
    static bool storedForm(const foxpro::Recordset& record, int index,
                           const foxpro::FieldInfo& source, const foxpro::FieldInfo& target,
                           std::string& bytes) {
        if (source.letter != target.letter || source.width != target.width || source.memo ||
            target.memo)
            return false;
        if ((source.letter == 'N' || source.letter == 'F') && source.decimals != target.decimals)
            return false;
        const auto raw = record.rawRecord();
        if (record.table().isNull(raw, index)) return false;
        const auto* at = reinterpret_cast<const char*>(raw.data()) + source.offset;
        const std::string_view stored(at, static_cast<std::size_t>(source.width));
        if (!foxpro::isStoredForm(target, stored)) return false;
        bytes.assign(stored);
        return true;
    }

    bool asStoredBytes(const foxpro::Recordset& record, const foxpro::Value& value,
                       const foxpro::FieldInfo& source, const foxpro::FieldInfo& target) {
        const bool text = target.letter == 'C' || target.letter == 'V' || target.letter == 'M';
        return !value.decodedCleanly() && value.kind() == foxpro::Value::Kind::Text && text &&
               target.memo == source.memo && record.layout().codePage == codePage1();
    }

    static std::string storedBytes(const foxpro::Recordset& record, int index,
                                   const foxpro::FieldInfo& source) {
        const auto raw = record.rawRecord();
        if (source.memo) return record.table().memo(raw, index).data;
        return std::string(record.table().storedText(raw, index));
    }

    // The code page of the new table's text: Table #1's.
    int codePage1() {
        targetFields();
        return codePage1_;
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
            if (stopRequested()) return;
            if (i >= list.count() || !list.checked(i)) continue;
            ++done_;
            // Ticked Deleted differences are skipped: those records stay.
            const compare::Difference d = list.difference(i);
            if (d.kind != compare::DifferenceKind::Added) continue;
            if (attempt(kStepInsert, &d, [&] { insertRecord(d.record2); }))
                ++outcome_.recordsAdded;
            else
                ++outcome_.linesFailed;
        }
    }

    // Which of Table #2's columns go where in the new table: paired as the
    // comparison pairs fields, so that tables whose columns differ in order
    // or number keep every value in its own column.
    struct ColumnMap {
        std::vector<int> sourceIndex;                  // Table #2 column
        std::vector<const foxpro::FieldInfo*> target;  // the new table's field
        bool sameColumns = false;                      // no column list needed
    };

    const ColumnMap& columnMap(const foxpro::Recordset& record) {
        if (columnMap_) return *columnMap_;
        const auto& fields = targetFields();
        const compare::FieldPairing& pairing = fieldPairing(record);
        ColumnMap map;
        map.sameColumns = record.fieldCount() == static_cast<int>(fields.size());
        for (int j = 0; j < record.fieldCount(); ++j) {
            const int i = pairing.partner2[static_cast<std::size_t>(j)];
            if (i != j) map.sameColumns = false;
            if (i < 0) continue;
            map.sourceIndex.push_back(j);
            map.target.push_back(&fields[static_cast<std::size_t>(i)]);
        }
        if (map.target.empty())
            throw std::invalid_argument(request_.newTableName + " and " + request_.Table2Name +
                                        " have no field in common");
        columnMap_ = std::move(map);
        return *columnMap_;
    }

    // Record n of Table #2 appended to the new table.
    void insertRecord(std::int64_t n) {
        const foxpro::Recordset& record = readTable2Record(n);
        const ColumnMap& map = columnMap(record);
        // One statement for every insert, filled in place; its names are
        // the same each time and checked once.
        auto& insert = std::get<foxpro::InsertStatement>(insert_);
        if (!insertChecked_) {
            insert.table = newTable_->name();
            insert.columns.clear();
            if (!map.sameColumns)
                for (const auto* target : map.target)
                    insert.columns.push_back(statementName(*target));
            insertReadsBack_ = insertReadsBack(insert.table, insert.columns);
            insertChecked_ = true;
        }
        insert.values.resize(map.target.size());
        bool parsed = insertReadsBack_;
        for (std::size_t k = 0; parsed && k < map.target.size(); ++k) {
            pump();
            if (!map.sameColumns) refuseUnreachable(*map.target[k]);
            parsed =
                parsedLiteralInto(insert.values[k], record, map.sourceIndex[k], *map.target[k]);
        }
        if (parsed) return executeOnNewTable(insert_);
        insertByText(record, map);
    }

    // The insert as its text, for values or names whose text the parser
    // must read itself.
    void insertByText(const foxpro::Recordset& record, const ColumnMap& map) {
        std::vector<std::string> columns;
        std::vector<std::string> values;
        for (std::size_t k = 0; k < map.target.size(); ++k) {
            if (!map.sameColumns) {
                refuseUnreachable(*map.target[k]);
                columns.push_back(statementName(*map.target[k]));
            }
            values.push_back(literalOf(record, map.sourceIndex[k], *map.target[k]));
        }
        executeOnNewTable(insertStatement(newTable_->name(), columns, values));
    }

    const MergeRequest& request_;
    frame::Dialogs& dialogs_;
    const MergeCallbacks& callbacks_;
    frame::ErrorTrap trap_;
    frame::EventPace pace_;
    MergeOutcome outcome_;
    foxpro::Connection source1_;
    foxpro::Connection source2_;
    std::unique_ptr<foxpro::TableReader> table2Held_;
    std::unique_ptr<foxpro::Recordset> table2Rows_;  // Table #2's records, opened on first use
    std::unique_ptr<foxpro::NewTable> newTable_;     // until it is in place
    std::int64_t done_ = 0;                          // ticked lines reached
    std::int64_t total_ = 0;                         // ticked lines of both lists, at the start
    std::optional<std::vector<foxpro::FieldInfo>> targetFields_;
    std::optional<ColumnMap> columnMap_;
    int codePage1_ = 0;
    std::optional<compare::FieldPairing> pairing_;
    std::vector<bool> reachable_;  // by position among targetFields(): known reachable
    // The statements handed over whole, one of each kind reused for every
    // line, so that their names keep their memory.
    foxpro::Statement update_ = foxpro::UpdateStatement{};
    foxpro::Statement insert_ = foxpro::InsertStatement{};
    bool insertChecked_ = false;    // insert_'s table and columns are set
    bool insertReadsBack_ = false;  // and their texts would read back
};

}  // namespace

ListOfKind::ListOfKind(const compare::DifferenceList& differences, compare::LineList list,
                       bool ticked)
    : differences_(differences), ticked_(ticked) {
    for (std::size_t i = 0; i < differences.size(); ++i)
        if (compare::listOf(differences.kind(i)) == list) rows_.push_back(i);
}

std::vector<std::string> ExistingNewTableFiles(const MergeRequest& request) {
    std::vector<std::string> paths;
    try {
        const auto source = foxpro::DataSource::open(request.source1.dataPath());
        const foxpro::NewTableTarget target = foxpro::locateNewTable(*source, request.newTableName);
        for (const auto& file : foxpro::existingFilesOf(target))
            paths.push_back(target.folder + "/" + file);
    } catch (const foxpro::FoxProError&) {
    }
    return paths;
}

std::string NewTableNameRefusal(const MergeRequest& request) {
    constexpr const char* kChooseAnother = ": choose another name for the new table.";
    foxpro::NewTableTarget target;
    try {
        const auto source1 = foxpro::DataSource::open(request.source1.dataPath());
        target = foxpro::locateNewTable(*source1, request.newTableName);
        if (foxpro::newTableIsTableOf(target, *source1, request.Table1Name))
            return request.newTableName + " is Table #1" + kChooseAnother;
    } catch (const foxpro::FoxProError&) {
        return "";
    }
    try {
        const auto source2 = foxpro::DataSource::open(request.source2.dataPath());
        if (foxpro::newTableIsTableOf(target, *source2, request.Table2Name))
            return request.newTableName + " is Table #2" + kChooseAnother;
    } catch (const foxpro::FoxProError&) {
    }
    for (const auto& file : foxpro::existingFilesOf(target))
        if (!foxpro::platform::namesRegularFile(target.folder + "/" + file))
            return target.folder + "/" + file + " is not a regular file" + kChooseAnother;
    return "";
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
