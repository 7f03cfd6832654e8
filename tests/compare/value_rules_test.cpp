#include "compare/value_rules.h"

#include <gtest/gtest.h>

#include "compare/case_fold.h"
#include "compare/structure_difference.h"

namespace quorvel::compare {
namespace {

using foxpro::Value;

TEST(ToleranceTest, TextsWithADecimalPointAtLeastZero) {
    const struct {
        const char* text;
        const char* canonical;  // "" refused
    } cases[] = {{"0.05", "0.05"}, {"0.50", "0.5"}, {".5", "0.5"}, {"007", "7"}, {"2.", "2"},
                 {"0", "0"},       {"0.000", "0"},  {"-1", ""},    {"1,5", ""},  {"1e3", ""},
                 {"", ""},         {".", ""},       {" 1", ""},    {"1.2.3", ""}};
    for (const auto& c : cases) EXPECT_EQ(toleranceFromText(c.text), c.canonical) << c.text;
}

TEST(ToleranceTest, DifferencesAtMostTheToleranceAcrossNumberKinds) {
    const struct {
        Value a, b;
        const char* tolerance;
        bool within;
    } cases[] = {
        // Exactly at the tolerance, where binary fractions would miss it.
        {Value::decimal("1.1"), Value::decimal("1"), "0.1", true},
        {Value::decimal("1.2"), Value::decimal("1"), "0.1", false},
        {Value::decimal("-0.3"), Value::decimal("0.3"), "0.6", true},
        {Value::integer(10), Value::currency(100500), "0.05", true},
        {Value::integer(10), Value::currency(100501), "0.05", false},
        {Value::real(0.1 + 0.2), Value::decimal("0.3"), "0.0000001", true},
        {Value::real(1e300), Value::real(1e300), "0", true},
        {Value::decimal("123456789012345678901234567890.5"),
         Value::decimal("123456789012345678901234567890.25"), "0.25", true},
        {Value::text("1"), Value::decimal("1"), "1", false},  // not a number
    };
    int row = 0;
    for (const auto& c : cases)
        EXPECT_EQ(withinTolerance(c.a, c.b, c.tolerance), c.within) << "case " << row++;
}

TEST(ValueRulesTest, TextRulesFoldCaseAndBlanksOfTextOnly) {
    CompareOptions options;
    options.ignoreTrailingBlanks = true;
    options.ignoreCase = true;
    const ValueRules rules(options);
    const auto locale = foxpro::TextLocale::c();
    using foxpro::kTypeChar;
    EXPECT_TRUE(
        rules.equal(Value::text("abc  "), kTypeChar, Value::text("ABC"), kTypeChar, locale));
    // Ärger, σοφός and Привет in two cases.
    EXPECT_TRUE(rules.equal(Value::text("\xC3\x84rger"), kTypeChar, Value::text("\xC3\xA4RGER"),
                            kTypeChar, locale));
    EXPECT_TRUE(rules.equal(Value::text("\xCF\x83\xCE\xBF\xCF\x86\xCF\x8C\xCF\x82"), kTypeChar,
                            Value::text("\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8C\xCE\xA3"), kTypeChar,
                            locale));
    EXPECT_TRUE(rules.equal(Value::text("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"),
                            foxpro::kTypeLongVarChar,
                            Value::text("\xD0\x9F\xD0\xA0\xD0\x98\xD0\x92\xD0\x95\xD0\xA2"),
                            foxpro::kTypeVarChar, locale));
    // Leading blanks and other letters still count; dates are untouched.
    EXPECT_FALSE(
        rules.equal(Value::text(" abc"), kTypeChar, Value::text("abc"), kTypeChar, locale));
    EXPECT_FALSE(rules.equal(Value::text("abd"), kTypeChar, Value::text("ABC"), kTypeChar, locale));
    options.tolerance = '5';
    EXPECT_FALSE(ValueRules(options).equal(Value::date({2020, 1, 1}), foxpro::kTypeDate,
                                           Value::date({2020, 1, 2}), foxpro::kTypeDate, locale));
    // Null equals only null, whatever the rules.
    EXPECT_FALSE(ValueRules(options).equal(Value::null(), foxpro::kTypeNumeric, Value::decimal("0"),
                                           foxpro::kTypeNumeric, locale));
    // Without rules nothing is folded.
    EXPECT_FALSE(
        ValueRules({}).equal(Value::text("a"), kTypeChar, Value::text("A"), kTypeChar, locale));
}

TEST(StructureDifferenceTest, DefinitionsAndLines) {
    const auto field = [](char letter, int width, int decimals) {
        foxpro::FieldInfo f;
        f.letter = letter;
        f.width = width;
        f.decimals = decimals;
        return f;
    };
    EXPECT_EQ(fieldTypeText(field('C', 10, 0)), "C(10)");
    EXPECT_EQ(fieldTypeText(field('N', 10, 2)), "N(10,2)");
    EXPECT_EQ(fieldTypeText(field('F', 8, 0)), "F(8,0)");
    EXPECT_EQ(fieldTypeText(field('M', 4, 0)), "M");
    EXPECT_EQ(fieldTypeText(field('I', 4, 0)), "I");
    EXPECT_EQ(fieldTypeText(field('D', 8, 0)), "D");
    EXPECT_EQ(structureLineText({StructureKind::OnlyInTable2, "EXTRA", "", "L"}, "t2"),
              "Field \"EXTRA\" is only in Table #2 (t2)");
    EXPECT_EQ(structureLineText({StructureKind::DefinitionChanged, "NAME", "C(10)", "C(12)"}, "t2"),
              "Field \"NAME\" changed from C(10) to C(12)");
}

}  // namespace
}  // namespace quorvel::compare
