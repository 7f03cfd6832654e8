#include "compare/compare.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <utility>

#include "compare/auto_key.h"
#include "compare/field_name.h"
#include "compare/field_pairing.h"
#include "compare/pairing_walks.h"
#include "compare/table_pair.h"
#include "compare/walk_pacer.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "frame/error_trap.h"

namespace quorvel::compare {

namespace {

using foxpro::Connection;
using foxpro::FoxProError;
using foxpro::Recordset;
using foxpro::Value;

constexpr const char* kLocationCompare = "Compare1.Compare";
constexpr const char* kLocationCompareTables = "Compare1.CompareTables";

// Step numbers of CompareTables, in the order of its algorithm.
constexpr int kStepConnection1 = 102;
constexpr int kStepConnection2 = 104;
constexpr int kStepFieldList = 106;
constexpr int kStepCursor1 = 108;
constexpr int kStepCursor2 = 110;
constexpr int kStepMoveFirst = 112;
constexpr int kStepCount = 114;
constexpr int kStepWalk = 116;
constexpr int kStepClose = 118;

// The silent trap tries a failing step again, but not for ever.
constexpr int kSilentAttempts = 3;

// The record count as a 32-bit integer, whatever numeric kind it came as.
std::int64_t countOf(const Value& count) {
    switch (count.kind()) {
        case Value::Kind::Integer:
            return static_cast<std::int32_t>(count.asInteger());
        case Value::Kind::Decimal:
            return static_cast<std::int32_t>(std::strtoll(count.str().c_str(), nullptr, 10));
        case Value::Kind::Double:
            return static_cast<std::int32_t>(count.asDouble());
        default:
            throw FoxProError(foxpro::kErrorInvalidArgument, "the record count is not a number");
    }
}

// One CompareTables call: the five access objects and what the walk found.
class Walk {
  public:
    Walk(const data::SourceDescriptor& source1, const data::SourceDescriptor& source2,
         const std::string& table1, const std::string& table2, const foxpro::TextLocale& locale,
         frame::Dialogs& dialogs, const CompareCallbacks& callbacks, int progressStart,
         const RecordPairing& pairing, const CompareOptions& options)
        : source1_(source1),
          source2_(source2),
          table1_(table1),
          table2_(table2),
          locale_(locale),
          pairing_(pairing),
          options_(options),
          callbacks_(callbacks),
          trap_(dialogs, kLocationCompareTables),
          pacer_(callbacks, progressStart) {}

    CompareResult run() {
        // Step 100 (creating the objects, setting the mode) cannot fail here.
        connection1_.setMode(foxpro::kModeReadWrite);
        connection2_.setMode(foxpro::kModeReadWrite);

        // A step that leaves nothing to compare ends the walk; the objects
        // opened so far are closed all the same.
        if (reported(kStepConnection1,
                     [&] { connection1_.open(data::connectionString(source1_)); }) &&
            reported(kStepConnection2,
                     [&] { connection2_.open(data::connectionString(source2_)); }) &&
            silent(kStepFieldList,
                   [&] { openTable(fieldList_, table1_, connection1_, foxpro::kOpenStatic); }) &&
            silent(kStepCursor1,
                   [&] { openTable(cursor1_, table1_, connection1_, foxpro::kOpenDynamic); }) &&
            silent(kStepCursor2,
                   [&] { openTable(cursor2_, table2_, connection2_, foxpro::kOpenDynamic); }) &&
            reported(kStepMoveFirst, [&] {
                moveFirst(cursor1_);
                moveFirst(cursor2_);
            })) {
            // The count only scales the progress bar: a failure is reported
            // and the walk runs without a scale.
            trap_.at(kStepCount, [&] {
                if (pairing_.by == Pairing::Position) {
                    pacer_.setScale(
                        countOf(connection1_.execute("SELECT COUNT(*) FROM [" + table1_ + "]")));
                } else {
                    // Both tables are read twice.  The records the files
                    // hold, deleted ones too, are scale enough for the bar;
                    // counting the live ones would read every page once more.
                    pacer_.setScale(
                        2 * (cursor1_.table().storedCount() + cursor2_.table().storedCount()));
                }
            });
            reported(kStepWalk, [&] { walk(); });
        }
        for (const Recordset* cursor : {&cursor1_, &cursor2_})
            if (cursor->isOpen())
                for (const auto& w : cursor->table().warnings()) result_.warnings.push_back(w);
        for (auto& w : walkWarnings_) result_.warnings.push_back(std::move(w));
        trap_.at(kStepClose, [&] { close(); });
        return std::move(result_);
    }

  private:
    static void openTable(Recordset& recordset, const std::string& table, Connection& connection,
                          int cursorType) {
        recordset.open("SELECT * FROM [" + table + "]", connection, cursorType,
                       foxpro::kLockOptimistic);
    }

    // An empty table has no first record; only that failure is ignored,
    // since a table that cannot be read must not pass for an empty one.
    static void moveFirst(Recordset& recordset) {
        try {
            recordset.moveFirst();
        } catch (const FoxProError& e) {
            if (e.number() != foxpro::kErrorNoCurrentRecord) throw;
        }
    }

    void fail(const std::string& reason) {
        if (result_.status == CompareStatus::Completed) result_.failure = reason;
        result_.status = CompareStatus::CouldNotCompare;
    }

    // A step whose failure leaves the tables not compared.
    bool reported(int step, const std::function<void()>& fn) {
        if (trap_.at(step, fn)) return true;
        fail(trap_.lastFailure());
        return false;
    }

    // The silent trap of the record-set openings: a failure is tried again,
    // at most kSilentAttempts times in all, except 3010 and 3265, which no
    // retry mends; a step that keeps failing is then reported.
    bool silent(int step, const std::function<void()>& fn) {
        const auto retryable = [](const std::exception_ptr& failure) {
            try {
                std::rethrow_exception(failure);
            } catch (const FoxProError& e) {
                return e.number() != foxpro::kErrorUnsafeOperation &&
                       e.number() != foxpro::kErrorItemNotFound;
            } catch (...) {
                return true;
            }
        };
        if (trap_.retried(step, kSilentAttempts, retryable, fn)) return true;
        fail(trap_.lastFailure());
        return false;
    }

    // Every ignored field must pick one of Table #1's.
    void checkIgnoredFields(const TablePair& tables) const {
        const std::vector<std::string> names1 = fieldNames(fieldList_);
        const std::vector<std::string> names2 = fieldNames(cursor2_);
        for (const auto& name : options_.ignoredFields)
            if (pickField1(tables.fieldPairing(), names1, names2, name) < 0)
                throw std::invalid_argument("ignored field " + name + " not found in Table #1 (" +
                                            table1_ + ")");
    }

    void walk() {
        TablePair tables(fieldList_, cursor1_, cursor2_, locale_, options_);
        // What the comparison has to say is told even when it fails later.
        struct Told {
            const TablePair& tables;
            std::vector<std::string>& warnings;
            ~Told() {
                warnings.insert(warnings.end(), tables.warnings().begin(), tables.warnings().end());
            }
        } told{tables, walkWarnings_};
        checkIgnoredFields(tables);
        if (options_.structure) {
            result_.structure = tables.structureDifferences();
            if (callbacks_.structureFound) callbacks_.structureFound(result_.structure);
        }
        auto& differences = result_.differences;
        differences = DifferenceList(table2_, tables.fieldNames1());
        if (callbacks_.differenceFound)
            differences.setSink(callbacks_.differenceFound, callbacks_.keepDifferences);
        pacer_.report(0);
        switch (pairing_.by) {
            case Pairing::Key:
                walkByKey(tables, pairing_, table1_, table2_, locale_, differences,
                          result_.duplicateKeys, pacer_);
                break;
            case Pairing::Content:
                walkByContent(tables, differences, pacer_);
                break;
            case Pairing::Auto:  // settled by Compare
            case Pairing::Position:
                walkByPosition(tables, differences, pacer_);
                return;
        }
        pacer_.finish();
    }

    void close() {
        // Every object is closed even when an earlier one fails to.
        std::exception_ptr first;
        auto attempt = [&](auto&& fn) {
            try {
                fn();
            } catch (...) {
                if (!first) first = std::current_exception();
            }
        };
        attempt([&] {
            if (cursor1_.isOpen()) cursor1_.close();
        });
        attempt([&] {
            if (cursor2_.isOpen()) cursor2_.close();
        });
        attempt([&] {
            if (fieldList_.isOpen()) fieldList_.close();
        });
        attempt([&] {
            if (connection1_.isOpen()) connection1_.close();
        });
        attempt([&] {
            if (connection2_.isOpen()) connection2_.close();
        });
        if (first) std::rethrow_exception(first);
    }

    const data::SourceDescriptor& source1_;
    const data::SourceDescriptor& source2_;
    const std::string& table1_;
    const std::string& table2_;
    const foxpro::TextLocale& locale_;
    const RecordPairing& pairing_;
    const CompareOptions& options_;
    const CompareCallbacks& callbacks_;
    frame::ErrorTrap trap_;
    WalkPacer pacer_;

    Connection connection1_;
    Connection connection2_;
    Recordset fieldList_;
    Recordset cursor1_;
    Recordset cursor2_;
    CompareResult result_;
    std::vector<std::string> walkWarnings_;  // TablePair::warnings
};

}  // namespace

CompareResult CompareTables(const data::SourceDescriptor& source1,
                            const data::SourceDescriptor& source2, const std::string& table1,
                            const std::string& table2, const foxpro::TextLocale& locale,
                            frame::Dialogs& dialogs, const CompareCallbacks& callbacks,
                            int progressStart, const RecordPairing& pairing,
                            const CompareOptions& options) {
    Walk walk(source1, source2, table1, table2, locale, dialogs, callbacks, progressStart, pairing,
              options);
    return walk.run();
}

CompareResult Compare(const data::SourceDescriptor& source1, const data::SourceDescriptor& source2,
                      const std::string& table1, const std::string& table2,
                      const foxpro::TextLocale& locale, frame::Dialogs& dialogs,
                      const CompareCallbacks& callbacks, const RecordPairing& pairing,
                      const CompareOptions& options) {
    // Step 100 set the progress start; 102 is the walk, which traps its own
    // failures: only running out of memory gets here.
    CompareResult result;
    // The table's own key is chosen here, for every caller alike; an index
    // that cannot be read only leaves the next rule to choose.
    RecordPairing used = pairing;
    AutoKey chosen;
    if (pairing.by == Pairing::Auto) {
        try {
            chosen = resolveAutoKey(source1, source2, table1, table2);
        } catch (const std::exception&) {
            chosen.pairing.note = "position (no primary or candidate key)";
        }
        used = chosen.pairing;
    }
    frame::ErrorTrap trap(dialogs, kLocationCompare);
    if (!trap.at(102, [&] {
            result = CompareTables(source1, source2, table1, table2, locale, dialogs, callbacks,
                                   ProgressStart, used, options);
        })) {
        result = CompareResult{};
        result.status = CompareStatus::CouldNotCompare;
        result.failure = trap.lastFailure();
    }
    result.pairing = used;
    result.pairingNotes = std::move(chosen.notes);
    for (auto& w : chosen.warnings) result.warnings.insert(result.warnings.begin(), std::move(w));
    return result;
}

std::vector<std::string> sharedFieldNames(const data::SourceDescriptor& source1,
                                          const data::SourceDescriptor& source2,
                                          const std::string& table1, const std::string& table2) {
    Connection connection1;
    Connection connection2;
    connection1.open(data::connectionString(source1));
    connection2.open(data::connectionString(source2));
    Recordset fields1;
    Recordset fields2;
    fields1.open("SELECT * FROM [" + table1 + "]", connection1);
    fields2.open("SELECT * FROM [" + table2 + "]", connection2);
    const std::vector<std::string> names1 = fieldNames(fields1);
    const FieldPairing pairing = pairTableFields(fields1, fields2);
    std::vector<std::string> shared;
    for (std::size_t i = 0; i < names1.size(); ++i) {
        if (pairing.partner1[i] < 0) continue;
        const std::string& name = names1[i];
        const std::string upper = upperFieldName(name);
        // A name twice in Table #1 is offered once: a key field is found by name.
        bool seen = false;
        for (const auto& s : shared) seen = seen || upperFieldName(s) == upper;
        if (!seen) shared.push_back(name);
    }
    return shared;
}

std::vector<std::string> tableFieldNames(const data::SourceDescriptor& source,
                                         const std::string& table) {
    Connection connection;
    connection.open(data::connectionString(source));
    Recordset fields;
    fields.open("SELECT * FROM [" + table + "]", connection);
    return fieldNames(fields);
}

}  // namespace quorvel::compare
