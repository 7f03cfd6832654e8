#include "sides/side_source_comparison.h"

#include <memory>

#include "compare/auto_key.h"
#include "compare/case_fold.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/source/data_source.h"
#include "sides/side_stream.h"

namespace quorvel::sides {

namespace {

// Counts as the whole-source report gives them, and the differences kept
// in the list the report's lines are written from (the side's texts last
// only for the call).
struct TableTally {
    compare::TableComparison& table;
    compare::DifferenceList& list;

    void operator()(const SideDifference& d) {
        switch (d.kind) {
            case SideDifference::Kind::Changed:
                ++table.changed;
                list.addChanged(d.record1, d.record2, d.field, d.value1, d.null1, d.value2,
                                d.null2);
                break;
            case SideDifference::Kind::Added:
                ++table.added;
                list.addAdded(d.record2);
                break;
            case SideDifference::Kind::Deleted:
                ++table.deleted;
                list.addDeleted(d.record1);
                break;
            case SideDifference::Kind::MissingField:
                // The side walk names a missing field once, not per record.
                ++table.missing;
                list.addMissingField(0, 0, d.field);
                break;
        }
    }
};

void failed(compare::TableComparison& t, const std::string& why) {
    t.status = compare::TableStatus::Failed;
    t.message = why;
    t.changed = t.added = t.deleted = t.missing = 0;  // of a part only
}

}  // namespace

SideKeyChoice chooseSideKey(const data::SourceDescriptor& source, const std::string& table,
                            const std::string& tableFile, bool sideOrdered,
                            const compare::RecordPairing& requested, SideDiffOptions& options) {
    SideKeyChoice choice;
    if (requested.by == compare::Pairing::Key) {
        choice.pairing = requested;
        options.keyFields = requested.keyFields;
        return choice;
    }
    // Rows that come in no order of their own pair by the table's key.
    choice.automatic = requested.by == compare::Pairing::Auto ||
                       (requested.by == compare::Pairing::Position && !sideOrdered);
    if (!choice.automatic) return choice;
    const compare::AutoKey key = compare::resolveAutoKey(source, source, table, table);
    choice.pairing = key.pairing;
    choice.warnings = key.warnings;
    if (key.pairing.by == compare::Pairing::Key) {
        options.keyFields = key.pairing.keyFields;
        if (key.pairing.keyCaseless) options.keyFoldCase = compare::upperText;
        choice.keySource = key.keySource;
    } else if (!sideOrdered) {
        choice.failure = "its rows come in no order of their own and " + tableFile +
                         " has no primary or candidate key: pair them with --key FIELD";
    }
    return choice;
}

compare::SourceComparison compareSourceWithSide(const SideSourceRequest& request,
                                                const SideSourceCallbacks& callbacks) {
    const std::unique_ptr<foxpro::DataSource> source =
        foxpro::DataSource::open(request.source.dataPath(), request.source.codePage);
    // With the side first its tables are source #1's.
    const bool sideFirst = request.options.sideFirst;
    const std::vector<std::string> foxNames = source->tableNames();
    const std::vector<std::string> sideNames = sideTableNames(request.side);
    const std::vector<compare::TableComparison> order =
        compare::tablesToCompare(sideFirst ? sideNames : foxNames, sideFirst ? foxNames : sideNames,
                                 request.only, request.excluded);

    compare::SourceComparison run;
    for (compare::TableComparison t : order) {
        if (t.name2.empty()) {
            run.tables.push_back(std::move(t));
            if (callbacks.tableDone) callbacks.tableDone(run.tables.back(), nullptr, nullptr);
            continue;
        }
        SideDiffResult result;
        std::unique_ptr<compare::DifferenceList> list;
        try {
            const std::string& foxName = sideFirst ? t.name2 : t.name;
            const std::unique_ptr<foxpro::TableReader> table = source->openTable(foxName);
            SideUri one = request.side;
            one.table = sideFirst ? t.name : t.name2;
            const auto stream = openSideStream(one, request.timeZone);
            SideDiffOptions options = request.options;
            options.ignoredFields =
                compare::ignoredFieldsOf(request.options.ignoredFields, foxName);
            options.keyFields.clear();
            const SideKeyChoice key = chooseSideKey(request.source, foxName, table->fileName(),
                                                    stream->ordered(), request.pairing, options);
            t.pairing = key.pairing;
            t.keySource = key.keySource;
            t.warnings = key.warnings;
            if (!key.failure.empty()) {
                failed(t, key.failure);
            } else {
                // The differences name source #1's fields: the side's
                // columns when it comes first.
                std::vector<std::string> fieldNames;
                if (sideFirst)
                    for (const SideColumn& c : stream->columns()) fieldNames.push_back(c.name);
                else
                    for (int f = 0; f < table->fieldCount(); ++f)
                        fieldNames.push_back(table->field(f).name);
                list = std::make_unique<compare::DifferenceList>(t.name2, std::move(fieldNames));
                result = diffTableWithSide(*table, *stream, options, TableTally{t, *list});
                if (sideFirst)
                    for (const auto& field : result.unpairedFields)
                        t.warnings.push_back("field \"" + field + "\" of " + table->fileName() +
                                             " pairs with no column");
                else
                    for (const auto& column : result.unpairedColumns)
                        t.warnings.push_back("column \"" + column + "\" of " + t.name2 +
                                             " pairs with no field");
                for (const auto& note : result.notes) t.warnings.push_back(note);
                t.status = result.differences == 0 ? compare::TableStatus::Identical
                                                   : compare::TableStatus::Different;
            }
        } catch (const SideError& e) {
            failed(t, e.what());
        } catch (const foxpro::FoxProError& e) {
            failed(t, e.what());
        }
        run.tables.push_back(std::move(t));
        const compare::TableComparison& done = run.tables.back();
        if (callbacks.tableDone)
            callbacks.tableDone(done, done.compared() ? list.get() : nullptr,
                                done.compared() ? &result : nullptr);
    }
    return run;
}

}  // namespace quorvel::sides
