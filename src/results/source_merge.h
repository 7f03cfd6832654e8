#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compare/compare.h"
#include "data/source_descriptor.h"
#include "foxpro/text/text_locale.h"
#include "frame/dialogs.h"

namespace quorvel::results {

// What a merge of whole sources starts from.
struct SourceMergeRequest {
    data::SourceDescriptor source1;  // copied whole; only read
    data::SourceDescriptor source2;  // only read
    std::string intoFolder;          // must not exist yet
    compare::RecordPairing pairing;  // Pairing::Auto: each table by its own key
    // ignoredFields as "TABLE.FIELD": each applies to its table only.
    compare::CompareOptions options;
    // When set, what each pair of tables (source #1's name, source #2's) is
    // compared under instead of options: a window's options saved per pair.
    std::function<compare::CompareOptions(const std::string& table1, const std::string& table2)>
        optionsFor;
    std::vector<std::string> onlyTables;      // empty: every table
    std::vector<std::string> excludedTables;  // compared and merged: none of these
    bool fieldChanges = true;                 // apply changed field values
    bool addedRecords = true;                 // apply added records
    bool addNewTables = false;                // tables only in source #2: copied as free tables
    foxpro::TextLocale locale = foxpro::TextLocale::c();
};

// One table's part in the merge, in the order of source #1's table list,
// then the tables only in source #2.
struct TableMergeOutcome {
    enum class Status {
        Identical,      // copied as it is
        Merged,         // replaced by its merged version
        Failed,         // could not be compared or merged: copied as it is (message says why)
        NotCompared,    // left out by the table choice: copied as it is
        OnlyInSource1,  // copied as it is
        AddedAsFree,    // only in source #2, copied as a free table
        LeftOut,        // only in source #2, not copied
    };
    std::string name;
    Status status = Status::Identical;
    compare::RecordPairing pairing;  // Identical, Merged: how the records were paired
    std::int64_t fieldsUpdated = 0;
    std::int64_t recordsAdded = 0;
    std::int64_t linesFailed = 0;       // differences that could not be applied
    std::string message;                // Failed: why
    std::vector<std::string> failures;  // Merged: each failed line with why
    std::vector<std::string> notes;     // index tags left out, scripts written
};

struct SourceMergeOutcome {
    bool made = false;     // intoFolder is in place
    bool stopped = false;  // stopRequested stopped it: nothing was made
    std::string failure;   // !made and !stopped: why nothing was made
    std::vector<TableMergeOutcome> tables;
    // Tables that failed and differences not applied, over all tables.
    bool someFailed() const;
};

struct SourceMergeCallbacks {
    // Before each table's comparison and merge: "table 4 of 13" as index
    // (1-based) and count, with the table's name.  May be empty.
    std::function<void(int index, int count, const std::string& table)> progress;
    // Asked between tables and inside each merge: true stops, and nothing
    // is made.  May be empty.
    std::function<bool()> stopRequested;
    // Lets window events run during the comparisons and merges.  May be empty.
    std::function<void()> processEvents;
    // Told of each table when it is done.  May be empty.
    std::function<void(const TableMergeOutcome&)> tableDone;
};

// Builds intoFolder as a complete copy of source #1 (every table with its
// memo file, index and .cpg, a container's own files) in which every table
// that differs from the table of the same name (without case) in source #2
// is replaced by what MergeIntoNewTable makes of the two, under its own
// name and with its own header (field names, container link), its index
// rebuilt from the final records with its tags unchanged.  Tables only in
// source #2 are copied as free tables when addNewTables is set.  All of it
// happens in a hidden folder beside intoFolder (foxpro/new_folder.h),
// renamed into place at the end: a stop, a failure or a kill leaves no
// intoFolder.  A table that cannot be compared or merged is copied as it
// is and told as failed; the others go on.  A file of the copy that cannot
// be written ends it, nothing made.  The sources are only read: intoFolder
// may not lie in either's folder.
SourceMergeOutcome MergeSources(const SourceMergeRequest& request,
                                const SourceMergeCallbacks& callbacks = {});

}  // namespace quorvel::results
