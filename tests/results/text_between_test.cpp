#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "compare/difference_line.h"
#include "foxpro/text_locale.h"
#include "results/text_helpers.h"

namespace quorvel::results {
namespace {

using ::testing::HasSubstr;

TEST(TextBetweenTest, ReadsTheMergePartsBackFromTheComparisonLines) {
    const std::string changed = compare::changedLine(17, "NAME", "Smith", "Smyth");
    EXPECT_EQ(TextBetween(changed, " \"", "\" "), "NAME");
    EXPECT_EQ(TextBetween(changed, "to \"", "\""), "Smyth");
    EXPECT_EQ(TextBetween(changed, "Record ", ","), "17");

    EXPECT_EQ(TextBetween(compare::addedLine(250, "CUSTOMER"), "Record ", " "), "250");
}

TEST(TextBetweenTest, FieldNameSurvivesValuesThatLookLikeMarkers) {
    // Old value with a blank + quote pair and a quote + blank pair inside.
    const std::string changed = compare::changedLine(3, "NOTE", "say \"hi\" now", "x");
    EXPECT_EQ(TextBetween(changed, " \"", "\" "), "NOTE");
    EXPECT_EQ(TextBetween(changed, "Record ", ","), "3");
}

TEST(TextBetweenTest, CutsAtTheNextStartMarkerAndIsCaseSensitive) {
    EXPECT_EQ(TextBetween("a[x]b[y]", "[", "]"), "x");
    EXPECT_EQ(TextBetween("[x[y]", "[", "]"), "x");        // no end marker before the next start
    EXPECT_EQ(TextBetween("pre[tail", "[", "]"), "tail");  // no end marker at all
    EXPECT_EQ(TextBetween("[]", "[", "]"), "");
    EXPECT_EQ(TextBetween("ab[", "[", "]"), "");
    EXPECT_THROW(TextBetween("record 5, Field", "Record ", ","), std::invalid_argument);
}

TEST(TextBetweenTest, MissingStartMarkerOrEmptyTextFailsNamingBoth) {
    try {
        TextBetween(" Field \"QTY\" not exist ", "Record ", ",");
        FAIL() << "no failure";
    } catch (const std::invalid_argument& e) {
        EXPECT_THAT(e.what(), HasSubstr("\"Record \""));
        EXPECT_THAT(e.what(), HasSubstr("QTY"));
    }
    EXPECT_THROW(TextBetween("", "Record ", ","), std::invalid_argument);
    EXPECT_THROW(TextBetween("Record 1,", "", ","), std::invalid_argument);
}

TEST(DecimalSeparatorTest, IsTheSecondCharacterOfTheLocalesHalf) {
    EXPECT_EQ(DecimalSeparator(foxpro::TextLocale::c()), ".");

    foxpro::TextLocale comma;
    comma.decimalSeparator = ",";
    EXPECT_EQ(DecimalSeparator(comma), ",");

    // A separator of several bytes comes back whole.
    foxpro::TextLocale arabic;
    arabic.decimalSeparator = "\xD9\xAB";  // U+066B
    EXPECT_EQ(DecimalSeparator(arabic), "\xD9\xAB");
}

}  // namespace
}  // namespace quorvel::results
