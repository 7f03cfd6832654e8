// --encoding on every verb, and the warnings about a table's code page.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "foxpro/read/table_reader.h"
#include "support/cli_runner.h"
#include "support/table_builder.h"

namespace quorvel::cli {
namespace {

using test::Cell;
using test::CliRun;
using test::TableBuilder;
using ::testing::HasSubstr;

// "Мир" in 866.
const std::string kMir866 = "\x8c\xa8\xe0";

class EncodingCliTest : public ::testing::Test {
  protected:
    CliRun Cli(const std::vector<std::string>& args) { return test::runCli(args, dir_); }

    void WriteText(const std::string& name, std::uint8_t mark, const std::string& bytes,
                   std::uint8_t type = 0x30) {
        TableBuilder t(type);
        t.codePageMark(mark).field("NAME", 'C', static_cast<int>(bytes.size()));
        t.record({Cell::raw(bytes)});
        t.write(dir_.file(name + ".dbf"));
    }

    static long Lines(const std::string& s) { return std::count(s.begin(), s.end(), '\n'); }

    test::TempFolder dir_;
};

// 866 text in a table marked 1252: every verb reads it as the user says.
TEST_F(EncodingCliTest, EveryVerbReadsItsTablesInTheChosenCodePage) {
    WriteText("wrong", 0x03, kMir866);
    WriteText("right", 0x65, kMir866);
    const std::string src = dir_.path();
    EXPECT_EQ(Cli({"show", src, "wrong", "--encoding", "866"}).out, "NAME\r\nМир\r\n");
    EXPECT_EQ(Cli({"sql", "--encoding=CP866", src, "SELECT * FROM wrong"}).out, "NAME\r\nМир\r\n");
    EXPECT_EQ(Cli({"tables", src, "--encoding", "ibm866"}).out, "right\nwrong\n");
    EXPECT_EQ(Cli({"diff", src, "wrong", src, "right"}).status, 1);
    EXPECT_EQ(Cli({"diff", src, "wrong", src, "right", "--encoding", "866"}).status, 0);

    const CliRun merge = Cli({"merge", src, "wrong", src, "right", "new", "--encoding", "866"});
    EXPECT_EQ(merge.status, 0) << merge.err;
    EXPECT_EQ(foxpro::TableReader(dir_.file("new.dbf")).codePageMark(), 0x65);  // says 866 now
}

TEST_F(EncodingCliTest, ANameThatIsNoCodePageIsRefused) {
    const std::vector<std::pair<std::string, int>> verbs = {
        {"show", 2}, {"tables", 1}, {"sql", 2}, {"diff", 4}, {"merge", 5}};
    for (const auto& [verb, operands] : verbs) {
        std::vector<std::string> args = {verb, "--encoding", "klingon", dir_.path()};
        args.resize(static_cast<std::size_t>(operands) + 3, "x");
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 2) << verb;
        EXPECT_THAT(r.err, HasSubstr("--encoding: 'klingon' names no code page")) << verb;
        EXPECT_THAT(Cli({verb, "--help"}).out, HasSubstr("--encoding NAME")) << verb;
    }
    EXPECT_THAT(Cli({"show", dir_.path(), "x", "--encoding"}).err,
                HasSubstr("option '--encoding' needs a value (NAME)"));
}

// A table without a mark whose text is not ASCII may be read in the wrong
// code page: the tool says so once, whatever the number of such tables.
TEST_F(EncodingCliTest, UnmarkedNonAsciiTextWarnsOnce) {
    WriteText("a", 0, "pened\x8as", 0x03);
    WriteText("b", 0, "caf\x82 ", 0x03);
    WriteText("plain", 0, "plain", 0x03);
    WriteText("utf", 0, "Жук", 0x03);
    const std::string src = dir_.path();
    const CliRun diff = Cli({"diff", src, "a", src, "b"});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.err,
              "quorvel-cli diff: warning: a.dbf: no code page mark: read as 437; choose one with "
              "--encoding\n");
    const CliRun show = Cli({"show", src, "a"});
    EXPECT_EQ(show.out, "NAME\r\npenedès\r\n");
    EXPECT_EQ(Lines(show.err), 1);
    for (const char* quiet : {"plain", "utf"}) EXPECT_EQ(Cli({"show", src, quiet}).err, "");
    EXPECT_EQ(Cli({"show", src, "a", "--encoding", "437"}).err, "");
}

TEST_F(EncodingCliTest, BinaryMemoReadAsEmptyIsWarnedOnce) {
    for (const char* name : {"pics", "pics2"}) {
        TableBuilder t(0x30);
        t.field("PIC", 'G', 4).field("N", 'I', 4);
        t.record({Cell::memo("img", 0), Cell::integer32(1)});
        t.record({Cell::memo("img", 0), Cell::integer32(name[4] ? 3 : 2)});
        t.write(dir_.file(std::string(name) + ".dbf"));
        const auto record = static_cast<std::size_t>(t.headerLength());
        const auto rl = static_cast<std::size_t>(t.recordLength());
        for (std::size_t r : {record, record + rl})  // a block inside the memo file's header
            test::setBytes(dir_.file(std::string(name) + ".dbf"), r + 1, {1, 0, 0, 0});
    }
    const CliRun show = Cli({"show", dir_.path(), "pics"});
    EXPECT_EQ(show.status, 0);
    EXPECT_EQ(show.out, "PIC,N\r\n,1\r\n,2\r\n");
    EXPECT_EQ(show.err,
              "quorvel-cli show: warning: pics.dbf: record 1, field PIC refers to no binary memo "
              "(pics.fpt: memo block 1 lies inside the memo file header); such values read as "
              "empty\n");
    const CliRun diff = Cli({"diff", dir_.path(), "pics", dir_.path(), "pics2"});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out, "Record 2, Field \"N\" has changed from \"2\" to \"3\"\n");
    EXPECT_EQ(Lines(diff.err), 2) << diff.err;  // one for each table
}

// C3 28 is no UTF-8 and reads as "Ã(", which C3 83 28 is: compared by their
// bytes, with or without the text options, and said once.
TEST_F(EncodingCliTest, BytesThatDoNotDecodeAreComparedAsBytesAndNamed) {
    WriteText("a", 0x03, "\xc3(");
    WriteText("b", 0x03, "\xc3\x83(");
    const std::string src = dir_.path();
    for (const char* option : {"--tolerance=0", "--ignore-trailing-blanks", "--ignore-case"}) {
        const CliRun diff = Cli({"diff", src, "a", src, "b", "--encoding", "65001", option});
        EXPECT_EQ(diff.status, 1) << option;
        EXPECT_EQ(diff.out,
                  "Record 1, Field \"NAME\" has changed from \"\u00c3(\" to \"\u00c3(\"\n");
        EXPECT_EQ(diff.err,
                  "quorvel-cli diff: warning: a.dbf: record 1, field NAME holds bytes that code "
                  "page UTF-8 cannot decode; such values are compared by their bytes\n");
    }
}

}  // namespace
}  // namespace quorvel::cli
