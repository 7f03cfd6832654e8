// quorvel-cli diff SOURCE TABLE URI: a FoxPro table against its copy in a
// CSV file or an SQLite or PostgreSQL table; diff URI SOURCE TABLE the
// same with the side as source #1.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/csv_output.h"
#include "cli/difference_formats.h"
#include "cli/output_stream.h"
#include "cli/side_verbs.h"
#include "cli/table_operands.h"
#include "compare/case_fold.h"
#include "compare/difference.h"
#include "data/source_descriptor.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "sides/side_diff.h"
#include "sides/side_source_comparison.h"
#include "sides/side_stream.h"
#include "sides/side_table_choice.h"
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

std::string columnObject(const sides::SideColumnReport& c, std::string_view table) {
    std::string object = "{";
    if (!table.empty()) object += "\"table\":" + jsonQuoted(table) + ",";
    object += "\"kind\":\"column\",\"field\":" + jsonQuoted(c.field) +
              ",\"column\":" + jsonQuoted(c.column) + ",\"equal\":" + std::to_string(c.equal) +
              ",\"differ\":" + std::to_string(c.differ) + ",\"as\":" + jsonQuoted(c.description) +
              ",\"cut\":" + (c.narrowerLength > 0 ? std::to_string(c.cut) : "null") + "}\n";
    return object;
}

void writeColumnRecord(OutputStream& out, const sides::SideColumnReport& c, bool sideFirst,
                       std::optional<std::string_view> table) {
    if (table) writeCsvField(out, *table, true);
    writeCsvField(out, "column", !table);
    writeCsvField(out, std::to_string(c.equal), false);
    writeCsvField(out, std::to_string(c.differ), false);
    writeCsvField(out, sideFirst ? c.column : c.field, false);
    writeCsvField(out, c.description, false);
    writeCsvField(out, c.narrowerLength > 0 ? std::to_string(c.cut) : std::string(), false);
    endCsvRecord(out);
}

sides::SideDiffOptions sideDiffOptionsOf(const Arguments& args, const std::string& format) {
    const compare::CompareOptions compareOptions = compareOptionsOf(args);
    sides::SideDiffOptions options;
    options.columnOf = columnMapOf(args);
    options.ignoredFields = compareOptions.ignoredFields;
    options.rules.emptyIsNull = args.has("empty-is-null");
    options.rules.trimBlanks = compareOptions.ignoreTrailingBlanks;
    if (compareOptions.ignoreCase) options.rules.foldCase = compare::upperText;
    options.rules.tolerance = compareOptions.tolerance;
    options.locale = format == "text" ? localeFromEnvironment() : foxpro::TextLocale::c();
    return options;
}

// Where the operands of a table against a side stand: SOURCE TABLE URI
// [TABLE2], or with the side first URI [TABLE2] SOURCE TABLE and URI
// TABLE.dbf (a table file after a URI is left whole: no TABLE1 follows it).
struct SideOperands {
    bool sideFirst = false;
    std::string uri;
    std::string sideTable;  // TABLE2, "" when none
    std::string source;
    std::string table;
};

SideOperands sideOperandsOf(const std::vector<std::string>& operands) {
    SideOperands o;
    o.sideFirst = sides::isSideUri(operands[0]);
    if (!o.sideFirst) {
        o.source = operands[0];
        o.table = operands[1];
        o.uri = operands[2];
        if (operands.size() == 4) o.sideTable = operands[3];
        return o;
    }
    o.uri = operands[0];
    if (operands.size() == 2) {
        o.source = foxpro::parentFolder(operands[1]);
        o.table = foxpro::fileNameOf(operands[1]);
    } else {
        if (operands.size() == 4) o.sideTable = operands[1];
        o.source = operands[operands.size() - 2];
        o.table = operands.back();
    }
    return o;
}

bool diffNamesSide(const Arguments& args) {
    const std::vector<std::string>& operands = args.operands;
    if (operands.size() == 3 || operands.size() == 4)
        return sides::isSideUri(operands[2]) || sides::isSideUri(operands[0]);
    return operands.size() == 2 && sides::isSideUri(operands[0]) && isTableFile(operands[1]);
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

    const SideOperands operands = sideOperandsOf(args.operands);
    const int codePage = codePageOf(args);
    const compare::RecordPairing pairing = pairingOf(args);
    sides::SideDiffOptions options = sideDiffOptionsOf(args, format);
    options.sideFirst = operands.sideFirst;

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
        sides::SideUri side = sides::parseSideUri(operands.uri);
        if (!operands.sideTable.empty()) {
            if (!side.table.empty()) throw UsageError("the URI names its table: no TABLE after it");
            side.table = operands.sideTable;
        }
        const data::SourceDescriptor source = sourceOf(operands.source, codePage);
        const std::unique_ptr<foxpro::TableReader> table =
            foxpro::DataSource::open(source.dataPath(), source.codePage)->openTable(operands.table);
        warnAboutTable("diff", *table);
        // A database without a table named: the FoxPro table's own.
        if (side.table.empty() && side.kind != sides::SideKind::Csv)
            side.table = sides::sideTableNamed(side, sides::ownTableName(operands.table));
        const auto stream = sides::openSideStream(side, args.value("time-zone"));

        const sides::SideKeyChoice key = sides::chooseSideKey(
            source, operands.table, table->fileName(), stream->ordered(), pairing, options);
        if (!key.failure.empty()) return fail(side.text + ": " + key.failure);
        if (key.automatic) printMessage("diff", compare::pairingDescription(key.pairing));

        // The lines name source #2's table.
        const std::string table2 = operands.sideFirst ? operands.table
                                   : side.kind == sides::SideKind::Csv
                                       ? sides::sideTableNames(side).front()
                                       : side.table;
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
        // The column lines follow the differences, in each format's form.
        for (const auto& column : result.columns) {
            if (format == "text")
                writeTextLine(out, sides::columnReportLine(column), nulTerminated);
            else if (format == "json")
                out.write(columnObject(column));
            else
                writeColumnRecord(out, column, operands.sideFirst);
        }
        out.flush();
        if (!exact)
            warn("diff",
                 "text that is not UTF-8 was written with U+FFFD in place of its bad bytes");
        if (operands.sideFirst)
            for (const auto& field : result.unpairedFields)
                warn("diff",
                     "field \"" + field + "\" of " + table->fileName() + " pairs with no column");
        else
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
