#include "results/merge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <thread>

#include "compare/compare.h"
#include "compare/difference_line.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/new_table.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/text/text_locale.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/field_encoder.h"
#include "frame/app_info.h"
#include "results/sql_literal.h"
#include "support/child_process.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace quorvel::results {
namespace {

using foxpro::Value;
using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Rows = std::vector<std::vector<Value>>;

// A list of the new-table window: differences with ticks, and a record of
// what the merge asked for, in order.
class TestLines : public MergeList {
  public:
    struct Line {
        std::size_t index;  // in *differences
        bool checked = true;
    };
    const compare::DifferenceList* differences = nullptr;
    std::vector<Line> lines;
    std::string name;                         // prefix of the log entries
    std::vector<std::string>* log = nullptr;  // lines as the merge reads them
    std::function<void(int)> onChecked;       // runs when line i's tick is read
    std::function<void(int)> onRead;          // runs when line i's difference is read

    int count() const override { return static_cast<int>(lines.size()); }
    compare::Difference difference(int i) const override {
        if (onRead) onRead(i);
        if (log) log->push_back(name + text(i));
        return (*differences)[lines[i].index];
    }
    bool checked(int i) const override {
        if (onChecked) onChecked(i);
        return lines[i].checked;
    }
    std::string text(int i) const { return compare::lineText((*differences)[lines[i].index]); }
};

// The differences of a list, split by kind as the windows split them.
std::pair<TestLines, TestLines> split(const compare::DifferenceList& differences) {
    TestLines fields, added;
    fields.differences = added.differences = &differences;
    for (std::size_t i = 0; i < differences.size(); ++i) {
        (compare::listOf(differences[i].kind) == compare::LineList::AddedDeleted ? added : fields)
            .lines.push_back({i, true});
    }
    return {fields, added};
}

class MergeTest : public ::testing::Test {
  protected:
    test::TempFolder dir;
    test::ScriptedDialogs dialogs;

    data::SourceDescriptor folder() const {
        data::SourceDescriptor s;
        s.optionDBC = false;
        s.folderText = dir.path();
        return s;
    }

    MergeRequest request(const std::string& newName = "t1new", const std::string& t1 = "t1",
                         const std::string& t2 = "t2") const {
        return MergeRequest{newName, t1, t2, folder(), folder()};
    }

    // The differences of t1 against t2, split as the windows split them.
    std::pair<TestLines, TestLines> compareLines(
        const std::string& t1 = "t1", const std::string& t2 = "t2",
        const foxpro::TextLocale& locale = foxpro::TextLocale::c()) {
        auto result = compare::Compare(folder(), folder(), t1, t2, locale, dialogs);
        EXPECT_TRUE(result.completed()) << result.failure;
        found = std::move(result.differences);
        dialogs.messages.clear();
        return split(found);
    }

    compare::DifferenceList found;

    Rows rows(const std::string& table) {
        foxpro::Connection c;
        c.open(data::connectionString(folder()));
        foxpro::Recordset rs;
        rs.open("SELECT * FROM [" + table + "]", c);
        Rows out;
        for (; !rs.eof(); rs.moveNext()) {
            std::vector<Value> row;
            for (int i = 0; i < rs.fieldCount(); ++i) row.push_back(rs.value(i));
            out.push_back(row);
        }
        return out;
    }

    std::vector<std::string> fieldNames(const std::string& table) {
        foxpro::Connection c;
        c.open(data::connectionString(folder()));
        foxpro::Recordset rs;
        rs.open("SELECT * FROM [" + table + "]", c);
        std::vector<std::string> names;
        for (int i = 0; i < rs.fieldCount(); ++i) names.push_back(rs.field(i).name);
        return names;
    }

    bool doneShown() const {
        for (const auto& m : dialogs.messages) {
            if (m.text == "Done.") {
                EXPECT_EQ(m.icon, frame::MessageIcon::None);
                EXPECT_EQ(m.caption, frame::SetApplicationTitle());
                return true;
            }
        }
        return false;
    }

    std::vector<std::string> errorReports() const {
        std::vector<std::string> out;
        for (const auto& m : dialogs.messages)
            if (m.icon == frame::MessageIcon::Exclamation) out.push_back(m.text);
        return out;
    }

    // Two three-field tables whose records all differ, T2 one record longer.
    void writeSmallPair() {
        TableBuilder t1(0x30);
        t1.field("NAME", 'C', 8).field("QTY", 'N', 6, 1).field("OK", 'L', 1);
        t1.record({Cell::text("Ann"), Cell::number("1.5"), Cell::logical('T')});
        t1.record({Cell::text("Bob"), Cell::number("2.0"), Cell::logical('F')});
        t1.write(dir.file("t1.dbf"));
        TableBuilder t2(0x30);
        t2.field("NAME", 'C', 8).field("QTY", 'N', 6, 1).field("OK", 'L', 1);
        t2.record({Cell::text("Anne"), Cell::number("1.5"), Cell::logical('F')});
        t2.record({Cell::text("Bob"), Cell::number("-7.2"), Cell::logical('F')});
        t2.record({Cell::text("Cy"), Cell::number("3.0"), Cell::logical('T')});
        t2.write(dir.file("t2.dbf"));
    }
};

TEST_F(MergeTest, NothingTickedGivesAnExactCopyAndDone) {
    writeSmallPair();
    auto [fields, added] = compareLines();
    for (auto& l : fields.lines) l.checked = false;
    for (auto& l : added.lines) l.checked = false;

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_TRUE(outcome.tableMade);
    EXPECT_EQ(outcome.fieldsUpdated + outcome.recordsAdded + outcome.failures, 0);
    EXPECT_EQ(rows("t1new"), rows("t1"));
    EXPECT_EQ(fieldNames("t1new"), fieldNames("t1"));
    EXPECT_TRUE(doneShown());
    EXPECT_THAT(errorReports(), ::testing::IsEmpty());
}

TEST_F(MergeTest, EverythingTickedGivesTableTwo) {
    writeSmallPair();
    auto [fields, added] = compareLines();
    const auto before = test::readFile(dir.file("t1.dbf"));

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_EQ(outcome.fieldsUpdated, 3);  // NAME and OK of record 1, QTY of record 2
    EXPECT_EQ(outcome.recordsAdded, 1);
    EXPECT_EQ(outcome.linesFailed, 0);
    EXPECT_EQ(rows("t1new"), rows("t2"));
    EXPECT_EQ(test::readFile(dir.file("t1.dbf")), before) << "Table #1 was changed";
    EXPECT_TRUE(doneShown());
}

TEST_F(MergeTest, EveryFieldTypeReceivesTableTwosExactValue) {
    // Values that the line text would spoil: leading zeros, quotes of both
    // kinds, padding, full double precision, currency digits, nulls, dates.
    auto build = [&](const std::string& file, bool second) {
        TableBuilder t(0x30);
        t.field("CODE", 'C', 6)
            .field("NOTE", 'V', 20, 0, 0x02)
            .field("PRICE", 'N', 10, 3)
            .field("RATE", 'F', 12, 5)
            .field("COUNT", 'I', 4)
            .field("RATIO", 'B', 8, 4)
            .field("COST", 'Y', 8)
            .field("DAY", 'D', 8)
            .field("STAMP", 'T', 8)
            .field("FLAG", 'L', 1)
            .field("MEMO", 'M', 4)
            .field("OPT", 'C', 5, 0, 0x02);
        if (!second) {
            t.record({Cell::text("7"), Cell::text("plain"), Cell::number("1.000"),
                      Cell::number("2.5"), Cell::integer32(1), Cell::real64(1.0),
                      Cell::currency(10000), Cell::date(2000, 1, 1),
                      Cell::dateTime(2000, 1, 1, 0, 0, 0), Cell::logical('F'), Cell::memo("old"),
                      Cell::null()});
        } else {
            t.record({Cell::text("007"), Cell::text("It's \"quoted\""), Cell::number("-1234.567"),
                      Cell::number("0.00001"), Cell::integer32(-2147483647),
                      Cell::real64(0.1 + 0.2), Cell::currency(-123456789), Cell::date(2020, 12, 31),
                      Cell::dateTime(2020, 2, 29, 13, 2, 3), Cell::logical('T'),
                      Cell::memo("new 'memo'\r\nline \"2\""), Cell::text("x")});
        }
        t.write(dir.file(file));
    };
    build("t1.dbf", false);
    build("t2.dbf", true);
    auto [fields, added] = compareLines();
    ASSERT_EQ(fields.count(), 12);  // one Changed line per field

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_THAT(errorReports(), ::testing::IsEmpty());
    EXPECT_EQ(outcome.linesFailed, 0);
    EXPECT_EQ(rows("t1new"), rows("t2"));
}

TEST_F(MergeTest, TheNewIndexHoldsTheFinalRecordsNotTableOnesKeys) {
    auto build = [&](const std::string& table, std::vector<std::pair<int, const char*>> records) {
        TableBuilder t(0x30);
        t.field("ID", 'N', 4).field("NAME", 'C', 8);
        for (auto [id, name] : records)
            t.record({Cell::number(std::to_string(id)), Cell::text(name)});
        t.write(dir.file(table + ".dbf"));
        const foxpro::TableReader reader(dir.file(table + ".dbf"));
        foxpro::NewFileSet files(dir.path());
        const std::vector<foxpro::TagDefinition> tags = {
            {"ID", "id", "", false, true, false, ""},
            {"NAME", "name", "", false, false, false, ""}};
        ASSERT_TRUE(foxpro::writeCompoundIndex(reader, tags, files, table + ".cdx").fileWritten());
        files.commit();
    };
    build("t1", {{1, "Bob"}, {2, "Ann"}});
    build("t2", {{1, "Zed"}, {2, "Ann"}, {3, "Cy"}});
    auto [fields, added] = compareLines();

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);
    ASSERT_TRUE(outcome.tableMade);
    ASSERT_EQ(outcome.fieldsUpdated, 1);
    ASSERT_EQ(outcome.recordsAdded, 1);

    EXPECT_EQ(test::readFile(dir.file("t1new.dbf"))[28] & 1, 1);
    const foxpro::TableReader made(dir.file("t1new.dbf"));
    const foxpro::CdxReader index(dir.file("t1new.cdx"), &made);
    const foxpro::TableReader t2(dir.file("t2.dbf"));
    const foxpro::CdxReader expected(dir.file("t2.cdx"), &t2);
    ASSERT_EQ(index.tags().size(), 2u);
    std::vector<std::pair<std::string, std::uint32_t>> names;
    for (const auto& e : index.entries(*index.findTag("NAME"))) names.emplace_back(e.key, e.record);
    EXPECT_THAT(names, ElementsAre(std::pair<std::string, std::uint32_t>{"Ann     ", 2},
                                   std::pair<std::string, std::uint32_t>{"Cy      ", 3},
                                   std::pair<std::string, std::uint32_t>{"Zed     ", 1}));
    // The same keys as the final table's own index, tag by tag.
    for (const char* tag : {"ID", "NAME"})
        EXPECT_EQ(index.entries(*index.findTag(tag)), expected.entries(*expected.findTag(tag)))
            << tag;
}

TEST_F(MergeTest, DeletedAndMissingFieldLinesChangeNothing) {
    TableBuilder t1(0x30);
    t1.field("NAME", 'C', 8).field("GONE", 'N', 3);
    for (const char* n : {"a", "b", "c"}) t1.record({Cell::text(n), Cell::number("1")});
    t1.write(dir.file("t1.dbf"));
    TableBuilder t2(0x30);
    t2.field("NAME", 'C', 8);
    t2.record({Cell::text("a")});
    t2.write(dir.file("t2.dbf"));
    auto [fields, added] = compareLines();
    ASSERT_EQ(added.count(), 2);   // records 2 and 3 deleted
    ASSERT_EQ(fields.count(), 1);  // GONE not exist (the one pair)

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_EQ(outcome.fieldsUpdated + outcome.recordsAdded + outcome.failures, 0);
    EXPECT_EQ(rows("t1new"), rows("t1"));
    EXPECT_TRUE(doneShown());
}

TEST_F(MergeTest, DifferencesApplyByKindWhateverTheirWordsSay) {
    // A Changed value "Readded" and "order deleted", a field named ADDED,
    // and records deleted from a table named ReAdded: only the kind counts.
    TableBuilder t1(0x30), t2(0x30);
    t1.field("CITY", 'C', 8).field("NOTE", 'M', 4).field("ADDED", 'L', 1);
    t2.field("CITY", 'C', 8).field("NOTE", 'M', 4).field("ADDED", 'L', 1);
    t1.record({Cell::text("Paris"), Cell::memo("open"), Cell::logical('F')});
    t1.record({Cell::text("Rome"), Cell::memo("x"), Cell::logical('F')});
    t2.record({Cell::text("Readded"), Cell::memo("order deleted"), Cell::logical('T')});
    t1.write(dir.file("t1.dbf"));
    t2.write(dir.file("readded.dbf"));
    auto [fields, added] = compareLines("t1", "ReAdded");
    ASSERT_EQ(fields.count(), 3);
    EXPECT_EQ(fields.text(0),
              "Record 1, Field \"CITY\" has changed from \"Paris   \" to \"Readded \"");
    EXPECT_EQ(fields.text(1),
              "Record 1, Field \"NOTE\" has changed from \"open\" to \"order deleted\"");
    ASSERT_EQ(added.count(), 1);
    EXPECT_EQ(added.text(0), "Record 2 deleted from ReAdded");

    const MergeOutcome outcome =
        MergeIntoNewTable(request("t1new", "t1", "ReAdded"), fields, added, dialogs);

    EXPECT_THAT(errorReports(), ::testing::IsEmpty());
    EXPECT_EQ(outcome.fieldsUpdated, 3);
    EXPECT_EQ(outcome.recordsAdded, 0);
    const Rows made = rows("t1new");
    ASSERT_EQ(made.size(), 2u);  // the deleted record stays
    EXPECT_EQ(made[0], rows("readded")[0]);
    EXPECT_EQ(made[1], rows("t1")[1]);
}

TEST_F(MergeTest, AllUpdatesInListOrderBeforeAnyInsert) {
    writeSmallPair();
    auto [fields, added] = compareLines();
    std::vector<std::string> log;
    fields.name = "F:";
    added.name = "A:";
    fields.log = added.log = &log;

    MergeIntoNewTable(request(), fields, added, dialogs);

    std::vector<std::string> expected;
    for (int i = 0; i < fields.count(); ++i) expected.push_back("F:" + fields.text(i));
    for (int i = 0; i < added.count(); ++i) expected.push_back("A:" + added.text(i));
    EXPECT_EQ(log, expected);
}

TEST_F(MergeTest, TickIsReadWhenTheMergeReachesTheLine) {
    writeSmallPair();
    auto [fields, added] = compareLines();
    ASSERT_EQ(fields.count(), 3);
    // The user unticks the last field line and ticks the (unticked) added
    // line while the merge works on the first line.
    added.lines[0].checked = false;
    fields.onChecked = [&](int i) {
        if (i == 0) {
            fields.lines[2].checked = false;
            added.lines[0].checked = true;
        }
    };

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_EQ(outcome.fieldsUpdated, 2);
    EXPECT_EQ(outcome.recordsAdded, 1);
    const Rows made = rows("t1new");
    ASSERT_EQ(made.size(), 3u);
    EXPECT_EQ(made[1][1], rows("t1")[1][1]) << "the unticked QTY change was applied";
}

TEST_F(MergeTest, FailedCopyStopsBeforeAnyUpdateAndShowsNoDone) {
    writeSmallPair();
    auto [fields, added] = compareLines();
    const auto t1 = test::readFile(dir.file("t1.dbf"));
    const auto t2 = test::readFile(dir.file("t2.dbf"));
    test::writeFile(dir.file("notes.dbf"), {'n', 'o', 't', ' ', 'a', ' ', 't', 'a', 'b', 'l', 'e'});

    // Empty, Table #1 itself, a file that is no table, and Table #2 (which
    // the merge would then read back from the copy).
    for (const std::string name : {"", "t1", "T1", "notes", "t2", "T2"}) {
        SCOPED_TRACE("new name \"" + name + "\"");
        dialogs.messages.clear();
        std::vector<std::string> failedLines;
        MergeCallbacks callbacks;
        callbacks.failed = [&](const std::string& line, const std::string&) {
            failedLines.push_back(line);
        };

        const MergeOutcome outcome =
            MergeIntoNewTable(request(name), fields, added, dialogs, callbacks);

        EXPECT_FALSE(outcome.tableMade);
        EXPECT_EQ(outcome.fieldsUpdated + outcome.recordsAdded, 0);
        EXPECT_EQ(errorReports().size(), 1u);
        EXPECT_EQ(failedLines, std::vector<std::string>{""});
        EXPECT_FALSE(doneShown());
        EXPECT_EQ(test::readFile(dir.file("t1.dbf")), t1);
        EXPECT_EQ(test::readFile(dir.file("t2.dbf")), t2);
    }
    EXPECT_EQ(test::readFile(dir.file("notes.dbf")).size(), 11u);
}

TEST_F(MergeTest, FailedLinesAreReportedAndTheOthersStillApplied) {
    TableBuilder t1(0x30);
    t1.field("NAME", 'C', 8).field("QTY", 'N', 5);
    t1.record({Cell::text("a"), Cell::number("1")});
    t1.record({Cell::text("b"), Cell::number("2")});
    t1.write(dir.file("t1.dbf"));
    TableBuilder t2(0x30);
    t2.field("NAME", 'C', 8).field("QTY", 'C', 5);  // QTY holds text here
    t2.record({Cell::text("A"), Cell::text("lots")});
    t2.record({Cell::text("B"), Cell::text("2")});
    t2.write(dir.file("t2.dbf"));
    compareLines();
    // A difference about a record that Table #2 lacks goes between two good
    // ones: it must fail on its own, not borrow from its neighbour.
    found.addChanged(1, 9, 0, "a", false, "x", false);
    auto [fields, added] = split(found);
    fields.lines.insert(fields.lines.begin() + 1, fields.lines.back());
    fields.lines.pop_back();
    std::vector<std::string> failed;
    MergeCallbacks callbacks;
    callbacks.failed = [&](const std::string& line, const std::string& description) {
        failed.push_back(line + " | " + description);
    };

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs, callbacks);

    EXPECT_EQ(outcome.linesFailed, 2);    // record 9 and "lots" into a number
    EXPECT_EQ(outcome.fieldsUpdated, 3);  // NAME of records 1 and 2, the text "2    " as QTY 2
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_THAT(failed[0], HasSubstr("has no record 9"));
    EXPECT_THAT(failed[1], HasSubstr("lots"));
    EXPECT_EQ(errorReports().size(), 2u);
    EXPECT_EQ(dialogs.messages.back().text, "Done.");
    const Rows made = rows("t1new");
    EXPECT_EQ(made[0][0], Value::text("A       "));
    EXPECT_EQ(made[0][1], rows("t1")[0][1]);
    EXPECT_EQ(made[1][0], Value::text("B       "));
    EXPECT_EQ(made[1][1], Value::decimal("2"));
}

// A table written by another program with a name twice (dbase_03.dbf's
// Point_ID, C and then N): the copy keeps both fields and their values, the
// first still takes its change, and the second's change fails instead of
// landing in the first.
TEST_F(MergeTest, SecondFieldOfOneNameIsNeverWrittenIntoTheFirst) {
    TableBuilder t1(0x03), t2(0x03);
    t1.field("P", 'C', 4).field("P", 'N', 3);
    t2.field("P", 'C', 4).field("P", 'N', 3);
    t1.record({Cell::text("p1"), Cell::number("5")});
    t2.record({Cell::text("p2"), Cell::number("6")});
    t1.write(dir.file("t1.dbf"));
    t2.write(dir.file("t2.dbf"));
    auto [fields, added] = compareLines();
    std::vector<std::string> failed;
    MergeCallbacks callbacks;
    callbacks.failed = [&](const std::string&, const std::string& why) { failed.push_back(why); };

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs, callbacks);

    EXPECT_EQ(outcome.fieldsUpdated, 1);
    EXPECT_EQ(outcome.linesFailed, 1);
    EXPECT_THAT(failed, ElementsAre(HasSubstr("t1: field 2 is named P like field 1")));
    EXPECT_EQ(fieldNames("t1new"), fieldNames("t1"));
    EXPECT_EQ(rows("t1new"), (Rows{{Value::text("p2  "), rows("t1")[0][1]}}));
}

// An insert that must list its columns cannot list the second of a name.
TEST_F(MergeTest, InsertListingASecondFieldOfOneNameFailsNamingIt) {
    TableBuilder t1(0x03), t2(0x03);
    t1.field("P", 'C', 4).field("P", 'N', 3).field("X", 'C', 2);
    t2.field("X", 'C', 2).field("P", 'C', 4).field("P", 'N', 3);
    t1.record({Cell::text("p1"), Cell::number("5"), Cell::text("x")});
    t2.record({Cell::text("x"), Cell::text("p1"), Cell::number("5")});
    t2.record({Cell::text("y"), Cell::text("p2"), Cell::number("6")});
    t1.write(dir.file("t1.dbf"));
    t2.write(dir.file("t2.dbf"));
    auto [fields, added] = compareLines();
    std::vector<std::string> failed;
    MergeCallbacks callbacks;
    callbacks.failed = [&](const std::string&, const std::string& why) { failed.push_back(why); };

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs, callbacks);

    EXPECT_EQ(outcome.recordsAdded, 0);
    EXPECT_EQ(outcome.linesFailed, 1);
    EXPECT_THAT(failed, ElementsAre(HasSubstr("t1: field 2 is named P like field 1")));
    EXPECT_EQ(rows("t1new"), rows("t1"));
}

// The new table keeps Table #1's code page (866); Table #2's text (1251)
// is converted into it, and what 866 cannot hold fails its line, naming
// the field and the record, instead of turning into '?'.
TEST_F(MergeTest, TextOfTableTwoIsConvertedIntoTableOnesCodePage) {
    TableBuilder t1(0x30);
    t1.codePageMark(0x65).field("NAME", 'C', 6);
    t1.record({Cell::text("\x8c\xa8\xe0")});  // Мир
    t1.record({Cell::text("ab")});
    t1.write(dir.file("t1.dbf"));
    TableBuilder t2(0x30);
    t2.codePageMark(0xC9).field("NAME", 'C', 6);
    t2.record({Cell::text("\xcc\xe8\xf0\xfb")});  // Миры
    t2.record({Cell::text("\x88")});              // €
    t2.record({Cell::text("\xc4\xe0")});          // Да
    t2.write(dir.file("t2.dbf"));
    auto [fields, added] = compareLines();
    std::vector<std::string> failed;
    MergeCallbacks callbacks;
    callbacks.failed = [&](const std::string&, const std::string& description) {
        failed.push_back(description);
    };

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs, callbacks);

    EXPECT_EQ(outcome.fieldsUpdated, 1);
    EXPECT_EQ(outcome.recordsAdded, 1);
    EXPECT_THAT(failed, ElementsAre("t1new.dbf, record 2: value '€     ' does not fit field NAME "
                                    "(C 6): code page 866 cannot hold €"));
    const auto bytes = test::readFile(dir.file("t1new.dbf"));
    const std::string stored(bytes.begin(), bytes.end());
    EXPECT_NE(stored.find("\x8c\xa8\xe0\xeb  "), std::string::npos);  // Миры in 866
    EXPECT_NE(stored.find("\x84\xa0    "), std::string::npos);        // Да in 866
    EXPECT_EQ(rows("t1new")[0][0], Value::text("Миры  "));
}

TEST_F(MergeTest, UndecodableBytesOfUtf8TextGoOverAsTheyAreStored) {
    for (const char* name : {"t1", "t2"}) {
        std::ofstream(dir.file(std::string(name) + ".cpg")) << "UTF-8";
        TableBuilder t(0x30);
        t.codePageMark(0).field("NAME", 'C', 6).field("NOTE", 'M', 4);
        t.record({Cell::text("caf\xc3\xa9"), Cell::memo("same")});
        if (std::string(name) == "t2") {
            t = TableBuilder(0x30);
            t.codePageMark(0).field("NAME", 'C', 6).field("NOTE", 'M', 4);
            t.record({Cell::text("caf\xe9!"), Cell::memo("m\xe9mo")});  // Latin-1 bytes
            t.record({Cell::text("\xff\xc3"), Cell::memo("ok")});
        }
        t.write(dir.file(std::string(name) + ".dbf"));
    }
    auto [fields, added] = compareLines();

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_EQ(outcome.fieldsUpdated, 2);
    EXPECT_EQ(outcome.recordsAdded, 1);
    EXPECT_EQ(outcome.linesFailed, 0);
    const auto bytes = test::readFile(dir.file("t1new.dbf"));
    const std::string stored(bytes.begin(), bytes.end());
    EXPECT_NE(stored.find("caf\xe9! "), std::string::npos);
    EXPECT_NE(stored.find("\xff\xc3    "), std::string::npos);
    const auto memo = test::readFile(dir.file("t1new.fpt"));
    EXPECT_NE(std::string(memo.begin(), memo.end()).find("m\xe9mo"), std::string::npos);
}

TEST_F(MergeTest, DeletedRecordsBeforeNDoNotShiftTheTarget) {
    // Stored order with deleted records in different places of both tables:
    // position N counts live records only, in the copy and in Table #2.
    TableBuilder t1(0x30);
    t1.field("NAME", 'C', 6);
    t1.record({Cell::text("x1")}, true);
    t1.record({Cell::text("a")});
    t1.record({Cell::text("x2")}, true);
    t1.record({Cell::text("b")});
    t1.record({Cell::text("c")});
    t1.write(dir.file("t1.dbf"));
    TableBuilder t2(0x30);
    t2.field("NAME", 'C', 6);
    t2.record({Cell::text("a")});
    t2.record({Cell::text("y1")}, true);
    t2.record({Cell::text("y2")}, true);
    t2.record({Cell::text("y3")}, true);
    t2.record({Cell::text("B")});
    t2.record({Cell::text("c")});
    t2.record({Cell::text("y4")}, true);
    t2.record({Cell::text("D")});
    t2.write(dir.file("t2.dbf"));
    auto [fields, added] = compareLines();
    ASSERT_EQ(fields.count(), 1);
    ASSERT_EQ(added.count(), 1);

    MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_THAT(errorReports(), ::testing::IsEmpty());
    EXPECT_EQ(rows("t1new"), rows("t2"));
}

TEST_F(MergeTest, LinesInAnyOrderReadTheirOwnRecordsOfTableTwo) {
    // Every record changed, Table #2 with deleted records here and there;
    // the lines reach Table #2's records backwards, forwards, near and far.
    TableBuilder t1(0x30), t2(0x30);
    t1.field("NAME", 'C', 6);
    t2.field("NAME", 'C', 6);
    constexpr int kRecords = 300;
    for (int r = 1; r <= kRecords; ++r) {
        t1.record({Cell::text('a' + std::to_string(r))});
        if (r % 7 == 0) t2.record({Cell::text("gone")}, true);
        t2.record({Cell::text('b' + std::to_string(r))});
    }
    t1.write(dir.file("t1.dbf"));
    t2.write(dir.file("t2.dbf"));
    auto [fields, added] = compareLines();
    ASSERT_EQ(fields.count(), kRecords);
    std::vector<TestLines::Line> order;
    for (int i = kRecords - 1; i >= 0; i -= 3) order.push_back(fields.lines[i]);
    for (int i = 0; i < kRecords; i += 3) order.push_back(fields.lines[i]);
    for (int i = 1; i < kRecords; i += 3) order.push_back(fields.lines[i]);
    fields.lines = order;

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_EQ(outcome.fieldsUpdated, kRecords);
    EXPECT_EQ(rows("t1new"), rows("t2"));
}

TEST_F(MergeTest, InsertsMatchColumnsByNameWhenTableTwoIsLaidOutDifferently) {
    TableBuilder t1(0x30);
    t1.field("ID", 'I', 4).field("NAME", 'C', 6).field("PRICE", 'N', 8, 2);
    t1.record({Cell::integer32(1), Cell::text("a"), Cell::number("1.25")});
    t1.write(dir.file("t1.dbf"));
    TableBuilder t2(0x30);
    t2.field("price", 'N', 8, 2).field("EXTRA", 'C', 3).field("Id", 'I', 4).field("NAME", 'C', 6);
    t2.record({Cell::number("1.25"), Cell::text("zz"), Cell::integer32(1), Cell::text("a")});
    t2.record({Cell::number("9.50"), Cell::text("zz"), Cell::integer32(2), Cell::text("b")});
    t2.write(dir.file("t2.dbf"));
    auto [fields, added] = compareLines();
    ASSERT_EQ(added.count(), 1);

    MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_THAT(errorReports(), ::testing::IsEmpty());
    EXPECT_THAT(fieldNames("t1new"), ElementsAre("ID", "NAME", "PRICE"));
    const Rows made = rows("t1new");
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[1], (std::vector<Value>{Value::integer(2), Value::text("b     "),
                                           Value::decimal("9.5")}));
}

TEST_F(MergeTest, DecimalCommaLocaleStillWritesTheNumber) {
    writeSmallPair();
    foxpro::TextLocale comma;
    comma.decimalSeparator = ",";
    auto [fields, added] = compareLines("t1", "t2", comma);
    ASSERT_THAT(fields.text(2), HasSubstr("\"-7,2\""));

    MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_EQ(rows("t1new")[1][1], Value::decimal("-7.2"));
}

TEST_F(MergeTest, BlankValuesOfFieldsWithoutNullStayBlank) {
    // dBase-style tables: blank numbers, dates and logicals read as null but
    // cannot be written as NULL.
    auto build = [&](const std::string& file, bool blanks, int records) {
        TableBuilder t(0x30);
        t.field("QTY", 'N', 5).field("DAY", 'D', 8).field("STAMP", 'T', 8).field("OK", 'L', 1);
        for (int i = 0; i < records; ++i) {
            if (blanks)
                t.record({Cell::blank(), Cell::blank(), Cell::blank(), Cell::blank()});
            else
                t.record({Cell::number("5"), Cell::date(2020, 1, 2),
                          Cell::dateTime(2020, 1, 2, 3, 4, 5), Cell::logical('T')});
        }
        t.write(dir.file(file));
    };
    build("t1.dbf", false, 1);
    build("t2.dbf", true, 2);
    auto [fields, added] = compareLines();
    ASSERT_EQ(fields.count(), 4);
    ASSERT_EQ(added.count(), 1);

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);

    EXPECT_THAT(errorReports(), ::testing::IsEmpty());
    EXPECT_EQ(outcome.fieldsUpdated, 4);
    EXPECT_EQ(outcome.recordsAdded, 1);
    EXPECT_EQ(rows("t1new"), rows("t2"));
}

TEST_F(MergeTest, StoredFormsGoInAsWritingTheirValuesWould) {
    // Stored bytes of Table #2 may be copied only when they are what
    // reading the value and writing it would give: forms the encoder would
    // not write (lower-case logicals, zero dates, NUL padding, leading
    // zeros, -0, split seconds) must come out in the encoder's form, null
    // flags as the values say.
    auto layout = [](TableBuilder& t) {
        t.field("NAME", 'C', 6).field("OPT", 'C', 4, 0, 0x02).field("OK", 'L', 1);
        t.field("MAYBE", 'L', 1, 0, 0x02).field("DAY", 'D', 8).field("WHEN", 'D', 8, 0, 0x02);
        t.field("STAMP", 'T', 8).field("AT", 'T', 8, 0, 0x02).field("COUNT", 'I', 4);
        t.field("COST", 'Y', 8).field("RATIO", 'B', 8, 2).field("QTY", 'N', 7, 2);
    };
    const auto le = [](std::uint64_t v, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
        return out;
    };
    const auto real = [&](double d) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        return Cell::raw(le(bits, 8));
    };
    const auto stamp = [&](std::uint32_t day, std::uint32_t ms) {
        return Cell::raw(le(day, 4) + le(ms, 4));
    };
    const std::vector<Cell> first = {
        Cell::text("Ann"),      Cell::null(),           Cell::logical('T'),   Cell::logical('F'),
        Cell::date(2020, 1, 2), Cell::date(2020, 1, 3), stamp(2459000, 1000), stamp(2459000, 2000),
        Cell::integer32(5),     Cell::currency(10000),  Cell::real64(1.5),    Cell::number("1.50")};
    const std::vector<std::vector<Cell>> forms = {
        {Cell::raw(std::string("ab\0\0\0\0", 6)), Cell::raw(std::string("\0\0\0\0", 4)),
         Cell::raw("t"), Cell::raw("?"), Cell::raw("00000000"), Cell::raw("        "), stamp(0, 0),
         stamp(0, 0), Cell::integer32(-2147483647 - 1),
         Cell::currency(std::numeric_limits<std::int64_t>::min()), real(-0.0),
         Cell::raw("  01.50")},
        {Cell::raw("caf\xE9"), Cell::null(), Cell::raw(" "), Cell::raw(" "), Cell::raw("20200230"),
         Cell::raw("00000000"), stamp(2459000, 1500), stamp(2459000, 86400000), Cell::integer32(0),
         Cell::currency(-1), real(0.0), Cell::raw("  -0.00")},
        {Cell::raw(" lead "), Cell::raw("ok"), Cell::raw("y"), Cell::raw("N"),
         Cell::raw("2020123 "), Cell::null(), stamp(0, 5000), Cell::null(),
         Cell::integer32(2147483647), Cell::currency(std::numeric_limits<std::int64_t>::max()),
         real(0.1 + 0.2), Cell::raw("   1.5 ")},
        {Cell::raw("x\ty"), Cell::raw("    "), Cell::raw("F"), Cell::raw("T"),
         Cell::raw("00010101"), Cell::raw("99991231"), stamp(2459000, 86399000), stamp(2459000, 0),
         Cell::integer32(7), Cell::currency(5), real(5e-324), Cell::raw("   -.50")},
    };
    TableBuilder t1(0x30), t2(0x30);
    layout(t1);
    layout(t2);
    // Record 1 is updated field by field with the first forms, the rest added.
    t1.record(first);
    for (const auto& row : forms) t2.record(row);
    t2.record(first);
    t1.write(dir.file("t1.dbf"));
    t2.write(dir.file("t2.dbf"));
    auto [fields, added] = compareLines();
    ASSERT_EQ(added.count(), static_cast<int>(forms.size()));

    const MergeOutcome outcome = MergeIntoNewTable(request(), fields, added, dialogs);
    ASSERT_THAT(errorReports(), ::testing::IsEmpty());
    ASSERT_EQ(outcome.recordsAdded, static_cast<int>(forms.size()));
    ASSERT_GT(outcome.fieldsUpdated, 8);

    const foxpro::TableReader made(dir.file("t1new.dbf")), table2(dir.file("t2.dbf"));
    ASSERT_EQ(made.storedCount(), table2.storedCount());
    const foxpro::TextStorage storage{made.layout().codePage, made.codePageConvertible()};
    for (std::int64_t r = 0; r < made.storedCount(); ++r) {
        const auto in = table2.storedRecord(r);
        const auto out = made.storedRecord(r);
        for (int i = 0; i < made.fieldCount(); ++i) {
            const foxpro::FieldInfo& f = made.field(i);
            SCOPED_TRACE("record " + std::to_string(r + 1) + ", field " + f.name);
            const auto literal = parsedLiteral(table2.value(in, i), table2.field(i), f);
            ASSERT_TRUE(literal);
            const foxpro::EncodedField expected = foxpro::encodeField(f, storage, *literal, "t");
            EXPECT_EQ(made.isNull(out, i), expected.null);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()) + f.offset,
                                  static_cast<std::size_t>(f.width)),
                      expected.bytes);
        }
    }
}

TEST_F(MergeTest, ContainerSourcesWithLongFieldNames) {
    // Two copies of a container; in source #2 the customers table has a
    // long-named field changed and one record more.
    namespace fs = std::filesystem;
    const fs::path one = fs::path(dir.path()) / "one";
    const fs::path two = fs::path(dir.path()) / "two";
    fs::create_directory(one);
    fs::create_directory(two);
    data::SourceDescriptor s1, s2;
    s1.dbcPath = test::writeSampleContainer(one.string());
    s2.dbcPath = test::writeSampleContainer(two.string());
    TableBuilder customers(0x30);
    customers.backlink("shop.dbc")
        .field("CUSTOMER_N", 'I', 4)
        .field("COMPANY_NA", 'C', 20)
        .field("CITY", 'C', 10);
    customers.record({Cell::integer32(1), Cell::text("Kaskade Coffee"), Cell::text("Paris")});
    customers.record({Cell::integer32(2), Cell::text("Blue Mill"), Cell::text("Rome")});
    customers.record({Cell::integer32(3), Cell::text("Corner Shop"), Cell::text("Oslo")});
    customers.write((two / "customers.dbf").string());

    const auto result =
        compare::Compare(s1, s2, "customers", "customers", foxpro::TextLocale::c(), dialogs);
    ASSERT_TRUE(result.completed()) << result.failure;
    auto [fields, added] = split(result.differences);
    ASSERT_EQ(fields.count(), 1);
    ASSERT_EQ(fields.text(0),
              "Record 1, Field \"company_name\" has changed from \"Cascade Coffee      \" to "
              "\"Kaskade Coffee      \"");

    const MergeOutcome outcome = MergeIntoNewTable(
        MergeRequest{"merged", "customers", "customers", s1, s2}, fields, added, dialogs);

    EXPECT_THAT(errorReports(), ::testing::IsEmpty());
    EXPECT_EQ(outcome.fieldsUpdated, 1);
    EXPECT_EQ(outcome.recordsAdded, 1);
    // The new table is a free table beside the container, its values those
    // of source #2's customers, column by column.
    auto read = [](const std::string& connection, const std::string& table) {
        foxpro::Connection c;
        c.open(connection);
        foxpro::Recordset rs;
        rs.open("SELECT * FROM [" + table + "]", c);
        Rows out;
        for (; !rs.eof(); rs.moveNext()) {
            out.emplace_back();
            for (int i = 0; i < rs.fieldCount(); ++i) out.back().push_back(rs.value(i));
        }
        return out;
    };
    EXPECT_EQ(read(data::connectionString(one.string(), false), "merged"),
              read(data::connectionString(s2), "customers"));
}

// A container's table against its free copy, whose header keeps ten
// characters of the long names: each side's field takes the other's value,
// whichever is Table #1.
TEST_F(MergeTest, ContainerTableAndItsFreeCopyMergeEitherWay) {
    namespace fs = std::filesystem;
    const fs::path one = fs::path(dir.path()) / "one";
    const fs::path two = fs::path(dir.path()) / "two";
    fs::create_directory(one);
    fs::create_directory(two);
    data::SourceDescriptor container, copy;
    container.dbcPath = test::writeSampleContainer(one.string());
    copy.optionDBC = false;
    copy.folderText = two.string();
    auto customers = [](const std::vector<std::string>& names) {
        TableBuilder t(0x30);
        t.field("CUSTOMER_N", 'I', 4).field("COMPANY_NA", 'C', 20).field("CITY", 'C', 10);
        for (std::size_t i = 0; i < names.size(); ++i)
            t.record({Cell::integer32(static_cast<std::int32_t>(i + 1)), Cell::text(names[i]),
                      Cell::text("Oslo")});
        return t;
    };
    customers({"Cascade Coffee", "Blue Mill", "Corner Shop"})
        .backlink("shop.dbc")
        .write((one / "customers.dbf").string());
    customers({"Kaskade Coffee", "Blue Mill"}).write((two / "customers.dbf").string());
    auto companies = [](const data::SourceDescriptor& source, const std::string& table) {
        foxpro::Connection c;
        c.open(data::connectionString(source));
        foxpro::Recordset rs;
        rs.open("SELECT * FROM [" + table + "]", c);
        std::vector<std::string> out;
        for (; !rs.eof(); rs.moveNext()) out.push_back(rs.value(1).str());
        return out;
    };
    auto merge = [&](const data::SourceDescriptor& s1, const data::SourceDescriptor& s2) {
        auto result =
            compare::Compare(s1, s2, "customers", "customers", foxpro::TextLocale::c(), dialogs);
        EXPECT_TRUE(result.completed()) << result.failure;
        found = std::move(result.differences);
        auto [fields, added] = split(found);
        EXPECT_EQ(fields.count(), 1);
        return MergeIntoNewTable(MergeRequest{"merged", "customers", "customers", s1, s2}, fields,
                                 added, dialogs);
    };

    MergeOutcome outcome = merge(container, copy);
    EXPECT_EQ(outcome.fieldsUpdated, 1);
    data::SourceDescriptor beside = copy;
    beside.folderText = one.string();
    EXPECT_THAT(companies(beside, "merged"),
                ElementsAre("Kaskade Coffee      ", "Blue Mill           ",
                            "Corner Shop         "));  // record 3 was deleted: it stays

    outcome = merge(copy, container);
    EXPECT_EQ(outcome.fieldsUpdated, 1);
    EXPECT_EQ(outcome.recordsAdded, 1);
    EXPECT_EQ(companies(copy, "merged"), companies(container, "customers"));
    EXPECT_THAT(errorReports(), ::testing::IsEmpty());
}

// Two long names cut to the same ten characters, which the header made
// unique: the statements name each field as the new table's header does.
TEST_F(MergeTest, ContainerFieldsCutAlikeTakeTheirOwnValues) {
    namespace fs = std::filesystem;
    const fs::path one = fs::path(dir.path()) / "one";
    const fs::path two = fs::path(dir.path()) / "two";
    fs::create_directory(one);
    fs::create_directory(two);
    test::ContainerBuilder crm;
    crm.table("types", "types.dbf").field("contact_type_id").field("contact_type");
    data::SourceDescriptor container, copy;
    container.dbcPath = (one / "crm.dbc").string();
    crm.write(container.dbcPath);
    copy.optionDBC = false;
    copy.folderText = two.string();
    TableBuilder types(0x30);
    types.backlink("crm.dbc").field("CONTACT_TY", 'I', 4).field("CONTACT_T2", 'C', 8);
    types.record({Cell::integer32(1), Cell::text("Buyer")});
    types.record({Cell::integer32(2), Cell::text("Seller")});
    types.write((one / "types.dbf").string());
    // The copy's columns in the other order, so that the insert names them.
    TableBuilder edited(0x30);
    edited.field("CONTACT_T2", 'C', 8).field("CONTACT_TY", 'I', 4);
    edited.record({Cell::text("Buyer"), Cell::integer32(1)});
    edited.record({Cell::text("Agent"), Cell::integer32(2)});
    edited.record({Cell::text("Broker"), Cell::integer32(3)});
    edited.write((two / "types.dbf").string());

    auto result =
        compare::Compare(container, copy, "types", "types", foxpro::TextLocale::c(), dialogs);
    ASSERT_TRUE(result.completed()) << result.failure;
    found = std::move(result.differences);
    auto [fields, added] = split(found);
    const MergeOutcome outcome = MergeIntoNewTable(
        MergeRequest{"merged", "types", "types", container, copy}, fields, added, dialogs);
    EXPECT_EQ(outcome.fieldsUpdated, 1);
    EXPECT_EQ(outcome.recordsAdded, 1);
    EXPECT_EQ(outcome.linesFailed, 0);
    data::SourceDescriptor beside = copy;
    beside.folderText = one.string();
    foxpro::Connection c;
    c.open(data::connectionString(beside));
    foxpro::Recordset rs;
    rs.open("SELECT * FROM [merged]", c);
    std::vector<std::string> rows;
    for (; !rs.eof(); rs.moveNext())
        rows.push_back(std::to_string(rs.value(0).asInteger()) + " " + rs.value(1).str());
    EXPECT_THAT(rows, ElementsAre("1 Buyer   ", "2 Agent   ", "3 Broker  "));
}

// What a merge leaves when it does not finish, and whom it never overwrites.
class MergeSafetyTest : public MergeTest {
  protected:
    void writeOldTable(const std::string& file) {
        TableBuilder old(0x30);
        old.field("X", 'C', 3);
        old.record({Cell::text("old")});
        old.write(dir.file(file));
    }
    std::vector<std::string> folderNames() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    MergeRequest replacing(const std::string& newName = "t1new") const {
        MergeRequest r = request(newName);
        r.replaceExisting = true;
        return r;
    }
};

TEST_F(MergeSafetyTest, AStoppedOrKilledMergeLeavesNoTableAndTheEarlierOneAsItWas) {
    writeSmallPair();
    auto [fields, added] = compareLines();
    writeOldTable("t1new.dbf");
    const auto old = test::readFile(dir.file("t1new.dbf"));
    const auto names = folderNames();

    int asked = 0;
    MergeCallbacks stopAtLine2;
    stopAtLine2.stopRequested = [&] { return ++asked == 3; };  // the start, line 1, line 2
    const MergeOutcome stopped =
        MergeIntoNewTable(replacing(), fields, added, dialogs, stopAtLine2);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.tableMade);
    EXPECT_EQ(stopped.fieldsUpdated, 1);
    EXPECT_FALSE(doneShown());
    EXPECT_EQ(test::readFile(dir.file("t1new.dbf")), old);
    EXPECT_EQ(folderNames(), names);

    const pid_t child = test::forkChild([&] {
        int lines = 0;
        MergeCallbacks killAtLine2;
        killAtLine2.stopRequested = [&] {
            if (++lines == 3) ::_exit(0);
            return false;
        };
        MergeIntoNewTable(replacing(), fields, added, dialogs, killAtLine2);
    });
    ASSERT_EQ(test::waitChild(child), 0);
    EXPECT_EQ(test::readFile(dir.file("t1new.dbf")), old);
    EXPECT_GT(folderNames().size(), names.size());  // its hidden table, until a later run

    // The next merge into that folder clears what the killed one left.
    EXPECT_TRUE(MergeIntoNewTable(replacing(), fields, added, dialogs).tableMade);
    EXPECT_EQ(rows("t1new"), rows("t2"));
    EXPECT_EQ(folderNames(), names);
}

TEST_F(MergeSafetyTest, AJournalLeftAloneIsShownAsAWarningBeforeTheTableIsMade) {
    writeSmallPair();
    auto [fields, added] = compareLines();
    // Another machine's journal: what the windows' merge cannot judge.
    const std::string journal = "~quorvel-00000000-1-1-abcdefgh.jnl";
    const std::string text = "quorvel replacement\nname\tt2.dbf\nplace\tt2.dbf\t../t2.dbf\nend\n";
    test::writeFile(dir.file(journal), {text.begin(), text.end()});

    EXPECT_TRUE(MergeIntoNewTable(request(), fields, added, dialogs).tableMade);
    ASSERT_EQ(errorReports().size(), 1u);
    EXPECT_EQ(errorReports()[0], dir.path() + ": replacement journal left alone: " + journal +
                                     " (its writer is on another computer or cannot be judged)");
    EXPECT_TRUE(doneShown());
    EXPECT_EQ(test::readText(dir.file(journal)), text);
}

TEST_F(MergeSafetyTest, AnExistingTableIsReplacedOnlyWhenAsked) {
    writeSmallPair();
    auto [fields, added] = compareLines();
    writeOldTable("T1NEW.DBF");
    const auto old = test::readFile(dir.file("T1NEW.DBF"));

    EXPECT_FALSE(MergeIntoNewTable(request(), fields, added, dialogs).tableMade);
    ASSERT_EQ(errorReports().size(), 1u);
    EXPECT_THAT(errorReports()[0], HasSubstr("T1NEW.DBF already exists in " + dir.path()));
    EXPECT_FALSE(doneShown());
    EXPECT_EQ(test::readFile(dir.file("T1NEW.DBF")), old);
    EXPECT_EQ(ExistingNewTableFiles(request()), std::vector<std::string>{dir.file("T1NEW.DBF")});

    EXPECT_TRUE(MergeIntoNewTable(replacing(), fields, added, dialogs).tableMade);
    EXPECT_EQ(rows("t1new"), rows("t2"));
}

TEST_F(MergeSafetyTest, TableTwoReachedThroughALinkIsNeverReplaced) {
    writeSmallPair();
    const auto t2 = test::readFile(dir.file("t2.dbf"));
    std::filesystem::create_symlink("t2.dbf", dir.file("link.dbf"));
    std::filesystem::create_symlink(".", dir.file("same"));
    auto [fields, added] = compareLines("t1", "link");

    // Table #2 through a link to its file, and through a link to its folder.
    MergeRequest viaFile = replacing("t2");
    viaFile.Table2Name = "link";
    MergeRequest viaFolder = replacing("t2");
    viaFolder.source2.folderText = dir.file("same");
    for (const MergeRequest& r : {viaFile, viaFolder}) {
        dialogs.messages.clear();
        EXPECT_FALSE(MergeIntoNewTable(r, fields, added, dialogs).tableMade);
        ASSERT_EQ(errorReports().size(), 1u);
        EXPECT_THAT(errorReports()[0], HasSubstr("which it reads from"));
        EXPECT_EQ(test::readFile(dir.file("t2.dbf")), t2);
    }
}

TEST_F(MergeSafetyTest, TwoMergesIntoOneNameNeverMix) {
    writeSmallPair();
    auto [fields, added] = compareLines();
    test::Turn held, release;
    const pid_t other = test::forkChild([&] {
        foxpro::Connection c;
        c.open(data::connectionString(folder()));
        foxpro::NewTable table(c.source(), "t1new", false, {});
        held.give();
        release.take();
    });
    ASSERT_EQ(held.take(), '.');
    EXPECT_FALSE(MergeIntoNewTable(request(), fields, added, dialogs).tableMade);
    ASSERT_EQ(errorReports().size(), 1u);
    EXPECT_THAT(errorReports()[0], HasSubstr("t1new.dbf is being made by another merge or copy"));
    release.give();
    ASSERT_EQ(test::waitChild(other), 0);
    EXPECT_TRUE(MergeIntoNewTable(request(), fields, added, dialogs).tableMade);
    EXPECT_EQ(rows("t1new"), rows("t2"));
}

}  // namespace
}  // namespace quorvel::results
