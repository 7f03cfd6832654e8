// quorvel-cli tables / show, run as a separate program.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foxpro/platform/locale_formats.h"
#include "support/child_process.h"
#include "support/cli_runner.h"
#include "support/table_builder.h"

namespace quorvel::cli {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::HasSubstr;

class VerbTest : public ::testing::Test {
  protected:
    test::CliRun Cli(const std::vector<std::string>& args) { return test::runCli(args, dir_); }

    std::string Tables() {
        std::filesystem::create_directory(dir_.file("src"));
        return dir_.file("src");
    }

    test::TempFolder dir_;
};

TEST_F(VerbTest, TablesListsAFolder) {
    const std::string src = Tables();
    TableBuilder t(0x30);
    t.field("A", 'C', 1).record({Cell::text("x")});
    for (const char* name : {"b.dbf", "A.DBF", "~tmp.dbf"}) t.write(src + "/" + name);
    const test::CliRun r = Cli({"tables", src});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "A\nb\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(VerbTest, TablesListsAContainerInItsOrder) {
    const std::string dbc = test::writeSampleContainer(Tables());
    const test::CliRun r = Cli({"tables", dbc});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "customers\nsetup\n");
}

// A container's table names are its writer's: on a terminal their control
// characters are escaped as messages escape them, a pipe gets the bytes.
TEST_F(VerbTest, TablesEscapesControlCharactersOnlyOnATerminal) {
    const std::string src = Tables();
    test::ContainerBuilder dbc;
    dbc.table("plain").table("red\x1b[31mname").table("two\nlines");
    dbc.write(src + "/shop.dbc");
    const test::CliRun piped = Cli({"tables", src + "/shop.dbc"});
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, "plain\nred\x1b[31mname\ntwo\nlines\n");

    const auto shown = test::runCliOnTerminal({"tables", src + "/shop.dbc"}, dir_);
    if (!shown) GTEST_SKIP() << "no pseudo-terminal on this system";
    EXPECT_EQ(shown->status, 0) << shown->err;
    EXPECT_EQ(shown->out, "plain\r\nred\\x1b[31mname\r\ntwo\\nlines\r\n");
}

TEST_F(VerbTest, ShowPrintsCsvOfLiveRecords) {
    const std::string src = Tables();
    TableBuilder t(0x30);
    t.field("NAME", 'C', 8).field("QTY", 'N', 6, 2).field("NOTE", 'M', 4).field("OK", 'L', 1);
    t.record({Cell::text("a,b"), Cell::number("-1.50"), Cell::memo("say \"hi\"\r\nbye"),
              Cell::logical('T')});
    t.record({Cell::text("gone"), Cell::number("1"), Cell::none(), Cell::logical('F')}, true);
    t.record({Cell::text("plain"), Cell::blank(), Cell::none(), Cell::logical('?')});
    t.write(src + "/items.dbf");
    const test::CliRun r = Cli({"show", src, "ITEMS"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "NAME,QTY,NOTE,OK\r\n"
              "\"a,b     \",-1.5,\"say \"\"hi\"\"\r\nbye\",True\r\n"
              "plain   ,0,,\r\n");
}

// Text that a spreadsheet would run as a formula is written exactly by
// default, and with --csv-safe gets a "'" (field names too); numbers keep
// their signs.  diff --format csv marks its text values alike.
TEST_F(VerbTest, CsvSafeMarksFormulaTextOnly) {
    const std::string src = Tables();
    TableBuilder t1(0x30), t2(0x30);
    for (auto* t : {&t1, &t2}) t->field("WORD", 'C', 4).field("QTY", 'N', 4, 1);
    for (const char* word : {"=1+2", "+x", "-y", "@z", "\tt", "\rr", "a=b"})
        t1.record({Cell::text(word), Cell::number("-1.5")});
    t1.write(src + "/t1.dbf");
    t2.record({Cell::text("-new"), Cell::number("-2.5")});
    t2.write(src + "/t2.dbf");

    const test::CliRun exact = Cli({"show", src, "t1"});
    EXPECT_EQ(exact.out,
              "WORD,QTY\r\n=1+2,-1.5\r\n+x  ,-1.5\r\n-y  ,-1.5\r\n@z  ,-1.5\r\n\tt  ,-1.5\r\n"
              "\"\rr  \",-1.5\r\na=b ,-1.5\r\n");
    const std::string safe =
        "WORD,QTY\r\n'=1+2,-1.5\r\n'+x  ,-1.5\r\n'-y  ,-1.5\r\n'@z  ,-1.5\r\n'\tt  ,-1.5\r\n"
        "\"'\rr  \",-1.5\r\na=b ,-1.5\r\n";
    EXPECT_EQ(Cli({"show", "--csv-safe", src, "t1"}).out, safe);
    EXPECT_EQ(Cli({"sql", src, "SELECT * FROM t1", "--csv-safe"}).out, safe);

    const test::CliRun diff = Cli({"diff", "--format", "csv", "--csv-safe", src, "t1", src, "t2"});
    EXPECT_EQ(diff.status, 1) << diff.err;
    EXPECT_THAT(diff.out, HasSubstr("changed,1,1,WORD,'=1+2,'-new\r\n"
                                    "changed,1,1,QTY,-1.5,-2.5\r\n"));
    const test::CliRun text = Cli({"diff", "--csv-safe", src, "t1", src, "t2"});
    EXPECT_EQ(text.status, 2);
    EXPECT_THAT(text.err, HasSubstr("--csv-safe goes with --format csv only"));
}

// Values come in the C forms whatever the locale; with --localized the
// environment's locale decides the decimal separator and the date pattern
// (short date with a four-digit year, 24-hour time with seconds).
TEST_F(VerbTest, ShowWritesCFormsOrTheEnvironmentsLocale) {
    if (foxpro::platform::decimalSeparatorOf("de_DE.UTF-8").empty())
        GTEST_SKIP() << "locale de_DE.UTF-8 not installed";
    const std::string src = Tables();
    TableBuilder t(0x30);
    t.field("QTY", 'N', 6, 2).field("DAY", 'D', 8).field("AT", 'T', 8).field("PRICE", 'Y', 8);
    t.record({Cell::number("-1.50"), Cell::date(2020, 12, 31),
              Cell::dateTime(2020, 12, 31, 13, 2, 3), Cell::currency(125000)});
    t.write(src + "/items.dbf");
    test::CliRun r = test::runCli({"show", src, "items"}, dir_, {"LC_ALL=de_DE.UTF-8"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "QTY,DAY,AT,PRICE\r\n-1.5,2020-12-31,2020-12-31 13:02:03,12.5\r\n");
    r = test::runCli({"show", "--localized", src, "items"}, dir_, {"LC_ALL=de_DE.UTF-8"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "QTY,DAY,AT,PRICE\r\n\"-1,5\",31.12.2020,31.12.2020 13:02:03,\"12,5\"\r\n");
}

TEST_F(VerbTest, FailuresExitTwoWithOneLineNamingTheProblem) {
    const std::string src = Tables();
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    TableBuilder t(0x30);
    t.field("NOTE", 'M', 4).record({Cell::memo("x")});
    const std::string memo = t.write(src + "/calls.dbf");
    std::filesystem::remove(memo);
    // FIFOs where files are expected are refused, not waited on.
    const std::string fifoMemo = t.write(src + "/notes.dbf");
    std::filesystem::remove(fifoMemo);
    bool fifos = true;
    for (const std::string& fifo : {fifoMemo, src + "/orders.dbf", dir_.file("shop.dbc")})
        fifos = test::makeFifo(fifo) && fifos;
    for (const Case& c :
         {Case{{"tables", dir_.file("nowhere")}, "nowhere: no such file or folder"},
          Case{{"show", src, "nothere"}, "no table named nothere in " + src},
          Case{{"show", src, "calls"}, "calls.dbf: memo file not found"},
          // Control characters in names are shown escaped.
          Case{{"show", src, "x\ny\x1b[31m"}, "no table named x\\ny\\x1b[31m in " + src},
          Case{{"show", src, "orders"}, "show: orders.dbf is not a regular file"},
          Case{{"show", src, "notes"}, "show: notes.fpt is not a regular file"},
          Case{{"sql", src, "SELECT * FROM notes"}, "sql: notes.fpt is not a regular file"},
          Case{{"diff", src, "notes", src, "notes"}, "diff: notes.fpt is not a regular file"},
          Case{{"tables", dir_.file("shop.dbc")}, "shop.dbc is not a regular file"}}) {
        // Without FIFOs (Windows) those cases have nothing to refuse.
        if (!fifos && c.message.find("not a regular file") != std::string::npos) continue;
        const test::CliRun r = Cli(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_THAT(r.err, HasSubstr(c.message));
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

// The table is cut short 4 MB into the walk, while the tool is held there.
TEST_F(VerbTest, TableThatShrinksWhileShownOrComparedExitsTwo) {
    const std::string src = Tables();
    TableBuilder t(0x30);
    t.field("NAME", 'C', 100);
    for (int i = 0; i < 90000; ++i) t.record({Cell::text('n' + std::to_string(i))});
    struct Case {
        std::vector<std::string> args;
        std::string file;
    };
    for (const Case& c : {Case{{"show", src, "orders"}, "orders.dbf"},
                          Case{{"diff", src, "orders", src, "orders2"}, "orders2.dbf"}}) {
        t.write(src + "/orders.dbf");
        t.write(src + "/orders2.dbf");
        const auto r = test::runCliHeldAtRelease(
            c.args, dir_, c.file, [&] { test::truncateTo(src + "/" + c.file, 5000); });
        if (!r) GTEST_SKIP() << "this system does not let a test trace its child";
        ASSERT_TRUE(r->held) << c.file;
        EXPECT_EQ(r->status, 2);
        EXPECT_EQ(r->err, "quorvel-cli " + c.args[0] + ": " + c.file +
                              " changed while it was being read\n");
    }
}

// A memo too large for the memory left: the failure names the table, the
// record and the field, in show and in diff.
TEST_F(VerbTest, AMemoTooLargeForTheMemoryLeftIsNamed) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory does not fit an address-space limit";
#endif
    constexpr unsigned long long kMemo = 32ull << 20;
    const std::string src = Tables();
    TableBuilder t(0x30);
    t.field("ID", 'N', 2).field("NOTE", 'M', 4);
    t.record({Cell::number("1"), Cell::memo("small")});
    t.record({Cell::number("2"), Cell::memo(std::string(kMemo, 'x'))});
    t.write(src + "/big.dbf");
    TableBuilder small(0x30);
    small.field("ID", 'N', 2).field("NOTE", 'M', 4);
    small.record({Cell::number("1"), Cell::memo("small")});
    small.record({Cell::number("2"), Cell::memo("other")});
    small.write(src + "/small.dbf");
    // Room for the tool and the memo file's map, not for a copy of the memo.
    const unsigned long long limit = kMemo + kMemo / 2 + (16ull << 20);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"show", src, "big"}, {"diff", "--format", "csv", src, "big", src, "small"}}) {
        const auto r = test::runCliWithMemoryLimit(args, dir_, limit);
        if (!r) GTEST_SKIP() << "no address-space limit on this system";
        EXPECT_EQ(r->status, 2) << args[0];
        EXPECT_THAT(r->err, HasSubstr("big.dbf: not enough memory")) << args[0];
        EXPECT_THAT(r->err, HasSubstr("record 2, field NOTE")) << args[0];
    }
}

TEST_F(VerbTest, HelpOnEveryVerb) {
    for (const char* verb : {"tables", "show"}) {
        const test::CliRun r = Cli({verb, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_THAT(r.out, HasSubstr(std::string("Usage: quorvel-cli ") + verb));
    }
}

TEST_F(VerbTest, UnconvertibleCodePageWarnsOnce) {
    const std::string src = Tables();
    TableBuilder t(0x30);
    t.codePageMark(0x68)
        .field("NAME", 'C', 2)
        .record({Cell::raw("\xe9x")})
        .record({Cell::raw("ab")});
    t.write(src + "/kam.dbf");
    const test::CliRun r = Cli({"show", src, "kam"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "NAME\r\néx\r\nab\r\n");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr("warning: kam.dbf: code page mark 0x68 (code page 895)"));
}

}  // namespace
}  // namespace quorvel::cli
