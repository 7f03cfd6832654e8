#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::compare {

// What the comparison leaves out or compares more loosely than value for
// value.  Every choice is off by default, and then the comparison is
// exactly the plain one.
struct CompareOptions {
    // Fields of Table #1 (names without regard to case) that are neither
    // compared nor reported missing; each must be a field of Table #1.
    // One text as joinKeyFields writes it in a settings store.
    std::vector<std::string> ignoredFields;
    // C, V and M values compare without their trailing blanks.
    bool ignoreTrailingBlanks = false;
    // C, V and M values compare after case folding (upperText).
    bool ignoreCase = false;
    // N, F, I, Y and B values whose difference is at most this compare
    // equal: a canonical decimal text ("0.005"), empty for none.
    std::string tolerance;
    // The comparison also lists how the two tables' structures differ.
    bool structure = false;

    bool textRules() const { return ignoreTrailingBlanks || ignoreCase; }
    // Whether values are compared by other rules than the plain ones.
    bool valueRules() const { return textRules() || !tolerance.empty(); }
};

// The canonical decimal text of a tolerance written with a decimal point
// ("0.50" -> "0.5", "2" -> "2"), or an empty text when text is not a
// number of at least 0 in that form (no sign, exponent or blanks).
std::string toleranceFromText(std::string_view text);

// The options as one text, for a settings store and back:
// "ignore=NOTE,STAMP;trim;case;tol=0.05;schema", each word only when its
// option is on ("" for none).  Unknown words and a tolerance that is no
// number read as off.
std::string optionsText(const CompareOptions& options);
CompareOptions optionsFromText(std::string_view text);

}  // namespace quorvel::compare
