#pragma once

#include <string>
#include <string_view>

#include "compare/compare_options.h"
#include "foxpro/format/value.h"
#include "foxpro/text/text_locale.h"

namespace quorvel::compare {

// Whether two values of a field pair agree, by the plain rules of the
// comparison or by those of the options: numbers by value (number_value.h;
// within the tolerance when there is one), other values of different types
// by their texts, binary data of one type always, others by the typed
// comparison, null equal only to null.  Text that did not decode cleanly
// comes here as TablePair's marked text.
class ValueRules {
  public:
    explicit ValueRules(const CompareOptions& options);

    bool equal(const foxpro::Value& a, int typeA, const foxpro::Value& b, int typeB,
               const foxpro::TextLocale& locale) const;

    // Whether a field of this type has its text compared by the text rules,
    // or its number by the tolerance.
    bool textRuled(int type) const;
    bool toleranceRuled(int type) const;
    // Whether text compares without regard to case (key parts too).
    bool foldsCase() const { return foldCase_; }

    // The text as the text rules compare it: without trailing blanks, in
    // upper case.  The text itself when no text rule is on.
    std::string comparedText(std::string_view text) const;

  private:
    bool trimBlanks_;
    bool foldCase_;
    std::string tolerance_;
};

// Whether the difference of two numbers (Integer, Decimal, Double or
// Currency values) is at most tolerance, a canonical decimal text.  Exact
// for decimals of up to 36 digits; beyond that by long double.  NaN and the
// infinities are within any tolerance only of themselves.  False when
// either value is not a number.
bool withinTolerance(const foxpro::Value& a, const foxpro::Value& b, std::string_view tolerance);

}  // namespace quorvel::compare
