// Key expressions: which ones pair records by fields, and what the others
// are refused for.

#include "foxpro/index/key_expression.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using ::testing::HasSubstr;

struct Classification {
    const char* expression;
    std::vector<std::string> fields;  // empty: not usable
    bool caseless = false;
    bool leading = false;
    bool trailing = false;
    const char* reason = "";
};

class KeyClassificationTest : public ::testing::TestWithParam<Classification> {};

TEST_P(KeyClassificationTest, Classifies) {
    const Classification& c = GetParam();
    // The table's fields, for the checks that need them.
    TableLayout layout;
    for (auto [name, letter] : {std::pair{"name", 'C'},
                                {"city", 'C'},
                                {"id", 'I'},
                                {"qty", 'N'},
                                {"born", 'D'},
                                {"seen", 'T'},
                                {"note", 'M'}}) {
        FieldInfo f;
        f.name = name;
        f.letter = letter;
        f.width = letter == 'C' ? 10 : 8;
        f.memo = letter == 'M';
        layout.fields.push_back(f);
    }
    const KeyClassification k = classifyKeyExpression(c.expression, &layout);
    EXPECT_EQ(k.usable, !c.fields.empty()) << k.reason;
    EXPECT_EQ(k.fields, c.fields);
    EXPECT_EQ(k.caseless, c.caseless);
    EXPECT_EQ(k.trimsLeading, c.leading);
    EXPECT_EQ(k.trimsTrailing, c.trailing);
    EXPECT_EQ(k.reason, c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, KeyClassificationTest,
    ::testing::Values(
        Classification{"id", {"id"}},
        Classification{"  UPPER( name )+ upper(city) ", {"name", "city"}, true},
        Classification{"LOWER(ALLTRIM(name))", {"name"}, true, true, true},
        Classification{"ltrim(name)+TRIM(city)", {"name", "city"}, false, true, true},
        Classification{"RTRIM(name)", {"name"}, false, false, true},
        Classification{"STR(id,10)+DTOS(born)+TTOC(seen,1)", {"id", "born", "seen"}},
        Classification{"BINTOC(id)+PADL(name,12,'0')+PADR(city, 11)", {"id", "name", "city"}},
        Classification{"UPPE(name)", {"name"}, true},  // FoxPro's four-letter abbreviation
        Classification{"LEFT(name,3)", {}, false, false, false, "LEFT() is not a key function"},
        Classification{"name+'x'", {}, false, false, false, "the constant x is not a field"},
        Classification{"qty+id",
                       {},
                       false,
                       false,
                       false,
                       "\"+\" of a number is not supported (only text is joined)"},
        Classification{"name-city", {}, false, false, false, "operator - is not supported"},
        Classification{
            "name .AND. city", {}, false, false, false, "operator .AND. is not supported"},
        Classification{"AT('a',name)", {}, false, false, false, "function AT() is not supported"},
        Classification{"zip", {}, false, false, false, "no field zip"},
        Classification{
            "note", {}, false, false, false, "field note of type M is not supported in keys"},
        Classification{"UPPER(name", {}, false, false, false, "the expression ends too early"},
        Classification{
            "DELETED()", {}, false, false, false, "DELETED() is only supported in FOR clauses"},
        Classification{"TTOC(seen)", {}, false, false, false, "TTOC() takes 2 arguments"}));

// What evaluation refuses beyond the classification.
TEST(KeyExpressionTest, RefusesWhatItCannotEvaluateAsFoxProDoes) {
    test::TempFolder dir;
    test::TableBuilder t(0x30);
    t.field("NAME", 'C', 200).field("SEEN", 'T', 8).field("ID", 'I', 4);
    t.record({test::Cell::text("a"), test::Cell::blank(), test::Cell::integer32(300)});
    t.write(dir.file("t.dbf"));
    const TableReader table(dir.file("t.dbf"));
    auto error = [&](const char* expression, bool forClause = false) {
        try {
            KeyExpression key(expression, table, forClause);
            std::string out;
            key.key(table.storedRecord(0), out);
        } catch (const FoxProError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(error("TTOC(seen, 2)"), "TTOC() is supported with 1 as its second argument only");
    EXPECT_EQ(error("name+name"), "a key of 400 bytes is longer than 240");
    EXPECT_EQ(error("name", true), "the FOR clause is not a logical expression");
    EXPECT_EQ(error("BINTOC(id, 1)"), "BINTOC() value 300 does not fit 1 bytes");
    EXPECT_EQ(error("NOT DELETED()", true), "");
    EXPECT_EQ(error(".NOT.DELETED()", true), "");
    EXPECT_EQ(error("TTOC(seen,1)"), "");
}

}  // namespace
}  // namespace quorvel::foxpro
