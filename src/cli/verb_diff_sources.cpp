// quorvel-cli diff SOURCE1 SOURCE2: the comparison of whole sources.

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/csv_output.h"
#include "cli/diff_sources.h"
#include "cli/difference_formats.h"
#include "cli/output_stream.h"
#include "cli/side_verbs.h"
#include "compare/compare.h"
#include "compare/difference_line.h"
#include "compare/source_comparison.h"
#include "foxpro/foxpro_error.h"
#include "frame/dialogs.h"
#include "sides/side_source_comparison.h"
#include "sides/side_uri.h"

namespace quorvel::cli {

namespace {

enum class Format { Text, Json, Csv };

std::string tableObject(const compare::TableComparison& t) {
    const bool compared = t.compared();
    std::string pairing = "null", key = "null", source = "null";
    if (compared) {
        pairing = jsonQuoted(std::string(t.pairing.by == compare::Pairing::Key       ? "key"
                                         : t.pairing.by == compare::Pairing::Content ? "content"
                                                                                     : "position"));
        if (t.pairing.by == compare::Pairing::Key) {
            key = "[";
            for (std::size_t i = 0; i < t.pairing.keyFields.size(); ++i)
                key += (i ? "," : "") + jsonQuoted(t.pairing.keyFields[i]);
            key += "]";
            if (!t.keySource.empty()) source = jsonQuoted(t.keySource);
        }
    }
    auto count = [&](std::size_t n) { return compared ? std::to_string(n) : std::string("null"); };
    return "{\"kind\":\"table\",\"table\":" + jsonQuoted(t.name) + ",\"status\":\"" +
           compare::tableStatusWord(t.status) + "\",\"pairing\":" + pairing + ",\"key\":" + key +
           ",\"key_source\":" + source + ",\"changed\":" + count(t.changed) +
           ",\"added\":" + count(t.added) + ",\"deleted\":" + count(t.deleted) +
           ",\"missing_field\":" + count(t.missing) +
           ",\"message\":" + (t.message.empty() ? std::string("null") : jsonQuoted(t.message)) +
           "}\n";
}

}  // namespace

int runDiffSources(const Arguments& args) {
    const std::string formatName = args.value("format", "text");
    Format format = Format::Text;
    if (formatName == "json")
        format = Format::Json;
    else if (formatName == "csv")
        format = Format::Csv;
    else if (formatName != "text")
        throw UsageError("--format: '" + formatName + "' is not one of text, json, csv");
    for (const char* single : {"null", "word-diff", "csv-safe"})
        if (args.has(single))
            throw UsageError(std::string("--") + single + " goes with two tables only");
    // SOURCE URI: the FoxPro source against a whole database; URI SOURCE
    // the same with the database as source #1.
    const bool sideFirst = sides::isSideUri(args.operands[0]);
    const bool database = sideFirst || sides::isSideUri(args.operands[1]);
    if (sideFirst && sides::isSideUri(args.operands[1]))
        throw UsageError("two URIs: one of the two sources is a FoxPro source");
    const std::string& sourceOperand = args.operands[sideFirst ? 1 : 0];
    const std::string& uriOperand = args.operands[sideFirst ? 0 : 1];
    if (database) {
        for (const char* foxOnly : {"align", "schema", "map"})
            if (args.has(foxOnly))
                throw UsageError(std::string("--") + foxOnly +
                                 " goes with one pair of tables only");
    } else {
        for (const char* sideOnly : {"map", "empty-is-null", "time-zone"})
            if (args.has(sideOnly))
                throw UsageError(std::string("--") + sideOnly +
                                 " goes with a CSV, SQLite or PostgreSQL side only");
    }
    const bool summary = args.has("summary");
    const std::string reportPath = args.value("report");
    if (args.has("report") && reportPath.empty()) throw UsageError("--report needs a file name");

    const int codePage = codePageOf(args);
    compare::RecordPairing pairing = pairingOf(args);
    // Whole sources pair each table by its own key unless told otherwise.
    if (!args.has(keyOption().name) && !args.has(alignOption().name))
        pairing.by = compare::Pairing::Auto;
    const compare::CompareOptions options = compareOptionsOf(args);
    const std::vector<std::string> only = namesListed(args, "tables");
    const std::vector<std::string> excluded = namesListed(args, "exclude");
    compare::SourceComparisonRequest request;
    request.source1 = sourceOf(sourceOperand, codePage);
    if (!database) request.source2 = sourceOf(args.operands[1], codePage);
    request.codePage = codePage;
    request.locale = format == Format::Text ? localeFromEnvironment() : foxpro::TextLocale::c();
    request.pairing = pairing;
    request.options = options;
    request.only = namesListed(args, "tables");
    request.excluded = namesListed(args, "exclude");

    OutputStream out;
    std::string report;
    if (format == Format::Csv && !summary) {
        writeCsvField(out, "table", true);
        for (const char* column : {"kind", "record1", "record2", "field", "old", "new"})
            writeCsvField(out, column, false);
        endCsvRecord(out);
    }
    const auto tableDone = [&](const compare::TableComparison& t,
                               const compare::DifferenceList* differences) {
        compare::appendTableReport(report, t, differences);
        if (format == Format::Json)
            out.write(tableObject(t));
        else if (format == Format::Text || summary)
            writeTextLine(out, compare::tableHeaderLine(t), false);
        if (differences != nullptr && !summary)
            for (const compare::Difference d : *differences) {
                if (format == Format::Text)
                    writeTextLine(out, d, false);
                else if (format == Format::Json)
                    writeJsonLine(out, d, t.name);
                else
                    writeCsvLine(out, d, t.name);
            }
        for (const auto& w : t.warnings) warnOnce("diff", t.name + ": " + w);
    };
    compare::SourceComparison run;
    try {
        if (database) {
            sides::SideSourceRequest sideRequest;
            sideRequest.source = request.source1;
            sideRequest.side = sides::parseSideUri(uriOperand);
            const std::string oneTable = sideFirst ? "diff " + uriOperand + " SOURCE TABLE"
                                                   : "diff SOURCE TABLE " + uriOperand;
            if (sideRequest.side.kind == sides::SideKind::Csv)
                throw UsageError("a CSV file is one table: " + oneTable);
            if (!sideRequest.side.table.empty())
                throw UsageError("the URI names one table: " + oneTable);
            sideRequest.timeZone = args.value("time-zone");
            sideRequest.pairing = pairing;
            sideRequest.options = sideDiffOptionsOf(args, formatName);
            sideRequest.options.sideFirst = sideFirst;
            sideRequest.only = request.only;
            sideRequest.excluded = request.excluded;
            sides::SideSourceCallbacks sideCallbacks;
            sideCallbacks.tableDone = [&](const compare::TableComparison& t,
                                          const compare::DifferenceList* differences,
                                          const sides::SideDiffResult* result) {
                tableDone(t, differences);
                if (result == nullptr || summary) return;
                // As for one table: after its lines, in the format's form.
                for (const auto& column : result->columns) {
                    if (format == Format::Text)
                        writeTextLine(out, sides::columnReportLine(column), false);
                    else if (format == Format::Json)
                        out.write(columnObject(column, t.name));
                    else
                        writeColumnRecord(out, column, sideFirst, t.name);
                }
            };
            run = sides::compareSourceWithSide(sideRequest, sideCallbacks);
        } else {
            compare::SourceComparisonCallbacks callbacks;
            callbacks.tableDone = [&](const compare::TableComparison& t,
                                      compare::CompareResult* result) {
                tableDone(t, t.compared() ? &result->differences : nullptr);
            };
            run = compare::compareSources(request, callbacks);
        }
    } catch (const sides::SideError& e) {
        return failure("diff", e.what());
    } catch (const foxpro::FoxProError& e) {
        return failure("diff", e.description());
    }
    try {
        out.flush();
        if (!reportPath.empty()) writeTextTo(report, reportPath);
    } catch (const std::exception& e) {
        return failure("diff", e.what());
    }
    return run.anyFailed() ? 2 : run.anyDifferent() ? 1 : 0;
}

}  // namespace quorvel::cli
