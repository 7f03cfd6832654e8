// quorvel-cli diff SOURCE TABLE URI: a FoxPro table against its copy in a
// CSV file or an SQLite or PostgreSQL table.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/csv_output.h"
#include "cli/difference_formats.h"
#include "cli/output_stream.h"
#include "cli/side_verbs.h"
#include "compare/auto_key.h"
#include "compare/case_fold.h"
#include "compare/difference.h"
#include "data/source_descriptor.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "sides/side_diff.h"
#include "sides/side_stream.h"
#include "sides/side_uri.h"

namespace quorvel::cli {

namespace {

int fail(const std::string& problem) {
    return failure("diff", problem);
}

// --map FIELD=column[,FIELD=column...], every occurrence.
std::vector<std::pair<std::string, std::string>> columnMapOf(const Arguments& args) {
    std::vector<std::pair<std::string, std::string>> map;
    for (const std::string& value : args.values("map")) {
        for (const std::string& item : compare::splitKeyFields(value)) {
            const std::size_t equals = item.find('=');
            if (equals == std::string::npos || equals == 0 || equals + 1 == item.size())
                throw UsageError("--map: '" + item + "' is not FIELD=column");
            map.emplace_back(item.substr(0, equals), item.substr(equals + 1));
        }
    }
    return map;
}

compare::Difference asDifference(const sides::SideDifference& d, std::string_view table2) {
    compare::Difference out;
    switch (d.kind) {
        case sides::SideDifference::Kind::Changed:
            out.kind = compare::DifferenceKind::Changed;
            break;
        case sides::SideDifference::Kind::Added:
            out.kind = compare::DifferenceKind::Added;
            break;
        case sides::SideDifference::Kind::Deleted:
            out.kind = compare::DifferenceKind::Deleted;
            break;
        case sides::SideDifference::Kind::MissingField:
            out.kind = compare::DifferenceKind::MissingField;
            break;
    }
    out.record1 = d.record1;
    out.record2 = d.record2;
    out.field = d.field;
    out.fieldName = d.fieldName;
    out.value1 = d.value1;
    out.value2 = d.value2;
    out.null1 = d.null1;
    out.null2 = d.null2;
    out.table2 = table2;
    return out;
}

}  // namespace

bool diffNamesSide(const Arguments& args) {
    return (args.operands.size() == 3 || args.operands.size() == 4) &&
           sides::isSideUri(args.operands[2]);
}

int diffWithSide(const Arguments& args) {
    for (const char* foxOnly :
         {"align", "report", "word-diff", "schema", "tables", "exclude", "summary"})
        if (args.has(foxOnly))
            throw UsageError(std::string("--") + foxOnly + " goes with two FoxPro tables only");
    const std::string format = args.value("format", "text");
    if (format != "text" && format != "json" && format != "csv")
        throw UsageError("--format: '" + format + "' is not one of text, json, csv");
    const bool nulTerminated = args.has("null");
    if (nulTerminated && format != "text") throw UsageError("-z goes with --format text only");
    const bool csvSafe = args.has(csvSafeOption().name);
    if (csvSafe && format != "csv") throw UsageError("--csv-safe goes with --format csv only");

    const std::vector<std::string>& operands = args.operands;
    const int codePage = codePageOf(args);
    const compare::RecordPairing pairing = pairingOf(args);
    const compare::CompareOptions compareOptions = compareOptionsOf(args);
    sides::SideDiffOptions options;
    options.columnOf = columnMapOf(args);
    options.ignoredFields = compareOptions.ignoredFields;
    options.rules.emptyIsNull = args.has("empty-is-null");
    options.rules.trimBlanks = compareOptions.ignoreTrailingBlanks;
    if (compareOptions.ignoreCase) options.rules.foldCase = compare::upperText;
    options.rules.tolerance = compareOptions.tolerance;
    options.locale = format == "text" ? localeFromEnvironment() : foxpro::TextLocale::c();

    OutputStream out;
    // A side or table that fails part way: the lines found so far go out,
    // and the status says that they are not all.
    const auto failAfterLines = [&](const std::string& problem) {
        try {
            out.flush();
        } catch (const std::exception&) {
        }
        return fail(problem);
    };
    try {
        sides::SideUri side = sides::parseSideUri(operands[2]);
        if (operands.size() == 4) {
            if (!side.table.empty()) throw UsageError("the URI names its table: no TABLE after it");
            side.table = operands[3];
        }
        const data::SourceDescriptor source = sourceOf(operands[0], codePage);
        const std::unique_ptr<foxpro::TableReader> table =
            foxpro::DataSource::open(source.dataPath(), source.codePage)->openTable(operands[1]);
        warnAboutTable("diff", *table);
        const auto stream = sides::openSideStream(side, args.value("time-zone"));

        if (pairing.by == compare::Pairing::Key) options.keyFields = pairing.keyFields;
        // Rows that come in no order of their own pair by the table's key.
        const bool automatic = pairing.by == compare::Pairing::Auto ||
                               (pairing.by == compare::Pairing::Position && !stream->ordered());
        if (automatic) {
            const compare::AutoKey key =
                compare::resolveAutoKey(source, source, operands[1], operands[1]);
            if (key.pairing.by == compare::Pairing::Key) {
                options.keyFields = key.pairing.keyFields;
                if (key.pairing.keyCaseless) options.keyFoldCase = compare::upperText;
            } else if (!stream->ordered())
                return fail(side.text + ": its rows come in no order of their own and " +
                            table->fileName() +
                            " has no primary or candidate key: pair them with --key FIELD");
            printMessage("diff", compare::pairingDescription(key.pairing));
        }

        const std::string table2 =
            side.kind == sides::SideKind::Csv ? sides::sideTableNames(side).front() : side.table;
        CsvSafety safety;
        if (csvSafe) {
            safety.on = true;
            for (int f = 0; f < table->fieldCount(); ++f) {
                const char letter = table->field(f).letter;
                const bool text = letter == 'C' || letter == 'V' || letter == 'M';
                safety.oldIsText.push_back(text);
                safety.newIsText.push_back(text);
            }
        }
        if (format == "csv") writeCsvHeader(out);
        bool exact = true;
        const sides::SideDiffResult result = sides::diffTableWithSide(
            *table, *stream, options, [&](const sides::SideDifference& found) {
                const compare::Difference d = asDifference(found, table2);
                if (format == "text")
                    writeTextLine(out, d, nulTerminated);
                else if (format == "json")
                    exact = writeJsonLine(out, d) && exact;
                else
                    writeCsvLine(out, d, safety);
            });
        // The column lines follow the differences as text; the formats for
        // programs keep to their objects, and the lines go to standard error.
        for (const auto& column : result.columns) {
            if (format == "text")
                writeTextLine(out, sides::columnReportLine(column), nulTerminated);
            else
                printMessage("diff", sides::columnReportLine(column));
        }
        out.flush();
        if (!exact)
            warn("diff",
                 "text that is not UTF-8 was written with U+FFFD in place of its bad bytes");
        for (const auto& column : result.unpairedColumns)
            warn("diff", "column \"" + column + "\" of " + side.text + " pairs with no field");
        for (const auto& note : result.notes) warn("diff", note);
        return result.differences == 0 ? 0 : 1;
    } catch (const sides::SideError& e) {
        return failAfterLines(e.what());
    } catch (const foxpro::FoxProError& e) {
        return failAfterLines(e.what());
    }
}

}  // namespace quorvel::cli
