#include "data/file_services.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace quorvel::data {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

class ListFilesTest : public ::testing::Test {
  protected:
    test::TempFolder dir;
};

TEST_F(ListFilesTest, ListsEveryMatchOfALargeFolder) {
    std::vector<std::string> expected;
    for (int i = 0; i < 250; ++i) {
        expected.push_back("table" + std::to_string(i) + ".dbf");
        touch(dir.file(expected.back()));
    }
    touch(dir.file("readme.txt"));
    EXPECT_THAT(ListFiles(dir.path(), "*.dbf"), UnorderedElementsAreArray(expected));
}

TEST_F(ListFilesTest, MatchesWithoutRegardToCaseAndKeepsHiddenFiles) {
    touch(dir.file("ORDERS.DBF"));
    touch(dir.file(".orders.dbf"));
    touch(dir.file("Mixed.Dbf"));
    touch(dir.file("orders.dbf.bak"));
    touch(dir.file("orders.cdx"));
    EXPECT_THAT(ListFiles(dir.path(), "*.dbf"),
                UnorderedElementsAre("ORDERS.DBF", ".orders.dbf", "Mixed.Dbf"));
}

TEST_F(ListFilesTest, LeavesOutFoldersNamedLikeTables) {
    ASSERT_EQ(::mkdir(dir.file("archive.dbf").c_str(), 0755), 0);
    touch(dir.file("orders.dbf"));
    EXPECT_THAT(ListFiles(dir.path(), "*.dbf"), ElementsAre("orders.dbf"));
}

TEST_F(ListFilesTest, SameNamesWithAndWithoutTrailingSeparator) {
    touch(dir.file("a.dbf"));
    touch(dir.file("b.dbf"));
    EXPECT_EQ(ListFiles(dir.path(), "*.dbf"), ListFiles(dir.path() + "/", "*.dbf"));
    EXPECT_EQ(ListFiles(dir.path(), "*.dbf").size(), 2u);
}

TEST_F(ListFilesTest, NoMatchGivesAnEmptyListAndAMissingFolderIsNamed) {
    touch(dir.file("notes.txt"));
    EXPECT_THAT(ListFiles(dir.path(), "*.dbf"), IsEmpty());
    try {
        ListFiles(dir.file("missing"), "*.dbf");
        FAIL() << "no error for a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_THAT(e.what(), ::testing::HasSubstr(dir.file("missing")));
    }
}

TEST(PatternTest, WildcardsAndCase) {
    EXPECT_TRUE(matchesPattern("ORDERS.DBF", "*.dbf"));
    EXPECT_TRUE(matchesPattern(".dbf", "*.dbf"));
    EXPECT_TRUE(matchesPattern("a.b.dbf", "*.dbf"));
    EXPECT_TRUE(matchesPattern("t1.dbf", "t?.DBF"));
    EXPECT_FALSE(matchesPattern("t12.dbf", "t?.dbf"));
    EXPECT_FALSE(matchesPattern("orders.dbfx", "*.dbf"));
    EXPECT_FALSE(matchesPattern("ordersdbf", "*.dbf"));
    EXPECT_TRUE(matchesPattern("anything", "*"));
}

TEST_F(ListFilesTest, IsExistingFileOnlyForReadableRegularFiles) {
    touch(dir.file("t.dbf"));
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
    EXPECT_TRUE(IsExistingFile(dir.file("t.dbf")));
    EXPECT_FALSE(IsExistingFile(dir.file("sub")));
    EXPECT_FALSE(IsExistingFile(dir.file("missing.dbf")));
    EXPECT_FALSE(IsExistingFile(""));
}

TEST(BrowseForFolderTest, ReturnsTheFolderWithoutTrailingSeparatorOrEmptyOnCancel) {
    test::ScriptedDialogs dialogs;
    dialogs.folders = {"/data/tables/", "/", ""};
    EXPECT_EQ(BrowseForFolder(dialogs, "Please select folder:", ""), "/data/tables");
    EXPECT_EQ(BrowseForFolder(dialogs, "Please select folder:", "/start"), "/");
    EXPECT_EQ(BrowseForFolder(dialogs, "Please select folder:", ""), "");
    ASSERT_EQ(dialogs.folderDialogs.size(), 3u);
    EXPECT_EQ(dialogs.folderDialogs[0].title, "Please select folder:");
    EXPECT_EQ(dialogs.folderDialogs[1].startFolder, "/start");
}

}  // namespace
}  // namespace quorvel::data
