// quorvel-cli diff SOURCE1 SOURCE2: the comparison of whole sources.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/csv_output.h"
#include "cli/diff_sources.h"
#include "cli/difference_formats.h"
#include "cli/output_stream.h"
#include "compare/compare.h"
#include "compare/difference_line.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/source/data_source.h"
#include "frame/dialogs.h"

namespace quorvel::cli {

namespace {

enum class Format { Text, Json, Csv };

bool listed(const std::vector<std::string>& names, const std::string& name) {
    for (const auto& n : names)
        if (foxpro::equalsNoCase(n, name)) return true;
    return false;
}

std::vector<std::string> namesOf(const Arguments& args, const std::string& option) {
    std::vector<std::string> names;
    for (const auto& list : args.values(option))
        for (auto& name : compare::splitKeyFields(list)) names.push_back(std::move(name));
    return names;
}

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// One table's outcome, for its header line or object.
struct TableOutcome {
    std::string name;
    std::string status;  // identical, different, only_in_source1, only_in_source2, failed
    compare::RecordPairing pairing;
    std::string keySource;
    std::size_t changed = 0, added = 0, deleted = 0, missing = 0;
    std::string message;
};

// "primary key CUSTOMERID" out of the pairing line's note.
std::string pairedBy(const compare::RecordPairing& pairing) {
    std::string text = compare::pairingDescription(pairing);
    text.erase(0, std::string("Records paired by ").size());
    if (const auto note = text.find(" ("); note != std::string::npos) text.resize(note);
    return text;
}

std::string headerLine(const TableOutcome& t) {
    const std::string quoted = "Table \"" + t.name + "\"";
    if (t.status == "only_in_source1") return quoted + " is only in source #1";
    if (t.status == "only_in_source2") return quoted + " is only in source #2";
    if (t.status == "failed") return quoted + ": could not be compared: " + t.message;
    if (t.status == "identical") return quoted + ": identical";
    return quoted + ": " + std::to_string(t.changed) + " changed, " + std::to_string(t.added) +
           " added, " + std::to_string(t.deleted) + " deleted, " + std::to_string(t.missing) +
           " missing fields (paired by " + pairedBy(t.pairing) + ")";
}

std::string tableObject(const TableOutcome& t) {
    const bool compared = t.status == "identical" || t.status == "different";
    std::string pairing = "null", key = "null", source = "null";
    if (compared) {
        pairing = jsonText(std::string(t.pairing.by == compare::Pairing::Key       ? "key"
                                       : t.pairing.by == compare::Pairing::Content ? "content"
                                                                                   : "position"));
        if (t.pairing.by == compare::Pairing::Key) {
            key = "[";
            for (std::size_t i = 0; i < t.pairing.keyFields.size(); ++i)
                key += (i ? "," : "") + jsonText(t.pairing.keyFields[i]);
            key += "]";
            if (!t.keySource.empty()) source = jsonText(t.keySource);
        }
    }
    auto count = [&](std::size_t n) { return compared ? std::to_string(n) : std::string("null"); };
    return "{\"kind\":\"table\",\"table\":" + jsonText(t.name) + ",\"status\":\"" + t.status +
           "\",\"pairing\":" + pairing + ",\"key\":" + key + ",\"key_source\":" + source +
           ",\"changed\":" + count(t.changed) + ",\"added\":" + count(t.added) +
           ",\"deleted\":" + count(t.deleted) + ",\"missing_field\":" + count(t.missing) +
           ",\"message\":" + (t.message.empty() ? std::string("null") : jsonText(t.message)) +
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
    const bool summary = args.has("summary");
    const std::string reportPath = args.value("report");
    if (args.has("report") && reportPath.empty()) throw UsageError("--report needs a file name");

    const int codePage = codePageOf(args);
    compare::RecordPairing pairing = pairingOf(args);
    // Whole sources pair each table by its own key unless told otherwise.
    if (!args.has(keyOption().name) && !args.has(alignOption().name))
        pairing.by = compare::Pairing::Auto;
    const compare::CompareOptions options = compareOptionsOf(args);
    const std::vector<std::string> only = namesOf(args, "tables");
    const std::vector<std::string> excluded = namesOf(args, "exclude");
    const data::SourceDescriptor source1 = sourceOf(args.operands[0], codePage);
    const data::SourceDescriptor source2 = sourceOf(args.operands[1], codePage);
    std::vector<std::string> names1, names2;
    try {
        names1 = foxpro::DataSource::open(source1.dataPath(), codePage)->tableNames();
        names2 = foxpro::DataSource::open(source2.dataPath(), codePage)->tableNames();
    } catch (const foxpro::FoxProError& e) {
        return failure("diff", e.description());
    }
    auto wanted = [&](const std::string& name) {
        return (only.empty() || listed(only, name)) && !listed(excluded, name);
    };
    const foxpro::TextLocale locale =
        format == Format::Text ? localeFromEnvironment() : foxpro::TextLocale::c();

    OutputStream out;
    std::string report;
    if (format == Format::Csv && !summary) {
        writeCsvField(out, "table", true);
        for (const char* column : {"kind", "record1", "record2", "field", "old", "new"})
            writeCsvField(out, column, false);
        endCsvRecord(out);
    }
    bool differs = false, failed = false;
    auto emitHeader = [&](const TableOutcome& t) {
        const std::string line = headerLine(t);
        report += line + "\r\n";
        if (format == Format::Json)
            out.write(tableObject(t));
        else if (format == Format::Text || summary)
            writeTextLine(out, line, false);
    };

    for (const std::string& name : names1) {
        if (!wanted(name)) continue;
        TableOutcome t;
        t.name = name;
        std::string name2;
        for (const auto& n : names2)
            if (foxpro::equalsNoCase(n, name)) name2 = n;
        if (name2.empty()) {
            t.status = "only_in_source1";
            differs = true;
            emitHeader(t);
            continue;
        }
        // --ignore TABLE.FIELD: the fields of this table.
        compare::CompareOptions tableOptions = options;
        tableOptions.ignoredFields.clear();
        for (const auto& field : options.ignoredFields) {
            const auto dot = field.find('.');
            if (dot != std::string::npos && foxpro::equalsNoCase(field.substr(0, dot), name))
                tableOptions.ignoredFields.push_back(field.substr(dot + 1));
        }
        CollectingDialogs dialogs;
        const compare::CompareResult result = compare::Compare(
            source1, source2, name, name2, locale, dialogs, {}, pairing, tableOptions);
        t.pairing = result.pairing;
        if (result.pairing.by == compare::Pairing::Key && pairing.by == compare::Pairing::Auto)
            t.keySource =
                result.pairing.note.starts_with("primary key") ? "primary key" : "candidate index";
        if (!result.completed()) {
            t.status = "failed";
            t.message = result.failure;
            failed = true;
            emitHeader(t);
            continue;
        }
        // Position pairing repeats a missing field's line per record: the
        // header counts fields.
        std::vector<int> missingFields;
        for (const compare::Difference d : result.differences) {
            if (d.kind == compare::DifferenceKind::MissingField) {
                bool seen = false;
                for (const int f : missingFields) seen = seen || f == d.field;
                if (!seen) missingFields.push_back(d.field);
                continue;
            }
            switch (d.kind) {
                case compare::DifferenceKind::Changed:
                    ++t.changed;
                    break;
                case compare::DifferenceKind::Added:
                    ++t.added;
                    break;
                case compare::DifferenceKind::Deleted:
                    ++t.deleted;
                    break;
                case compare::DifferenceKind::MissingField:
                    break;
            }
        }
        t.missing = missingFields.size();
        t.status = result.differences.found() == 0 ? "identical" : "different";
        differs = differs || t.status == "different";
        emitHeader(t);
        for (const compare::Difference d : result.differences) {
            report += compare::lineText(d) + "\r\n";
            if (summary) continue;
            if (format == Format::Text)
                writeTextLine(out, d, false);
            else if (format == Format::Json)
                writeJsonLine(out, d, name);
            else
                writeCsvLine(out, d, name);
        }
        for (const auto& w : result.warnings) warnOnce("diff", name + ": " + w);
    }
    for (const std::string& name : names2) {
        if (!wanted(name) || listed(names1, name)) continue;
        TableOutcome t;
        t.name = name;
        t.status = "only_in_source2";
        differs = true;
        emitHeader(t);
    }
    try {
        out.flush();
        if (!reportPath.empty()) writeTextTo(report, reportPath);
    } catch (const std::exception& e) {
        return failure("diff", e.what());
    }
    return failed ? 2 : differs ? 1 : 0;
}

}  // namespace quorvel::cli
