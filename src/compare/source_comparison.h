#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "compare/compare.h"

namespace quorvel::compare {

// Every table of one source against the table of the same name (without
// case) of another: the loop the command-line tool and the summary window
// share, so that both count and name the tables alike.

enum class TableStatus { Identical, Different, OnlyInSource1, OnlyInSource2, Failed };

// "identical", "different", "only_in_source1", "only_in_source2", "failed".
const char* tableStatusWord(TableStatus status);

// One table's outcome.
struct TableComparison {
    std::string name;   // as the source that has it spells it (source #1 first)
    std::string name2;  // the table of source #2 it was compared with; "" when none
    TableStatus status = TableStatus::Identical;
    // Compared tables only: the pairing the walk used and, when it was the
    // table's own key, where that key came from ("primary key" or
    // "candidate index"; "" otherwise).
    RecordPairing pairing;
    std::string keySource;
    // changed = field-difference lines; missing = fields (position pairing
    // repeats a missing field's line per record).
    std::size_t changed = 0, added = 0, deleted = 0, missing = 0;
    std::string message;  // Failed: why
    std::vector<std::string> warnings;

    bool compared() const {
        return status == TableStatus::Identical || status == TableStatus::Different;
    }
    bool differs() const { return status != TableStatus::Identical; }
};

// "primary key CUSTOMERID" or "position": how the records were paired,
// without the pairing line's note.
std::string pairedBy(const RecordPairing& pairing);

// The table's header line of the whole-source text report:
// 'Table "customers": 1 changed, 0 added, 1 deleted, 0 missing fields
// (paired by primary key CUSTOMERID)', 'Table "region" is only in source #1',
// 'Table "orders": identical'.
std::string tableHeaderLine(const TableComparison& table);

// The tables a run over two sources walks, from the names each source
// lists: source #1's tables in its order, each with the table of source #2
// of the same name (without case) as name2, or OnlyInSource1; then those
// only in source #2.  Each paired table's status is Identical until it is
// compared.  Names without case in `only` (empty: every table) and
// `excluded` choose the tables.
std::vector<TableComparison> tablesToCompare(const std::vector<std::string>& names1,
                                             const std::vector<std::string>& names2,
                                             const std::vector<std::string>& only,
                                             const std::vector<std::string>& excluded);

// --ignore TABLE.FIELD over a whole source: the FIELDs given for this table.
std::vector<std::string> ignoredFieldsOf(const std::vector<std::string>& qualified,
                                         const std::string& table);

struct SourceComparisonRequest {
    data::SourceDescriptor source1;
    data::SourceDescriptor source2;
    int codePage = 0;  // for listing the sources' tables
    foxpro::TextLocale locale = foxpro::TextLocale::c();
    RecordPairing pairing;  // Pairing::Auto: each table by its own key
    // ignoredFields as TABLE.FIELD: each table leaves out its own.
    CompareOptions options;
    // Names without case; empty `only` means every table.
    std::vector<std::string> only;
    std::vector<std::string> excluded;
    // False: each walk's result holds no differences (their counts are
    // still taken, and CompareCallbacks::differenceFound still sees them),
    // so that a run over many tables keeps flat memory.
    bool keepDifferences = true;
    // When set, the options of each pair of tables instead of `options`.
    std::function<CompareOptions(const std::string& table1, const std::string& table2)> optionsFor;
};

struct SourceComparisonCallbacks {
    // Before each table (index from 1 of count, the number of tables named
    // by the whole run, the tables in one source only included).
    std::function<void(std::size_t index, std::size_t count, const std::string& table)>
        tableStarted;
    // The walk's own callbacks for each compared table (keepDifferences is
    // the request's).
    CompareCallbacks walk;
    // After each table, with the walk's result when it was compared (nullptr
    // for a table in one source only).  The result's differences are the
    // caller's to take.
    std::function<void(const TableComparison& table, CompareResult* result)> tableDone;
    // Asked before each table and at the walk's event pace: true ends the
    // run there, the table being walked left out of the outcome.
    std::function<bool()> stopRequested;
};

struct SourceComparison {
    std::vector<TableComparison> tables;
    bool stopped = false;  // the stop flag ended the run before the last table

    bool anyDifferent() const;
    bool anyFailed() const;
};

// The tables of source #1 in its list's order, then those only in source #2.
// The errors of each walk are not shown: a failed table's message says
// why.  Throws FoxProError when a source's tables cannot be
// listed.
SourceComparison compareSources(const SourceComparisonRequest& request,
                                const SourceComparisonCallbacks& callbacks = {});

// Appends the table's part of the whole-source text report: its header
// line, then its difference lines (none for a table not compared), each
// ending in CR LF.
void appendTableReport(std::string& report, const TableComparison& table,
                       const DifferenceList* differences);

}  // namespace quorvel::compare
