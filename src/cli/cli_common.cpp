#include "cli/cli_common.h"

#include <new>
#include <set>

#include "cli/csv_output.h"
#include "cli/output_stream.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/code_page_name.h"
#include "foxpro/text/text_form.h"
#include "frame/printable_text.h"
#include "results/text_report.h"

namespace quorvel::cli {

foxpro::TextLocale localeFromEnvironment() {
    return foxpro::TextLocale::fromEnvironment();
}

const OptionSpec& localizedOption() {
    static const OptionSpec option{"localized", 0, "",
                                   "values in the forms of the current locale\n"
                                   "(LC_ALL, LC_NUMERIC, LC_TIME) instead of the C\n"
                                   "forms (1234.5, 2020-12-31)"};
    return option;
}

foxpro::TextLocale textLocale(const Arguments& args) {
    return args.has(localizedOption().name) ? localeFromEnvironment() : foxpro::TextLocale::c();
}

void writeTextTo(const std::string& text, const std::string& path,
                 const std::vector<std::string>& sourceFiles) {
    if (path != "-") {
        results::WriteTextFile(text, path, sourceFiles);
        return;
    }
    // Failures of standard output are found when the tool closes it.
    const std::string bytes = results::textFileBytes(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void printMessage(const std::string& verb, const std::string& message) {
    std::fprintf(stderr, "quorvel-cli %s: %s\n", verb.c_str(),
                 frame::printableText(message).c_str());
}

int failure(const std::string& verb, const std::string& message) {
    std::fflush(stdout);
    printMessage(verb, message);
    return 2;
}

void warn(const std::string& verb, const std::string& message) {
    printMessage(verb, "warning: " + message);
}

const OptionSpec& encodingOption() {
    static const OptionSpec option{"encoding", 0, "NAME",
                                   "read the tables in code page NAME whatever they\n"
                                   "say: a number (866, 1251, 65001) or an iconv name\n"
                                   "(CP866, UTF-8, KOI8-R)"};
    return option;
}

int codePageOf(const Arguments& args) {
    if (!args.has(encodingOption().name)) return 0;
    const std::string name = args.value(encodingOption().name);
    const int codePage = foxpro::codePageNamed(name);
    if (codePage == 0) throw UsageError("--encoding: '" + name + "' names no code page");
    if (!foxpro::canConvertCodePage(codePage))
        throw UsageError("--encoding: code page " + foxpro::codePageName(codePage) +
                         " cannot be converted on this system");
    return codePage;
}

void warnOnce(const std::string& verb, const std::string& message) {
    static std::set<std::string> said;
    if (said.insert(message).second) warn(verb, message);
}

void warnAboutTable(const std::string& verb, const foxpro::TableReader& reader) {
    static bool codePageWarned = false;
    static bool unmarkedWarned = false;
    for (const auto& w : reader.warnings()) {
        const bool aboutCodePage =
            !reader.codePageConvertible() && w.find("code page") != std::string::npos;
        if (aboutCodePage) {
            if (codePageWarned) continue;
            codePageWarned = true;
        }
        warnOnce(verb, w);
    }
    if (reader.unmarkedNonAsciiText() && !unmarkedWarned) {
        unmarkedWarned = true;
        warn(verb, reader.fileName() + ": no code page mark: read as " +
                       foxpro::codePageName(reader.layout().codePage) +
                       "; choose one with --encoding");
    }
}

void warnAboutTable(const std::string& verb, const std::string& connectionString,
                    const std::string& table) {
    try {
        foxpro::Connection connection;
        connection.open(connectionString);
        warnAboutTable(verb, *connection.source().openTable(table));
    } catch (const foxpro::FoxProError&) {
    }
}

void printRows(foxpro::Connection& connection, const std::string& sql,
               const foxpro::TextLocale& locale, const std::string& verb, bool formulaSafe) {
    foxpro::Recordset rs;
    rs.open(sql, connection, foxpro::kOpenStatic, foxpro::kLockOptimistic);
    warnAboutTable(verb, rs.table());
    const int n = rs.fieldCount();
    OutputStream out;
    for (int i = 0; i < n; ++i) writeCsvField(out, rs.field(i).name, i == 0, formulaSafe);
    endCsvRecord(out);
    std::string scratch;
    for (; !rs.eof(); rs.moveNext()) {
        for (int i = 0; i < n; ++i) {
            try {
                const foxpro::Value value = rs.value(i);
                writeCsvField(out, foxpro::textFormView(value, locale, scratch), i == 0,
                              formulaSafe && value.kind() == foxpro::Value::Kind::Text);
            } catch (const std::bad_alloc&) {
                throw foxpro::FoxProError(
                    foxpro::kErrorOutOfMemory,
                    rs.table().fileName() + ": not enough memory for record " +
                        std::to_string(rs.position()) + ", field " + rs.field(i).name);
            }
        }
        endCsvRecord(out);
    }
    out.flush();
    // What reading the rows has tolerated (a binary memo read as empty).
    warnAboutTable(verb, rs.table());
}

const OptionSpec& keyOption() {
    static const OptionSpec option{"key", 0, "FIELD[,FIELD...]",
                                   "pair records by these fields of both tables\n"
                                   "(names without case): numbers by value across\n"
                                   "N, F, I, Y and B, text without trailing blanks\n"
                                   "(and without case with --ignore-case), dates by\n"
                                   "value, null equal to null; the k-th record of a\n"
                                   "key value in TABLE1 pairs with the k-th in\n"
                                   "TABLE2.  Key values held by more than one record\n"
                                   "are named on standard error.  'auto': each\n"
                                   "table's own key: its container's primary key,\n"
                                   "else its first candidate index, else position"};
    return option;
}
const OptionSpec& alignOption() {
    static const OptionSpec option{"align", 0, "",
                                   "pair records by content: a longest common run\n"
                                   "of equal records, the records between two equal\n"
                                   "ones paired by their equal field values (first\n"
                                   "with first when more than 1000 stand between\n"
                                   "them on a side, or once weighing has cost 16\n"
                                   "record comparisons per record).  Without either,\n"
                                   "the n-th record pairs with the n-th"};
    return option;
}

std::vector<std::string> namesListed(const Arguments& args, const std::string& option) {
    std::vector<std::string> names;
    for (const auto& list : args.values(option))
        for (auto& name : compare::splitKeyFields(list)) names.push_back(std::move(name));
    return names;
}

compare::RecordPairing pairingOf(const Arguments& args) {
    compare::RecordPairing pairing;
    if (args.has(keyOption().name)) {
        if (args.has(alignOption().name)) throw UsageError("--key and --align exclude each other");
        pairing.by = compare::Pairing::Key;
        pairing.keyFields = namesListed(args, keyOption().name);
        if (pairing.keyFields.empty()) throw UsageError("--key needs a field name");
        // "auto": each table's own key (its container's primary key, else
        // its first candidate tag, else position).
        if (pairing.keyFields.size() == 1 && foxpro::equalsNoCase(pairing.keyFields[0], "auto")) {
            pairing.by = compare::Pairing::Auto;
            pairing.keyFields.clear();
        }
    } else if (args.has(alignOption().name)) {
        pairing.by = compare::Pairing::Content;
    }
    return pairing;
}

const OptionSpec& ignoreOption() {
    static const OptionSpec option{"ignore", 0, "FIELD[,FIELD...]",
                                   "leave these fields of TABLE1 out (names without\n"
                                   "case): no changed or missing-field lines; a merge\n"
                                   "keeps TABLE1's values and adds TABLE2's"};
    return option;
}
const OptionSpec& ignoreTrailingBlanksOption() {
    static const OptionSpec option{"ignore-trailing-blanks", 0, "",
                                   "compare C, V and M values without their\n"
                                   "trailing blanks (key fields of --key compare\n"
                                   "so always)"};
    return option;
}
const OptionSpec& ignoreCaseOption() {
    static const OptionSpec option{"ignore-case", 0, "",
                                   "compare C, V and M values without regard to\n"
                                   "case, key fields of --key too (lines show the\n"
                                   "values as stored)"};
    return option;
}
const OptionSpec& toleranceOption() {
    static const OptionSpec option{"tolerance", 0, "X",
                                   "N, F, I, Y and B values at most X apart (X >= 0,\n"
                                   "decimal point) compare equal"};
    return option;
}
const OptionSpec& schemaOption() {
    static const OptionSpec option{"schema", 0, "",
                                   "first the lines of how the structures differ:\n"
                                   "fields only in TABLE2, and fields whose type,\n"
                                   "width or decimals changed"};
    return option;
}

compare::CompareOptions compareOptionsOf(const Arguments& args) {
    compare::CompareOptions options;
    if (args.has(ignoreOption().name)) {
        options.ignoredFields = namesListed(args, ignoreOption().name);
        if (options.ignoredFields.empty()) throw UsageError("--ignore needs a field name");
    }
    options.ignoreTrailingBlanks = args.has(ignoreTrailingBlanksOption().name);
    options.ignoreCase = args.has(ignoreCaseOption().name);
    if (args.has(toleranceOption().name)) {
        const std::string text = args.value(toleranceOption().name);
        options.tolerance = compare::toleranceFromText(text);
        if (options.tolerance.empty())
            throw UsageError("--tolerance: '" + text +
                             "' is not a number of at least 0 written with a decimal point");
    }
    options.structure = args.has(schemaOption().name);
    return options;
}

data::SourceDescriptor sourceOf(const std::string& argument, int codePage) {
    data::SourceDescriptor source;
    source.optionDBC =
        foxpro::platform::pathKind(argument) == foxpro::platform::PathKind::RegularFile;
    (source.optionDBC ? source.dbcPath : source.folderText) = argument;
    source.codePage = codePage;
    return source;
}

void openSource(foxpro::Connection& connection, const std::string& source, int codePage) {
    connection.setMode(foxpro::kModeReadWrite);
    connection.open(data::connectionString(sourceOf(source, codePage)));
}

}  // namespace quorvel::cli
