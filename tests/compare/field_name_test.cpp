#include "compare/field_name.h"

#include <gtest/gtest.h>

namespace {

using quorvel::compare::upperFieldName;

TEST(FieldNameTest, FoldsLettersOfTheCommonScriptsAndKeepsEverythingElse) {
    EXPECT_EQ(upperFieldName("company_name"), "COMPANY_NAME");
    EXPECT_EQ(upperFieldName("Point_ID"), upperFieldName("POINT_id"));
    EXPECT_EQ(upperFieldName("\xC3\xA4rger"), "\xC3\x84RGER");  // ärger
    EXPECT_EQ(upperFieldName("\xC5\x82\xC3\xB3\x64\xC5\xBA"),
              "\xC5\x81\xC3\x93\x44\xC5\xB9");                                          // łódź
    EXPECT_EQ(upperFieldName("\xD0\xB8\xD0\xBC\xD1\x8F"), "\xD0\x98\xD0\x9C\xD0\xAF");  // имя
    EXPECT_EQ(upperFieldName("stra\xC3\x9F"
                             "e"),
              "STRA\xC3\x9F"
              "E");  // ß has no capital
    // A byte that is not UTF-8 stays as it is.
    EXPECT_EQ(upperFieldName("a\xFFz"), "A\xFFZ");
    EXPECT_EQ(upperFieldName(""), "");
}

}  // namespace
