#include "compare/compare_options.h"

#include <algorithm>

#include "compare/pairing.h"

namespace quorvel::compare {

std::string optionsText(const CompareOptions& options) {
    std::string text;
    const auto word = [&text](const std::string& w) {
        if (!text.empty()) text += ';';
        text += w;
    };
    if (!options.ignoredFields.empty()) word("ignore=" + joinKeyFields(options.ignoredFields));
    if (options.ignoreTrailingBlanks) word("trim");
    if (options.ignoreCase) word("case");
    if (!options.tolerance.empty()) word("tol=" + options.tolerance);
    if (options.structure) word("schema");
    return text;
}

CompareOptions optionsFromText(std::string_view text) {
    CompareOptions options;
    while (!text.empty()) {
        const std::string_view word = text.substr(0, text.find(';'));
        text.remove_prefix(std::min(text.size(), word.size() + 1));
        if (word.starts_with("ignore=")) options.ignoredFields = splitKeyFields(word.substr(7));
        if (word == "trim") options.ignoreTrailingBlanks = true;
        if (word == "case") options.ignoreCase = true;
        if (word.starts_with("tol=")) options.tolerance = toleranceFromText(word.substr(4));
        if (word == "schema") options.structure = true;
    }
    return options;
}

}  // namespace quorvel::compare
