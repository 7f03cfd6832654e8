#pragma once

// Helpers shared by the verbs of quorvel-cli: locale, CSV output, errors,
// output files, --encoding and the once-only code-page warning.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "compare/compare_options.h"
#include "compare/pairing.h"
#include "data/source_descriptor.h"
#include "foxpro/text/text_locale.h"

namespace quorvel::foxpro {
class Connection;
class TableReader;
}  // namespace quorvel::foxpro

namespace quorvel::cli {

// The text forms' locale from LC_ALL / LC_NUMERIC / LC_TIME / LANG.
foxpro::TextLocale localeFromEnvironment();

// The options shared by verbs are functions, so that the verbs' tables of
// options, made before main, never copy one that is not made yet.

// --localized, of the verbs that print values: the environment's forms
// instead of the C forms (decimal point, ISO dates) that other programs read.
const OptionSpec& localizedOption();
foxpro::TextLocale textLocale(const Arguments& args);

// Writes text to path, or to standard output when path is "-".  A file is
// replaced whole, and never one of sourceFiles (results::WriteTextFile).  Throws std::runtime_error
// naming the file and the problem.
void writeTextTo(const std::string& text, const std::string& path,
                 const std::vector<std::string>& sourceFiles = {});

// Prints "quorvel-cli VERB: message" as one line on standard error, control
// characters in the message shown escaped ("\n", "\x1b"): names from files
// and arguments never break it over lines or reach the terminal raw.
void printMessage(const std::string& verb, const std::string& message);

// Prints the message as printMessage does and returns the failure status 2.
int failure(const std::string& verb, const std::string& message);

// --encoding NAME, which every verb takes, and the code page it names: the
// one the verb reads its tables in (0 when not given: each table says).
// NAME is a code page number (866) or an iconv name (CP866, UTF-8).  An
// unknown or unconvertible NAME throws UsageError.
const OptionSpec& encodingOption();
int codePageOf(const Arguments& args);

// --key FIELD[,FIELD...] and --align, of diff and merge, and the pairing
// they ask for: by key fields (every --key's fields, in order), by content,
// or by position when neither is given.  Both together, or --key without a
// field name, throw UsageError.
// The names of an option given as NAME[,NAME...], once or more often.
std::vector<std::string> namesListed(const Arguments& args, const std::string& option);

const OptionSpec& keyOption();
const OptionSpec& alignOption();
compare::RecordPairing pairingOf(const Arguments& args);

// --ignore FIELD[,FIELD...], --ignore-trailing-blanks, --ignore-case and
// --tolerance X, of diff and merge, and --schema of diff; the options they
// ask for (every --ignore's fields, in order).  A tolerance that is not a
// number of at least 0 with a decimal point, or --ignore without a field
// name, throw UsageError.
const OptionSpec& ignoreOption();
const OptionSpec& ignoreTrailingBlanksOption();
const OptionSpec& ignoreCaseOption();
const OptionSpec& toleranceOption();
const OptionSpec& schemaOption();
compare::CompareOptions compareOptionsOf(const Arguments& args);

// Prints "quorvel-cli VERB: warning: message" as printMessage does; warnOnce only
// the first time a run meets that text.
void warn(const std::string& verb, const std::string& message);
void warnOnce(const std::string& verb, const std::string& message);

// Passes on what reading the table has tolerated (a record count that
// disagrees with the file size, ...), each text once per run.  Warns once
// per run when a table's code page cannot be converted (its text is then
// read byte for byte), and once when a table without a code page mark holds
// text beyond ASCII ("no code page mark: read as 437; choose one with
// --encoding").
void warnAboutTable(const std::string& verb, const foxpro::TableReader& reader);

// The same for TABLE of SOURCE as opened with its connection string, before
// another part of the program reads it; a table that cannot be opened gives
// no warning (its reader reports the failure).
void warnAboutTable(const std::string& verb, const std::string& connectionString,
                    const std::string& table);

// Prints the rows of a SELECT as CSV (csv_output.h) to standard output: a
// header line with the field names, then one line per record, values in
// their text forms, each converted once and written as it is read (a memo
// of many megabytes is held once); with formulaSafe (--csv-safe) text
// values and names that a spreadsheet would run get their "'".  Then the
// table's warnings (warnAboutTable).  Throws FoxProError, one that names
// the table, record and field when memory runs out for a value.
void printRows(foxpro::Connection& connection, const std::string& sql,
               const foxpro::TextLocale& locale, const std::string& verb, bool formulaSafe = false);

// The source a SOURCE argument names, by the rule of every verb: an
// existing regular file is a database container (whatever its name ends
// in), anything else a folder of free tables; a path that is neither fails
// when it is opened.  The path is kept byte for byte.  codePage as
// codePageOf gives it.
data::SourceDescriptor sourceOf(const std::string& argument, int codePage = 0);

// Opens a connection to SOURCE (sourceOf) with the program's connection
// string; codePage as codePageOf gives it.  Throws FoxProError.
void openSource(foxpro::Connection& connection, const std::string& source, int codePage);

}  // namespace quorvel::cli
