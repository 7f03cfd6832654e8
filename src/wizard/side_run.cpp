#include "wizard/side_run.h"

#include <memory>

#include "compare/auto_key.h"
#include "compare/case_fold.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "sides/side_diff.h"
#include "sides/side_stream.h"
#include "sides/side_uri.h"

namespace quorvel::wizard {

namespace {

bool endsWithNoCase(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           foxpro::equalsNoCase(std::string_view(text).substr(text.size() - suffix.size()), suffix);
}

// The side with its table named, whether the URI names it or the list did.
sides::SideUri sideWithTable(const std::string& uri, const std::string& table) {
    sides::SideUri side = sides::parseSideUri(uri);
    if (side.table.empty() && side.kind != sides::SideKind::Csv) side.table = table;
    return side;
}

void add(compare::DifferenceList& list, const sides::SideDifference& d) {
    switch (d.kind) {
        case sides::SideDifference::Kind::Changed:
            list.addChanged(d.record1, d.record2, d.field, d.value1, d.null1, d.value2, d.null2);
            break;
        case sides::SideDifference::Kind::Added:
            list.addAdded(d.record2);
            break;
        case sides::SideDifference::Kind::Deleted:
            list.addDeleted(d.record1);
            break;
        case sides::SideDifference::Kind::MissingField:
            list.addMissingField(d.record1, d.record2, d.field);
            break;
    }
}

}  // namespace

std::string sideUriOfFile(const std::string& path) {
    std::string escaped;
    for (const char c : path) {
        if (c == '%')
            escaped += "%25";
        else if (c == '?')
            escaped += "%3F";
        else
            escaped += c;
    }
    const bool csv = endsWithNoCase(path, ".csv") || endsWithNoCase(path, ".txt");
    return (csv ? "csv:" : "sqlite:") + escaped;
}

std::vector<std::string> sideTables(const std::string& uri) {
    const sides::SideUri side = sides::parseSideUri(uri);
    // A URI that names its table offers that one.
    if (!side.table.empty()) return {side.table};
    return sides::sideTableNames(side);
}

std::vector<std::string> sideFiles(const std::string& uri) {
    try {
        const sides::SideUri side = sides::parseSideUri(uri);
        if (side.kind == sides::SideKind::Postgres) return {};
        return {side.location};
    } catch (const sides::SideError&) {
        return {};
    }
}

SideRun runSideComparison(const data::SourceDescriptor& source1, const std::string& table1,
                          const std::string& uri, const std::string& table2,
                          const compare::RecordPairing& pairing,
                          const compare::CompareOptions& options,
                          const foxpro::TextLocale& locale) {
    if (pairing.by == compare::Pairing::Content)
        throw sides::SideError(uri +
                               ": records of a database or CSV file pair by position or by "
                               "key fields, not by content");
    const sides::SideUri side = sideWithTable(uri, table2);
    const std::unique_ptr<foxpro::TableReader> table =
        foxpro::DataSource::open(source1.dataPath(), source1.codePage)->openTable(table1);
    const auto stream = sides::openSideStream(side);

    sides::SideDiffOptions sideOptions;
    sideOptions.ignoredFields = options.ignoredFields;
    sideOptions.rules.trimBlanks = options.ignoreTrailingBlanks;
    if (options.ignoreCase) sideOptions.rules.foldCase = compare::upperText;
    sideOptions.rules.tolerance = options.tolerance;
    sideOptions.locale = locale;

    SideRun run;
    run.pairing.by = compare::Pairing::Position;
    if (pairing.by == compare::Pairing::Key) {
        sideOptions.keyFields = pairing.keyFields;
        run.pairing = pairing;
    }
    // Rows in no order of their own pair by the table's key, as the
    // command line does.
    if (pairing.by == compare::Pairing::Auto ||
        (pairing.by == compare::Pairing::Position && !stream->ordered())) {
        const compare::AutoKey key = compare::resolveAutoKey(source1, source1, table1, table1);
        if (key.pairing.by == compare::Pairing::Key) {
            sideOptions.keyFields = key.pairing.keyFields;
            if (key.pairing.keyCaseless) sideOptions.keyFoldCase = compare::upperText;
            run.pairing = key.pairing;
        } else if (!stream->ordered()) {
            throw sides::SideError(side.text + ": its rows come in no order of their own and " +
                                   table->fileName() +
                                   " has no primary or candidate key: pair them by key fields");
        }
    }

    std::vector<std::string> fieldNames;
    for (int f = 0; f < table->fieldCount(); ++f) fieldNames.push_back(table->field(f).name);
    run.differences = compare::DifferenceList(table2, std::move(fieldNames));
    const sides::SideDiffResult result = sides::diffTableWithSide(
        *table, *stream, sideOptions,
        [&run](const sides::SideDifference& found) { add(run.differences, found); });
    for (const auto& column : result.columns) run.columns.push_back(sides::columnReportLine(column));
    for (const auto& column : result.unpairedColumns)
        run.notes.push_back("Column \"" + column + "\" of " + side.text + " pairs with no field");
    for (const auto& note : result.notes) run.notes.push_back(note);
    return run;
}

}  // namespace quorvel::wizard
