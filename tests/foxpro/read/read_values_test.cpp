// Field decoding and text forms: stored bytes in, value and text out.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/locale_patterns.h"
#include "foxpro/text/text_form.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;

struct FieldCase {
    const char* label;
    char letter;
    int width;
    int decimals;
    Cell cell;
    Value::Kind kind;
    std::string text;  // text form in the C locale
};

std::ostream& operator<<(std::ostream& os, const FieldCase& c) {
    return os << c.label;
}

class FieldDecodeTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldDecodeTest, DecodesToValueAndTextForm) {
    const FieldCase& c = GetParam();
    TableBuilder t(0x30);
    t.field("F", c.letter, c.width, c.decimals).record({c.cell});
    const auto bytes = t.tableBytes();
    auto reader = TableReader::fromBytes("t.dbf", bytes);
    const Value v = reader->value(reader->storedRecord(0), 0);
    EXPECT_EQ(v.kind(), c.kind);
    EXPECT_EQ(textForm(v, TextLocale::c()), c.text);
}

const FieldCase kFieldCases[] = {
    // N/F: the stored number normalised; blank is 0; text read as VAL() does.
    {"N negative", 'N', 8, 2, Cell::raw("  -12.50"), Value::Kind::Decimal, "-12.5"},
    {"N leading point", 'N', 6, 1, Cell::raw("    .5"), Value::Kind::Decimal, "0.5"},
    {"N zero with decimals", 'N', 6, 2, Cell::raw("  0.00"), Value::Kind::Decimal, "0"},
    {"N integer", 'N', 5, 0, Cell::raw("  100"), Value::Kind::Decimal, "100"},
    {"N blank is zero", 'N', 5, 0, Cell::raw("     "), Value::Kind::Decimal, "0"},
    {"N negative zero", 'N', 5, 2, Cell::raw("-0.00"), Value::Kind::Decimal, "0"},
    {"N leading zeros", 'N', 7, 3, Cell::raw("007.100"), Value::Kind::Decimal, "7.1"},
    {"N negative fraction", 'N', 5, 2, Cell::raw(" -.25"), Value::Kind::Decimal, "-0.25"},
    {"N plus sign", 'N', 4, 0, Cell::raw("  +7"), Value::Kind::Decimal, "7"},
    {"N text is zero", 'N', 4, 0, Cell::raw("NotA"), Value::Kind::Decimal, "0"},
    {"N leading number of text", 'N', 7, 0, Cell::raw(" 12abc3"), Value::Kind::Decimal, "12"},
    {"N overflow stars", 'N', 5, 0, Cell::raw("*****"), Value::Kind::Decimal, "0"},
    {"F exponent", 'F', 8, 0, Cell::raw(" 1.5E+03"), Value::Kind::Decimal, "1500"},
    {"F negative exponent", 'F', 8, 0, Cell::raw("  25E-03"), Value::Kind::Decimal, "0.025"},
    // D: blank or impossible dates are the empty date.
    {"D date", 'D', 8, 0, Cell::date(2020, 12, 31), Value::Kind::Date, "2020-12-31"},
    {"D blank", 'D', 8, 0, Cell::raw("        "), Value::Kind::Null, ""},
    {"D zeros", 'D', 8, 0, Cell::raw("00000000"), Value::Kind::Null, ""},
    {"D 30 February", 'D', 8, 0, Cell::raw("20200230"), Value::Kind::Null, ""},
    {"D 29 February of a leap year", 'D', 8, 0, Cell::raw("20000229"), Value::Kind::Date,
     "2000-02-29"},
    {"D text", 'D', 8, 0, Cell::raw("2020-1-3"), Value::Kind::Null, ""},
    // T: Julian day + milliseconds, rounded to the nearest second.
    {"T datetime", 'T', 8, 0, Cell::dateTime(2020, 12, 31, 13, 2, 3), Value::Kind::DateTime,
     "2020-12-31 13:02:03"},
    {"T rounds down", 'T', 8, 0, Cell::dateTime(2020, 12, 31, 13, 2, 3, 499), Value::Kind::DateTime,
     "2020-12-31 13:02:03"},
    {"T rounds up", 'T', 8, 0, Cell::dateTime(2020, 12, 31, 13, 2, 3, 500), Value::Kind::DateTime,
     "2020-12-31 13:02:04"},
    {"T rounds into the next day", 'T', 8, 0, Cell::dateTime(2020, 12, 31, 23, 59, 59, 700),
     Value::Kind::DateTime, "2021-01-01 00:00:00"},
    {"T before 1970", 'T', 8, 0, Cell::dateTime(1899, 12, 30, 13, 35, 39), Value::Kind::DateTime,
     "1899-12-30 13:35:39"},
    {"T all zero", 'T', 8, 0, Cell::blank(), Value::Kind::Null, ""},
    {"T after 9999", 'T', 8, 0, Cell::raw(std::string("\x2D\xFE\x51\0\0\0\0\0", 8)),
     Value::Kind::Null, ""},
    // 15 June 67556: its year cut to 16 bits would pass for 2020.
    {"T beyond the calendar", 'T', 8, 0, Cell::raw(std::string("\x9C\xC3\x92\x01\0\0\0\0", 8)),
     Value::Kind::Null, ""},
    // L
    {"L T", 'L', 1, 0, Cell::logical('T'), Value::Kind::Logical, "True"},
    {"L y", 'L', 1, 0, Cell::logical('y'), Value::Kind::Logical, "True"},
    {"L F", 'L', 1, 0, Cell::logical('F'), Value::Kind::Logical, "False"},
    {"L n", 'L', 1, 0, Cell::logical('n'), Value::Kind::Logical, "False"},
    {"L blank is false", 'L', 1, 0, Cell::logical(' '), Value::Kind::Logical, "False"},
    {"L ? is null", 'L', 1, 0, Cell::logical('?'), Value::Kind::Null, ""},
    // I, Y, B
    {"I negative", 'I', 4, 0, Cell::integer32(-5), Value::Kind::Integer, "-5"},
    {"I smallest", 'I', 4, 0, Cell::integer32(INT32_MIN), Value::Kind::Integer, "-2147483648"},
    {"Y drops trailing zeros", 'Y', 8, 4, Cell::currency(125000), Value::Kind::Currency, "12.5"},
    {"Y four decimals", 'Y', 8, 4, Cell::currency(123456789), Value::Kind::Currency, "12345.6789"},
    {"Y small negative", 'Y', 8, 4, Cell::currency(-5), Value::Kind::Currency, "-0.0005"},
    {"Y zero", 'Y', 8, 4, Cell::currency(0), Value::Kind::Currency, "0"},
    {"Y smallest", 'Y', 8, 4, Cell::currency(INT64_MIN), Value::Kind::Currency,
     "-922337203685477.5808"},
    {"B plain", 'B', 8, 0, Cell::real64(1.5), Value::Kind::Double, "1.5"},
    {"B tenth", 'B', 8, 0, Cell::real64(0.1), Value::Kind::Double, "0.1"},
    {"B large exponent", 'B', 8, 0, Cell::real64(1e20), Value::Kind::Double, "1E+20"},
    {"B small exponent", 'B', 8, 0, Cell::real64(1e-7), Value::Kind::Double, "1E-07"},
    {"B 14 digits stay plain", 'B', 8, 0, Cell::real64(1e14), Value::Kind::Double,
     "100000000000000"},
    {"B 15 digits", 'B', 8, 0, Cell::real64(1e15), Value::Kind::Double, "1E+15"},
    {"B 15 significant digits", 'B', 8, 0, Cell::real64(123456789012345678.0), Value::Kind::Double,
     "1.23456789012346E+17"},
    {"B negative", 'B', 8, 0, Cell::real64(-0.000123), Value::Kind::Double, "-0.000123"},
    // C, V, Q
    {"C keeps trailing blanks", 'C', 6, 0, Cell::text("ab"), Value::Kind::Text, "ab    "},
    {"V shorter than the width", 'V', 6, 0, Cell::text("ab "), Value::Kind::Text, "ab "},
    {"V full width", 'V', 3, 0, Cell::text("abc"), Value::Kind::Text, "abc"},
    {"V empty", 'V', 4, 0, Cell::blank(), Value::Kind::Text, ""},
    {"Q bytes", 'Q', 6, 0, Cell::text(std::string("a\0\xff", 3)), Value::Kind::Bytes, "0h6100FF"},
};

INSTANTIATE_TEST_SUITE_P(Letters, FieldDecodeTest, ::testing::ValuesIn(kFieldCases));

TEST(TextForm, OtherLocaleUsesItsSeparatorAndPatterns) {
    const TextLocale de{",", "%d.%m.%Y", "%H:%M:%S"};
    EXPECT_EQ(textForm(Value::decimal("-12.5"), de), "-12,5");
    EXPECT_EQ(textForm(Value::currency(125000), de), "12,5");
    EXPECT_EQ(textForm(Value::real(1.5), de), "1,5");
    EXPECT_EQ(textForm(Value::real(1e20), de), "1E+20");
    EXPECT_EQ(textForm(Value::integer(-7), de), "-7");
    EXPECT_EQ(textForm(Value::date({2020, 1, 2}), de), "02.01.2020");
    EXPECT_EQ(textForm(Value::dateTime({{2020, 1, 2}, 3, 4, 5}), de), "02.01.2020 03:04:05");
    EXPECT_EQ(textForm(Value::text("1.5"), de), "1.5");  // text is never touched
}

// Short date and time formats as glibc's locales give them (D_FMT, T_FMT).
TEST(TextLocalePatterns, FourDigitYearsAndTwentyFourHourTimeWithSeconds) {
    EXPECT_EQ(datePatternFrom("%m/%d/%Y"), "%m/%d/%Y");          // en_US
    EXPECT_EQ(datePatternFrom("%d/%m/%y"), "%d/%m/%Y");          // en_GB
    EXPECT_EQ(datePatternFrom("%d.%m.%Y"), "%d.%m.%Y");          // de_DE
    EXPECT_EQ(datePatternFrom("%Y年%m月%d日"), "%Y年%m月%d日");  // ja_JP
    EXPECT_EQ(datePatternFrom("%D"), "%m/%d/%Y");
    EXPECT_EQ(datePatternFrom("%F"), "%Y-%m-%d");
    EXPECT_EQ(datePatternFrom("%e.%m."), "%Y-%m-%d");       // no year at all
    EXPECT_EQ(timePatternFrom("%r"), "%H:%M:%S");           // en_US: 12-hour with %p
    EXPECT_EQ(timePatternFrom("%T"), "%H:%M:%S");           // de_DE
    EXPECT_EQ(timePatternFrom("%H.%M"), "%H.%M.%S");        // no seconds: added
    EXPECT_EQ(timePatternFrom("%p %I:%M:%S"), "%H:%M:%S");  // ko_KR style
    EXPECT_EQ(timePatternFrom(""), "%H:%M:%S");
}

TEST(TextForm, YearsBeforeOneThousandKeepFourDigits) {
    EXPECT_EQ(textForm(Value::date({99, 3, 4}), TextLocale::c()), "0099-03-04");
}

// Bits of _NullFlags, as Visual FoxPro hands them out: one varlength bit per
// V/Q field, one null bit per nullable field, in field order; fields that
// need neither get none.
TEST(NullFlags, BitsFollowVisualFoxProRule) {
    TableBuilder t(0x32);
    t.field("A", 'C', 2, 0, 0x02)
        .field("B", 'N', 3)
        .field("C", 'V', 4)
        .field("D", 'V', 4, 0, 0x02)
        .field("E", 'I', 4, 0, 0x02);
    // Bits: A null 0, C var 1, D var 2, D null 3, E null 4 -> byte 0b00011001.
    t.record(
        {Cell::raw("x"), Cell::number("1"), Cell::raw("abcd"), Cell::raw("zz"), Cell::blank()});
    auto bytes = t.tableBytes();
    const std::size_t rec = static_cast<std::size_t>(t.headerLength());
    const std::size_t flags = rec + static_cast<std::size_t>(t.recordLength()) - 1;
    bytes[flags] = 0b00011001;
    auto r = TableReader::fromBytes("t.dbf", bytes);
    ASSERT_EQ(r->fieldCount(), 5);  // _NullFlags not listed
    EXPECT_EQ(r->field(0).nullBit, 0);
    EXPECT_EQ(r->field(1).nullBit, -1);
    EXPECT_EQ(r->field(2).varLengthBit, 1);
    EXPECT_EQ(r->field(3).varLengthBit, 2);
    EXPECT_EQ(r->field(3).nullBit, 3);
    EXPECT_EQ(r->field(4).nullBit, 4);
    const auto record = r->storedRecord(0);
    EXPECT_TRUE(r->value(record, 0).isNull());
    EXPECT_EQ(r->value(record, 1).str(), "1");
    EXPECT_EQ(r->value(record, 2).str(), "abcd");  // varlength bit clear: full width
    EXPECT_TRUE(r->value(record, 3).isNull());
    EXPECT_TRUE(r->value(record, 4).isNull());
    // Clearing the null bits brings the stored values back.
    bytes[flags] = 0b00000100;
    bytes[rec + 1 + 2 + 3 + 4 + 3] = 2;  // D's length byte
    r = TableReader::fromBytes("t.dbf", bytes);
    EXPECT_EQ(r->value(r->storedRecord(0), 0).str(), "x ");
    EXPECT_EQ(r->value(r->storedRecord(0), 3).str(), "zz");
    EXPECT_EQ(r->value(r->storedRecord(0), 4).asInteger(), 0);
}

TEST(Memo, FptTextBinaryAndEmpty) {
    TableBuilder t(0x30);
    t.field("M", 'M', 4).field("G", 'G', 4).field("W", 'W', 4);
    t.record({Cell::memo("line 1\r\nline 2"), Cell::memo(std::string("\x01\x00\x02", 3), 0),
              Cell::none()});
    t.record({Cell::none(), Cell::none(), Cell::memo("x")});
    const auto table = t.tableBytes();
    const auto memo = t.memoBytes();
    auto r = TableReader::fromBytes("t.dbf", table, memo);
    auto rec = r->storedRecord(0);
    EXPECT_EQ(r->value(rec, 0), Value::text("line 1\r\nline 2"));
    EXPECT_EQ(r->field(0).typeCode, kTypeLongVarChar);
    EXPECT_EQ(r->field(1).typeCode, kTypeLongVarBinary);
    EXPECT_EQ(r->value(rec, 1), Value::bytes(std::string("\x01\x00\x02", 3)));
    EXPECT_EQ(r->value(rec, 2), Value::bytes(""));
    rec = r->storedRecord(1);
    EXPECT_EQ(r->value(rec, 0), Value::text(""));
    EXPECT_EQ(r->value(rec, 2), Value::bytes("x"));
}

TEST(Memo, CodePageAppliesToMemoText) {
    TableBuilder t(0x30);
    t.codePageMark(0x03).field("M", 'M', 4).record({Cell::memo("caf\xe9 \x81")});
    const auto table = t.tableBytes();
    const auto memo = t.memoBytes();
    auto r = TableReader::fromBytes("t.dbf", table, memo);
    // 0x81 is undefined in 1252: it becomes U+0081, as Windows does.
    EXPECT_EQ(r->value(r->storedRecord(0), 0).str(), "café \xc2\x81");
}

TEST(Memo, DbtOfDbaseThreeAndFour) {
    for (std::uint8_t type : {std::uint8_t{0x83}, std::uint8_t{0x8B}}) {
        SCOPED_TRACE(static_cast<int>(type));
        TableBuilder t(type);
        t.field("N", 'C', 3).field("M", 'M', 10);
        t.record({Cell::text("a"), Cell::memo("first memo")});
        t.record({Cell::text("b"), Cell::none()});
        t.record({Cell::text("c"), Cell::memo(std::string(700, 'z'))});
        const auto table = t.tableBytes();
        const auto memo = t.memoBytes();
        auto r = TableReader::fromBytes("t.dbf", table, memo);
        EXPECT_EQ(r->value(r->storedRecord(0), 1).str(), "first memo");
        EXPECT_EQ(r->value(r->storedRecord(1), 1).str(), "");
        EXPECT_EQ(r->value(r->storedRecord(2), 1).str(), std::string(700, 'z'));
    }
}

TEST(Memo, DbaseBFieldIsBinaryMemo) {
    TableBuilder t(0xF5);
    t.field("B", 'B', 10).record({Cell::memo("raw", 0)});
    const auto table = t.tableBytes();
    const auto memo = t.memoBytes();
    auto r = TableReader::fromBytes("t.dbf", table, memo);
    EXPECT_EQ(r->field(0).typeCode, kTypeLongVarBinary);
    EXPECT_TRUE(r->field(0).memo);
    EXPECT_EQ(r->value(r->storedRecord(0), 0), Value::bytes("raw"));
}

TEST(CodePage, SingleByteCodePagesKeepEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (int cp : {437, 850, 852, 866, 1250, 1251, 1252, 1253, 1257, 10000, 895, 0}) {
        SCOPED_TRACE(cp);
        std::vector<std::string> unmappable;
        EXPECT_EQ(encodeText(cp, decodeText(cp, all), &unmappable), all);
        EXPECT_TRUE(unmappable.empty());
    }
}

TEST(CodePage, DecodesKnownCharacters) {
    EXPECT_EQ(decodeText(437, "pened\x8as"), "penedès");
    EXPECT_EQ(decodeText(1251, "\xcd\xc8\xc8"), "НИИ");
    EXPECT_EQ(decodeText(1252, "\x80"), "€");
    EXPECT_EQ(decodeText(932, "\x82\xa0"), "あ");
    // A cut-off double-byte character keeps its byte.
    EXPECT_EQ(encodeText(932, decodeText(932, "a\x82")), "a\x82");
    EXPECT_FALSE(canConvertCodePage(895));
    EXPECT_FALSE(canConvertCodePage(0));
    EXPECT_TRUE(canConvertCodePage(1252));
}

TEST(CodePage, EncodeReportsCharactersTheCodePageCannotHold) {
    std::vector<std::string> unmappable;
    EXPECT_EQ(encodeText(437, "a€あ\xff", &unmappable), "a???");
    EXPECT_THAT(unmappable, ::testing::ElementsAre("€", "あ", "\xff"));
    EXPECT_EQ(encodeText(1252, "é€"), "\xe9\x80");
    EXPECT_EQ(encodeText(932, "あ"), "\x82\xa0");
}

TEST(CodePage, MarkZeroDependsOnFileType) {
    for (auto [type, cp] : {std::pair{0x30, 1252}, std::pair{0x03, 437}, std::pair{0xF5, 437}}) {
        TableBuilder t(static_cast<std::uint8_t>(type));
        t.codePageMark(0).field("C", 'C', 1).record({Cell::raw("\x82")});
        const auto bytes = t.tableBytes();
        EXPECT_EQ(TableReader::fromBytes("t.dbf", bytes)->layout().codePage, cp);
    }
}

TEST(CodePage, UnconvertibleMarkReadsBytesAsLatin1AndWarns) {
    for (std::uint8_t mark : {std::uint8_t{0x68}, std::uint8_t{0x99}}) {
        TableBuilder t(0x30);
        t.codePageMark(mark).field("C", 'C', 2).record({Cell::raw("\xe9\x81")});
        const auto bytes = t.tableBytes();
        auto r = TableReader::fromBytes("t.dbf", bytes);
        EXPECT_FALSE(r->codePageConvertible());
        EXPECT_EQ(r->value(r->storedRecord(0), 0).str(), "\u00e9\u0081");
        EXPECT_THAT(r->warnings(), ::testing::Contains(::testing::HasSubstr("code page")));
    }
}

TEST(FieldNames, NonAsciiNamesDecodeLikeText) {
    TableBuilder t(0x03);
    t.codePageMark(0x03).field("PR\xc9", 'C', 1).record({Cell::raw("x")});
    const auto bytes = t.tableBytes();
    auto r = TableReader::fromBytes("t.dbf", bytes);
    EXPECT_EQ(r->field(0).name, "PRÉ");
}

}  // namespace
}  // namespace quorvel::foxpro
