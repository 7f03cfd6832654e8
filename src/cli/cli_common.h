#pragma once

// Helpers shared by the verbs of quorvel-cli: locale, CSV output, errors,
// --help and the once-only code-page warning.

#include <cstdio>
#include <string>
#include <vector>

#include "data/source_descriptor.h"
#include "foxpro/text_locale.h"

namespace quorvel::foxpro {
class Connection;
class TableReader;
}  // namespace quorvel::foxpro

namespace quorvel::cli {

// The text forms' locale from LC_ALL / LC_NUMERIC / LC_TIME / LANG.
foxpro::TextLocale localeFromEnvironment();

// One CSV record (RFC 4180): a field holding ',', '"', CR or LF is quoted,
// '"' doubled; records end with CRLF.
std::string csvRow(const std::vector<std::string>& fields);
void writeCsvRow(std::FILE* out, const std::vector<std::string>& fields);

// Prints "quorvel-cli VERB: message" as one line on standard error (line
// breaks inside the message become blanks) and returns the failure status 2.
int failure(const std::string& verb, const std::string& message);

// True when the arguments ask for help (--help, -h); prints usage to
// standard output then.
bool helpRequested(const std::vector<std::string>& args, const char* usage);

// Prints a warning line on standard error.
void warn(const std::string& verb, const std::string& message);

// Warns once per run when a table's code page cannot be converted (its text
// is then read byte for byte), and passes on the reader's other warnings
// (a record count that disagrees with the file size).
void warnAboutTable(const std::string& verb, const foxpro::TableReader& reader);

// Prints the rows of a SELECT as CSV: a header line with the field names,
// then one line per record, values in their text forms.  Throws FoxProError.
void printRows(foxpro::Connection& connection, const std::string& sql,
               const foxpro::TextLocale& locale);

// The source a SOURCE argument names, by the rule of every verb: an
// existing regular file is a database container (whatever its name ends
// in), anything else a folder of free tables; a path that is neither fails
// when it is opened.  The path is kept byte for byte.
data::SourceDescriptor sourceOf(const std::string& argument);

// Opens a connection to SOURCE (sourceOf) with the program's connection
// string.  Throws FoxProError.
void openSource(foxpro::Connection& connection, const std::string& source);

}  // namespace quorvel::cli
