// Replacement journals in a source folder: reading verbs leave the folder
// exactly as it is; the next write finishes a killed copy's replacement and
// leaves every journal it cannot trust alone, with one warning.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "data/foxpro_source.h"
#include "foxpro/platform/process_token.h"
#include "foxpro/sql/connection.h"
#include "foxpro/write/replacement_journal.h"
#include "foxpro/write/table_replacement.h"
#include "support/child_process.h"
#include "support/cli_runner.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;
using test::Cell;
using test::TableBuilder;
using ::testing::HasSubstr;

using foxpro::FileMove;

const std::string kForeign = "00000000-1-1";  // a writer on another machine

std::string hiddenName(const std::string& owner, const std::string& rest) {
    return "~quorvel-" + owner + "-" + rest;
}

// A journal of table a.dbf, its checksum right: one file aside, one in place.
std::string journalOf(FileMove aside, FileMove place) {
    return foxpro::replacementJournalText({"a.dbf", {std::move(aside), std::move(place)}, 1});
}

class ReplacementJournalCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_.file("v"));
        fs::create_directories(dir_.file("out"));
        test::writeFile(dir_.file("out/important.txt"), {'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'});
        TableBuilder t(0x30);
        t.field("NAME", 'C', 8).record({Cell::text("Ann")}).record({Cell::text("Bob")});
        t.write(v("a.dbf"));
        t.record({Cell::text("Cy")}).write(v("b.dbf"));
        // The old table that a copy killed halfway replaces: with a memo
        // file, so that the replacement takes a journal.
        TableBuilder old(0x30);
        old.field("OLD", 'C', 3).field("NOTE", 'M', 4);
        old.record({Cell::text("old"), Cell::memo("old memo")}).write(v("dest.dbf"));
    }

    // A journal of each kind that is not to be trusted, beside hidden files
    // of their writers that recovery would move.
    void placeJournals() {
        // This machine's process 1 as it started at time 1: a writer that is gone.
        const std::string token = foxpro::platform::processToken();
        gone_ = token.substr(0, token.find('-')) + "-1-1";
        const std::string& gone = gone_;
        test::writeFile(v(hiddenName(gone, "newtable.dbf")), {'n', 'e', 'w'});
        const FileMove newTable{hiddenName(gone, "newtable.dbf"), "a.dbf"};
        const FileMove oldTable{"a.dbf", hiddenName(gone, "old1.old")};
        const std::string setAside = hiddenName(gone, "o.old");
        const std::pair<std::string, std::string> journals[] = {
            {gone, journalOf({"../out/important.txt", setAside}, newTable)},
            {gone, journalOf({dir_.file("out/important.txt"), setAside}, newTable)},
            {gone, journalOf({"./b.dbf", setAside}, newTable)},
            {gone, journalOf(oldTable, {hiddenName(gone, "newtable.dbf"), "..\\b.dbf"})},
            {gone, journalOf({"b.dbf", setAside}, newTable)},  // another table's file
            {gone, journalOf(oldTable, {hiddenName(kForeign, "x.tmp"), "a.dbf"})},
            {gone,
             [&] {
                 std::string text = journalOf(oldTable, newTable);
                 text[text.size() - 6] ^= 1;  // a digit of the checksum
                 return text;
             }()},
            // As such journals were written before they had a checksum.
            {gone,
             "quorvel replacement\nname\tzz\naside\t../out/important.txt\t~quorvel-x.old\n"
             "aside\tb.dbf\t~quorvel-y.old\nend\n"},
            // Sound, but written on another machine.
            {kForeign, journalOf({"a.dbf", hiddenName(kForeign, "o.old")},
                                 {hiddenName(kForeign, "n.dbf"), "a.dbf"})},
        };
        for (std::size_t i = 0; i < std::size(journals); ++i) {
            const std::string name =
                hiddenName(journals[i].first, "bad" + std::to_string(i) + ".jnl");
            const std::string& text = journals[i].second;
            test::writeFile(v(name), {text.begin(), text.end()});
            badJournals_.push_back(name);
        }
    }

    std::string v(const std::string& name) const { return dir_.file("v/" + name); }

    // Every entry under the test's folder (the source folder and out/) with
    // its bytes, by its path from there ("v/a.dbf").
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> entries;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.path()))
            entries[fs::relative(entry.path(), dir_.path()).generic_string()] =
                entry.is_regular_file() ? test::readText(entry.path().string()) : "(folder)";
        return entries;
    }

    // A copy into dest, killed after its first rename (the old dest.dbf
    // set aside): its journal is sound and its writer gone.
    bool killCopyIntoDest() {
        if (!test::canForkChildren()) return false;
        const pid_t child = test::forkChild([&] {
            foxpro::setReplacementHookForTesting([](int) { ::_exit(0); });
            foxpro::Connection c;
            c.open("Provider=vfpoledb.1;Data Source=" + dir_.file("v") + ";");
            c.setReplaceTables(true);
            c.execute("SELECT * FROM a INTO TABLE dest");
        });
        EXPECT_EQ(test::waitChild(child), 0);
        EXPECT_FALSE(fs::exists(v("dest.dbf")));
        return true;
    }

    test::CliRun cli(const std::vector<std::string>& args) { return test::runCli(args, scratch_); }

    test::TempFolder dir_;
    test::TempFolder scratch_;  // the runner's output files, apart from dir_
    std::string gone_;
    std::vector<std::string> badJournals_;
};

TEST_F(ReplacementJournalCliTest, ReadingLeavesTheFolderAsItIsWhateverJournalsItHolds) {
    const bool killed = killCopyIntoDest();
    placeJournals();
    const auto before = snapshot();
    const std::string folder = dir_.file("v");
    const std::vector<std::vector<std::string>> reads = {
        {"tables", folder},
        {"show", folder, "a"},
        {"diff", folder, "a", folder, "b"},
        {"sql", folder, "SELECT * FROM b"},
        {"sql", folder, "SELECT COUNT(*) FROM a"},
    };
    for (const auto& args : reads) {
        SCOPED_TRACE(args[0] + " " + args.back());
        const test::CliRun r = cli(args);
        EXPECT_LE(r.status, 1) << r.err;  // diff: 1, the tables differ
        EXPECT_EQ(snapshot(), before);
    }
    // The windows' table list.
    data::SourceDescriptor source;
    source.optionDBC = false;
    source.folderText = folder;
    data::StringList list;
    test::ScriptedDialogs dialogs;
    data::AddTablesToFoxproListbox(source, list, dialogs);
    EXPECT_THAT(list.items(), ::testing::Contains("b"));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(killed, !fs::exists(v("dest.dbf")));  // the killed copy's state, as it was
}

TEST_F(ReplacementJournalCliTest, AWriteFinishesASoundJournalAndWarnsOfTheOthers) {
    const bool killed = killCopyIntoDest();
    placeJournals();
    auto before = snapshot();
    const std::string folder = dir_.file("v");
    const test::CliRun copy = cli({"sql", folder, "SELECT * FROM b INTO TABLE c"});
    EXPECT_EQ(copy.status, 0) << copy.err;
    const test::CliRun merge = cli({"merge", folder, "a", folder, "b", "d"});
    EXPECT_EQ(merge.status, 0) << merge.err;
    for (const auto* r : {&copy, &merge}) {
        EXPECT_EQ(std::count(r->err.begin(), r->err.end(), '\n'), 1) << r->err;
        EXPECT_THAT(r->err,
                    HasSubstr("warning: " + folder + ": replacement journals left alone: "));
        for (const auto& name : badJournals_) EXPECT_THAT(r->err, HasSubstr(name + " ("));
    }
    EXPECT_THAT(copy.err, HasSubstr("which is no file of this folder"));
    EXPECT_THAT(copy.err, HasSubstr("\"b.dbf\", which is no file of table a.dbf"));
    EXPECT_THAT(copy.err, HasSubstr("x.tmp\", which is no hidden file of its writer"));
    EXPECT_THAT(copy.err, HasSubstr("its checksum does not hold"));
    EXPECT_THAT(copy.err, HasSubstr("it has no checksum"));
    EXPECT_THAT(copy.err, HasSubstr("its writer is on another computer or cannot be judged"));

    // Every file that was there is as it was, the new tables beside them;
    // the killed copy's replacement is finished, its hidden files gone.
    auto after = snapshot();
    for (const char* made : {"v/c.dbf", "v/d.dbf"}) EXPECT_EQ(after.erase(made), 1u);
    if (killed) {
        EXPECT_EQ(after.erase("v/dest.dbf"), 1u);
        EXPECT_EQ(before.erase("v/dest.fpt"), 1u);
        std::erase_if(before, [&](const auto& entry) {
            const std::string name = fs::path(entry.first).filename().string();
            return name.starts_with("~quorvel-") && !name.starts_with(hiddenName(gone_, "")) &&
                   !name.starts_with(hiddenName(kForeign, ""));
        });
        EXPECT_EQ(cli({"show", folder, "dest"}).out, "NAME\r\nAnn     \r\nBob     \r\n");
    }
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace quorvel::cli
