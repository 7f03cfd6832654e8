#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "foxpro/format/field_info.h"
#include "foxpro/format/value.h"
#include "foxpro/sql/sql.h"
#include "results/sql_literal.h"

namespace quorvel::results {
namespace {

using foxpro::Value;
using ::testing::HasSubstr;

foxpro::FieldInfo field(char letter, bool memo = false) {
    foxpro::FieldInfo f;
    f.name = "AMOUNT";
    f.letter = letter;
    f.memo = memo;
    return f;
}

// The literal as the statement parser reads it back, so that what the merge
// writes is what the writer of the new table understands.
foxpro::Literal parsed(const std::string& literal) {
    const auto statement =
        foxpro::parseStatement("UPDATE [t] SET [f] = " + literal + " WHERE RECNO() = 1");
    return std::get<foxpro::UpdateStatement>(statement).value;
}

struct LiteralCase {
    const char* name;
    Value value;
    char letter;
    std::string expected;
};

class SqlLiteralTest : public ::testing::TestWithParam<LiteralCase> {};

// Keeps test listings (and so the test names CTest discovers) readable.
void PrintTo(const LiteralCase& c, std::ostream* os) {
    *os << c.name;
}

TEST_P(SqlLiteralTest, WritesTheValueExactlyForTheTargetType) {
    const auto& c = GetParam();
    const std::string literal = sqlLiteral(c.value, field(c.letter, c.letter == 'M'));
    EXPECT_EQ(literal, c.expected);
    EXPECT_NO_THROW(parsed(literal)) << literal;
}

INSTANTIATE_TEST_SUITE_P(
    Values, SqlLiteralTest,
    ::testing::Values(
        LiteralCase{"leading_zeros_stay_text", Value::text("007"), 'C', "'007'"},
        LiteralCase{"padding_kept", Value::text("abc   "), 'C', "'abc   '"},
        LiteralCase{"apostrophe_doubled", Value::text("O'Brien"), 'C', "'O''Brien'"},
        LiteralCase{"double_quote_whole", Value::text("say \"hi\""), 'V', "'say \"hi\"'"},
        LiteralCase{"empty_text", Value::text(""), 'C', "''"},
        LiteralCase{"memo", Value::text("line1\r\nline2"), 'M', "'line1\r\nline2'"},
        LiteralCase{"null_anywhere", Value::null(), 'N', "NULL"},
        LiteralCase{"decimal", Value::decimal("-12.5"), 'N', "-12.5"},
        LiteralCase{"integer", Value::integer(-2147483647), 'I', "-2147483647"},
        LiteralCase{"double_all_digits", Value::real(0.1 + 0.2), 'B', "0.30000000000000004"},
        LiteralCase{"double_big", Value::real(1e300), 'B', "1e+300"},
        LiteralCase{"currency_exact", Value::currency(-123456789), 'Y', "-12345.6789"},
        LiteralCase{"currency_whole", Value::currency(50000), 'Y', "5"},
        LiteralCase{"currency_small_negative", Value::currency(-5), 'Y', "-0.0005"},
        LiteralCase{"number_text_into_numeric", Value::text("  12.50"), 'N', "12.50"},
        LiteralCase{"integer_into_text", Value::integer(42), 'C', "'42'"},
        LiteralCase{"date", Value::date({2020, 12, 31}), 'D', "{^2020-12-31}"},
        LiteralCase{"datetime", Value::dateTime({{2020, 1, 2}, 13, 2, 3}), 'T',
                    "{^2020-01-02 13:02:03}"},
        LiteralCase{"date_into_datetime", Value::date({1999, 3, 4}), 'T', "{^1999-03-04 00:00:00}"},
        LiteralCase{"midnight_into_date", Value::dateTime({{1999, 3, 4}, 0, 0, 0}), 'D',
                    "{^1999-03-04}"},
        LiteralCase{"iso_text_into_date", Value::text("2021-06-30"), 'D', "{^2021-06-30}"},
        LiteralCase{"true", Value::logical(true), 'L', "True"},
        LiteralCase{"false", Value::logical(false), 'L', "False"},
        LiteralCase{"text_true_into_logical", Value::text("True"), 'L', "True"},
        LiteralCase{"binary", Value::bytes(std::string("\x00\xFFZ", 3)), 'Q', "0h00FF5A"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SqlLiteralFailureTest, RefusesConversionsThatLoseOrInventData) {
    // Each names the field so that the error report says what went wrong.
    const struct {
        Value value;
        char letter;
    } refused[] = {
        {Value::text("12 apples"), 'N'},
        {Value::text(""), 'N'},
        {Value::text("1,5"), 'N'},
        {Value::logical(true), 'N'},
        {Value::dateTime({{2020, 1, 2}, 13, 0, 0}), 'D'},
        {Value::text("31.12.2020"), 'D'},
        {Value::text("2020-02-30"), 'D'},
        {Value::text("maybe"), 'L'},
        {Value::integer(1), 'Q'},
        {Value::real(std::numeric_limits<double>::infinity()), 'B'},
    };
    for (const auto& r : refused) {
        try {
            const std::string literal = sqlLiteral(r.value, field(r.letter));
            ADD_FAILURE() << "accepted as " << literal;
        } catch (const std::invalid_argument& e) {
            EXPECT_THAT(e.what(), HasSubstr("AMOUNT"));
        }
    }
}

// What the merge hands the connection as a parsed literal is what the
// parser reads from the text it would send; where that text would not read
// back (a year past 9999), there is no parsed literal and the text goes.
TEST(ParsedLiteralTest, IsWhatTheParserReadsFromTheText) {
    const Value values[] = {
        Value::text("O'Brien  "), Value::text("  +.5 "), Value::text("5."),
        Value::text("-1.5e3"),    Value::text("1e+2"),   Value::text("2021-06-30 10:11"),
        Value::text("t"),         Value::null(),         Value::decimal("-0.05"),
        Value::integer(-7),       Value::real(1e-300),   Value::currency(-5),
        Value::logical(false),    Value::bytes("\x01'"), Value::date({2020, 2, 29}),
        Value::date({10000, 1, 1}), Value::dateTime({{1999, 3, 4}, 23, 59, 58}),
    };
    bool someNotParsed = false;
    for (const char letter : {'C', 'M', 'N', 'B', 'Y', 'D', 'T', 'L', 'Q'}) {
        for (const Value& value : values) {
            foxpro::FieldInfo target = field(letter, letter == 'M');
            target.nullable = true;
            std::string text;
            try {
                text = sqlLiteral(value, target, target);
            } catch (const std::invalid_argument&) {
                EXPECT_THROW(parsedLiteral(value, target, target), std::invalid_argument);
                continue;
            }
            const auto handed = parsedLiteral(value, target, target);
            std::optional<foxpro::Literal> read;
            try {
                read = parsed(text);
            } catch (const std::exception&) {
            }
            SCOPED_TRACE(std::string(1, letter) + " " + text);
            ASSERT_EQ(handed.has_value(), read.has_value());
            if (!read) {
                someNotParsed = true;
                continue;
            }
            EXPECT_EQ(handed->kind, read->kind);
            EXPECT_EQ(handed->text, read->text);
            EXPECT_EQ(handed->logical, read->logical);
            EXPECT_EQ(handed->dateTime, read->dateTime);
        }
    }
    EXPECT_TRUE(someNotParsed);
}

TEST(SqlLiteralNullTest, NullIsBlankWhereAFieldCannotHoldIt) {
    foxpro::FieldInfo plain = field('D');
    foxpro::FieldInfo nullable = field('D');
    nullable.nullable = true;
    // A blank date of a field without null reads as null: it stays blank.
    EXPECT_EQ(sqlLiteral(Value::null(), plain, nullable), "''");
    EXPECT_EQ(sqlLiteral(Value::null(), nullable, plain), "''");
    EXPECT_EQ(sqlLiteral(Value::null(), nullable, nullable), "NULL");
    EXPECT_EQ(sqlLiteral(Value::date({2020, 1, 2}), plain, plain), "{^2020-01-02}");
}

}  // namespace
}  // namespace quorvel::results
