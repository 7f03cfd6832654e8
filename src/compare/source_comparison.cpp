#include "compare/source_comparison.h"

#include <algorithm>

#include "compare/difference_line.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/source/data_source.h"

namespace quorvel::compare {

namespace {

bool listed(const std::vector<std::string>& names, const std::string& name) {
    for (const auto& n : names)
        if (foxpro::equalsNoCase(n, name)) return true;
    return false;
}

// The walk reports its failures in its result; a box per table would stop
// a run over many of them.
class SilentDialogs : public frame::Dialogs {
  public:
    frame::Answer message(const std::string&, frame::MessageButtons, frame::MessageIcon,
                          const std::string&) override {
        return frame::Answer::Ok;
    }
};

// Thrown out of the walk's event call when the run is to stop; the walk
// ends as not compared, and the table is left out.
struct StopRun {};

// The options with only this table's fields of --ignore TABLE.FIELD.
CompareOptions optionsOfTable(const CompareOptions& options, const std::string& table) {
    CompareOptions own = options;
    own.ignoredFields = ignoredFieldsOf(options.ignoredFields, table);
    return own;
}

// Counted as the walk finds them, so that a run that keeps no differences
// counts alike.  Position pairing repeats a missing field's line per
// record: the count is of fields.
void tally(TableComparison& table, std::vector<int>& missingFields, const Difference& d) {
    switch (d.kind) {
        case DifferenceKind::Changed:
            ++table.changed;
            break;
        case DifferenceKind::Added:
            ++table.added;
            break;
        case DifferenceKind::Deleted:
            ++table.deleted;
            break;
        case DifferenceKind::MissingField:
            if (std::find(missingFields.begin(), missingFields.end(), d.field) ==
                missingFields.end())
                missingFields.push_back(d.field);
            break;
    }
}

}  // namespace

const char* tableStatusWord(TableStatus status) {
    switch (status) {
        case TableStatus::Identical:
            return "identical";
        case TableStatus::Different:
            return "different";
        case TableStatus::OnlyInSource1:
            return "only_in_source1";
        case TableStatus::OnlyInSource2:
            return "only_in_source2";
        case TableStatus::Failed:
            return "failed";
    }
    return "failed";
}

std::string pairedBy(const RecordPairing& pairing) {
    std::string text = pairingDescription(pairing);
    text.erase(0, std::string("Records paired by ").size());
    if (const auto note = text.find(" ("); note != std::string::npos) text.resize(note);
    return text;
}

std::string tableHeaderLine(const TableComparison& t) {
    const std::string quoted = "Table \"" + t.name + "\"";
    switch (t.status) {
        case TableStatus::OnlyInSource1:
            return quoted + " is only in source #1";
        case TableStatus::OnlyInSource2:
            return quoted + " is only in source #2";
        case TableStatus::Failed:
            return quoted + ": could not be compared: " + t.message;
        case TableStatus::Identical:
            return quoted + ": identical";
        case TableStatus::Different:
            break;
    }
    return quoted + ": " + std::to_string(t.changed) + " changed, " + std::to_string(t.added) +
           " added, " + std::to_string(t.deleted) + " deleted, " + std::to_string(t.missing) +
           " missing fields (paired by " + pairedBy(t.pairing) + ")";
}

void appendTableReport(std::string& report, const TableComparison& table,
                       const DifferenceList* differences) {
    report += tableHeaderLine(table) + "\r\n";
    if (differences == nullptr) return;
    for (const Difference d : *differences) report += lineText(d) + "\r\n";
}

std::vector<std::string> ignoredFieldsOf(const std::vector<std::string>& qualified,
                                         const std::string& table) {
    std::vector<std::string> own;
    for (const auto& field : qualified) {
        const auto dot = field.find('.');
        if (dot != std::string::npos && foxpro::equalsNoCase(field.substr(0, dot), table))
            own.push_back(field.substr(dot + 1));
    }
    return own;
}

std::vector<TableComparison> tablesToCompare(const std::vector<std::string>& names1,
                                             const std::vector<std::string>& names2,
                                             const std::vector<std::string>& only,
                                             const std::vector<std::string>& excluded) {
    auto wanted = [&](const std::string& name) {
        return (only.empty() || listed(only, name)) && !listed(excluded, name);
    };
    std::vector<TableComparison> tables;
    for (const auto& name : names1) {
        if (!wanted(name)) continue;
        TableComparison t;
        t.name = name;
        for (const auto& n : names2)
            if (foxpro::equalsNoCase(n, name)) t.name2 = n;
        if (t.name2.empty()) t.status = TableStatus::OnlyInSource1;
        tables.push_back(std::move(t));
    }
    for (const auto& name : names2) {
        if (!wanted(name) || listed(names1, name)) continue;
        TableComparison t;
        t.name = name;
        t.status = TableStatus::OnlyInSource2;
        tables.push_back(std::move(t));
    }
    return tables;
}

bool SourceComparison::anyDifferent() const {
    for (const auto& t : tables)
        if (t.differs()) return true;
    return false;
}

bool SourceComparison::anyFailed() const {
    for (const auto& t : tables)
        if (t.status == TableStatus::Failed) return true;
    return false;
}

SourceComparison compareSources(const SourceComparisonRequest& request,
                                const SourceComparisonCallbacks& callbacks) {
    const std::vector<std::string> names1 =
        foxpro::DataSource::open(request.source1.dataPath(), request.codePage)->tableNames();
    const std::vector<std::string> names2 =
        foxpro::DataSource::open(request.source2.dataPath(), request.codePage)->tableNames();
    const std::vector<TableComparison> order =
        tablesToCompare(names1, names2, request.only, request.excluded);

    auto stopping = [&] { return callbacks.stopRequested && callbacks.stopRequested(); };
    CompareCallbacks walk = callbacks.walk;
    walk.keepDifferences = request.keepDifferences;
    if (callbacks.stopRequested)
        walk.processEvents = [&] {
            if (callbacks.walk.processEvents) callbacks.walk.processEvents();
            if (stopping()) throw StopRun{};
        };

    SourceComparison run;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (stopping()) {
            run.stopped = true;
            break;
        }
        TableComparison t = order[i];
        const std::string& name = t.name;
        if (callbacks.tableStarted) callbacks.tableStarted(i + 1, order.size(), name);
        if (t.status == TableStatus::OnlyInSource1 || t.status == TableStatus::OnlyInSource2) {
            run.tables.push_back(t);
            if (callbacks.tableDone) callbacks.tableDone(run.tables.back(), nullptr);
            continue;
        }
        const CompareOptions options = request.optionsFor ? request.optionsFor(name, t.name2)
                                                          : optionsOfTable(request.options, name);
        std::vector<int> missingFields;
        walk.differenceFound = [&](const Difference& d) {
            tally(t, missingFields, d);
            if (callbacks.walk.differenceFound) callbacks.walk.differenceFound(d);
        };
        SilentDialogs dialogs;
        CompareResult result = Compare(request.source1, request.source2, name, t.name2,
                                       request.locale, dialogs, walk, request.pairing, options);
        if (!result.completed() && stopping()) {
            run.stopped = true;
            break;
        }
        t.pairing = result.pairing;
        if (result.pairing.by == Pairing::Key && request.pairing.by == Pairing::Auto)
            t.keySource =
                result.pairing.note.starts_with("primary key") ? "primary key" : "candidate index";
        t.warnings = result.warnings;
        if (!result.completed()) {
            t.status = TableStatus::Failed;
            t.message = result.failure;
            t.changed = t.added = t.deleted = 0;  // of a part only
        } else {
            t.missing = missingFields.size();
            t.status =
                result.differences.found() == 0 ? TableStatus::Identical : TableStatus::Different;
        }
        run.tables.push_back(t);
        if (callbacks.tableDone) callbacks.tableDone(run.tables.back(), &result);
    }
    return run;
}

}  // namespace quorvel::compare
