#pragma once

#include <string>
#include <string_view>

#include "foxpro/text_locale.h"

namespace quorvel::results {

// The part of text after the first startMarker, cut at the next startMarker
// (or the end), and then cut before the first endMarker (if any).  Markers
// are matched exactly, case-sensitive.  Throws std::invalid_argument naming
// the marker and the text when text is empty, startMarker is empty or
// startMarker does not occur.
std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker);

// The decimal separator of a locale: the second character (UTF-8) of that
// locale's text form of 0.5, with surrounding blanks trimmed first.
std::string DecimalSeparator(const foxpro::TextLocale& locale);

// The same for the user's locale (the process environment).
std::string DecimalSeparator();

}  // namespace quorvel::results
