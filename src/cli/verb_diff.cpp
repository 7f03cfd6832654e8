// quorvel-cli diff: the comparison of the wizard, for scripts.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_common.h"
#include "cli/csv_output.h"
#include "cli/diff_sources.h"
#include "cli/difference_formats.h"
#include "cli/output_stream.h"
#include "cli/side_verbs.h"
#include "cli/verbs.h"
#include "compare/compare.h"
#include "compare/difference_line.h"
#include "compare/text_diff.h"
#include "data/foxpro_source.h"
#include "data/source_descriptor.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/console.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "frame/dialogs.h"
#include "results/text_report.h"

namespace quorvel::cli {

namespace {

constexpr const char* kDescription =
    "Compares TABLE1 of SOURCE1 with TABLE2 of SOURCE2 record by record and prints\n"
    "one difference per line, in comparison order.\n"
    "A SOURCE is a folder of free tables or a .dbc database container.\n"
    "With two operands, every table of SOURCE1 is compared with the table of\n"
    "SOURCE2 of the same name (without case), each paired by its own key (--key\n"
    "auto) unless --key or --align is given; --ignore then takes TABLE.FIELD.  Per\n"
    "table a line 'Table \"NAME\": 1 changed, 0 added, 1 deleted, 0 missing fields\n"
    "(paired by primary key ID)' before its lines, 'Table \"NAME\": identical', or\n"
    "'Table \"NAME\" is only in source #1'; json adds a {\"kind\":\"table\",...}\n"
    "object before each table's differences, csv a table column first.  Exit\n"
    "status 2 when a table could not be compared (the others still are).\n"
    "With SOURCE1 TABLE1 URI (or URI TABLE2), TABLE1 is compared with a table of\n"
    "a CSV file, an SQLite or a PostgreSQL database (the URIs of 'quorvel-cli\n"
    "help show'): columns pair with fields by name without case (--map for\n"
    "others), records by --key, by the table's own key (--key auto; also for\n"
    "PostgreSQL, whose rows have no order), else by position.  Values compare by\n"
    "the FoxPro field's type: C without trailing blanks, N and F as exact\n"
    "decimals (within half a unit of the last decimal against a real number), D\n"
    "and T against dates, ISO text or day numbers (julian or since 1970, told by\n"
    "their size), L against booleans, 0/1, t/f, true/false and Y/N, binary\n"
    "fields by bytes (hex in CSV).  After the differences one line per column:\n"
    "  Column \"price\": 1000000 equal, 2 differ (N(10,2) as numeric)\n"
    "and where a text column is narrower than its field, '; COMPANY C(40) \u2192\n"
    "varchar(30): 12 values cut' after it (json and csv: of kind column, below).\n"
    "A database URI without table= (sqlite:PATH, postgresql://HOST/DB) stands for\n"
    "its table of TABLE1's own name (without case); when it has none, the message\n"
    "lists its tables of a like name.\n"
    "With SOURCE1 URI, where the URI names a database and no table (sqlite:PATH,\n"
    "postgresql://HOST/DB), every table of SOURCE1 is compared in that way with\n"
    "the database's table of the same name (without case), as with two sources:\n"
    "the same header lines, --tables, --exclude, --summary, formats and exit\n"
    "status, each table's column lines after its lines.  Each pairs by its own\n"
    "key, else by position in SQLite; in PostgreSQL a table without a key fails\n"
    "alone unless --key is given.\n"
    "With the URI first (URI SOURCE2 TABLE2, URI TABLE2.dbf, URI SOURCE2) the side\n"
    "is source #1: the lines are those of the FoxPro table first the other way\n"
    "round, as between two tables given in the other order: old values are the\n"
    "side's, record1 its row, rows without a record are deleted and records\n"
    "without a row added to TABLE2, fields are named as the side's columns, and\n"
    "a column without a field is the missing field (a field without a column a\n"
    "warning); the column lines, --key, --map and --ignore are as before, naming\n"
    "FoxPro fields.\n";

constexpr const char* kDetails =
    "Formats:\n"
    "  text  the difference lines of the windows and the report\n"
    "  json  JSON Lines, one object per difference: {\"kind\": \"changed\" | \"added\" |\n"
    "        \"deleted\" | \"missing_field\", \"record1\", \"record2\", \"field\", \"old\",\n"
    "        \"new\"}; what a kind lacks is null (a null value too), distinct from \"\"\n"
    "  csv   header kind,record1,record2,field,old,new, then one record per\n"
    "        difference (RFC 4180); what a kind lacks is empty\n"
    "Against a side, each column's line after the differences: json\n"
    "{\"kind\": \"column\", \"field\", \"column\", \"equal\", \"differ\", \"as\", \"cut\"} (cut:\n"
    "the values a narrower text column cut, else null); csv column,EQUAL,DIFFER,\n"
    "field as the differences name it, the as text, the values cut or nothing.\n"
    "--schema's lines come first, of kinds \"field_only_in_table2\" and\n"
    "\"field_definition_changed\", with field, old (null for the first) and new\n"
    "(\"N(10,2)\", \"M\").\n"
    "json and csv give values in the C forms (1234.5, 2020-12-31 13:02:03); text in\n"
    "the forms of the current locale, as the windows show them.  A value with line\n"
    "breaks spreads text over lines: -z ends lines with NUL (a backslash then\n"
    "written as \\\\, a NUL as \\0), and json keeps every value whole.\n"
    "--word-diff (text only) writes a changed memo, or a changed value with a line\n"
    "break or of more than 120 bytes, as\n"
    "  Record 7, Field \"CODE\" has changed: 1 line changed\n"
    "followed by its line diff in unified form, each line indented by four blanks\n"
    "(\"@@ -3,3 +3,3 @@\", then \" \" kept, \"-\" removed, \"+\" added, three lines of\n"
    "context), instead of the two whole values; lines are compared without their\n"
    "line ends, and a change of line ends alone says so.  With -z the NUL ends\n"
    "the difference, after its last diff line.\n"
    "\n"
    "Lines are printed as the comparison finds them; when it cannot go on, those\n"
    "found so far are printed and the report file is not written.\n"
    "\n"
    "Exit status: 0 no differences, 1 differences, 2 could not compare (or a usage\n"
    "error, or standard output could not be written).\n";

enum class Format { Text, Json, Csv };

Format formatNamed(const std::string& name) {
    if (name == "text") return Format::Text;
    if (name == "json") return Format::Json;
    if (name == "csv") return Format::Csv;
    throw UsageError("--format: '" + name + "' is not one of text, json, csv");
}

// Redraws one progress line on a terminal, a few times a second, from the
// counts the comparison hands over.
class ProgressLine {
  public:
    explicit ProgressLine(bool enabled)
        : enabled_(enabled), start_(Clock::now()), last_(start_ - std::chrono::seconds(1)) {}

    void update(std::int64_t pairs, std::int64_t recordCount) {
        done_ = pairs;
        total_ = recordCount;
    }

    void draw() {
        if (!enabled_) return;
        const auto now = Clock::now();
        if (now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
        std::fputs("\r\033[K", stderr);
        // Table #2 may run on past Table #1's count: the share stops at 100%.
        if (total_ > 0)
            std::fprintf(stderr, "%3lld%%  ",
                         static_cast<long long>(std::min<std::int64_t>(100, done_ * 100 / total_)));
        std::fprintf(stderr, "%lld", static_cast<long long>(done_));
        if (total_ > 0) std::fprintf(stderr, " of %lld", static_cast<long long>(total_));
        std::fprintf(stderr, " records  %.0f records/s", rate);
        std::fflush(stderr);
        drawn_ = true;
    }

    void erase() {
        if (!drawn_) return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }

  private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    Clock::time_point start_;
    Clock::time_point last_;
    std::int64_t done_ = 0;
    std::int64_t total_ = 0;
    bool drawn_ = false;
};

int fail(const std::string& problem) {
    return failure("diff", problem);
}

bool isText(const foxpro::FieldInfo& field) {
    return field.typeCode == foxpro::kTypeChar || field.typeCode == foxpro::kTypeVarChar ||
           field.typeCode == foxpro::kTypeLongVarChar;
}

// Which values of the two tables are text, for --csv-safe: Table #1's
// fields by position, and for each the k-th field of its name in Table #2
// (names without case), or Table #1's own when Table #2 has none.  A table
// that cannot be read leaves its values taken for text (the comparison
// then says what is wrong).
CsvSafety csvSafetyOf(const data::SourceDescriptor& source1, const std::string& table1,
                      const data::SourceDescriptor& source2, const std::string& table2) {
    CsvSafety safety;
    safety.on = true;
    try {
        const auto reader1 =
            foxpro::DataSource::open(source1.dataPath(), source1.codePage)->openTable(table1);
        const auto reader2 =
            foxpro::DataSource::open(source2.dataPath(), source2.codePage)->openTable(table2);
        for (int i = 0; i < reader1->fieldCount(); ++i) {
            const foxpro::FieldInfo& field = reader1->field(i);
            int seen = 0;
            for (int k = 0; k < i; ++k)
                if (foxpro::equalsNoCase(reader1->field(k).name, field.name)) ++seen;
            bool newIsText = isText(field);
            for (int j = 0; j < reader2->fieldCount(); ++j)
                if (foxpro::equalsNoCase(reader2->field(j).name, field.name) && seen-- == 0) {
                    newIsText = isText(reader2->field(j));
                    break;
                }
            safety.oldIsText.push_back(isText(field));
            safety.newIsText.push_back(newIsText);
        }
    } catch (const foxpro::FoxProError&) {
        safety.oldIsText.clear();
        safety.newIsText.clear();
    }
    return safety;
}

// Writes differences in the format to standard output as they come, in
// pieces: a long value goes out as it stands, never copied whole.
class LinePrinter {
  public:
    LinePrinter(Format format, bool nulTerminated, CsvSafety safety)
        : format_(format), nul_(nulTerminated), safety_(std::move(safety)) {
        if (format == Format::Csv) writeCsvHeader(out_);
    }

    // --word-diff: memos (Table #1's fields by position) and long values
    // go out as their line diff.
    void setWordDiff(std::vector<bool> memoFields) {
        wordDiff_ = true;
        memoFields_ = std::move(memoFields);
    }

    void addStructure(const compare::StructureDifference& s, const std::string& table2) {
        switch (format_) {
            case Format::Text:
                writeTextLine(out_, compare::structureLineText(s, table2), nul_);
                break;
            case Format::Json:
                exact_ = writeJsonLine(out_, s) && exact_;
                break;
            case Format::Csv:
                writeCsvLine(out_, s, safety_);
                break;
        }
    }

    void add(const compare::Difference& d) {
        switch (format_) {
            case Format::Text:
                if (wordDiff_ && d.kind == compare::DifferenceKind::Changed && lineDiffOf(d)) {
                    writeWordDiff(d);
                    break;
                }
                writeTextLine(out_, d, nul_);
                break;
            case Format::Json:
                exact_ = writeJsonLine(out_, d) && exact_;
                break;
            case Format::Csv:
                writeCsvLine(out_, d, safety_);
                break;
        }
    }

    void finish() {
        out_.flush();
        if (!exact_)
            warn("diff",
                 "text that is not UTF-8 was written with U+FFFD in place of its bad bytes");
    }

  private:
    bool lineDiffOf(const compare::Difference& d) const {
        const auto field = static_cast<std::size_t>(d.field);
        return (field < memoFields_.size() && memoFields_[field]) ||
               compare::wantsLineDiff(d.value1, d.value2);
    }

    // The difference's line and its hunks as one piece, escaped and ended
    // as a line of -z is.
    void writeWordDiff(const compare::Difference& d) {
        const compare::TextDiff diff = compare::diffLines(d.value1, d.value2);
        std::string text = "Record " + std::to_string(d.record1) + ", Field \"";
        text += d.fieldName;
        text += "\" has changed: " + compare::changeSummary(diff) + "\n";
        for (const compare::DiffHunk& hunk : compare::diffHunks(diff, 3))
            compare::appendUnifiedHunk(text, diff, hunk, "    ");
        text.pop_back();
        writeTextLine(out_, std::string_view(text), nul_);
    }

    Format format_;
    bool nul_;
    CsvSafety safety_;
    bool exact_ = true;
    bool wordDiff_ = false;
    std::vector<bool> memoFields_;
    OutputStream out_;
};

// Which of Table #1's fields are memos, by position.
std::vector<bool> memoFieldsOf(const data::SourceDescriptor& source, const std::string& table) {
    const auto reader =
        foxpro::DataSource::open(source.dataPath(), source.codePage)->openTable(table);
    std::vector<bool> memos;
    for (int i = 0; i < reader->fieldCount(); ++i) memos.push_back(reader->field(i).memo);
    return memos;
}

int runDiff(const Arguments& args) {
    if (diffNamesSide(args)) return diffWithSide(args);
    if (args.operands.size() == 2) return runDiffSources(args);
    for (const char* sideOnly : {"map", "empty-is-null", "time-zone"})
        if (args.has(sideOnly))
            throw UsageError(std::string("--") + sideOnly +
                             " goes with a CSV, SQLite or PostgreSQL side only");
    if (args.operands.size() != 4)
        throw UsageError("expected SOURCE1 TABLE1 SOURCE2 TABLE2 or SOURCE1 SOURCE2");
    for (const char* whole : {"tables", "exclude", "summary"})
        if (args.has(whole))
            throw UsageError(std::string("--") + whole + " goes with SOURCE1 SOURCE2 only");
    const Format format = formatNamed(args.value("format", "text"));
    const bool nulTerminated = args.has("null");
    const bool haveReport = args.has("report");
    const std::string reportPath = args.value("report");
    if (nulTerminated && format != Format::Text)
        throw UsageError("-z goes with --format text only");
    const bool csvSafe = args.has(csvSafeOption().name);
    if (csvSafe && format != Format::Csv)
        throw UsageError("--csv-safe goes with --format csv only");
    const bool wordDiff = args.has("word-diff");
    if (wordDiff && format != Format::Text)
        throw UsageError("--word-diff goes with --format text only");
    if (reportPath == "-" && (nulTerminated || format != Format::Text))
        throw UsageError("--report - puts the report on standard output in place of the lines");
    if (haveReport && reportPath.empty()) throw UsageError("--report needs a file name");

    const std::vector<std::string>& operands = args.operands;
    const int codePage = codePageOf(args);
    const compare::RecordPairing pairing = pairingOf(args);
    const compare::CompareOptions options = compareOptionsOf(args);
    const data::SourceDescriptor source1 = sourceOf(operands[0], codePage);
    const data::SourceDescriptor source2 = sourceOf(operands[2], codePage);
    warnAboutTable("diff", data::connectionString(source1), operands[1]);
    warnAboutTable("diff", data::connectionString(source2), operands[3]);
    // The formats for programs take the C forms; the lines are for people.
    const foxpro::TextLocale locale =
        format == Format::Text ? localeFromEnvironment() : foxpro::TextLocale::c();
    // The report is opened first, so that a report that cannot be written
    // is told before the comparison, and is put in place only when the
    // comparison completed.
    std::optional<results::TextReportFile> reportFile;
    if (haveReport && reportPath != "-") {
        try {
            // The report never replaces a file of the compared tables.
            std::vector<std::string> sourceFiles = data::SourceTableFiles(source1, operands[1]);
            for (auto& file : data::SourceTableFiles(source2, operands[3]))
                sourceFiles.push_back(std::move(file));
            reportFile.emplace(reportPath, sourceFiles);
        } catch (const std::exception& e) {
            return fail(e.what());
        }
    }
    std::optional<results::TextReportStream> report;
    if (reportFile)
        report.emplace([&](std::string_view bytes) { reportFile->write(bytes); });
    else if (haveReport)
        report.emplace([](std::string_view bytes) {
            if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
                throw std::runtime_error("standard output could not be written");
        });
    std::optional<LinePrinter> lines;
    if (reportPath != "-")
        lines.emplace(
            format, nulTerminated,
            csvSafe ? csvSafetyOf(source1, operands[1], source2, operands[3]) : CsvSafety{});
    if (lines && wordDiff) {
        // A table that cannot be read is told by the comparison itself.
        std::vector<bool> memos;
        try {
            memos = memoFieldsOf(source1, operands[1]);
        } catch (const std::exception&) {
        }
        lines->setWordDiff(std::move(memos));
    }

    CollectingDialogs dialogs;
    ProgressLine progress(foxpro::platform::standardErrorIsTerminal());
    compare::CompareCallbacks callbacks;
    callbacks.counted = [&](std::int64_t pairs, std::int64_t count) {
        progress.update(pairs, count);
    };
    callbacks.processEvents = [&] { progress.draw(); };
    // Every line is written as the comparison finds it: memory stays flat
    // however many there are.
    callbacks.differenceFound = [&](const compare::Difference& d) {
        if (lines) lines->add(d);
        if (report) report->add(d);
    };
    callbacks.keepDifferences = false;
    callbacks.structureFound = [&](const std::vector<compare::StructureDifference>& structure) {
        for (const auto& s : structure) {
            if (lines) lines->addStructure(s, operands[3]);
            if (report) report->addStructure(s, operands[3]);
        }
    };

    compare::CompareResult result = compare::Compare(source1, source2, operands[1], operands[3],
                                                     locale, dialogs, callbacks, pairing, options);
    progress.erase();
    if (!result.completed()) {
        // The lines found before the failure are out in part already: all
        // of them go out, and the exit status says that they are not all.
        // The report is not put in place.
        try {
            if (lines) lines->finish();
        } catch (const std::exception&) {
        }
        return fail(result.failure);
    }
    try {
        if (lines) lines->finish();
        if (report) report->finish();
        if (reportFile) reportFile->commit();
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    // Which key the table's own key turned out to be, beside the lines.
    if (pairing.by == compare::Pairing::Auto) {
        printMessage("diff", compare::pairingDescription(result.pairing));
        for (const auto& note : result.pairingNotes) printMessage("diff", note);
    }
    for (const auto& duplicate : result.duplicateKeys)
        warn("diff", compare::duplicateKeyText(duplicate));
    // Failures the walk went on after (a record count that could not be
    // read, say) do not change the lines, but a script should see them.
    for (const auto& report : dialogs.reports) warn("diff", report);
    for (const auto& w : result.warnings) warnOnce("diff", w);
    return result.differences.found() == 0 && result.structure.empty() ? 0 : 1;
}

const VerbRegistration registration{{
    "diff",
    "compare two tables and print their differences",
    "SOURCE1 TABLE1 SOURCE2 TABLE2 | SOURCE1 SOURCE2 | SOURCE1 TABLE1 URI | SOURCE1 URI | "
    "URI SOURCE2 TABLE2 | URI SOURCE2",
    2,
    4,
    {{"format", 0, "FORMAT", "text (the default), json or csv: see below"},
     {"report", 0, "FILE",
      "also write the text report (field differences\n"
      "first, CR LF); '-': to standard output, in place\n"
      "of the lines"},
     {"null", 'z', "",
      "end every line with a NUL byte instead of a line\n"
      "feed, a backslash in a line written as \\\\ and a\n"
      "NUL as \\0"},
     csvSafeOption(),
     {"word-diff", 0, "",
      "text: a changed memo or long value as its line\n"
      "diff, indented under its line: see below"},
     {"tables", 0, "NAME[,NAME...]", "SOURCE1 SOURCE2: only these tables"},
     {"exclude", 0, "NAME[,NAME...]", "SOURCE1 SOURCE2: all tables but these"},
     {"summary", 0, "", "SOURCE1 SOURCE2: one line per table only"},
     keyOption(),
     alignOption(),
     ignoreOption(),
     ignoreTrailingBlanksOption(),
     ignoreCaseOption(),
     toleranceOption(),
     schemaOption(),
     {"map", 0, "FIELD=COLUMN[,...]", "URI: the column a field pairs with"},
     {"empty-is-null", 0, "",
      "URI: an empty FoxPro value (blank C, empty date)\n"
      "and NULL are equal"},
     {"time-zone", 0, "ZONE", "URI: the zone PostgreSQL's timestamptz is read in\n(UTC by default)"},
     encodingOption()},
    kDescription,
    kDetails,
    runDiff,
}};

}  // namespace

}  // namespace quorvel::cli
