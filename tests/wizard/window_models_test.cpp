// The handlers of the table-choice, results and new-table windows, run
// without any toolkit: each model over one run model, its view recorded.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <utility>

#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/text_locale.h"
#include "foxpro/write/atomic_file.h"
#include "frame/event_pace.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"
#include "wizard/new_table_model.h"
#include "wizard/results_model.h"
#include "wizard/side_run.h"
#include "wizard/table_choice_model.h"

namespace quorvel::wizard {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::vector<std::string> texts(const ResultList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i) out.push_back(list.text(i));
    return out;
}

// Runs a hook once, when the next message box opens (inside the work that
// shows it).
class HookedDialogs : public test::ScriptedDialogs {
  public:
    std::function<void()> onMessage;
    frame::Answer message(const std::string& text, frame::MessageButtons buttons,
                          frame::MessageIcon icon, const std::string& caption) override {
        if (auto hook = std::exchange(onMessage, nullptr)) hook();
        return ScriptedDialogs::message(text, buttons, icon, caption);
    }
};

class WindowModelsTest : public ::testing::Test {
  protected:
    WindowModelsTest() {
        for (int n : {1, 2}) {
            run.source(n).optionDBC = false;
            run.source(n).folderText = dir.path();
        }
        // A changed value that says "Readded" and one more record in t2.
        TableBuilder t1(0x30), t2(0x30);
        t1.field("CITY", 'C', 8).field("QTY", 'N', 3);
        t2.field("CITY", 'C', 8).field("QTY", 'N', 3);
        t1.record({Cell::text("Paris"), Cell::number("1")});
        t2.record({Cell::text("Readded"), Cell::number("2")});
        t2.record({Cell::text("Rome"), Cell::number("3")});
        t1.write(dir.file("t1.dbf"));
        t2.write(dir.file("t2.dbf"));

        TableChoiceView& v = choice.view;
        v.selectedEntries = [this](int list) { return list == 1 ? selected1 : selected2; };
        v.showResults = [this] { log.push_back("show results"); };
        v.hide = [this] { log.push_back("hide choice"); };
        v.showStartWindow = [this] { log.push_back("show start"); };
        v.setNewTableName = [this](const std::string& name) { newTable.setNewTableName(name); };
        v.setNewTableCaption = [this](const std::string& text) { newTable.setCaptionText(text); };
        v.setProgress = [this](int, const std::string&) {
            if (onProgress) onProgress();
        };
        results.view.showTableChoice = [this] { log.push_back("show choice"); };
        results.view.processEvents = [this] {
            if (auto hook = std::exchange(onEvents, nullptr)) hook();
        };
    }

    // "Next >" with t1 and t2 selected.
    void compare() {
        selected1 = {"t1"};
        selected2 = {"t2"};
        choice.PushButton3_Click();
    }

    test::TempFolder dir;
    HookedDialogs dialogs;
    RunModel run;
    foxpro::TextLocale locale = foxpro::TextLocale::c();
    frame::MemorySettingsStore store;
    TableChoiceModel choice{run, dialogs, locale, store};
    ResultsModel results{run, dialogs};
    NewTableModel newTable{run, dialogs};
    std::vector<std::string> selected1, selected2, log;
    std::function<void()> onProgress, onEvents;
};

TEST_F(WindowModelsTest, ForgottenTablesAreNamedAndTheRunStops) {
    choice.PushButton3_Click();
    selected1 = {"t1"};
    choice.PushButton3_Click();
    EXPECT_THAT(dialogs.messageTexts(),
                ElementsAre("You forgot to select Table #1", "You forgot to select Table #2"));
    EXPECT_EQ(run.Table1Name, "t1");
    EXPECT_THAT(log, IsEmpty());
}

TEST_F(WindowModelsTest, RunSortsDifferencesByKindAndPreparesTheNewTable) {
    compare();
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_THAT(
        texts(run.fieldDifferences()),
        ElementsAre("Record 1, Field \"CITY\" has changed from \"Paris   \" to \"Readded \"",
                    "Record 1, Field \"QTY\" has changed from \"1\" to \"2\""));
    EXPECT_THAT(texts(run.addedDeleted()), ElementsAre("Record 2 added to t2"));
    EXPECT_EQ(newTable.newTableName(), "t12");
    EXPECT_EQ(newTable.captionText(),
              "Create new table from t1 (Table #1) and only apply checked changes from t2 "
              "(Table #2).");
    EXPECT_THAT(log, ElementsAre("show results", "hide choice"));
    EXPECT_EQ(dialogs.pointer(), frame::Pointer::Default);
}

TEST_F(WindowModelsTest, PairingAndKeyFieldsAreRememberedPerPairOfTables) {
    std::vector<std::string> shownFields;
    std::vector<bool> shownTicks;
    compare::Pairing shownPairing = compare::Pairing::Position;
    choice.view.setPairing = [&](compare::Pairing by) { shownPairing = by; };
    choice.view.setKeyFields = [&](const std::vector<std::string>& fields,
                                   const std::vector<bool>& ticks) {
        shownFields = fields;
        shownTicks = ticks;
    };
    store.SaveSetting(frame::kKeyPairRecordsBy, "Key");
    store.SaveSetting(frame::keyFieldsKey("T1", "t2"), "qty");
    choice.Form_Load();
    EXPECT_EQ(shownPairing, compare::Pairing::Key);
    EXPECT_THAT(shownFields, IsEmpty());  // no table chosen yet

    // Both chosen: the fields both share, ticked as last time for this pair.
    selected1 = {"t1"};
    choice.List1_Click();
    EXPECT_THAT(shownFields, IsEmpty());
    selected2 = {"t2"};
    choice.List2_Click();
    EXPECT_THAT(shownFields, ElementsAre("CITY", "QTY"));
    EXPECT_THAT(shownTicks, ElementsAre(false, true));
    choice.List3_ItemCheck(0, true);
    EXPECT_EQ(store.GetSetting(frame::keyFieldsKey("t1", "t2")), "CITY,QTY");
    choice.Option3_Click();
    EXPECT_EQ(store.GetSetting(frame::kKeyPairRecordsBy), "Content");

    // Another pair has ticks of its own (none yet).
    selected2 = {"t1"};
    choice.List2_Click();
    EXPECT_THAT(shownTicks, ElementsAre(false, false));
}

TEST_F(WindowModelsTest, KeyRunNeedsAKeyFieldTellsDuplicatesAndNamesItsPairing) {
    // Paris twice in Table #1: paired with the one Paris of Table #2 first.
    TableBuilder t3(0x30);
    t3.field("CITY", 'C', 8).field("QTY", 'N', 3);
    t3.record({Cell::text("Paris"), Cell::number("1")});
    t3.record({Cell::text("Rome"), Cell::number("5")});
    t3.record({Cell::text("Paris"), Cell::number("9")});
    t3.write(dir.file("t3.dbf"));
    TableBuilder t4(0x30);
    t4.field("CITY", 'C', 8).field("QTY", 'N', 3);
    t4.record({Cell::text("Rome"), Cell::number("3")});
    t4.record({Cell::text("Paris"), Cell::number("1")});
    t4.write(dir.file("t4.dbf"));
    std::string label;
    results.view.setPairingText = [&](const std::string& text) { label = text; };
    selected1 = {"t3"};
    selected2 = {"t4"};

    choice.Option2_Click();
    choice.PushButton3_Click();
    EXPECT_THAT(dialogs.messageTexts(), ElementsAre("You forgot to tick a key field"));
    EXPECT_THAT(log, IsEmpty());

    dialogs.messages.clear();
    choice.List1_Click();
    choice.List3_ItemCheck(0, true);  // CITY
    choice.PushButton3_Click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr("not unique"));
    EXPECT_THAT(dialogs.messages[0].text,
                HasSubstr("Key Paris is not unique: 2 records in Table #1, 1 in Table #2"));
    EXPECT_THAT(texts(run.fieldDifferences()),
                ElementsAre("Record 2, Field \"QTY\" has changed from \"5\" to \"3\""));
    EXPECT_THAT(texts(run.addedDeleted()), ElementsAre("Record 3 deleted from t4"));
    // A Changed line of records at different places shows Table #2's number.
    EXPECT_EQ(run.fieldDifferences().difference(0).record2, 1);
    results.Form_Activate();
    EXPECT_EQ(label, "Records paired by key fields: CITY");
}

TEST_F(WindowModelsTest, OwnKeyRunPairsByTheCandidateTagAndIsRemembered) {
    TableBuilder t5(0x30), t6(0x30);
    for (auto* t : {&t5, &t6}) t->field("ID", 'N', 3).field("NAME", 'C', 6);
    t5.record({Cell::number("1"), Cell::text("Ann")})
        .record({Cell::number("2"), Cell::text("Bob")});
    t6.record({Cell::number("2"), Cell::text("Bob")})
        .record({Cell::number("1"), Cell::text("Anna")});
    t5.write(dir.file("t5.dbf"));
    t6.write(dir.file("t6.dbf"));
    {
        const foxpro::TableReader reader(dir.file("t5.dbf"));
        foxpro::TagDefinition tag;
        tag.name = "ID";
        tag.keyExpression = "ID";
        tag.candidate = true;
        foxpro::NewFileSet files(dir.path());
        ASSERT_TRUE(foxpro::writeCompoundIndex(reader, {tag}, files, "t5.cdx").fileWritten());
        files.commit();
    }
    std::string label;
    results.view.setPairingText = [&](const std::string& text) { label = text; };
    selected1 = {"t5"};
    selected2 = {"t6"};
    choice.Option4_Click();
    EXPECT_EQ(store.GetSetting(frame::kKeyPairRecordsBy), "Auto");
    choice.PushButton3_Click();
    EXPECT_THAT(texts(run.fieldDifferences()),
                ElementsAre("Record 1, Field \"NAME\" has changed from \"Ann   \" to \"Anna  \""));
    EXPECT_THAT(texts(run.addedDeleted()), IsEmpty());
    results.Form_Activate();
    EXPECT_EQ(label, "Records paired by candidate index ID");
}

TEST_F(WindowModelsTest, OptionsAreAskedUntilValidRememberedPerPairAndUsedByTheRun) {
    std::vector<std::string> shownFields;
    std::vector<bool> shownTicks;
    std::vector<std::string> answers = {"x", "0.5"};  // a bad tolerance first
    choice.view.editOptions = [&](OptionsModel& options) {
        shownFields = options.fields;
        shownTicks = options.compared;
        if (answers.empty()) return false;  // cancelled
        options.compared = {false, true};   // CITY left out
        options.ignoreCase = true;
        options.structure = true;
        options.tolerance = answers.front();
        answers.erase(answers.begin());
        return true;
    };
    selected1 = {"t1"};
    choice.PushButton4_Click();
    EXPECT_THAT(dialogs.messageTexts(), ElementsAre("You forgot to select Table #2"));
    dialogs.messages.clear();
    selected2 = {"t2"};
    choice.PushButton4_Click();
    EXPECT_THAT(dialogs.messageTexts(), ElementsAre(kToleranceMessage));
    EXPECT_THAT(shownFields, ElementsAre("CITY", "QTY"));
    EXPECT_EQ(store.GetSetting(frame::compareOptionsKey("t1", "t2")),
              "ignore=CITY;case;tol=0.5;schema");
    // Shown again, ticks as saved; a cancel saves nothing.
    choice.PushButton4_Click();
    EXPECT_THAT(shownTicks, ElementsAre(false, true));
    // Another pair starts with every field ticked and every option off.
    selected2 = {"t1"};
    choice.PushButton4_Click();
    EXPECT_THAT(shownTicks, ElementsAre(true, true));
    EXPECT_EQ(store.GetSetting(frame::compareOptionsKey("t1", "t1")), "");

    // The run: CITY left out, QTY 1 against 2 still apart, no structure
    // differences; then QTY within a tolerance of 1, and C(8) against C(9)
    // holding one word in two cases.
    dialogs.messages.clear();
    compare();
    EXPECT_THAT(texts(run.fieldDifferences()),
                ElementsAre("Record 1, Field \"QTY\" has changed from \"1\" to \"2\""));
    std::string structure = "-";
    results.view.setStructureText = [&](const std::string& text) { structure = text; };
    results.Form_Activate();
    EXPECT_EQ(structure, "");

    TableBuilder t3(0x30);
    t3.field("CITY", 'C', 9).field("QTY", 'N', 3);
    t3.record({Cell::text("PARIS"), Cell::number("2")});
    t3.write(dir.file("t3.dbf"));
    // GONE was left out when Table #1 still had it: no reason to stop the run.
    store.SaveSetting(frame::compareOptionsKey("t1", "t3"), "ignore=GONE;trim;case;tol=1;schema");
    selected2 = {"t3"};
    choice.PushButton3_Click();
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_THAT(texts(run.fieldDifferences()), IsEmpty());
    results.Form_Activate();
    EXPECT_EQ(structure, "Structure: Field \"CITY\" changed from C(8) to C(9)");
}

TEST_F(WindowModelsTest, IdenticalTablesAreSaidAndTheWindowStays) {
    selected1 = {"t1"};
    selected2 = {"t1"};
    choice.PushButton3_Click();
    EXPECT_THAT(dialogs.messageTexts(),
                ElementsAre("No differences between the two tables were found. The tables appear "
                            "to be identical."));
    EXPECT_THAT(log, IsEmpty());
    EXPECT_EQ(run.fieldDifferences().count(), 0);
}

TEST_F(WindowModelsTest, NextAndBackAreIgnoredWhileTheComparisonRuns) {
    onProgress = [this] {
        onProgress = nullptr;
        choice.PushButton3_Click();
        choice.PushButton2_Click();
    };
    compare();
    // One run: each difference once, and no way back in between.
    EXPECT_EQ(run.addedDeleted().count(), 1);
    EXPECT_THAT(log, ElementsAre("show results", "hide choice"));
    choice.PushButton2_Click();
    EXPECT_EQ(log.back(), "hide choice");
    EXPECT_EQ(log[log.size() - 2], "show start");
}

TEST_F(WindowModelsTest, ReportListsFieldDifferencesFirstAndBackEmptiesTheLists) {
    compare();
    dialogs.fileNames.push_back(dir.file("report.txt"));
    results.PushButton4_Click();
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_EQ(test::readText(dir.file("report.txt")),
              "Record 1, Field \"CITY\" has changed from \"Paris   \" to \"Readded \"\r\n"
              "Record 1, Field \"QTY\" has changed from \"1\" to \"2\"\r\n"
              "Record 2 added to t2\r\n");
    // Cancelled: nothing written, nothing shown.
    results.PushButton4_Click();
    EXPECT_THAT(dialogs.messages, IsEmpty());

    results.PushButton2_Click();
    EXPECT_EQ(run.fieldDifferences().count(), 0);
    EXPECT_EQ(run.addedDeleted().count(), 0);
    EXPECT_TRUE(run.differences().empty());
    EXPECT_EQ(log.back(), "show choice");
}

TEST_F(WindowModelsTest, FailedSaveIsReportedAndThePointerComesBack) {
    compare();
    dialogs.fileNames.push_back(dir.file("no such folder/report.txt"));
    results.PushButton4_Click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_THAT(dialogs.messages[0].text, HasSubstr("Form3.PushButton4_Click at line 106"));
    EXPECT_EQ(dialogs.pointer(), frame::Pointer::Default);
}

TEST_F(WindowModelsTest, TicksFollowActivationAndTheFourButtons) {
    compare();
    ResultList& fields = run.fieldDifferences();
    ResultList& added = run.addedDeleted();
    newTable.PushButton4_Click();
    EXPECT_FALSE(fields.checked(0) || fields.checked(1));
    EXPECT_TRUE(added.checked(0));  // the other list is not touched
    newTable.PushButton6_Click();
    EXPECT_FALSE(added.checked(0));
    newTable.PushButton1_Click();
    EXPECT_TRUE(fields.checked(0) && fields.checked(1));
    newTable.PushButton5_Click();
    EXPECT_TRUE(added.checked(0));
    fields.setChecked(1, false);
    added.setChecked(0, false);
    newTable.Form_Activate();
    EXPECT_TRUE(fields.checked(1) && added.checked(0));
}

TEST_F(WindowModelsTest, CreateMergesTheTickedDifferencesUnderTheTypedName) {
    compare();
    run.fieldDifferences().setChecked(1, false);  // QTY stays 1
    newTable.Text1_Change("made");
    newTable.PushButton3_Click();
    EXPECT_THAT(dialogs.messageTexts(), ElementsAre("Done."));
    // The changed value "Readded" was applied, the unticked one was not.
    const ResultList& fields = run.fieldDifferences();
    ASSERT_EQ(fields.count(), 2);
    selected1 = {"made"};
    selected2 = {"t2"};
    dialogs.messages.clear();
    results.PushButton2_Click();
    choice.PushButton3_Click();
    EXPECT_THAT(texts(run.fieldDifferences()),
                ElementsAre("Record 1, Field \"QTY\" has changed from \"1\" to \"2\""));
    EXPECT_THAT(texts(run.addedDeleted()), IsEmpty());
}

TEST_F(WindowModelsTest, CreateAsksBeforeReplacingATableAndNoWritesNothing) {
    compare();
    TableBuilder old(0x30);
    old.field("X", 'C', 3).record({Cell::text("old")});
    old.write(dir.file("made.dbf"));
    const auto bytes = test::readFile(dir.file("made.dbf"));
    const auto listing = [this] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto before = listing();
    newTable.Text1_Change("made");

    newTable.PushButton3_Click();  // no answer given: No
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "A table named made already exists in " + dir.path() + ". Replace it?");
    EXPECT_EQ(dialogs.messages[0].buttons, frame::MessageButtons::YesNoDefaultNo);
    EXPECT_EQ(test::readFile(dir.file("made.dbf")), bytes);
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(newTable.newTableName(), "made");
    EXPECT_TRUE(run.fieldDifferences().checked(0) && run.addedDeleted().checked(0));

    // Closing the program during the merge stops it: nothing is put in place.
    int asked = 0;
    newTable.view.ending = [&asked] { return ++asked > 2; };
    dialogs.answers.push_back(frame::Answer::Yes);
    newTable.PushButton3_Click();
    EXPECT_EQ(test::readFile(dir.file("made.dbf")), bytes);
    EXPECT_EQ(listing(), before);

    newTable.view.ending = nullptr;
    dialogs.answers.push_back(frame::Answer::Yes);
    newTable.PushButton3_Click();
    EXPECT_EQ(dialogs.messageTexts().back(), "Done.");
    EXPECT_NE(test::readFile(dir.file("made.dbf")), bytes);
    EXPECT_EQ(listing(), before);
}

// A name that is Table #1 or Table #2 (by name without case, or by a file
// of theirs) is refused before any question; a lone file of the new set is
// asked about, and a file of the set that is no regular file is refused.
TEST_F(WindowModelsTest, CreateNeverOffersASourceTableAndAsksAboutLoneFilesOfTheSet) {
    compare();
    std::filesystem::create_hard_link(dir.file("t2.dbf"), dir.file("same.dbf"));
    const auto t1 = test::readFile(dir.file("t1.dbf"));
    const auto t2 = test::readFile(dir.file("t2.dbf"));
    const std::pair<std::string, std::string> refused[] = {{"t1", "t1 is Table #1"},
                                                           {"T1.DBF", "T1.DBF is Table #1"},
                                                           {"t2", "t2 is Table #2"},
                                                           {"same", "same is Table #2"}};
    for (const auto& [name, message] : refused) {
        SCOPED_TRACE(name);
        dialogs.messages.clear();
        newTable.Text1_Change(name);
        newTable.PushButton3_Click();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, message + ": choose another name for the new table.");
        EXPECT_EQ(dialogs.messages[0].buttons, frame::MessageButtons::Ok);
    }
    EXPECT_EQ(test::readFile(dir.file("t1.dbf")), t1);
    EXPECT_EQ(test::readFile(dir.file("t2.dbf")), t2);

    const std::vector<std::uint8_t> precious{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'};
    test::writeFile(dir.file("made.cdx"), precious);
    test::writeFile(dir.file("made.cpg"), precious);
    newTable.Text1_Change("made");
    dialogs.messages.clear();
    newTable.PushButton3_Click();  // No
    EXPECT_THAT(dialogs.messageTexts(),
                ElementsAre("Files of a table named made already exist in " + dir.path() +
                            " (made.cdx, made.cpg). Replace them?"));
    EXPECT_EQ(test::readFile(dir.file("made.cdx")), precious);
    EXPECT_FALSE(std::filesystem::exists(dir.file("made.dbf")));
    dialogs.answers.push_back(frame::Answer::Yes);
    newTable.PushButton3_Click();
    EXPECT_EQ(dialogs.lastMessage(), "Done.");
    EXPECT_TRUE(std::filesystem::exists(dir.file("made.dbf")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("made.cdx")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("made.cpg")));

    ASSERT_EQ(::mkfifo(dir.file("pipe.fpt").c_str(), 0600), 0);
    newTable.Text1_Change("pipe");
    dialogs.messages.clear();
    dialogs.answers.push_back(frame::Answer::Yes);  // not asked
    newTable.PushButton3_Click();
    EXPECT_THAT(dialogs.messageTexts(),
                ElementsAre(dir.file("pipe.fpt") +
                            " is not a regular file: choose another name for the new table."));
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("pipe.fpt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("pipe.dbf")));
}

// "Create" shows how far it has got and can be stopped; a stopped merge
// leaves no table, not even the copy of Table #1 it had made.
TEST_F(WindowModelsTest, CreateShowsProgressAndStopLeavesNoTable) {
    compare();  // two field differences and one added record
    std::vector<std::pair<std::int64_t, std::int64_t>> shown;
    int ends = 0;
    newTable.view.showMergeProgress = [&](std::int64_t done, std::int64_t total) {
        shown.emplace_back(done, total);
    };
    newTable.view.endMergeProgress = [&] { ++ends; };
    newTable.Text1_Change("whole");
    newTable.PushButton3_Click();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), std::make_pair(std::int64_t{0}, std::int64_t{3}));
    EXPECT_EQ(shown.back(), std::make_pair(std::int64_t{3}, std::int64_t{3}));
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(newTable.merging());
    EXPECT_TRUE(std::filesystem::exists(dir.file("whole.dbf")));

    // "Stop" pressed while the events run between two lines, after the
    // copy was made (a slow start makes the events due at the first line):
    // the folder is left as it was before "Create".
    const auto entries = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    };
    const std::set<std::string> before = entries();
    bool copyMade = false;
    newTable.view.showMergeProgress = [&](std::int64_t, std::int64_t) {
        std::this_thread::sleep_for(frame::kEventInterval + std::chrono::milliseconds(5));
    };
    newTable.view.processEvents = [&] {
        copyMade = entries().size() > before.size();
        newTable.PushButton7_Click();
    };
    dialogs.messages.clear();
    newTable.Text1_Change("stopped");
    newTable.PushButton3_Click();
    EXPECT_TRUE(copyMade);
    EXPECT_THAT(dialogs.messageTexts(), IsEmpty());  // no "Done."
    EXPECT_EQ(ends, 2);
    EXPECT_EQ(entries(), before);
    // Stop outside a merge does nothing to the next one.
    newTable.view.showMergeProgress = nullptr;
    newTable.view.processEvents = nullptr;
    newTable.PushButton7_Click();
    newTable.Text1_Change("after");
    newTable.PushButton3_Click();
    EXPECT_TRUE(std::filesystem::exists(dir.file("after.dbf")));
}

TEST_F(WindowModelsTest, OneBusyStateKeepsSecondWorkAndBackOut) {
    compare();
    // Whatever runs (here: the merge, at its "Done."), a second merge, a save
    // and the results window's "< Back" are refused.
    auto tryEverything = [this] {
        newTable.Text1_Change("second");
        newTable.PushButton3_Click();
        dialogs.fileNames.push_back(dir.file("report.txt"));
        results.PushButton4_Click();
        dialogs.fileNames.clear();
        results.PushButton2_Click();
    };
    newTable.Text1_Change("first");
    dialogs.onMessage = tryEverything;
    newTable.PushButton3_Click();
    EXPECT_TRUE(std::filesystem::exists(dir.file("first.dbf")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("second.dbf")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("report.txt")));
    EXPECT_EQ(run.fieldDifferences().count(), 2);
    EXPECT_THAT(dialogs.messageTexts(), ElementsAre("Done."));

    // The same while a save lets events run; afterwards all is free again.
    onEvents = tryEverything;
    dialogs.fileNames.push_back(dir.file("saved.txt"));
    results.PushButton4_Click();
    EXPECT_TRUE(std::filesystem::exists(dir.file("saved.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("second.dbf")));
    EXPECT_EQ(run.fieldDifferences().count(), 2);
    EXPECT_FALSE(run.busy.active());
    results.PushButton2_Click();
    EXPECT_EQ(run.fieldDifferences().count(), 0);
}

TEST_F(WindowModelsTest, RunTellsWhatTheComparisonHasToSayBeforeTheResults) {
    // C3 28 is no UTF-8: compared by its bytes, not as the "Ã(" it reads as.
    run.source(1).codePage = run.source(2).codePage = foxpro::kCodePageUtf8;
    TableBuilder t5(0x30), t6(0x30);
    t5.field("NAME", 'C', 2).record({Cell::raw("\xc3(")});
    t6.field("NAME", 'C', 3).record({Cell::raw("\xc3\x83(")});
    t5.write(dir.file("t5.dbf"));
    t6.write(dir.file("t6.dbf"));
    selected1 = {"t5"};
    selected2 = {"t6"};
    choice.view.showResults = [this] {
        log.push_back("show results after " + std::to_string(dialogs.messages.size()));
    };
    choice.PushButton3_Click();
    EXPECT_THAT(dialogs.messageTexts(),
                ElementsAre("Notes on the comparison:\r\nt5.dbf: record 1, field NAME holds bytes "
                            "that code page UTF-8 cannot decode; such values are compared by "
                            "their bytes"));
    EXPECT_THAT(
        texts(run.fieldDifferences()),
        ElementsAre("Record 1, Field \"NAME\" has changed from \"\u00c3(\" to \"\u00c3(\""));
    EXPECT_THAT(log, ElementsAre("show results after 1", "hide choice"));
}

}  // namespace
}  // namespace quorvel::wizard

namespace quorvel::wizard {
namespace {

// Table #2 in a CSV copy of t1 with one record more: content pairing is
// refused by name, key fields are Table #1's own, and the results carry
// the column lines and keep the new table closed.
TEST_F(WindowModelsTest, CsvSideRunsTheSideDiffAndOffersNoNewTable) {
    std::ofstream(dir.file("copy.csv")) << "city,qty\nParis,1\nOslo,5\n";
    run.side2 = "csv:" + dir.file("copy.csv");
    selected1 = {"t1"};
    selected2 = {"copy"};
    choice.Option3_Click();
    choice.PushButton3_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("not by content"));
    EXPECT_THAT(log, IsEmpty());

    choice.Option2_Click();
    choice.List1_Click();
    ASSERT_THAT(choice.keyFields(), ElementsAre("CITY", "QTY"));
    choice.List3_ItemCheck(0, true);
    dialogs.messages.clear();
    choice.PushButton3_Click();
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_THAT(texts(run.fieldDifferences()), IsEmpty());
    EXPECT_THAT(texts(run.addedDeleted()), ElementsAre("Record 2 added to copy"));
    EXPECT_THAT(run.pairing.keyFields, ElementsAre("CITY"));
    EXPECT_THAT(log, ElementsAre("show results", "hide choice"));

    bool allowed = true;
    std::string reason, notes;
    results.view.setNewTableAllowed = [&](bool on, const std::string& why) {
        allowed = on;
        reason = why;
    };
    results.view.setStructureText = [&notes](const std::string& text) { notes = text; };
    results.view.showNewTable = [this] { log.push_back("show new table"); };
    results.Form_Activate();
    EXPECT_FALSE(allowed);
    EXPECT_EQ(reason, "A new table is built only from two FoxPro tables.");
    EXPECT_THAT(notes, HasSubstr("Column \"qty\": 1 equal, 0 differ"));
    results.PushButton3_Click();
    EXPECT_EQ(log.back(), "hide choice");
}

TEST(SideUriOfFile, KindFollowsTheExtension) {
    EXPECT_EQ(sideUriOfFile("old/shop.db"), "sqlite:old/shop.db");
    EXPECT_EQ(sideUriOfFile("old/SHOP.TXT"), "csv:old/SHOP.TXT");
}

}  // namespace
}  // namespace quorvel::wizard
