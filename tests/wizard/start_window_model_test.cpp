#include "wizard/start_window_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "frame/app_info.h"
#include "frame/error_report.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace quorvel::wizard {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

class StartWindowTest : public ::testing::Test {
  protected:
    StartWindowTest() {
        ::mkdir(tables1.c_str(), 0755);
        ::mkdir(tables2.c_str(), 0755);
        touch(tables1 + "/orders.dbf");
        touch(tables2 + "/orders.dbf");
        touch(tables2 + "/items.dbf");
    }

    StartWindowModel& model() {
        if (!model_) {
            StartupEnvironment env;
            env.drawOneToHundred = [this] { return draw; };
            env.providerCheck = [this](frame::Dialogs&) { return provider; };
            env.userDataFolder = userData.path();
            env.folderWritable = [this](const std::string& folder) {
                return readOnly.count(folder) == 0;
            };
            model_ = std::make_unique<StartWindowModel>(run, store, dialogs, app.path(), env);
            auto& v = model_->view;
            v.setFolderText = [this](int n, const std::string& text) {
                shown.push_back(std::to_string(n) + ":" + text);
                // The box echoes its change signal, as a real one does.
                if (n == 1)
                    model_->Text1_Change(text);
                else
                    model_->Text2_Change(text);
            };
            v.applySystemColors = [this] { ++systemColors; };
            v.setCaption = [this](const std::string& caption) { captions.push_back(caption); };
            v.loadHandCursor = [this] { ++handCursors; };
            v.showTableChoice = [this] { ++tableChoices; };
            v.showOptions = [this](int n) { options.push_back(n); };
            v.quit = [this] { ++quits; };
        }
        return *model_;
    }

    RunModel run;
    test::TempFolder app;
    std::string tables1 = app.file("one");
    std::string tables2 = app.file("two");
    frame::MemorySettingsStore store;
    test::ScriptedDialogs dialogs;
    int draw = 50;
    bool provider = true;
    std::vector<std::string> shown, captions;
    std::vector<int> options;
    test::TempFolder userData;
    std::set<std::string> readOnly;  // folders taken as not writable
    int systemColors = 0, handCursors = 0, tableChoices = 0, quits = 0;

  private:
    std::unique_ptr<StartWindowModel> model_;
};

TEST_F(StartWindowTest, FirstRunStartsBothSourcesAsEmptyContainersAndStays) {
    model().Form_Load();
    EXPECT_TRUE(model().source(1).optionDBC);
    EXPECT_TRUE(model().source(2).optionDBC);
    EXPECT_EQ(model().source(1).dbcPath, "");
    EXPECT_THAT(shown, IsEmpty());
    EXPECT_EQ(store.saveCount(), 0);
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_EQ(tableChoices, 0);
    EXPECT_EQ(quits, 0);
    EXPECT_THAT(captions, ElementsAre("Quorvel"));
    EXPECT_EQ(handCursors, 1);
    EXPECT_EQ(systemColors, 0);  // no skin file
    EXPECT_THAT(dialogs.opened, IsEmpty());
}

// A value longer than any path (a damaged or hand-edited store) is read as
// if it were absent: nothing is shown, saved back or tried; one as long as
// a path may be is kept.
TEST_F(StartWindowTest, StoredValuesLongerThanAPathAreIgnoredAtStartUp) {
    const std::string pathLong = "/" + std::string(frame::kLongestPath - 1, 'p');
    const std::string tooLong(frame::kLongestPath + 1, 'x');
    store.SaveSetting("FreeTableFolder", tooLong);
    store.SaveSetting("FoxproOption", "2" + tooLong);
    store.SaveSetting("DBCFile", tooLong);
    store.SaveSetting("CodePage", "1251" + tooLong);
    store.SaveSetting("DBCFile2", pathLong);
    store.SaveSetting("FoxproOption2", "1");
    const int saves = store.saveCount();
    model().Form_Load();
    EXPECT_THAT(shown, IsEmpty());
    EXPECT_EQ(store.saveCount(), saves);
    EXPECT_EQ(model().folderText(1), "");
    EXPECT_EQ(model().source(1).dbcPath, "");
    EXPECT_TRUE(model().source(1).optionDBC);
    EXPECT_EQ(model().source(1).codePage, 0);
    EXPECT_EQ(model().source(2).dbcPath, pathLong);

    OptionsWindowModel options1(model(), 1), options2(model(), 2);
    options1.Form_Load();
    options2.Form_Load();
    EXPECT_EQ(options1.text(), "");
    EXPECT_EQ(options2.text(), pathLong);
}

TEST_F(StartWindowTest, SavedFolderBringsItsSourceBackInFolderMode) {
    store.SaveSetting("FreeTableFolder", tables1);
    store.SaveSetting("FoxproOption", "1");  // container chosen while the folder was kept
    store.SaveSetting("DBCFile", "/db/old.dbc");
    store.SaveSetting("DBCFile2", "/db/second.dbc");
    model().Form_Load();
    EXPECT_THAT(shown, ElementsAre("1:" + tables1));
    EXPECT_EQ(store.GetSetting("FoxproOption"), "2");
    EXPECT_EQ(store.GetSetting("FreeTableFolder"), tables1);
    EXPECT_FALSE(model().source(1).optionDBC);
    EXPECT_EQ(model().folderText(1), tables1);
    EXPECT_EQ(model().source(1).dbcPath, "/db/old.dbc");
    // Source 2: empty folder, kind never written, container path missing.
    EXPECT_TRUE(model().source(2).optionDBC);
    EXPECT_EQ(model().source(2).dbcPath, "/db/second.dbc");
    EXPECT_FALSE(store.contains("FoxproOption2"));
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_EQ(tableChoices, 0);
}

TEST_F(StartWindowTest, SavedFolderThatIsGoneShowsTheFolderMessageAndStays) {
    store.SaveSetting("FreeTableFolder", app.file("gone"));
    model().Form_Load();
    EXPECT_THAT(dialogs.messageTexts(),
                ElementsAre("Free Table Folder " + app.file("gone") +
                            " input is not a valid folder. Please correct."));
    EXPECT_EQ(tableChoices, 0);
}

TEST_F(StartWindowTest, BothSavedSourcesValidGoStraightToTheTableChoice) {
    store.SaveSetting("FreeTableFolder", tables1);
    store.SaveSetting("FreeTableFolder2", tables2 + "/");
    model().Form_Load();
    EXPECT_EQ(tableChoices, 1);
    EXPECT_THAT(model().tableList(1).items(), ElementsAre("orders"));
    EXPECT_EQ(model().tableList(2).size(), 2);
    EXPECT_THAT(dialogs.messages, IsEmpty());
}

TEST_F(StartWindowTest, MissingProviderEndsBeforeAnySourceIsTested) {
    provider = false;
    store.SaveSetting("FreeTableFolder", app.file("gone"));
    model().Form_Load();
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(model().quitRequested());
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_EQ(tableChoices, 0);
}

TEST_F(StartWindowTest, HomePageOpensOnlyOnSevenAndSkinBringsSystemColours) {
    draw = 7;
    ::mkdir(app.file("x").c_str(), 0755);
    touch(app.file("x/o.cjs"));
    model().Form_Load();
    EXPECT_THAT(dialogs.opened, ElementsAre(frame::kHomePage));
    EXPECT_EQ(systemColors, 1);
}

TEST_F(StartWindowTest, FailingStartUpStepIsReportedAndTheRestRuns) {
    model().view.loadHandCursor = [] { throw std::runtime_error("HAND-M.CUR: bad image"); };
    store.SaveSetting("FreeTableFolder", tables1);
    model().Form_Load();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              frame::errorReportText("HAND-M.CUR: bad image", "Form1.Form_Load", 106));
    EXPECT_FALSE(model().source(1).optionDBC);  // steps after the failure ran
}

TEST_F(StartWindowTest, TypingSavesEveryTextUnderTheSourcesOwnKeys) {
    model().Text2_Change("/d");
    model().Text2_Change("/da");
    EXPECT_EQ(store.GetSetting("FreeTableFolder2"), "/da");
    EXPECT_EQ(store.GetSetting("FoxproOption2"), "2");
    EXPECT_FALSE(model().source(2).optionDBC);
    EXPECT_EQ(store.saveCount(), 4);
    EXPECT_FALSE(store.contains("FreeTableFolder"));
    EXPECT_FALSE(store.contains("FoxproOption"));
    EXPECT_TRUE(model().source(1).optionDBC);

    // Clearing saves the empty folder and leaves the source in folder mode.
    store.SaveSetting("FoxproOption2", "1");
    model().Text2_Change("");
    EXPECT_EQ(store.GetSetting("FreeTableFolder2"), "");
    EXPECT_EQ(store.GetSetting("FoxproOption2"), "1");
    EXPECT_FALSE(model().source(2).optionDBC);
}

// Each source's code-page choice is saved with it at once, comes back at
// start-up (a stored value this system cannot use comes back as
// "Automatic"), and reaches the comparison and the merge through the source
// descriptor's connection string.
TEST_F(StartWindowTest, CodePageChoiceIsSavedWithItsSourceAndReachesTheConnection) {
    store.SaveSetting("CodePage", "866");
    store.SaveSetting("CodePage2", "895");  // Kamenicky: no converter
    std::vector<std::string> codePages;
    model().view.setCodePage = [&](int n, int codePage) {
        codePages.push_back(std::to_string(n) + ":" + std::to_string(codePage));
    };
    model().Form_Load();
    EXPECT_THAT(codePages, ElementsAre("1:866", "2:0"));
    EXPECT_EQ(model().source(1).codePage, 866);
    EXPECT_THAT(data::connectionString(model().source(1)), HasSubstr(";Code Page=866;"));

    model().Combo2_Click(65001);
    EXPECT_EQ(model().source(2).codePage, 65001);
    EXPECT_EQ(store.GetSetting("CodePage2"), "65001");
    EXPECT_EQ(store.GetSetting("CodePage"), "866");
    model().Combo1_Click(0);
    EXPECT_EQ(store.GetSetting("CodePage"), "");
    EXPECT_EQ(data::connectionString(model().source(1)).find("Code Page"), std::string::npos);

    const auto& choices = codePageChoices();
    ASSERT_FALSE(choices.empty());
    EXPECT_EQ(choices.front().caption, "Automatic");
    EXPECT_EQ(choices.front().codePage, 0);
    auto has = [&](const std::string& caption) {
        return std::any_of(choices.begin(), choices.end(),
                           [&](const CodePageChoice& c) { return c.caption == caption; });
    };
    EXPECT_TRUE(has("1251 (Russian Windows)"));
    EXPECT_TRUE(has("936 (Chinese GBK)"));
    EXPECT_TRUE(has("UTF-8"));
}

TEST_F(StartWindowTest, SampleOfSourceTwoFillsTheBoxAndOpensTheSameFolderOnYes) {
    dialogs.answers = {frame::Answer::Yes};
    model().PushButton9_Click();
    const std::string sample = app.path() + "/Samples1";
    EXPECT_THAT(shown, ElementsAre("2:" + sample));
    EXPECT_EQ(store.GetSetting("FreeTableFolder2"), sample);
    EXPECT_EQ(store.GetSetting("FoxproOption2"), "2");
    EXPECT_FALSE(model().source(2).optionDBC);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Would you like this software to open the folder where these sample files are "
              "stored (so that you can view them before working with them)?");
    EXPECT_EQ(dialogs.messages[0].buttons, frame::MessageButtons::YesNo);
    EXPECT_EQ(dialogs.messages[0].caption, "Quorvel");
    EXPECT_THAT(dialogs.opened, ElementsAre(sample + "/"));

    model().PushButton5_Click();  // answered No by default
    EXPECT_EQ(store.GetSetting("FreeTableFolder"), app.path() + "/Samples");
    EXPECT_EQ(dialogs.opened.size(), 1u);
}

// Shipped samples that cannot be written to are copied once into the
// user's data; that copy is used from then on, the user's changes kept.
TEST_F(StartWindowTest, SamplesInAFolderThatCannotBeWrittenAreCopiedOnce) {
    const std::string shipped = app.file("Samples"), copy = userData.file("Samples");
    ::mkdir(shipped.c_str(), 0755);
    touch(shipped + "/orders.dbf");
    touch(shipped + "/orders.fpt");
    readOnly.insert(shipped);
    model().PushButton5_Click();
    EXPECT_EQ(store.GetSetting("FreeTableFolder"), copy);
    EXPECT_EQ(test::readText(copy + "/orders.fpt"), "x");
    EXPECT_EQ(test::readText(copy + "/orders.dbf"), "x");
    std::ofstream(copy + "/orders.dbf") << "changed by the user";
    model().Text1_Change("elsewhere");
    model().PushButton5_Click();
    EXPECT_EQ(store.GetSetting("FreeTableFolder"), copy);
    EXPECT_EQ(test::readText(copy + "/orders.dbf"), "changed by the user");
    // The second source's samples go to their own copy; a copy that cannot
    // be made is reported and the box keeps its text.
    const std::string shipped2 = app.file("Samples1");
    ::mkdir(shipped2.c_str(), 0755);
    readOnly.insert(shipped2);
    touch(userData.file("Samples1"));  // a file where the copy's folder would go
    model().PushButton9_Click();
    EXPECT_EQ(store.GetSetting("FreeTableFolder2"), "");
    EXPECT_THAT(dialogs.messageTexts(),
                Contains(AllOf(HasSubstr(userData.file("Samples1") + ": cannot copy the samples"),
                               HasSubstr("Form1.PushButton9_Click"))));
    // The half-made copy is gone: Samples and the file in the way remain.
    const std::filesystem::directory_iterator entries(userData.path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 2);
}

TEST_F(StartWindowTest, TestConnectionShowsTheHourglassAndAnswers) {
    model().Text1_Change(tables1);
    model().PushButton8_Click();
    model().Text2_Change(app.file("gone"));
    model().PushButton6_Click();
    EXPECT_THAT(dialogs.messageTexts(),
                ElementsAre("Connection successful.",
                            "Free Table Folder " + app.file("gone") +
                                " input is not a valid folder. Please correct.",
                            "Could not connect."));
    EXPECT_THAT(dialogs.pointers, ElementsAre(frame::Pointer::Hourglass, frame::Pointer::Default,
                                              frame::Pointer::Hourglass, frame::Pointer::Default));
}

TEST_F(StartWindowTest, NextNamesTheFirstInvalidSourceOnly) {
    model().PushButton2_Click();  // both empty containers
    EXPECT_THAT(dialogs.messageTexts(), ElementsAre("Database #1 does not appear to be valid."));
    model().Text1_Change(tables1);
    model().PushButton2_Click();
    EXPECT_EQ(dialogs.lastMessage(), "Database #2 does not appear to be valid.");
    EXPECT_EQ(tableChoices, 0);
    EXPECT_TRUE(model().tableList(1).empty());

    model().Text2_Change(tables2);
    model().PushButton2_Click();
    EXPECT_EQ(tableChoices, 1);
    EXPECT_THAT(model().tableList(1).items(), ElementsAre("orders"));
}

// Source 2 as a file of another program: the chooser makes its URI (the
// characters a URI reads as its own escaped), "Next >" lists its tables or
// names the side and the problem, and an emptied line is the folder again.
TEST_F(StartWindowTest, DatabaseOrCsvFileStandsAsSourceTwo) {
    std::string shown3;
    model().view.setSideText = [&shown3](const std::string& text) { shown3 = text; };
    model().Text1_Change(tables1);
    model().Text2_Change(tables2);
    std::ofstream(app.file("copy 100%?.csv")) << "ID\n1\n";
    dialogs.fileNames = {app.file("copy 100%?.csv")};
    model().PushButton10_Click();
    EXPECT_EQ(shown3, "csv:" + app.file("copy 100%25%3F.csv"));
    EXPECT_EQ(run.side2, shown3);
    model().PushButton2_Click();
    EXPECT_EQ(tableChoices, 1);
    EXPECT_THAT(model().tableList(2).items(), ElementsAre("copy 100%?"));

    model().Text3_Change("  sqlite:" + app.file("gone.db") + " ");
    EXPECT_EQ(run.side2, "sqlite:" + app.file("gone.db"));
    model().PushButton2_Click();
    EXPECT_EQ(tableChoices, 1);
    EXPECT_THAT(dialogs.lastMessage(),
                AllOf(HasSubstr("Database #2 cannot be read"), HasSubstr("gone.db")));

    model().Text3_Change("");
    model().PushButton2_Click();
    EXPECT_EQ(tableChoices, 2);
    EXPECT_THAT(model().tableList(2).items(), UnorderedElementsAre("items", "orders"));
}

TEST_F(StartWindowTest, FailureAfterListingIsReportedWithItsStep) {
    model().view.showTableChoice = [] { throw std::runtime_error("window gone"); };
    model().Text1_Change(tables1);
    model().Text2_Change(tables2);
    model().PushButton2_Click();
    EXPECT_EQ(dialogs.lastMessage(),
              frame::errorReportText("window gone", "Form1.PushButton2_Click", 108));
}

TEST_F(StartWindowTest, BrowseCancelChangesNothingAndAChoiceIsSaved) {
    model().Text1_Change("/before");
    const int saves = store.saveCount();
    model().PushButton1_Click();  // cancelled
    EXPECT_EQ(model().folderText(1), "/before");
    EXPECT_EQ(store.saveCount(), saves);

    dialogs.folders = {tables2 + "/"};
    model().PushButton3_Click();
    EXPECT_EQ(model().folderText(2), tables2);
    EXPECT_EQ(store.GetSetting("FreeTableFolder2"), tables2);
    ASSERT_EQ(dialogs.folderDialogs.size(), 2u);
    EXPECT_EQ(dialogs.folderDialogs[1].title, "Please select folder:");
    EXPECT_EQ(dialogs.folderDialogs[1].startFolder, "");
}

TEST_F(StartWindowTest, HelpAndOptionsButtons) {
    model().PushButton4_Click();
    EXPECT_EQ(dialogs.lastMessage(),
              std::string("Questions? Please contact Team Velkorn at ") + frame::kContactPage);
    model().PushButton12_Click();
    model().PushButton7_Click();
    EXPECT_THAT(options, ElementsAre(1, 2));
}

class OptionsWindowTest : public StartWindowTest {
  protected:
    std::vector<std::string> texts;
    int closes = 0;
    OptionsWindowModel open(int n) {
        OptionsWindowModel w(model(), n);
        w.setText = [this](const std::string& t) { texts.push_back(t); };
        w.close = [this] { ++closes; };
        w.Form_Load();
        return w;
    }
};

TEST_F(OptionsWindowTest, SecondWindowShowsAndStoresOnlySourceTwo) {
    store.SaveSetting("DBCFile", "/one.dbc");
    store.SaveSetting("DBCFile2", "/two.dbc");
    auto w = open(2);
    EXPECT_EQ(w.formName(), "Form6");
    EXPECT_EQ(w.frameCaption(), "Advanced Option #2");
    EXPECT_THAT(texts, ElementsAre("/two.dbc"));
    w.Text1_Change("/typed/not/checked.dbc");
    EXPECT_EQ(store.GetSetting("DBCFile2"), "/typed/not/checked.dbc");
    EXPECT_EQ(store.GetSetting("DBCFile"), "/one.dbc");
    EXPECT_FALSE(store.contains("FoxproOption"));
}

TEST_F(OptionsWindowTest, OkSwitchesToTheContainerAtOnceButNotWithAnEmptyBox) {
    model().Text1_Change(tables1);  // folder source
    auto empty = open(1);
    empty.PushButton1_Click();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(model().source(1).optionDBC);
    EXPECT_EQ(store.GetSetting("FoxproOption"), "2");

    auto w = open(1);
    w.Text1_Change("/db/sales.dbc");
    w.PushButton1_Click();
    EXPECT_EQ(closes, 2);
    EXPECT_TRUE(model().source(1).optionDBC);
    EXPECT_EQ(model().source(1).dbcPath, "/db/sales.dbc");
    EXPECT_EQ(model().GetDBName(1), "/db/sales.dbc");
    EXPECT_EQ(store.GetSetting("FoxproOption"), "1");
}

TEST_F(OptionsWindowTest, CancelAlwaysSwitchesToTheFolderKind) {
    auto w = open(1);
    w.Text1_Change("/db/sales.dbc");
    w.PushButton2_Click();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(model().source(1).optionDBC);
    EXPECT_EQ(store.GetSetting("FoxproOption"), "2");
    EXPECT_EQ(store.GetSetting("DBCFile"), "/db/sales.dbc");  // survives the cancel
}

TEST_F(OptionsWindowTest, BrowseAsksForAContainerAndKeepsTheBoxOnCancel) {
    store.SaveSetting("DBCFile", "/kept.dbc");
    auto w = open(1);
    w.PushButton5_Click();  // cancelled
    EXPECT_EQ(w.text(), "/kept.dbc");
    dialogs.fileNames = {"/db/new.dbc"};
    w.PushButton5_Click();
    EXPECT_EQ(w.text(), "/db/new.dbc");
    EXPECT_EQ(store.GetSetting("DBCFile"), "/db/new.dbc");
    EXPECT_THAT(texts, ElementsAre("/kept.dbc", "/db/new.dbc"));
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    const auto& request = dialogs.fileDialogs[0].request;
    EXPECT_FALSE(dialogs.fileDialogs[0].save);
    EXPECT_EQ(request.title, "Select Foxpro Database");
    EXPECT_EQ(request.filter, "Microsoft Database (*.dbc)|*.dbc|");
    EXPECT_EQ(request.fileName, "");
    EXPECT_TRUE(request.readOnlyBox);
}

}  // namespace
}  // namespace quorvel::wizard
