#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foxpro/format/literal_text.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/sql/sql.h"

namespace quorvel::foxpro {
namespace {

using ::testing::HasSubstr;

template <typename T>
T parseAs(const std::string& sql) {
    Statement st = parseStatement(sql);
    EXPECT_TRUE(std::holds_alternative<T>(st)) << sql;
    return std::get<T>(st);
}

std::string parseError(const std::string& sql) {
    try {
        parseStatement(sql);
    } catch (const FoxProError& e) {
        EXPECT_EQ(e.number(), kErrorInvalidArgument);
        return e.description();
    }
    ADD_FAILURE() << "accepted: " << sql;
    return {};
}

TEST(SqlParseTest, SelectForms) {
    auto all = parseAs<SelectStatement>("SELECT * FROM [My Table]");
    EXPECT_EQ(all.table, "My Table");
    EXPECT_FALSE(all.count);
    EXPECT_FALSE(all.recno);
    EXPECT_FALSE(all.intoTable);

    auto count = parseAs<SelectStatement>("  select\tcount( * )\nfrom calls  ");
    EXPECT_EQ(count.table, "calls");
    EXPECT_TRUE(count.count);

    auto one = parseAs<SelectStatement>("SELECT * FROM [t] WHERE RECNO() = 42");
    EXPECT_EQ(one.recno, 42);

    // The copy as the merge sends it, two blanks after "*".
    auto copy = parseAs<SelectStatement>("SELECT *  FROM [types] INTO TABLE [new one]");
    EXPECT_EQ(copy.table, "types");
    EXPECT_EQ(copy.intoTable, "new one");

    auto both = parseAs<SelectStatement>("select * from t into table n where recno()=3");
    EXPECT_EQ(both.intoTable, "n");
    EXPECT_EQ(both.recno, 3);
}

TEST(SqlParseTest, UpdateAndInsert) {
    auto up = parseAs<UpdateStatement>("UPDATE [NEWTAB] SET [Price] = -1.5e3 WHERE RECNO() = 7");
    EXPECT_EQ(up.table, "NEWTAB");
    EXPECT_EQ(up.field, "Price");
    EXPECT_EQ(up.value.kind, Literal::Kind::Number);
    EXPECT_EQ(up.value.text, "-1.5e3");
    EXPECT_EQ(up.recno, 7);

    auto ins = parseAs<InsertStatement>("INSERT INTO [NEWTAB] VALUES('Smith', NULL, True, '')");
    EXPECT_EQ(ins.table, "NEWTAB");
    EXPECT_TRUE(ins.columns.empty());
    ASSERT_EQ(ins.values.size(), 4u);
    EXPECT_EQ(ins.values[0].kind, Literal::Kind::Text);
    EXPECT_EQ(ins.values[0].text, "Smith");
    EXPECT_EQ(ins.values[1].kind, Literal::Kind::Null);
    EXPECT_EQ(ins.values[2].kind, Literal::Kind::Logical);
    EXPECT_TRUE(ins.values[2].logical);
    EXPECT_EQ(ins.values[3].kind, Literal::Kind::Text);
    EXPECT_EQ(ins.values[3].text, "");

    auto cols = parseAs<InsertStatement>("insert into t ([a], b) values (.F., 0hCAFE00)");
    EXPECT_EQ(cols.columns, (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(cols.values[0].logical);
    EXPECT_EQ(cols.values[1].kind, Literal::Kind::Binary);
    EXPECT_EQ(cols.values[1].text, std::string("\xCA\xFE\x00", 3));
}

TEST(SqlParseTest, Literals) {
    auto value = [](const std::string& text) {
        return parseAs<InsertStatement>("INSERT INTO t VALUES(" + text + ")").values.at(0);
    };
    EXPECT_EQ(value("'it''s'").text, "it's");
    EXPECT_EQ(value("''''").text, "'");
    EXPECT_EQ(value("'a, b)'").text, "a, b)");
    EXPECT_EQ(value("+.5").text, "+.5");
    EXPECT_EQ(value("12.").text, "12.");
    EXPECT_EQ(value("1E-2").text, "1E-2");
    EXPECT_EQ(value("0h").text, "");
    EXPECT_FALSE(value("false").logical);
    EXPECT_TRUE(value(".t.").logical);

    Literal d = value("{^2020-12-31}");
    EXPECT_EQ(d.kind, Literal::Kind::Date);
    EXPECT_EQ(d.dateTime.date, (Date{2020, 12, 31}));
    Literal dt = value("{^2020-12-31 13:02:03}");
    EXPECT_EQ(dt.kind, Literal::Kind::DateTime);
    EXPECT_EQ(dt.dateTime, (DateTime{{2020, 12, 31}, 13, 2, 3}));
    Literal empty = value("{}");
    EXPECT_EQ(empty.kind, Literal::Kind::Date);
    EXPECT_EQ(empty.dateTime.date.year, 0);
}

TEST(SqlParseTest, RefusalsNameTheStatement) {
    EXPECT_THAT(parseError("DELETE FROM t WHERE RECNO() = 1"),
                HasSubstr("unsupported statement: DELETE FROM t"));
    EXPECT_THAT(parseError("SELECT a FROM t"), HasSubstr("unsupported statement"));
    EXPECT_THAT(parseError("SELECT * FROM t WHERE id = 1"), HasSubstr("RECNO"));
    EXPECT_THAT(parseError("SELECT * FROM [t"), HasSubstr("unclosed ["));
    EXPECT_THAT(parseError("SELECT * FROM t; DROP TABLE t"), HasSubstr("unexpected character"));
    EXPECT_THAT(parseError("UPDATE t SET f = 1"), HasSubstr("expected WHERE"));
    EXPECT_THAT(parseError("UPDATE t SET f = 'open WHERE RECNO() = 1"), HasSubstr("unclosed"));
    EXPECT_THAT(parseError("UPDATE t SET f = 1 WHERE RECNO() = -1"), HasSubstr("record number"));
    EXPECT_THAT(parseError("UPDATE t SET f = 1 WHERE RECNO() = 1.5"), HasSubstr("record number"));
    EXPECT_THAT(parseError("INSERT INTO t VALUES()"), HasSubstr("expected a value"));
    EXPECT_THAT(parseError("INSERT INTO t VALUES(1, 2"), HasSubstr("expected ')'"));
    EXPECT_THAT(parseError("INSERT INTO t VALUES(12abc)"), HasSubstr("bad number"));
    EXPECT_THAT(parseError("INSERT INTO t VALUES(1.2.3)"), HasSubstr("bad number"));
    EXPECT_THAT(parseError("INSERT INTO t VALUES(0hABC)"), HasSubstr("odd number"));
    EXPECT_THAT(parseError("INSERT INTO t VALUES({^2021-02-29})"), HasSubstr("bad date"));
    EXPECT_THAT(parseError("INSERT INTO t VALUES({^2020-12-31 24:00:00})"), HasSubstr("bad date"));
    EXPECT_THAT(parseError("INSERT INTO t VALUES(Smith)"), HasSubstr("expected a value"));
    EXPECT_THAT(parseError("SELECT COUNT(*) FROM t INTO TABLE n"), HasSubstr("unexpected"));
    EXPECT_THAT(parseError(""), HasSubstr("expected SELECT"));
}

TEST(SqlLiteralTest, DecimalParts) {
    auto parts = parseDecimal("-001.500e1");
    ASSERT_TRUE(parts);
    EXPECT_TRUE(parts->negative);
    EXPECT_EQ(parts->digits, "1500");
    EXPECT_EQ(parts->exponent, -2);
    auto zero = parseDecimal("-0.000");
    ASSERT_TRUE(zero);
    EXPECT_FALSE(zero->negative);
    EXPECT_EQ(zero->digits, "0");
    for (const char* bad : {"", "-", ".", "1e", "1e+", "abc", "1,5", "1 2", "0x10"})
        EXPECT_FALSE(isNumberText(bad)) << bad;
}

TEST(SqlLiteralTest, DateTexts) {
    EXPECT_EQ(parseIsoDateTime(" 2024-02-29 ")->date, (Date{2024, 2, 29}));
    EXPECT_EQ(parseIsoDateTime("2000/1/2T03:04")->minute, 4);
    for (const char* bad : {"2023-02-29", "1900-02-29", "0000-01-01", "2020-13-01", "2020-12-31x",
                            "12/31/2020", "2020-12-31 13:2", "2020-12"})
        EXPECT_FALSE(parseIsoDateTime(bad)) << bad;
}

}  // namespace
}  // namespace quorvel::foxpro
