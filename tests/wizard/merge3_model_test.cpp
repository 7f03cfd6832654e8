// The three-way merge window's handlers, run without any toolkit over
// scripted dialogs and an in-memory store.

#include "wizard/merge3_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "foxpro/platform/regular_file.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/text/text_form.h"
#include "frame/event_pace.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace quorvel::wizard {
namespace {

using compare::MergeSide;
using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

void writeNames(const std::string& path, const std::vector<std::pair<int, std::string>>& rows) {
    TableBuilder t(0x30);
    t.field("ID", 'I', 4).field("NAME", 'C', 10);
    for (const auto& [id, name] : rows) t.record({Cell::integer32(id), Cell::text(name)});
    t.write(path);
}

std::vector<std::string> names(const std::string& path) {
    auto source = foxpro::DataSource::open(foxpro::parentFolder(path));
    auto reader = source->openTable(foxpro::fileNameOf(path));
    std::vector<std::string> out;
    for (std::int64_t n = 1; n <= reader->liveCount(); ++n) {
        out.push_back(foxpro::textForm(
            reader->value(reader->storedRecord(reader->liveIndex(n)), 1), foxpro::TextLocale::c()));
        out.back().erase(out.back().find_last_not_of(' ') + 1);
    }
    return out;
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Merge3ModelTest : public ::testing::Test {
  protected:
    Merge3ModelTest() {
        // Ann both changed, Bob changed by theirs, Cy deleted by theirs, Dee
        // added by ours.
        writeNames(dir.file("base.dbf"), {{1, "Ann"}, {2, "Bob"}, {3, "Cy"}});
        writeNames(dir.file("ours.dbf"), {{1, "Anna"}, {2, "Bob"}, {3, "Cy"}, {4, "Dee"}});
        writeNames(dir.file("theirs.dbf"), {{2, "Bobby"}, {1, "Annie"}});
        model.boxChange(Merge3Model::Base, dir.file("base.dbf"));
        model.boxChange(Merge3Model::Ours, dir.file("ours.dbf"));
        model.boxChange(Merge3Model::Theirs, dir.file("theirs.dbf"));
        model.boxChange(Merge3Model::Output, dir.file("out.dbf"));
        model.choosePairing(compare::Pairing::Key);
        model.keyFieldsChange("ID");
    }

    test::TempFolder dir;
    RunModel run;
    test::ScriptedDialogs dialogs;
    frame::MemorySettingsStore store;
    const foxpro::TextLocale locale = foxpro::TextLocale::c();
    Merge3Model model{run, dialogs, locale, store};
};

TEST_F(Merge3ModelTest, RunListsConflictsAndWriteWaitsForEveryOne) {
    model.Run_Click();
    ASSERT_TRUE(model.hasResult()) << dialogs.lastMessage();
    EXPECT_THAT(model.outcome(),
                HasSubstr("3 records merged: 1 added, 1 deleted, 1 taking changes of theirs; "
                          "1 conflict."));
    ASSERT_EQ(model.conflictCount(), 1u);
    std::vector<std::string> row;
    for (int c = 0; c < Merge3Model::ColumnCount; ++c) row.push_back(model.cell(0, c));
    EXPECT_THAT(row, ElementsAre("1", "NAME", "Ann", "Anna", "Annie", "both changed", ""));

    model.Write_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("1 conflict has no side kept"));
    EXPECT_EQ(foxpro::platform::pathKind(dir.file("out.dbf")),
              foxpro::platform::PathKind::Missing);

    model.keep({0}, MergeSide::Theirs);
    EXPECT_EQ(model.cell(0, Merge3Model::Keep), "theirs");
    EXPECT_EQ(model.openConflicts(), 0u);
    model.Write_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("is written: 3 records, 1 conflict resolved"));
    EXPECT_THAT(names(dir.file("out.dbf")), ElementsAre("Annie", "Bobby", "Dee"));

    // Base's value, written over the first result once the user says so.
    model.keep({0}, MergeSide::Base);
    dialogs.answers.push_back(frame::Answer::No);
    model.Write_Click();
    EXPECT_THAT(names(dir.file("out.dbf")), ElementsAre("Annie", "Bobby", "Dee"));
    dialogs.answers.push_back(frame::Answer::Yes);
    model.Write_Click();
    EXPECT_THAT(dialogs.messages.back().text, HasSubstr("is written"));
    EXPECT_THAT(names(dir.file("out.dbf")), ElementsAre("Ann", "Bobby", "Dee"));
}

TEST_F(Merge3ModelTest, BadInputIsNamedAndNothingIsWritten) {
    model.boxChange(Merge3Model::Base, "");
    model.Run_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("Choose the base table"));
    model.boxChange(Merge3Model::Base, dir.file("gone.dbf"));
    model.Run_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr(dir.file("gone.dbf") + ": no such file"));
    model.boxChange(Merge3Model::Base, dir.path());
    model.Run_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("SOURCE::TABLE"));
    model.boxChange(Merge3Model::Base, dir.path() + "::nosuch");
    model.Run_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("The base table cannot be read"));
    model.boxChange(Merge3Model::Base, dir.path() + "::base");
    model.keyFieldsChange("NOPE");
    model.Run_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("cannot be merged"));
    EXPECT_FALSE(model.hasResult());

    // The merged table may not be one of the three.
    model.keyFieldsChange("ID");
    model.Run_Click();
    ASSERT_TRUE(model.hasResult()) << dialogs.lastMessage();
    model.keepAll(MergeSide::Ours);
    const std::string ours = bytesOf(dir.file("ours.dbf"));
    model.boxChange(Merge3Model::Output, dir.file("ours.dbf"));
    model.Write_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("is one of the tables merged"));
    EXPECT_EQ(bytesOf(dir.file("ours.dbf")), ours);

    // A table box changed after the run forgets it.
    model.boxChange(Merge3Model::Theirs, dir.file("base.dbf"));
    EXPECT_FALSE(model.hasResult());
    model.Write_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("Run the merge first"));
}

TEST_F(Merge3ModelTest, BaseIsRefusedWhereBaseHoldsNothing) {
    // Both add key 9 with different names: base has no such record.
    writeNames(dir.file("ours.dbf"), {{1, "Ann"}, {2, "Bob"}, {3, "Cy"}, {9, "Ours"}});
    writeNames(dir.file("theirs.dbf"), {{1, "Ann"}, {2, "Bob"}, {3, "Cy"}, {9, "Theirs"}});
    model.Run_Click();
    ASSERT_EQ(model.conflictCount(), 1u) << dialogs.lastMessage();
    EXPECT_EQ(model.cell(0, Merge3Model::Kind), "both added");
    EXPECT_EQ(model.cell(0, Merge3Model::BaseValue), "(none)");
    model.keep({0}, MergeSide::Base);
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("nothing of base to keep"));
    EXPECT_EQ(model.kept(0), std::nullopt);
    model.keepAll(MergeSide::Theirs);
    model.Write_Click();
    EXPECT_THAT(names(dir.file("out.dbf")), ElementsAre("Ann", "Bob", "Cy", "Theirs"));
}

TEST_F(Merge3ModelTest, TheOptionsOfOursAndTheirsDecideWhatIsEqual) {
    // Both changed only the case of Ann: a conflict unless case is ignored.
    writeNames(dir.file("ours.dbf"), {{1, "ANN"}, {2, "Bob"}, {3, "Cy"}});
    writeNames(dir.file("theirs.dbf"), {{1, "ann"}, {2, "Bob"}, {3, "Cy"}});
    model.Run_Click();
    EXPECT_EQ(model.conflictCount(), 1u);
    bool shown = false;
    model.view.editOptions = [&](OptionsModel& options) {
        shown = true;
        EXPECT_THAT(options.fields, ElementsAre("ID", "NAME"));
        options.ignoreCase = true;
        return true;
    };
    model.Options_Click();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(model.hasResult());
    EXPECT_TRUE(OptionsModel::saved(store, "ours", "theirs").ignoreCase);
    model.Run_Click();
    ASSERT_TRUE(model.hasResult()) << dialogs.lastMessage();
    EXPECT_EQ(model.conflictCount(), 0u);
}

// A value typed for a conflict is checked against the merged field before
// it is taken, and written; a whole record's conflict takes none.
TEST_F(Merge3ModelTest, ATypedValueIsCheckedAgainstTheFieldAndWritten) {
    std::vector<std::string> answers;
    std::string asked;
    model.view.askValue = [&](const std::string& prompt,
                              const std::string& initial) -> std::optional<std::string> {
        asked = prompt + " [" + initial + "]";
        if (answers.empty()) return std::nullopt;
        std::string answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };
    model.Run_Click();
    ASSERT_EQ(model.conflictCount(), 1u) << dialogs.lastMessage();
    answers = {"Anastasia-Ann"};  // 13 characters into C(10)
    model.giveValue({0});
    EXPECT_THAT(asked, HasSubstr("NAME (C)"));
    EXPECT_THAT(asked, HasSubstr("[Anna]"));
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("does not fit"));
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("NAME"));
    EXPECT_EQ(model.openConflicts(), 1u);
    model.giveValue({0});  // cancelled
    EXPECT_EQ(model.openConflicts(), 1u);

    answers = {"Anita"};
    model.giveValue({0});
    EXPECT_EQ(model.openConflicts(), 0u);
    EXPECT_EQ(model.cell(0, Merge3Model::Keep), "value: Anita");
    model.Write_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("is written"));
    EXPECT_THAT(names(dir.file("out.dbf")), ElementsAre("Anita", "Bobby", "Dee"));

    // Bob deleted by theirs and changed by ours: a whole record's conflict.
    writeNames(dir.file("ours.dbf"), {{1, "Ann"}, {2, "Bobo"}, {3, "Cy"}});
    writeNames(dir.file("theirs.dbf"), {{1, "Ann"}, {3, "Cy"}});
    model.Run_Click();
    ASSERT_EQ(model.conflictCount(), 1u) << dialogs.lastMessage();
    asked.clear();
    model.giveValue({0});
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("A whole record is kept as ours or theirs"));
    EXPECT_TRUE(asked.empty());
}

// Stop while Run or Write works ends it with nothing made: no result, no
// table nor any file of one; the progress display goes away each time.
TEST_F(Merge3ModelTest, StopEndsRunAndWriteWithNothingMade) {
    std::string stopIn;
    std::vector<std::string> shown;
    int ended = 0;
    model.view.showProgress = [&](const std::string& what, std::int64_t, std::int64_t) {
        shown.push_back(what);
        if (what != stopIn) return;
        model.Stop_Click();
        // Past the event pace: the work lets events run at its next step.
        std::this_thread::sleep_for(frame::kEventInterval + std::chrono::milliseconds(5));
    };
    model.view.endProgress = [&] { ++ended; };

    stopIn = "Merging";
    model.Run_Click();
    EXPECT_FALSE(model.hasResult());
    EXPECT_FALSE(model.working());
    EXPECT_THAT(model.outcome(), HasSubstr("Stopped"));
    EXPECT_EQ(ended, 1);
    EXPECT_THAT(shown, ::testing::Contains("Merging"));

    stopIn.clear();
    model.Run_Click();
    ASSERT_TRUE(model.hasResult()) << dialogs.lastMessage();
    EXPECT_EQ(ended, 2);
    model.keepAll(MergeSide::Theirs);
    const std::size_t messages = dialogs.messages.size();
    stopIn = "Writing";
    model.Write_Click();
    EXPECT_EQ(dialogs.messages.size(), messages);  // no "written", no error
    EXPECT_THAT(model.outcome(), HasSubstr("was not written"));
    EXPECT_EQ(ended, 3);
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_THAT(files, ElementsAre("base.dbf", "ours.dbf", "theirs.dbf"));

    stopIn.clear();
    model.Write_Click();
    EXPECT_THAT(dialogs.lastMessage(), HasSubstr("is written"));
    EXPECT_THAT(names(dir.file("out.dbf")), ElementsAre("Annie", "Bobby", "Dee"));
    EXPECT_THAT(model.outcome(), ::testing::Not(HasSubstr("Stopped")));
}

// The tables' warnings are part of the outcome, each once: a table without
// a code page mark whose text is not ASCII is told, as the command line
// tells it.
TEST_F(Merge3ModelTest, TheTablesWarningsAreInTheOutcome) {
    for (const char* name : {"base", "ours", "theirs"}) {
        TableBuilder t(0x30);
        t.codePageMark(0).field("ID", 'I', 4).field("NAME", 'C', 10);
        t.record({Cell::integer32(1), Cell::text(std::string(name) + "\x82")});
        t.write(dir.file(std::string(name) + ".dbf"));
    }
    model.Run_Click();
    ASSERT_TRUE(model.hasResult()) << dialogs.lastMessage();
    const std::string& text = model.outcome();
    EXPECT_THAT(text, HasSubstr("\nbase.dbf: no code page mark: read as "));
    EXPECT_EQ(text.find("no code page mark"), text.rfind("no code page mark"));
}

TEST(Merge3ModelStart, OpensOnTheRunsTablesWhereTheUserChoseNoOthers) {
    test::TempFolder dir;
    writeNames(dir.file("t1.dbf"), {{1, "Ann"}});
    writeNames(dir.file("t2.dbf"), {{1, "Ann"}});
    RunModel run;
    for (int n : {1, 2}) {
        run.source(n).optionDBC = false;
        run.source(n).folderText = dir.path();
    }
    run.Table1Name = "t1";
    run.Table2Name = "t2";
    test::ScriptedDialogs dialogs;
    frame::MemorySettingsStore store;
    const foxpro::TextLocale locale = foxpro::TextLocale::c();
    Merge3Model model(run, dialogs, locale, store);
    model.startFrom("merged");
    EXPECT_EQ(model.boxText(Merge3Model::Base), "");
    EXPECT_EQ(model.boxText(Merge3Model::Ours), dir.file("t1.dbf"));
    EXPECT_EQ(model.boxText(Merge3Model::Theirs), dir.file("t2.dbf"));
    EXPECT_EQ(model.boxText(Merge3Model::Output), dir.file("merged.dbf"));
    model.boxChange(Merge3Model::Ours, dir.file("t2.dbf"));
    // What came from the run follows the next run; what the user typed stays.
    run.Table1Name = "other";
    run.Table2Name = "t1";
    model.startFrom("again");
    EXPECT_EQ(model.boxText(Merge3Model::Ours), dir.file("t2.dbf"));
    EXPECT_EQ(model.boxText(Merge3Model::Theirs), dir.file("t1.dbf"));
    EXPECT_EQ(model.boxText(Merge3Model::Output), dir.file("again.dbf"));
}

}  // namespace
}  // namespace quorvel::wizard
