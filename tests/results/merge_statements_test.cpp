#include "results/merge_statements.h"

#include <gtest/gtest.h>

#include "foxpro/format/field_info.h"
#include "foxpro/format/value.h"
#include "foxpro/sql/sql.h"
#include "results/sql_literal.h"

namespace quorvel::results {
namespace {

foxpro::FieldInfo field(char letter, bool nullable = false) {
    foxpro::FieldInfo f;
    f.name = std::string("F") + letter;
    f.letter = letter;
    f.nullable = nullable;
    return f;
}

TEST(MergeStatementsTest, CopyKeepsTwoBlanksAfterTheStarAndParses) {
    const std::string sql = copyStatement("CUSTOMER", "CUSTOMER2");
    EXPECT_EQ(sql, "SELECT *  FROM [CUSTOMER] INTO TABLE [CUSTOMER2]");
    const auto parsed = std::get<foxpro::SelectStatement>(foxpro::parseStatement(sql));
    EXPECT_EQ(parsed.table, "CUSTOMER");
    EXPECT_EQ(parsed.intoTable, "CUSTOMER2");
}

TEST(MergeStatementsTest, InsertOfTheSmithRecordWithIdenticalColumns) {
    const std::vector<std::string> literals = {
        sqlLiteral(foxpro::Value::text("Smith"), field('C')),
        sqlLiteral(foxpro::Value::null(), field('C', true)),
        sqlLiteral(foxpro::Value::logical(true), field('L')),
        sqlLiteral(foxpro::Value::text(""), field('C')),
    };
    const std::string sql = insertStatement("NEWTAB", {}, literals);
    EXPECT_EQ(sql, "INSERT INTO [NEWTAB] VALUES('Smith', NULL, True, '')");

    const auto parsed = std::get<foxpro::InsertStatement>(foxpro::parseStatement(sql));
    ASSERT_EQ(parsed.values.size(), 4u);
    EXPECT_TRUE(parsed.columns.empty());
    EXPECT_EQ(parsed.values[1].kind, foxpro::Literal::Kind::Null);
    EXPECT_EQ(parsed.values[3].kind, foxpro::Literal::Kind::Text);  // '' stays a text
}

}  // namespace
}  // namespace quorvel::results
