#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compare/compare_options.h"
#include "compare/difference_list.h"
#include "compare/pairing.h"
#include "compare/structure_difference.h"
#include "data/source_descriptor.h"
#include "foxpro/text/text_locale.h"
#include "frame/dialogs.h"
#include "frame/event_pace.h"

namespace quorvel::compare {

// The progress value at which the walk's scale begins (0 to 100 overall).
inline constexpr int ProgressStart = 5;

// How long the walk works between two calls of processEvents, so that a
// window stays responsive without the walk living in the event loop.
inline constexpr int kEventIntervalMs = static_cast<int>(frame::kEventInterval.count());

// What the caller lets the walk do while it runs.  Both are optional: an
// empty function is not called.
struct CompareCallbacks {
    // value in 0..100, never decreasing during one walk; text
    // "Processing field: " + the number of record pairs done.  Called when
    // the walk starts, before every processEvents and once at the end.
    std::function<void(int value, const std::string& text)> progress;
    // The same moments as numbers, for a progress display of its own: the
    // record pairs walked so far and Table #1's record count (0 when it
    // could not be read; Table #2 may have more records).  Key and content
    // pairing read each table twice: their steps so far and of the whole.
    std::function<void(std::int64_t pairs, std::int64_t recordCount)> counted;
    // Lets pending window events run; called about every kEventIntervalMs of
    // work, never once per field.
    std::function<void()> processEvents;
    // Told of every difference as the walk finds it, in walk order (its
    // texts valid during the call).  With keepDifferences false the result's
    // list then holds none of them (its found() still counts them), so that
    // a caller that writes them out uses flat memory.  A throw ends the walk
    // as CouldNotCompare.
    std::function<void(const Difference&)> differenceFound;
    bool keepDifferences = true;
    // With the structure option: told of the structure differences before
    // the first difference is found.
    std::function<void(const std::vector<StructureDifference>&)> structureFound;
};

enum class CompareStatus {
    Completed,       // both tables were walked to their ends: differences is the whole list
    CouldNotCompare  // a source, a table or a record could not be read: see failure
};

struct CompareResult {
    CompareStatus status = CompareStatus::Completed;
    // The differences in walk order.  When the comparison could not be
    // completed these are the ones found before the failure and must not be
    // taken as the whole list.
    DifferenceList differences;
    // CouldNotCompare: one line naming the file or table and the problem
    // ("calls.dbf: memo file not found").  Empty when completed.
    std::string failure;
    // What reading the two tables tolerated, each naming its file (a record
    // count that disagrees with the file size, a binary memo read as empty).
    std::vector<std::string> warnings;
    // Key pairing: the key values held by more than one record of a table,
    // once each.  The comparison went on: the k-th record of such a value
    // in Table #1 was paired with the k-th in Table #2.
    std::vector<DuplicateKey> duplicateKeys;
    // With the structure option: how the two tables' structures differ
    // (TablePair::structureDifferences).  Never part of differences.
    std::vector<StructureDifference> structure;
    // The pairing the walk used: the one asked for, or for Pairing::Auto
    // the key chosen for the tables (auto_key.h), its note set.
    RecordPairing pairing;
    // Pairing::Auto: why tags that might have been the key were not.
    std::vector<std::string> pairingNotes;

    bool completed() const { return status == CompareStatus::Completed; }
    // "Compared, no differences": the tables appear to be identical.
    bool identical() const { return completed() && differences.found() == 0; }
};

// The entry point: compares table1 of source1 with table2 of source2.
// Records are paired as `pairing` says: by position in stored order
// (deleted records skipped; the default), by key fields or by content
// (pairing_walks.h); fields by name without case (the k-th field of a name
// in Table #1 with the k-th field of that name in Table #2), the field list
// taken from Table #1.  Value texts follow textForm under the given locale.
// The options leave fields out and loosen the value rules; an ignored field
// that Table #1 lacks leaves the tables not compared (CouldNotCompare).
// Failures are shown through dialogs as error reports (locations
// "Compare1.Compare" and "Compare1.CompareTables"); a failure that leaves
// the tables not compared (a key field that a table lacks, say) also sets
// CouldNotCompare.  Never throws.
CompareResult Compare(const data::SourceDescriptor& source1, const data::SourceDescriptor& source2,
                      const std::string& table1, const std::string& table2,
                      const foxpro::TextLocale& locale, frame::Dialogs& dialogs,
                      const CompareCallbacks& callbacks = {}, const RecordPairing& pairing = {},
                      const CompareOptions& options = {});

// The walk itself, with the progress scale starting at progressStart;
// Compare calls it with ProgressStart.  Never throws.
CompareResult CompareTables(const data::SourceDescriptor& source1,
                            const data::SourceDescriptor& source2, const std::string& table1,
                            const std::string& table2, const foxpro::TextLocale& locale,
                            frame::Dialogs& dialogs, const CompareCallbacks& callbacks = {},
                            int progressStart = ProgressStart, const RecordPairing& pairing = {},
                            const CompareOptions& options = {});

// The fields that Table #1 and Table #2 share (names compared without
// case), as Table #1 spells them and in its column order: the key fields a
// user may choose.  Throws FoxProError when a source or table cannot be read.
std::vector<std::string> sharedFieldNames(const data::SourceDescriptor& source1,
                                          const data::SourceDescriptor& source2,
                                          const std::string& table1, const std::string& table2);

// Table #1's field names as it spells them, in column order: the fields the
// comparison may leave out.  Throws FoxProError when the source or table
// cannot be read.
std::vector<std::string> tableFieldNames(const data::SourceDescriptor& source,
                                         const std::string& table);

}  // namespace quorvel::compare
