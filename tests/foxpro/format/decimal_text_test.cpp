#include "foxpro/format/decimal_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::foxpro {
namespace {

struct DecimalCase {
    const char* stored;
    const char* canonical;
};

// The one-pass reading of plain numbers and the general path must agree;
// these reach the corners of the one-pass reading (zeros around the point,
// signs of zero, a point with nothing after it, an exponent handed on).
TEST(CanonicalDecimalTest, PlainAndExponentForms) {
    const DecimalCase cases[] = {
        {"   -0.50", "-0.5"}, {"  10.", "10"},    {"100.000", "100"}, {"  -00", "0"},
        {" -0.", "0"},        {"-", "0"},         {"+.0100", "0.01"}, {"1.E2", "100"},
        {"-1.5e1", "-15"},    {"12.5E", "12.5"},  {"0001", "1"},      {"  -.0001", "-0.0001"},
        {"\t 7", "7"},        {"3.14x1", "3.14"}, {"", "0"},          {"-0E5", "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(canonicalDecimal(c.stored), c.canonical) << c.stored;
}

TEST(CanonicalDecimalTest, LongTextTakesTheGeneralPath) {
    const std::string stored = std::string(300, ' ') + "-042.10";
    char buffer[kCanonicalDecimalRoom];
    EXPECT_TRUE(canonicalDecimalPlain(stored, buffer).empty());
    EXPECT_EQ(canonicalDecimal(stored), "-42.1");
    EXPECT_EQ(canonicalDecimalPlain("  -042.10", buffer), "-42.1");
    EXPECT_TRUE(canonicalDecimalPlain("2E3", buffer).empty());
}

}  // namespace
}  // namespace quorvel::foxpro
