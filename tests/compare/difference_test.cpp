#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "compare/difference_line.h"
#include "compare/difference_list.h"

namespace quorvel::compare {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> texts(const DifferenceList& list) {
    std::vector<std::string> out;
    for (const Difference d : list) out.push_back(lineText(d));
    return out;
}

TEST(DifferenceLineTest, EveryKindHasItsTextBlanksExactly) {
    DifferenceList list("Orders 2", {"NAME", "Qty \"x\""});
    list.addDeleted(4);
    list.addAdded(12);
    list.addChanged(3, 3, 0, "abc   ", false, "say \"hi\"", false);
    list.addChanged(5, 5, 1, "", true, "", false);
    list.addMissingField(6, 6, 1);
    EXPECT_THAT(texts(list),
                ElementsAre("Record 4 deleted from Orders 2", "Record 12 added to Orders 2",
                            "Record 3, Field \"NAME\" has changed from \"abc   \" to \"say "
                            "\"hi\"\"",
                            "Record 5, Field \"Qty \"x\"\" has changed from \"\" to \"\"",
                            " Field \"Qty \"x\"\" not exist "));
    // Appending renders the same text after what is there.
    std::string out = "> ";
    appendLineText(out, list[1]);
    EXPECT_EQ(out, "> Record 12 added to Orders 2");
}

TEST(DifferenceLineTest, RecordNumbersAreWrittenAsPlainDigits) {
    DifferenceList list("t", {"F"});
    list.addDeleted(4294967295);
    list.addChanged(1000000, 1000000, 0, "a", false, "b", false);
    EXPECT_THAT(texts(list),
                ElementsAre("Record 4294967295 deleted from t",
                            "Record 1000000, Field \"F\" has changed from \"a\" to \"b\""));
}

TEST(DifferenceListTest, KeepsBothRecordNumbersNullsAndTextsOfEachDifference) {
    DifferenceList list("t2", {"A", "B"});
    list.addChanged(7, 9, 1, "one", false, "", true);
    list.addChanged(8, 10, 0, std::string(100000, 'm'), false, "two", false);
    list.addAdded(11);
    const Difference first = list[0];
    EXPECT_EQ(first.record1, 7);
    EXPECT_EQ(first.record2, 9);
    EXPECT_EQ(first.fieldName, "B");
    EXPECT_EQ(first.value1, "one");
    EXPECT_TRUE(first.null2);
    EXPECT_FALSE(first.null1);
    EXPECT_EQ(list[1].value1.size(), 100000u);
    EXPECT_EQ(list[1].value2, "two");
    EXPECT_EQ(list[2].record1, 0);
    EXPECT_EQ(list[2].record2, 11);
    EXPECT_EQ(list[2].field, -1);
    EXPECT_EQ(listOf(list[2].kind), LineList::AddedDeleted);

    // Numbers a table cannot have and fields the list does not know are refused.
    EXPECT_THROW(list.addAdded(0), std::out_of_range);
    EXPECT_THROW(list.addDeleted(4294967296), std::out_of_range);
    EXPECT_THROW(list.addMissingField(1, 1, 2), std::out_of_range);
    EXPECT_EQ(list.size(), 3u);
    list.clear();
    EXPECT_TRUE(list.empty());
}

TEST(DifferenceListTest, ASinkSeesEachDifferenceAsAddedAndTheListNeedNotKeepIt) {
    DifferenceList list("t2", {"A"});
    std::vector<std::string> seen;
    list.setSink([&](const Difference& d) { seen.push_back(lineText(d)); }, false);
    list.addChanged(1, 1, 0, "x", false, "y", false);
    list.addDeleted(2);
    list.addMissingField(0, 0, 0);
    EXPECT_THAT(seen, ElementsAre("Record 1, Field \"A\" has changed from \"x\" to \"y\"",
                                  "Record 2 deleted from t2", " Field \"A\" not exist "));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.found(), 3u);

    // Kept, and kept when the sink fails.
    list.setSink(
        [&](const Difference& d) {
            if (d.kind == DifferenceKind::Added) throw std::runtime_error("full");
        },
        true);
    list.addDeleted(3);
    EXPECT_THROW(list.addAdded(4), std::runtime_error);
    EXPECT_THAT(texts(list), ElementsAre("Record 3 deleted from t2", "Record 4 added to t2"));
    EXPECT_EQ(list.found(), 5u);
}

}  // namespace
}  // namespace quorvel::compare
