#include "compare/field_name.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "compare/field_pairing.h"

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

namespace {

using quorvel::compare::pairFieldNames;
using quorvel::compare::pickField1;
using ::testing::ElementsAre;
using Pair = std::pair<int, int>;

TEST(FieldPairingTest, NamesPairWithoutCaseThenByTheTenCharactersOfAHeader) {
    const std::vector<std::string> container = {"companyname", "City", "contacttitle", "city"};
    const std::vector<std::string> copy = {"CITY", "CONTACTTIT", "COMPANYNAM", "CITY"};
    const auto pairing = pairFieldNames(container, copy);
    EXPECT_THAT(pairing.partner1, ElementsAre(2, 0, 1, 3));
    EXPECT_THAT(pairing.partner2, ElementsAre(1, 2, 0, 3));
    EXPECT_THAT(pairing.shortened, ElementsAre(Pair{0, 2}, Pair{2, 1}));
    // The other way round alike.
    EXPECT_THAT(pairFieldNames(copy, container).shortened, ElementsAre(Pair{1, 2}, Pair{2, 0}));
    EXPECT_EQ(quorvel::compare::shortenedPairText("companyname", "COMPANYNAM"),
              "Field \"companyname\" compared with \"COMPANYNAM\"");
    // A name given for Table #1 may be either side's.
    EXPECT_EQ(pickField1(pairing, container, copy, "CONTACTTIT"), 2);
    EXPECT_EQ(pickField1(pairing, container, copy, "contactTitle"), 2);
    EXPECT_EQ(pickField1(pairing, container, copy, "nowhere"), -1);
}

TEST(FieldPairingTest, TenCharactersPairOnlyWhenNoOtherPairIsPossible) {
    // Two long names cut alike: neither pairs.
    EXPECT_THAT(pairFieldNames({"companyname1", "companyname2"}, {"COMPANYNAM"}).partner1,
                ElementsAre(-1, -1));
    EXPECT_THAT(pairFieldNames({"COMPANYNAM"}, {"companyname1", "companyname2"}).partner1,
                ElementsAre(-1));
    // A field paired by its whole name is no candidate.
    const auto pairing = pairFieldNames({"companyname", "COMPANYNAM"}, {"COMPANYNAM"});
    EXPECT_THAT(pairing.partner1, ElementsAre(-1, 0));
    EXPECT_TRUE(pairing.shortened.empty());
    // Ten characters, not bytes: ä is two bytes of UTF-8.
    EXPECT_THAT(pairFieldNames({"\xC3\xA4"
                                "bcdefghijk"},
                               {"\xC3\x84"
                                "BCDEFGHIJ"})
                    .partner1,
                ElementsAre(0));
    EXPECT_THAT(pairFieldNames({"abcdefghij"}, {"ABCDEFGHI"}).partner1, ElementsAre(-1));
}

}  // namespace
