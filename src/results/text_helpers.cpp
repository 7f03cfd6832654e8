#include "results/text_helpers.h"

#include <stdexcept>

#include "foxpro/text_form.h"
#include "foxpro/value.h"

namespace quorvel::results {

std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker) {
    // An empty marker would "occur" everywhere and yield nothing useful, so
    // it counts as not found rather than as a match at the start.
    const auto start =
        (text.empty() || startMarker.empty()) ? std::string_view::npos : text.find(startMarker);
    if (start == std::string_view::npos) {
        throw std::invalid_argument("\"" + std::string(startMarker) + "\" not found in \"" +
                                    std::string(text) + "\"");
    }
    std::string_view rest = text.substr(start + startMarker.size());
    rest = rest.substr(0, rest.find(startMarker));
    return std::string(rest.substr(0, rest.find(endMarker)));
}

namespace {

// Length of the UTF-8 sequence that begins with byte c (1 for stray bytes,
// so that a malformed text still moves forward).
std::size_t sequenceLength(unsigned char c) {
    if (c >= 0xF0 && c < 0xF8) return 4;
    if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
    if (c >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::string DecimalSeparator(const foxpro::TextLocale& locale) {
    std::string form = foxpro::textForm(foxpro::Value::real(0.5), locale);
    const auto first = form.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    form = form.substr(first, form.find_last_not_of(' ') - first + 1);
    const std::size_t second = sequenceLength(static_cast<unsigned char>(form[0]));
    if (second >= form.size()) return "";
    return form.substr(second, sequenceLength(static_cast<unsigned char>(form[second])));
}

std::string DecimalSeparator() {
    return DecimalSeparator(foxpro::TextLocale::fromEnvironment());
}

}  // namespace quorvel::results
