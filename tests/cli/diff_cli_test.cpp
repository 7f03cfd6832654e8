#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <tuple>

#include "support/cli_runner.h"
#include "support/python_runner.h"
#include "support/table_builder.h"

namespace {

using quorvel::test::Cell;
using quorvel::test::TableBuilder;
using quorvel::test::TempFolder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

using Outcome = quorvel::test::CliRun;

// Runs quorvel-cli diff with standard output and error going to files
// (not a terminal: no progress line).
Outcome diff(std::vector<std::string> args, const TempFolder& scratch) {
    args.insert(args.begin(), "diff");
    return quorvel::test::runCli(args, scratch);
}

class DiffCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TableBuilder t1(0x30), t2(0x30);
        for (auto* t : {&t1, &t2}) t->field("NAME", 'C', 5).field("NOTE", 'M', 4);
        t1.record({Cell::text("Ann"), Cell::memo("one line")});
        t2.record({Cell::text("Ann"), Cell::memo("two\nlines")});
        t1.record({Cell::text("Bob"), Cell::memo("")});
        t2.record({Cell::text("Bo"), Cell::memo("")});
        t2.record({Cell::text("Cy"), Cell::memo("")});
        t1.write(folder1_.file("people.dbf"));
        t2.write(folder2_.file("people.dbf"));
        t1.write(folder2_.file("same.dbf"));
    }

    TempFolder folder1_, folder2_, scratch_;
};

TEST_F(DiffCliTest, ExitStatusTellsIdenticalFromDifferentFromNotCompared) {
    const Outcome same = diff({folder1_.path(), "people", folder2_.path(), "same"}, scratch_);
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, "");
    EXPECT_EQ(same.err, "");

    const Outcome different =
        diff({folder1_.path(), "people", folder2_.path(), "people"}, scratch_);
    EXPECT_EQ(different.status, 1);
    EXPECT_EQ(different.out,
              "Record 1, Field \"NOTE\" has changed from \"one line\" to \"two\nlines\"\n"
              "Record 2, Field \"NAME\" has changed from \"Bob  \" to \"Bo   \"\n"
              "Record 3 added to people\n");
    EXPECT_EQ(different.err, "");  // no progress line on a file

    const Outcome missing = diff({folder1_.path(), "people", folder2_.path(), "absent"}, scratch_);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_THAT(missing.err, HasSubstr("absent"));
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);
}

TEST_F(DiffCliTest, NulTerminatedLinesKeepTheLineBreaksOfMemos) {
    const Outcome z = diff({"-z", folder1_.path(), "people", folder2_.path(), "people"}, scratch_);
    EXPECT_EQ(z.status, 1);
    std::vector<std::string> lines;
    std::istringstream in(z.out);
    for (std::string line; std::getline(in, line, '\0');) lines.push_back(line);
    EXPECT_THAT(
        lines,
        ElementsAre("Record 1, Field \"NOTE\" has changed from \"one line\" to \"two\nlines\"",
                    "Record 2, Field \"NAME\" has changed from \"Bob  \" to \"Bo   \"",
                    "Record 3 added to people"));

    // A NUL or a backslash in a value cannot end or garble a line: written
    // as \0 and \\, so that splitting at NUL and undoing them gives the
    // line texts; the text format keeps the line texts as they are.
    TableBuilder t1(0x30), t2(0x30);
    for (auto* t : {&t1, &t2}) t->field("NOTE", 'M', 4);
    t1.record({Cell::memo(std::string("a\0b", 3))});
    t2.record({Cell::memo("c:\\x\\0")});
    t1.write(folder1_.file("odd.dbf"));
    t2.write(folder2_.file("odd.dbf"));
    const Outcome odd = diff({"-z", folder1_.path(), "odd", folder2_.path(), "odd"}, scratch_);
    EXPECT_EQ(odd.status, 1);
    const char escaped[] =
        "Record 1, Field \"NOTE\" has changed from \"a\\0b\" to \"c:\\\\x\\\\0\"";
    EXPECT_EQ(odd.out, std::string(escaped, sizeof escaped) /* with its NUL */);
    const Outcome text = diff({folder1_.path(), "odd", folder2_.path(), "odd"}, scratch_);
    const char plain[] = "Record 1, Field \"NOTE\" has changed from \"a\0b\" to \"c:\\x\\0\"\n";
    EXPECT_EQ(text.out, std::string(plain, sizeof plain - 1));
}

TEST_F(DiffCliTest, WordDiffWritesMemosAsTheirLineDiff) {
    const std::vector<std::string> tables{folder1_.path(), "people", folder2_.path(), "people"};
    std::vector<std::string> args = tables;
    args.insert(args.begin(), "--word-diff");
    const Outcome words = diff(args, scratch_);
    EXPECT_EQ(words.status, 1);
    // The memo as its diff; the short C value as its line.
    EXPECT_EQ(words.out,
              "Record 1, Field \"NOTE\" has changed: 2 lines changed\n"
              "    @@ -1,1 +1,2 @@\n"
              "    -one line\n"
              "    +two\n"
              "    +lines\n"
              "Record 2, Field \"NAME\" has changed from \"Bob  \" to \"Bo   \"\n"
              "Record 3 added to people\n");
    args.insert(args.begin(), "-z");
    const Outcome z = diff(args, scratch_);
    // With -z the NUL ends the difference, after its last diff line.
    std::string first =
        "Record 1, Field \"NOTE\" has changed: 2 lines changed\n"
        "    @@ -1,1 +1,2 @@\n    -one line\n    +two\n    +lines";
    first += '\0';
    EXPECT_THAT(z.out, ::testing::StartsWith(first + "Record 2"));
    args = tables;
    args.insert(args.begin(), {"--word-diff", "--format", "json"});
    const Outcome json = diff(args, scratch_);
    EXPECT_EQ(json.status, 2);
    EXPECT_THAT(json.err, HasSubstr("--word-diff goes with --format text only"));
}

TEST_F(DiffCliTest, ReportPutsFieldDifferencesFirstWithCrLf) {
    const std::string report = scratch_.file("report.txt");
    Outcome run =
        diff({folder2_.path(), "people", folder1_.path(), "people", "--report", report}, scratch_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(quorvel::test::readText(report),
              "Record 1, Field \"NOTE\" has changed from \"two\nlines\" to \"one line\"\r\n"
              "Record 2, Field \"NAME\" has changed from \"Bo   \" to \"Bob  \"\r\n"
              "Record 3 deleted from people\r\n");

    // A changed value that reads "deleted" is a field difference all the same.
    TableBuilder t1(0x30), t2(0x30);
    t1.field("WORD", 'C', 7).record({Cell::text("kept")}).record({Cell::text("Bob")});
    t2.field("WORD", 'C', 7).record({Cell::text("deleted")}).record({Cell::text("Bo")});
    t1.write(folder1_.file("words.dbf"));
    t2.write(folder2_.file("words.dbf"));
    run = diff({folder1_.path(), "words", folder2_.path(), "words", "--report", report}, scratch_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "Record 1, Field \"WORD\" has changed from \"kept   \" to \"deleted\"\n"
              "Record 2, Field \"WORD\" has changed from \"Bob    \" to \"Bo     \"\n");
    EXPECT_EQ(quorvel::test::readText(report),
              "Record 1, Field \"WORD\" has changed from \"kept   \" to \"deleted\"\r\n"
              "Record 2, Field \"WORD\" has changed from \"Bob    \" to \"Bo     \"\r\n");
}

TEST_F(DiffCliTest, UsageAndReportErrorsExitWithTwo) {
    Outcome run = diff({folder1_.path(), "people", folder2_.path()}, scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("Usage: quorvel-cli diff"));

    run = diff({folder1_.path(), "people", scratch_.file("nowhere"), "people"}, scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("nowhere"));

    const std::string badReport = scratch_.file("no/such/folder/report.txt");
    run = diff({folder1_.path(), "people", folder2_.path(), "people", "--report", badReport},
               scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("report.txt"));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
}

TEST_F(DiffCliTest, AComparisonThatFailsMidwayLeavesTheOlderReport) {
    // Record 3's memo lies past the end of the cut memo file: records 1
    // and 2 have given their lines by then.
    TableBuilder t1(0x30), t2(0x30);
    for (auto* t : {&t1, &t2}) t->field("NAME", 'C', 5).field("NOTE", 'M', 4);
    for (const char* name : {"a", "b", "c"}) {
        t1.record({Cell::text(name), Cell::memo("x")});
        t2.record({Cell::text("z"), Cell::memo(std::string(600, 'y'))});
    }
    t1.write(folder1_.file("cut.dbf"));
    t2.write(folder2_.file("cut.dbf"));
    std::filesystem::resize_file(folder2_.file("cut.fpt"),
                                 std::filesystem::file_size(folder2_.file("cut.fpt")) - 700);
    const std::string report = scratch_.file("report.txt");
    std::ofstream(report) << "old";
    const Outcome run =
        diff({folder1_.path(), "cut", folder2_.path(), "cut", "--report", report}, scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.out, HasSubstr("Record 2, Field \"NAME\""));
    EXPECT_THAT(run.out, Not(HasSubstr("Record 3")));
    EXPECT_EQ(quorvel::test::readText(report), "old");
    for (const auto& entry : std::filesystem::directory_iterator(scratch_.path()))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST_F(DiffCliTest, FolderNamesReachTheTablesByteForByte) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows names hold no quotes and end in no blank";
#endif
    // "data " (a trailing blank) beside "data": each side reads its own folder.
    const std::string blank = scratch_.file("data "), plain = scratch_.file("data");
    const std::string odd = scratch_.file("p\";Data Source=other;x=\"");
    for (const auto& folder : {blank, plain, odd}) std::filesystem::create_directory(folder);
    TableBuilder one(0x30), two(0x30);
    one.field("NAME", 'C', 3).record({Cell::text("Ann")});
    two.field("NAME", 'C', 3).record({Cell::text("Bob")});
    one.write(blank + "/t.dbf");
    two.write(plain + "/t.dbf");
    one.write(odd + "/t.dbf");
    Outcome run = diff({blank, "t", plain, "t"}, scratch_);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "Record 1, Field \"NAME\" has changed from \"Ann\" to \"Bob\"\n");

    // A folder whose name reads like more of a connection string reads itself.
    run = diff({odd, "t", blank, "t"}, scratch_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(DiffCliTest, TheReportNeverReplacesAFileOfTheComparedTables) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows that tests do not have";
#endif
    const auto table = quorvel::test::readFile(folder2_.file("people.dbf"));
    const auto memo = quorvel::test::readFile(folder2_.file("people.fpt"));
    std::filesystem::create_symlink(folder2_.file("people.dbf"), scratch_.file("link.txt"));
    for (const std::string& report :
         {folder2_.file("people.dbf"), folder2_.file("people.fpt"), scratch_.file("link.txt")}) {
        const Outcome run = diff(
            {folder1_.path(), "people", folder2_.path(), "people", "--report", report}, scratch_);
        EXPECT_EQ(run.status, 2) << report;
        EXPECT_THAT(run.err, HasSubstr("a file of a compared table")) << report;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    }
    EXPECT_EQ(quorvel::test::readFile(folder2_.file("people.dbf")), table);
    EXPECT_EQ(quorvel::test::readFile(folder2_.file("people.fpt")), memo);
}

TEST_F(DiffCliTest, AReportToAFifoWithoutReaderFailsAtOnceAndDevNullStaysADevice) {
#ifdef _WIN32
    GTEST_SKIP() << "no FIFOs or /dev/null on Windows";
#else
    const std::string fifo = scratch_.file("report.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Outcome run =
        diff({folder1_.path(), "people", folder2_.path(), "people", "--report", fifo}, scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");  // refused before the comparison
    EXPECT_EQ(run.err,
              "quorvel-cli diff: " + fifo + ": is a FIFO that no program reads; nothing written\n");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    run = diff({folder1_.path(), "people", folder2_.path(), "people", "--report", "/dev/null"},
               scratch_);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
#endif
}

TEST_F(DiffCliTest, KeyAndAlignPairRecordsAndNameDuplicatesAndUnknownFields) {
    // Table #2 lacks Bob (record 2) and has Ann twice.
    TableBuilder t1(0x30), t2(0x30);
    t1.field("ID", 'N', 3).field("NAME", 'C', 4);
    t2.field("id", 'I', 4).field("NAME", 'C', 4);
    t1.record({Cell::number("1"), Cell::text("Ann")})
        .record({Cell::number("2"), Cell::text("Bob")});
    t1.record({Cell::number("3"), Cell::text("Cy")});
    t2.record({Cell::integer32(1), Cell::text("Ann")})
        .record({Cell::integer32(3), Cell::text("Cy")});
    t2.record({Cell::integer32(1), Cell::text("Ann2")});
    t1.write(folder1_.file("ids.dbf"));
    t2.write(folder2_.file("ids.dbf"));
    const std::string a = folder1_.path(), b = folder2_.path();

    Outcome run = diff({a, "ids", b, "ids", "--key", "ID"}, scratch_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Record 2 deleted from ids\nRecord 3 added to ids\n");
    EXPECT_EQ(
        run.err,
        "quorvel-cli diff: warning: Key 1 is not unique: 1 record in Table #1, 2 in Table #2\n");

    run = diff({"--align", a, "ids", b, "ids"}, scratch_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Record 2 deleted from ids\nRecord 3 added to ids\n");

    run = diff({a, "ids", b, "ids", "--key=id,nope"}, scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "quorvel-cli diff: key field nope not found in Table #1 (ids)\n");
    run = diff({a, "ids", b, "ids", "--key", "ID", "--align"}, scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("--key and --align exclude each other"));
}

TEST_F(DiffCliTest, ComparisonOptionsAndStructureLines) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("ID", 'N', 3).field("NAME", 'C', 4).field("QTY", 'N', 6, 2).field("NOTE", 'C', 3);
    t2.field("ID", 'N', 3).field("NAME", 'C', 6).field("QTY", 'N', 6, 2).field("NOTE", 'C', 3);
    t2.field("EXTRA", 'I', 4);
    t1.record({Cell::number("1"), Cell::text("Ann"), Cell::number("1.00"), Cell::text("a")});
    t2.record({Cell::number("1"), Cell::text("ANN"), Cell::number("1.05"), Cell::text("b"),
               Cell::integer32(0)});
    t1.write(folder1_.file("o.dbf"));
    t2.write(folder2_.file("o.dbf"));
    const std::string a = folder1_.path(), b = folder2_.path();
    const struct {
        std::vector<std::string> options;
        int status;
        std::string out;
    } cases[] = {
        {{},
         1,
         "Record 1, Field \"NAME\" has changed from \"Ann \" to \"ANN   \"\n"
         "Record 1, Field \"QTY\" has changed from \"1\" to \"1.05\"\n"
         "Record 1, Field \"NOTE\" has changed from \"a  \" to \"b  \"\n"},
        {{"--ignore-case", "--ignore=note"},
         1,
         "Record 1, Field \"NAME\" has changed from \"Ann \" to \"ANN   \"\n"
         "Record 1, Field \"QTY\" has changed from \"1\" to \"1.05\"\n"},
        {{"--ignore-case", "--ignore-trailing-blanks", "--tolerance", "0.04", "--ignore", "NOTE"},
         1,
         "Record 1, Field \"QTY\" has changed from \"1\" to \"1.05\"\n"},
        {{"--ignore-case", "--ignore-trailing-blanks", "--tolerance", "0.05", "--ignore", "NOTE"},
         0,
         ""},
        {{"--schema", "--ignore", "note,qty", "--key", "ID", "--ignore-case",
          "--ignore-trailing-blanks"},
         1,
         "Field \"EXTRA\" is only in Table #2 (o)\nField \"NAME\" changed from C(4) to C(6)\n"},
        {{"--schema", "--format", "json", "--ignore", "NAME,QTY,NOTE"},
         1,
         "{\"kind\":\"field_only_in_table2\",\"record1\":null,\"record2\":null,"
         "\"field\":\"EXTRA\",\"old\":null,\"new\":\"I\"}\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {a, "o", b, "o"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Outcome run = diff(args, scratch_);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out, c.out);
    }

    Outcome run = diff({a, "o", b, "o", "--ignore", "ID,nope"}, scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "quorvel-cli diff: ignored field nope not found in Table #1 (o)\n");
    for (const char* tolerance : {"-1", "1,5", "x"}) {
        run = diff({a, "o", b, "o", "--tolerance", tolerance}, scratch_);
        EXPECT_EQ(run.status, 2);
        EXPECT_THAT(run.err, HasSubstr("--tolerance"));
    }
    // The report gives the structure lines first too.
    run =
        diff({a, "o", b, "o", "--schema", "--ignore-case", "--report", scratch_.file("report.txt")},
             scratch_);
    std::ifstream in(scratch_.file("report.txt"), std::ios::binary);
    const std::string report((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(
        report.substr(0, report.find("Record")),
        "Field \"EXTRA\" is only in Table #2 (o)\r\nField \"NAME\" changed from C(4) to C(6)\r\n");
}

TEST_F(DiffCliTest, ContainerSourceAgainstAFolder) {
    const std::string dbc = quorvel::test::writeSampleContainer(scratch_.path());
    std::filesystem::copy_file(scratch_.file("setup.dbf"), folder2_.file("setup.dbf"));
    const Outcome run = diff({dbc, "setup", folder2_.path(), "setup"}, scratch_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

// The machine-readable formats, read back by Python's json and csv modules:
// the six keys in order, null apart from "", every kind, values in the C
// forms whatever the locale, and CSV that says the same as JSON.
TEST_F(DiffCliTest, JsonAndCsvReadBackByJsonAndCsvReaders) {
    if (!quorvel::test::pythonCanImport("json")) GTEST_SKIP() << "no python3";
    TableBuilder t1(0x30), t2(0x30);
    t1.codePageMark(0x03);  // Windows-1252
    t2.codePageMark(0x03);
    t1.field("NAME", 'C', 4, 0, 0x02).field("NOTE", 'M', 4).field("QTY", 'N', 6, 2);
    t1.field("GONE", 'C', 1);
    t2.field("NAME", 'C', 4, 0, 0x02).field("NOTE", 'M', 4).field("QTY", 'N', 6, 2);
    t1.record({Cell::text("Ann"), Cell::memo("say \"hi\" \\ \r\nbye"), Cell::number("1.50"),
               Cell::text("x")});
    t2.record({Cell::text("Ann"),
               Cell::memo("Gr\xfc\xdf"
                          "e"),
               Cell::number("-2.25")});
    t1.record({Cell::null(), Cell::none(), Cell::number("0"), Cell::text("y")});
    t2.record({Cell::text("Bo"), Cell::memo("x"), Cell::number("0")});
    t1.record({Cell::text("Cy"), Cell::none(), Cell::number("0"), Cell::text("z")});
    t1.write(folder1_.file("f.dbf"));
    t2.write(folder2_.file("f.dbf"));

    std::vector<std::string> files;
    for (const auto& [format, first, second] :
         {std::tuple{"json", folder1_.path(), folder2_.path()},
          std::tuple{"csv", folder1_.path(), folder2_.path()},
          std::tuple{"json", folder2_.path(), folder1_.path()}}) {
        // A decimal comma in the environment changes nothing here.
        const Outcome run =
            quorvel::test::runCli({"diff", "--format", format, first, "f", second, "f"}, scratch_,
                                  {"LC_ALL=de_DE.UTF-8"});
        EXPECT_EQ(run.status, 1) << run.err;
        files.push_back(scratch_.file(std::to_string(files.size())));
        std::ofstream(files.back(), std::ios::binary) << run.out;
    }
    bool ok = false;
    const std::string out = quorvel::test::runPython(R"(
import csv, json, sys
keys = ['kind', 'record1', 'record2', 'field', 'old', 'new']
def objects(path):
    with open(path, encoding='utf-8') as f:
        for line in f:
            o = json.loads(line)
            assert list(o.keys()) == keys, o.keys()
            yield o
forward = list(objects(sys.argv[1]))
with open(sys.argv[2], encoding='utf-8', newline='') as f:
    rows = list(csv.reader(f))
assert rows[0] == keys, rows[0]
as_text = [['' if o[k] is None else str(o[k]) for k in keys] for o in forward]
assert rows[1:] == as_text, (rows[1:], as_text)
for o in forward + list(objects(sys.argv[3])):
    print('|'.join(repr(o[k]) for k in keys))
)",
                                                     &ok, files);
    ASSERT_TRUE(ok) << out;
    EXPECT_EQ(out,
              "'changed'|1|1|'NOTE'|'say \"hi\" \\\\ \\r\\nbye'|'Grüße'\n"
              "'changed'|1|1|'QTY'|'1.5'|'-2.25'\n"
              "'missing_field'|1|1|'GONE'|None|None\n"
              "'changed'|2|2|'NAME'|None|'Bo  '\n"
              "'changed'|2|2|'NOTE'|''|'x'\n"
              "'missing_field'|2|2|'GONE'|None|None\n"
              "'deleted'|3|None|None|None|None\n"
              "'changed'|1|1|'NOTE'|'Grüße'|'say \"hi\" \\\\ \\r\\nbye'\n"
              "'changed'|1|1|'QTY'|'-2.25'|'1.5'\n"
              "'changed'|2|2|'NAME'|'Bo  '|None\n"
              "'changed'|2|2|'NOTE'|'x'|''\n"
              "'added'|None|3|None|None|None\n");
}

}  // namespace
