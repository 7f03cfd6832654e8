#pragma once

// CSV (RFC 4180) as show, sql and diff --format csv write it: a field that
// holds ',', '"', CR or LF is quoted, a '"' in it doubled; records end with
// CR LF.

#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/output_stream.h"

namespace quorvel::cli {

// --csv-safe: a text field that a spreadsheet would take for a formula (one
// beginning with '=', '+', '-', '@', tab or CR, OWASP's rule) is written
// with a "'" before it, so that it is shown and never run.  Off by default:
// values are data and are written exactly.
const OptionSpec& csvSafeOption();

// Whether a field with this text is written with the "'" before it.
bool looksLikeFormula(std::string_view text);

// One field, a ',' before it unless it is the record's first; text fields
// only take the "'" of formulaSafe (a number such as -1.5 stays a number).
void writeCsvField(OutputStream& out, std::string_view text, bool first, bool formulaSafe = false);
void endCsvRecord(OutputStream& out);

// A whole record of text fields (a header of field names).
void writeCsvRecord(OutputStream& out, const std::vector<std::string_view>& fields,
                    bool formulaSafe = false);

}  // namespace quorvel::cli
