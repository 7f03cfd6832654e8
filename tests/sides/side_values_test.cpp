// A FoxPro value against a side's cell, by the field's type: the rules a
// migrated value is held to, equal and unequal cases side by side.

#include "sides/side_values.h"

#include <gtest/gtest.h>

#include <cctype>

#include "foxpro/format/value.h"

namespace quorvel::sides {
namespace {

using foxpro::Value;

foxpro::FieldInfo fieldOf(char letter, int typeCode, int width, int decimals = 0) {
    foxpro::FieldInfo f;
    f.name = "F";
    f.letter = letter;
    f.typeCode = typeCode;
    f.width = width;
    f.decimals = decimals;
    return f;
}

SideCell cell(std::string text, CellStorage storage = CellStorage::Text) {
    SideCell c;
    c.text = std::move(text);
    c.storage = storage;
    return c;
}

SideCell nullCell() {
    SideCell c;
    c.null = true;
    return c;
}

SideCell blankCell() {
    SideCell c;
    c.blank = true;
    c.null = true;  // as the CSV side marks it
    return c;
}

struct Case {
    const char* what;
    foxpro::FieldInfo field;
    std::string columnType;
    Value fox;
    bool foxNull;
    SideCell side;
    bool equal;
};

class SideValuesTest : public ::testing::TestWithParam<Case> {};

TEST_P(SideValuesTest, ComparesByTheFieldsType) {
    const Case& c = GetParam();
    SideValueRules rules;
    FieldColumn column(c.field, SideColumn{"f", c.columnType}, rules);
    EXPECT_EQ(column.equal(column.fox(c.fox, c.foxNull), column.side(c.side)), c.equal) << c.what;
    // A key pairs exactly the values that compare equal (real numbers aside).
    if (c.side.storage != CellStorage::Real) {
        EXPECT_EQ(column.foxKey(c.fox, c.foxNull) == column.sideKey(c.side), c.equal) << c.what;
    }
}

const foxpro::FieldInfo kChar = fieldOf('C', foxpro::kTypeChar, 10);
const foxpro::FieldInfo kMemo = fieldOf('M', foxpro::kTypeLongVarChar, 4);
const foxpro::FieldInfo kPrice = fieldOf('N', foxpro::kTypeNumeric, 10, 2);
const foxpro::FieldInfo kMoney = fieldOf('Y', foxpro::kTypeCurrency, 8, 4);
const foxpro::FieldInfo kDate = fieldOf('D', foxpro::kTypeDate, 8);
const foxpro::FieldInfo kStamp = fieldOf('T', foxpro::kTypeTimestamp, 8);
const foxpro::FieldInfo kFlag = fieldOf('L', foxpro::kTypeBoolean, 1);
const foxpro::FieldInfo kBlob = fieldOf('Q', foxpro::kTypeVarBinary, 4);
const foxpro::FieldInfo kReal = fieldOf('B', foxpro::kTypeDouble, 8, 2);

const Value kDay = Value::date({2020, 1, 2});
const Value kNoon = Value::dateTime({{2020, 1, 2}, 12, 0, 0});

INSTANTIATE_TEST_SUITE_P(
    Rules, SideValuesTest,
    ::testing::Values(
        Case{"C blanks", kChar, "varchar(10)", Value::text("Ann       "), false, cell("Ann  "),
             true},
        Case{"C other", kChar, "text", Value::text("Ann       "), false, cell("ann"), false},
        Case{"C leading blank", kChar, "text", Value::text(" Ann      "), false, cell("Ann"),
             false},
        Case{"M keeps blanks", kMemo, "text", Value::text("a "), false, cell("a"), false},
        Case{"blank C vs NULL", kChar, "text", Value::text("          "), false, nullCell(), false},
        Case{"null vs NULL", kChar, "text", Value::null(), true, nullCell(), true},
        Case{"CSV blank vs blank C", kChar, "text", Value::text("   "), false, blankCell(), true},
        Case{"N exact", kPrice, "numeric(10,2)", Value::decimal("12.5"), false, cell("12.50"),
             true},
        Case{"N one cent", kPrice, "numeric(10,2)", Value::decimal("12.5"), false, cell("12.51"),
             false},
        Case{"N more decimals", kPrice, "numeric", Value::decimal("12.5"), false, cell("12.501"),
             false},
        Case{"N not a number", kPrice, "text", Value::decimal("0"), false, cell("zero"), false},
        Case{"N integer", kPrice, "integer", Value::decimal("7"), false,
             cell("7", CellStorage::Integer), true},
        Case{"N real near", kPrice, "real", Value::decimal("0.1"), false,
             cell("0.1000000001", CellStorage::Real), true},
        Case{"N real off", kPrice, "real", Value::decimal("0.1"), false,
             cell("0.106", CellStorage::Real), false},
        Case{"Y numeric", kMoney, "numeric(19,4)", Value::currency(123456), false, cell("12.3456"),
             true},
        Case{"Y off", kMoney, "numeric(19,4)", Value::currency(123456), false, cell("12.3457"),
             false},
        // Its shortest text, 4096.285714285715, would round up at the 15th digit.
        Case{"B 15 digits rounded", kReal, "real", Value::real(4096.2857142857146755), false,
             cell("4096.28571428571", CellStorage::Real), true},
        Case{"B 13th digit", kReal, "real", Value::real(0.3), false,
             cell("0.3000000000001", CellStorage::Real), false},
        Case{"B 15 digits", kReal, "real", Value::real(0.1 + 0.2), false,
             cell("0.3", CellStorage::Real), true},
        Case{"D iso", kDate, "date", kDay, false, cell("2020-01-02"), true},
        Case{"D other day", kDate, "date", kDay, false, cell("2020-01-03"), false},
        Case{"D julian real", kDate, "", kDay, false, cell("2458850.5", CellStorage::Real), true},
        Case{"D julian integer", kDate, "", kDay, false, cell("2458851", CellStorage::Integer),
             true},
        Case{"D unix days", kDate, "", kDay, false, cell("18263", CellStorage::Integer), true},
        Case{"D unix seconds", kDate, "", kDay, false, cell("1577923200", CellStorage::Integer),
             true},
        Case{"D with time", kDate, "text", kDay, false, cell("2020-01-02 10:00:00"), false},
        Case{"D bad text", kDate, "text", kDay, false, cell("02.01.2020"), false},
        Case{"empty D vs NULL", kDate, "date", Value::null(), false, nullCell(), false},
        Case{"empty D vs CSV blank", kDate, "text", Value::null(), false, blankCell(), true},
        Case{"T iso T", kStamp, "text", kNoon, false, cell("2020-01-02T12:00:00"), true},
        Case{"T zone and fraction", kStamp, "timestamptz", kNoon, false,
             cell("2020-01-02 11:59:59.6+00"), true},
        Case{"T a second off", kStamp, "timestamp", kNoon, false, cell("2020-01-02 12:00:01"),
             false},
        Case{"T unix seconds", kStamp, "", kNoon, false, cell("1577966400", CellStorage::Integer),
             true},
        Case{"T julian", kStamp, "", kNoon, false, cell("2458851.0", CellStorage::Real), true},
        Case{"L t", kFlag, "boolean", Value::logical(true), false, cell("t"), true},
        Case{"L 0", kFlag, "integer", Value::logical(false), false, cell("0", CellStorage::Integer),
             true},
        Case{"L Yes", kFlag, "text", Value::logical(true), false, cell("Yes"), true},
        Case{"L wrong", kFlag, "text", Value::logical(true), false, cell("false"), false},
        Case{"L maybe", kFlag, "text", Value::logical(true), false, cell("maybe"), false},
        Case{"Q blob", kBlob, "blob", Value::bytes("\x01\xff"), false,
             cell("\x01\xff", CellStorage::Blob), true},
        Case{"Q hex", kBlob, "text", Value::bytes("\x01\xff"), false, cell("0h01FF"), true},
        Case{"Q other hex", kBlob, "text", Value::bytes("\x01\xff"), false, cell("01FE"), false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::to_string(info.index); });

TEST(SideValueRulesTest, OptionsLoosenTheRules) {
    SideValueRules rules;
    FieldColumn date(kDate, SideColumn{"d", "date"}, rules);
    FieldColumn name(kChar, SideColumn{"n", "text"}, rules);
    FieldColumn price(kPrice, SideColumn{"p", "numeric"}, rules);
    rules.emptyIsNull = true;
    EXPECT_TRUE(date.equal(date.fox(Value::null(), false), date.side(nullCell())));
    EXPECT_TRUE(name.equal(name.fox(Value::text("   "), false), name.side(nullCell())));
    EXPECT_EQ(name.foxKey(Value::text("  "), false), name.sideKey(nullCell()));
    rules.foldCase = [](std::string_view t) {
        std::string out(t);
        for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return out;
    };
    EXPECT_TRUE(name.equal(name.fox(Value::text("Ann"), false), name.side(cell("ANN"))));
    rules.tolerance = "0.05";
    EXPECT_TRUE(price.equal(price.fox(Value::decimal("1"), false), price.side(cell("1.05"))));
    EXPECT_FALSE(price.equal(price.fox(Value::decimal("1"), false), price.side(cell("1.06"))));
}

TEST(SideValueRulesTest, ReportsHowAColumnWasReadAndWhatANarrowerOneCuts) {
    SideValueRules rules;
    FieldColumn date(kDate, SideColumn{"d", ""}, rules);
    date.side(cell("2458850.5", CellStorage::Real));
    EXPECT_EQ(date.description(), "D as untyped, julian day numbers");
    date.side(cell("18263", CellStorage::Integer));
    EXPECT_EQ(date.description(), "D as untyped, julian day numbers and unix day numbers");
    date.side(cell("1577923200", CellStorage::Integer));
    EXPECT_EQ(date.description(),
              "D as untyped, julian day numbers, unix day numbers and unix seconds");

    const foxpro::FieldInfo company = fieldOf('C', foxpro::kTypeChar, 40);
    FieldColumn narrow(company, SideColumn{"company", "character varying(5)"}, rules);
    EXPECT_EQ(narrow.narrowerLength(), 5);
    EXPECT_EQ(narrow.description(), "C(40) as character varying(5)");
    EXPECT_FALSE(
        narrow.cut(Value::text("\xC3\xA9t\xC3\xA9"
                               "es    ")));  // five characters
    EXPECT_TRUE(narrow.cut(Value::text("Cascade")));
    EXPECT_EQ(FieldColumn(company, SideColumn{"c", "varchar(40)"}, rules).narrowerLength(), 0);
}

}  // namespace
}  // namespace quorvel::sides
