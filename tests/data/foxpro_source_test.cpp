#include "data/foxpro_source.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "foxpro/foxpro_error.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/connection.h"
#include "frame/app_info.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace quorvel::data {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

SourceDescriptor folderSource(const std::string& text) {
    SourceDescriptor s;
    s.optionDBC = false;
    s.folderText = text;
    return s;
}

SourceDescriptor containerSource(const std::string& path) {
    SourceDescriptor s;
    s.optionDBC = true;
    s.dbcPath = path;
    s.folderText = "/ignored";
    return s;
}

TEST(SourcePathsTest, GetPathAndGetDBNameFollowTheKind) {
    EXPECT_EQ(GetPath(folderSource("/data/x")), "/data/x/");
    EXPECT_EQ(GetPath(folderSource("/data/x/")), "/data/x/");
    EXPECT_EQ(GetPath(folderSource("")), "/");
    EXPECT_EQ(GetPath(containerSource("/db/sales.dbc")), "");
    EXPECT_EQ(GetDBName(containerSource("/db/sales.dbc")), "/db/sales.dbc");
    EXPECT_EQ(GetDBName(folderSource("/data/x")), "");
}

TEST(SourcePathsTest, ConnectionStringNamesKindAndQuotesSemicolons) {
    EXPECT_EQ(connectionString(containerSource("/db/sales.dbc")),
              "Provider=vfpoledb.1;Data Source=/db/sales.dbc;Collating Sequence=machine;");
    EXPECT_EQ(connectionString(folderSource("/data/x/")),
              "Provider=vfpoledb.1;Data Source=/data/x/;Collating Sequence=general;");
    EXPECT_EQ(connectionString(folderSource("/a;b")),
              "Provider=vfpoledb.1;Data Source=\"/a;b\";Collating Sequence=general;");
}

TEST(SourcePathsTest, EveryFolderNameReachesTheConnectionByteForByte) {
    test::TempFolder dir;
    for (const std::string name : {"data ", "data\t", "p\";Data Source=other;x=\"", "\"q\"", "a;b",
                                   "Gr\xC3\xBC\xC3\x9F"
                                   "e"}) {
        SCOPED_TRACE(name);
        const std::string folder = dir.file(name);
        std::filesystem::create_directory(folder);
        foxpro::Connection connection;
        connection.open(connectionString(folderSource(folder)));
        EXPECT_EQ(connection.source().path(), folder);
    }
    // A blank at the start of a relative path is kept too: the folder that
    // is not there is named with it.
    foxpro::Connection connection;
    try {
        connection.open(connectionString(folderSource(" nowhere")));
        ADD_FAILURE() << "opened a missing folder";
    } catch (const foxpro::FoxProError& e) {
        EXPECT_EQ(e.description(), " nowhere: no such file or folder");
    }
}

class ValidityTest : public ::testing::Test {
  protected:
    test::TempFolder dir;
    test::ScriptedDialogs dialogs;
};

TEST_F(ValidityTest, ContainerNeedsAnExistingFileAndNeverSpeaks) {
    touch(dir.file("sales.dbc"));
    EXPECT_TRUE(IsValidFoxProConnection(containerSource(dir.file("sales.dbc")), dialogs));
    EXPECT_FALSE(IsValidFoxProConnection(containerSource(""), dialogs));
    EXPECT_FALSE(IsValidFoxProConnection(containerSource(dir.file("none.dbc")), dialogs));
    EXPECT_FALSE(IsValidFoxProConnection(containerSource(dir.path()), dialogs));
    EXPECT_THAT(dialogs.messages, IsEmpty());
}

TEST_F(ValidityTest, FolderThatIsNotAFolderIsNamedInTheMessage) {
    touch(dir.file("orders.dbf"));
    EXPECT_FALSE(IsValidFoxProConnection(folderSource(""), dialogs));
    EXPECT_FALSE(IsValidFoxProConnection(folderSource(dir.file("orders.dbf")), dialogs));
    EXPECT_FALSE(IsValidFoxProConnection(folderSource("~/tables"), dialogs));
    ASSERT_EQ(dialogs.messages.size(), 3u);
    // An empty text leaves two blanks in a row.
    EXPECT_EQ(dialogs.messages[0].text,
              "Free Table Folder  input is not a valid folder. Please correct.");
    EXPECT_EQ(dialogs.messages[1].text, "Free Table Folder " + dir.file("orders.dbf") +
                                            " input is not a valid folder. Please correct.");
    EXPECT_EQ(dialogs.messages[2].text,
              "Free Table Folder ~/tables input is not a valid folder. Please correct.");
    EXPECT_EQ(dialogs.messages[0].buttons, frame::MessageButtons::Ok);
    EXPECT_EQ(dialogs.messages[0].icon, frame::MessageIcon::None);
    EXPECT_EQ(dialogs.messages[0].caption, frame::SetApplicationTitle());
}

TEST_F(ValidityTest, FolderNeedsATableNotBeginningWithTilde) {
    touch(dir.file("~temp.dbf"));
    touch(dir.file("notes.txt"));
    EXPECT_FALSE(IsValidFoxProConnection(folderSource(dir.path()), dialogs));
    touch(dir.file("orders.dbf"));
    EXPECT_TRUE(IsValidFoxProConnection(folderSource(dir.path()), dialogs));
    EXPECT_TRUE(IsValidFoxProConnection(folderSource(dir.path() + "/"), dialogs));
    EXPECT_THAT(dialogs.messages, IsEmpty());
}

TEST_F(ValidityTest, FolderNamedLikeATableHoldingNoneIsInvalid) {
    const std::string folder = dir.file("old.dbf");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((folder + "/inner.dbf").c_str(), 0755), 0);
    EXPECT_FALSE(IsValidFoxProConnection(folderSource(folder), dialogs));
    EXPECT_THAT(dialogs.messages, IsEmpty());
}

class CatalogueTest : public ValidityTest {
  protected:
    StringList list;
};

TEST_F(CatalogueTest, FolderEntriesLoseTheirExtensionAndTildeNamesAreSkipped) {
    touch(dir.file("Orders.dbf"));
    touch(dir.file("~Orders.dbf"));
    touch(dir.file("notes.txt"));
    touch(dir.file(".dbf"));  // no name left once the extension is gone
    AddTablesToFoxproListbox(folderSource(dir.path()), list, dialogs);
    EXPECT_THAT(list.items(), ElementsAre("Orders"));
    // With a trailing separator: the same entries, and the list is refilled.
    AddTablesToFoxproListbox(folderSource(dir.path() + "/"), list, dialogs);
    EXPECT_THAT(list.items(), ElementsAre("Orders"));
    EXPECT_THAT(dialogs.messages, IsEmpty());
}

TEST_F(CatalogueTest, InvalidSourceLeavesTheListEmpty) {
    list.add("stale");
    AddTablesToFoxproListbox(folderSource(dir.file("missing")), list, dialogs);
    EXPECT_THAT(list.items(), IsEmpty());
    ASSERT_EQ(dialogs.messages.size(), 1u);  // the validity test's own message only
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr("is not a valid folder"));
}

TEST_F(CatalogueTest, SamplesListTheirThreeTables) {
    const std::string samples = std::string(QUORVEL_SOURCE_DIR) + "/samples";
    for (const char* folder : {"/Samples", "/Samples1"}) {
        AddTablesToFoxproListbox(folderSource(samples + folder), list, dialogs);
        EXPECT_THAT(list.items(), UnorderedElementsAre("customers", "orders", "products"));
    }
}

TEST_F(CatalogueTest, ContainerListsItsTablesInItsOrder) {
    const std::string dbc = test::writeSampleContainer(dir.path());
    AddTablesToFoxproListbox(containerSource(dbc), list, dialogs);
    EXPECT_THAT(dialogs.messageTexts(), IsEmpty());
    EXPECT_THAT(list.items(), ElementsAre("customers", "setup"));
}

TEST_F(CatalogueTest, DamagedContainerIsReportedAndLeavesWhatWasListed) {
    std::ofstream(dir.file("broken.dbc")) << "not a table at all";
    list.add("stale");
    AddTablesToFoxproListbox(containerSource(dir.file("broken.dbc")), list, dialogs);
    EXPECT_THAT(list.items(), IsEmpty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Application Error");
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr("FoxPro.AddTablesToFoxproListbox at line"));
}

TEST(ProviderCheckTest, AnswersTrueSilentlyWhenTheConnectionCanBeCreated) {
    test::ScriptedDialogs dialogs;
    EXPECT_TRUE(IsProviderInstalled(dialogs, [] {}));
    EXPECT_TRUE(IsProviderInstalled(dialogs));  // the real layer on this machine
    EXPECT_THAT(dialogs.messages, IsEmpty());
}

TEST(ProviderCheckTest, MissingProviderExplainsAndOpensBothPagesOnYes) {
    test::ScriptedDialogs dialogs;
    dialogs.answers = {frame::Answer::Yes, frame::Answer::No};
    auto missing = [] { throw foxpro::FoxProError(3706, "whatever"); };
    auto described = [] { throw std::runtime_error("The Provider Cannot Be Found here"); };
    EXPECT_FALSE(IsProviderInstalled(dialogs, missing));
    EXPECT_FALSE(IsProviderInstalled(dialogs, described));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].buttons, frame::MessageButtons::YesNo);
    EXPECT_EQ(dialogs.messages[0].icon, frame::MessageIcon::None);
    EXPECT_THAT(dialogs.opened, ElementsAre(kDownloadPage2010, kDownloadPage2016));

    const std::string text = dialogs.messages[0].text;
    EXPECT_EQ(text.rfind("Error #3706: Provider cannot be found. It may not be properly "
                         "installed.\r\n\r\nYou are getting this error because:\r\n\r\n1. ",
                         0),
              0u);
    EXPECT_THAT(text, HasSubstr("computer.\r\n\r\nYou need to download"));
    EXPECT_THAT(text, HasSubstr("do this?\r\n\r\n(If you have any further questions please "
                                "email a screenshot of this error message to " +
                                std::string(frame::kSupportAddress) + ")"));
    EXPECT_EQ(text.substr(text.size() - 1), ")");
}

TEST(ProviderCheckTest, UnrelatedFailureShowsNothing) {
    test::ScriptedDialogs dialogs;
    EXPECT_FALSE(IsProviderInstalled(dialogs, [] { throw foxpro::FoxProError(3001, "x"); }));
    EXPECT_FALSE(IsProviderInstalled(dialogs, [] { throw 42; }));
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_THAT(dialogs.opened, IsEmpty());
}

}  // namespace
}  // namespace quorvel::data
