#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foxpro/format/value.h"
#include "foxpro/text/text_locale.h"

namespace quorvel::foxpro {

// The one conversion of a value to text, as the comparison writes it into
// its lines and the command-line tool prints it.  In the C locale: null "",
// text as stored, decimals canonical ("-12.5"), integers in digits, currency
// with up to four decimals ("12.5"), doubles like printf("%.15G"), dates
// "2020-12-31", datetimes "2020-12-31 13:02:03", logicals "True"/"False".
// Binary values (Q, G, W, P) are written as FoxPro's binary literal: "0h"
// and two upper-case hex digits per byte ("0h48690A"); empty binary data is
// "".  In another locale numbers take its decimal separator and dates and
// datetimes its patterns.
std::string textForm(const Value& value, const TextLocale& locale);

// The same without a copy where the value holds its text form already (text
// as stored, which may be a memo of many megabytes): a view of the value's
// own text, or else of scratch, into which textForm is put.  Valid while
// both live unchanged.
std::string_view textFormView(const Value& value, const TextLocale& locale, std::string& scratch);

// The number a value holds, exactly, as SQL and the tolerance read it: "."
// as the decimal point, no grouping, currency with up to four decimals,
// doubles with the fewest digits that read back to the same double.
// nullopt for a value that is no number and for a double that is not finite.
std::optional<std::string> exactNumberText(const Value& value);

}  // namespace quorvel::foxpro
