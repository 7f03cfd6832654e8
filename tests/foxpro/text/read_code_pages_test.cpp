// Which code page a table's text is read in: its mark (the whole
// language-driver table), a .cpg file beside an unmarked table, text that is
// all UTF-8, the format's default, or the user's choice; and what a copy or
// a write keeps of it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/connection.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/code_page_name.h"
#include "foxpro/write/write_helpers_test.h"
#include "support/python_runner.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using writetest::listFolder;
using writetest::readRows;

// An unmarked (or marked) table of one C field holding bytes.
TableBuilder oneText(std::uint8_t mark, const std::string& bytes, std::uint8_t type = 0x30) {
    TableBuilder t(type);
    t.codePageMark(mark).field("NAME", 'C', static_cast<int>(bytes.size()));
    t.record({Cell::raw(bytes)});
    return t;
}

std::string firstValue(const TableReader& r) {
    return r.value(r.storedRecord(0), 0).str();
}

struct MarkCase {
    std::uint8_t mark;
    std::string bytes;
    std::string text;
};

TEST(CodePageMarks, EveryLanguageDriverReadsItsText) {
    for (const MarkCase& c : std::vector<MarkCase>{
             {0x4D, "\xd6\xd0\xce\xc4", "中文"},  // GBK
             {0x7A, "\xd6\xd0\xce\xc4", "中文"},  // GBK (Visual FoxPro)
             {0x4E, "\xc7\xd1\xb1\xdb", "한글"},  // 949
             {0x4F, "\xa4\xa4\xa4\xe5", "中文"},  // Big5
             {0x7B, "\x93\xfa\x96\x7b", "日本"},  // Shift-JIS
             {0x13, "\x82\xa0", "あ"},            // Shift-JIS (dBase)
             {0x50, "\xa1", "ก"},                 // 874
             {0x7D, "\xf9\xec\xe5\xed", "שלום"},  // 1255
             {0x7E, "\xd3\xe1\xc7\xe3", "سلام"},  // 1256
             {0x26, "\x8c\xa8\xe0", "Мир"},       // 866 (dBase)
             {0x1C, "\x87", "ç"},                 // 863
             {0x24, "\x8c", "Ô"},                 // 860
             {0x57, "\xe9", "é"},                 // ANSI
             {0x96, "\x80", "А"},                 // Russian Macintosh
         }) {
        SCOPED_TRACE(static_cast<int>(c.mark));
        const auto bytes = oneText(c.mark, c.bytes).tableBytes();
        const auto r = TableReader::fromBytes("t.dbf", bytes);
        EXPECT_EQ(r->codePageOrigin(), CodePageOrigin::Mark);
        EXPECT_EQ(firstValue(*r), c.text);
    }
}

// A field boundary can cut a double-byte character, and damaged text holds
// invalid sequences: decoding goes on, each such byte read as the character
// of its number and written back as that byte (when the code page has no
// character of its own for that number).
TEST(CodePageMarks, CutAndInvalidMultiByteSequencesKeepTheirBytes) {
    for (int cp : {932, 936, 949, 950}) {
        SCOPED_TRACE(cp);
        for (const std::string bytes : {"ab\x81", "\x81\x20x", "\x80", "a\x82\x0a"}) {
            const std::string text = decodeText(cp, bytes);
            EXPECT_EQ(encodeText(cp, text), bytes);
        }
    }
    EXPECT_EQ(decodeText(936, "\xd6\xd0\xce"), "中\u00ce");
    EXPECT_EQ(decodeText(kCodePageUtf8, "\xd0\x96\xd0"), "Ж\u00d0");
}

struct CleanCase {
    int codePage;
    std::string bytes;
    bool clean;
    std::string marked;  // Undecodable::Marked
};

// Whether every byte was part of a character, and the marked form that
// keeps undecodable bytes apart from the characters of their numbers.
TEST(CodePageMarks, DecodingTellsBytesThatAreNoCharacterApart) {
    for (const CleanCase& c : std::vector<CleanCase>{
             {kCodePageUtf8, "\xc3\x83(", true, "\u00c3("},
             {kCodePageUtf8, "\xc3(", false, "\xff\x83\x83("},
             {kCodePageUtf8, "\xd0\x96\xd0", false, "\u0416\xff\x83\x90"},  // cut off
             {1252, "\xe9", true, "\u00e9"},
             {1252, "a\x81", false, "a\xff\x82\x81"},  // undefined in 1252
             {932, "\x82\xa0", true, "\u3042"},
             {932, "x\x82", false, "x\xff\x82\x82"},
             {437, "\x81", true, "\u00fc"},
             {895, "\x81", true, "\u0081"},  // no converter: read byte for byte
         }) {
        SCOPED_TRACE(c.codePage);
        SCOPED_TRACE(c.bytes);
        std::string read;
        EXPECT_EQ(decodeText(c.codePage, c.bytes, read), c.clean);
        EXPECT_EQ(read, decodeText(c.codePage, c.bytes));
        std::string marked;
        EXPECT_EQ(decodeText(c.codePage, c.bytes, marked, Undecodable::Marked), c.clean);
        EXPECT_EQ(marked, c.marked);
    }
}

// The user-defined ranges hold no character on any system's tables alike
// (some give private-use ones): their bytes are kept, and a table reads the
// same everywhere.
TEST(CodePageMarks, UserDefinedDoubleByteRangesKeepTheirBytes) {
    const std::pair<int, std::string> cases[] = {
        {936, "\xa1\x40"}, {936, "\xaa\xa1"}, {949, "\xc9\xa1"}, {950, "\x81\x40"}};
    for (const auto& [cp, bytes] : cases) {
        SCOPED_TRACE(cp);
        const std::string text = decodeText(cp, bytes);
        std::string kept;
        decodeLatin1(bytes.substr(0, 1), kept);
        EXPECT_EQ(text, kept + decodeText(cp, bytes.substr(1)));
    }
}

TEST(CodePageNames, NamesOfFilesAndUsersGiveTheirCodePage) {
    for (auto [name, cp] : std::vector<std::pair<std::string, int>>{{"1251", 1251},
                                                                    {"CP866", 866},
                                                                    {"cp866", 866},
                                                                    {"UTF-8", 65001},
                                                                    {"utf8", 65001},
                                                                    {"windows-1252", 1252},
                                                                    {"ANSI 1251", 1251},
                                                                    {" ansi_1251 \r\n", 1251},
                                                                    {"IBM437", 437},
                                                                    {"KOI8-R", 20866},
                                                                    {"ISO-8859-5", 28595},
                                                                    {"88591", 28591},
                                                                    {"GBK", 936},
                                                                    {"Shift_JIS", 932},
                                                                    {"big5", 950},
                                                                    {"", 0},
                                                                    {"OEM", 0},
                                                                    {"klingon", 0}}) {
        EXPECT_EQ(codePageNamed(name), cp) << name;
    }
}

class CodePageFileTest : public ::testing::Test {
  protected:
    std::string path() const { return dir_.file("t.dbf"); }
    test::TempFolder dir_;
};

TEST_F(CodePageFileTest, CpgFileBesideAnUnmarkedTableSetsItsCodePage) {
    oneText(0, "\xcc\xe8\xf0").write(path());  // "Мир" in 1251
    for (const std::string cpg : {"1251", "ANSI 1251\r\n", "windows-1251",
                                  "\xEF\xBB\xBF"
                                  "CP1251"}) {
        test::writeFile(dir_.file("T.CPG"), {cpg.begin(), cpg.end()});
        TableReader r(path());
        EXPECT_EQ(r.codePageOrigin(), CodePageOrigin::CpgFile) << cpg;
        EXPECT_EQ(firstValue(r), "Мир") << cpg;
    }
    // A mark wins over the file; a file naming nothing is ignored, and said.
    oneText(0x65, "\x8c\xa8\xe0").write(path());
    EXPECT_EQ(firstValue(TableReader(path())), "Мир");
    oneText(0, "abc").write(path());
    test::writeFile(dir_.file("T.CPG"), {'O', 'E', 'M'});
    TableReader r(path());
    EXPECT_EQ(r.codePageOrigin(), CodePageOrigin::Default);
    EXPECT_THAT(r.warnings(), ElementsAre("T.CPG: 'OEM' names no code page that can be read; "
                                          "ignored"));
}

// Unmarked and without a .cpg: text that is all UTF-8 is UTF-8 (a character
// cut by the end of a full field included); anything else keeps the
// default and says that it held non-ASCII text.
TEST_F(CodePageFileTest, UnmarkedTablesOfUtf8TextReadAsUtf8) {
    oneText(0, "Жук\xd0").write(path());  // "Жук" and a cut "Ж"
    {
        // Closed before the file is written again (Windows keeps a mapped
        // file from being rewritten).
        TableReader utf8(path());
        EXPECT_EQ(utf8.codePageOrigin(), CodePageOrigin::Utf8Text);
        EXPECT_EQ(firstValue(utf8), "Жук\u00d0");
    }

    oneText(0, "pened\x8as", 0x03).write(path());
    {
        TableReader dos(path());
        EXPECT_EQ(dos.codePageOrigin(), CodePageOrigin::Default);
        EXPECT_EQ(dos.layout().codePage, 437);
        EXPECT_TRUE(dos.unmarkedNonAsciiText());
        EXPECT_EQ(firstValue(dos), "penedès");
    }

    oneText(0, "plain").write(path());
    EXPECT_FALSE(TableReader(path()).unmarkedNonAsciiText());
}

// An independent reader decodes the same text the same way.
TEST_F(CodePageFileTest, DecodingAgreesWithDbfread) {
    if (!test::pythonCanImport("dbfread")) GTEST_SKIP() << "python3-dbfread is not installed";
    for (auto [mark, bytes, encoding] : std::vector<std::tuple<int, std::string, std::string>>{
             {0x26, "\x8c\xa8\xe0 \xa4\xae\xac", "cp866"},
             {0x4D, "\xd6\xd0\xce\xc4\xb2\xe2", "gbk"},
             {0x7B, "\x93\xfa\x96\x7b\x8c\xea", "cp932"}}) {
        oneText(static_cast<std::uint8_t>(mark), bytes).write(path());
        bool ok = false;
        const std::string out = test::runPython(
            "import sys, dbfread\n"
            "for r in dbfread.DBF(sys.argv[1], encoding=sys.argv[2]):\n"
            "    sys.stdout.buffer.write(r['NAME'].encode('utf-8'))\n",
            &ok, {path(), encoding});
        EXPECT_TRUE(ok) << out;
        EXPECT_EQ(firstValue(TableReader(path())), out) << encoding;
    }
}

TEST_F(CodePageFileTest, ChosenCodePageOverridesEverything) {
    oneText(0x03, "\x8c\xa8\xe0").write(path());  // 866 text in a table marked 1252
    test::writeFile(dir_.file("t.cpg"), {'1', '2', '5', '1'});
    EXPECT_EQ(firstValue(TableReader(path(), {}, 866)), "Мир");
    Connection connection;
    connection.open("Provider=vfpoledb.1;Data Source=" + dir_.path() +
                    ";Collating Sequence=general;Code Page=cp866;");
    EXPECT_EQ(firstValue(*connection.source().openTable("t")), "Мир");
    try {
        Connection bad;
        bad.open("Provider=vfpoledb.1;Data Source=" + dir_.path() + ";Code Page=klingon;");
        FAIL() << "no error";
    } catch (const FoxProError& e) {
        EXPECT_EQ(e.description(), "connection string: 'klingon' names no code page");
    }
}

// A new table keeps the code page its source was read in: a mark names it
// where one exists, a .cpg file where none does.
TEST(CodePageCopies, CopiesNameTheCodePageTheSourceWasReadIn) {
    writetest::FolderSource src;
    oneText(0, "\xcc\xe8\xf0").write(src.file("cyr.dbf"));
    test::writeFile(src.file("cyr.cpg"), {'1', '2', '5', '1'});
    oneText(0, "Жук").write(src.file("utf.dbf"));
    src.execute("SELECT * FROM cyr INTO TABLE cyr2");
    src.execute("SELECT * FROM utf INTO TABLE utf2");
    EXPECT_EQ(TableReader(src.file("cyr2.dbf")).codePageMark(), 0xC9);
    EXPECT_EQ(test::readText(src.file("utf2.cpg")), "UTF-8\r\n");
    EXPECT_EQ(readRows(src.file("utf2.dbf")), readRows(src.file("utf.dbf")));
    EXPECT_EQ(readRows(src.file("cyr2.dbf")), readRows(src.file("cyr.dbf")));

    // Replaced by a copy whose mark says it all, the old .cpg goes.
    src.execute("SELECT * FROM cyr INTO TABLE utf2");
    EXPECT_THAT(listFolder(src.dir().path()),
                ElementsAre("cyr.cpg", "cyr.dbf", "cyr2.dbf", "utf.dbf", "utf2.dbf"));
}

// Text is written in the code page it is read in; what that code page
// cannot hold is refused, naming the field and the record.
TEST(CodePageWrites, WritesUseTheTablesCodePageAndRefuseWhatItCannotHold) {
    writetest::FolderSource src;
    oneText(0, "Жук   ").write(src.file("utf.dbf"));
    src.execute("UPDATE utf SET name = 'Łódź' WHERE RECNO() = 1");
    EXPECT_EQ(readRows(src.file("utf.dbf"))[0][0], "Łódź  ");

    oneText(0x03, "abc").write(src.file("ansi.dbf"));
    EXPECT_EQ(src.failure("UPDATE ansi SET name = 'Жук' WHERE RECNO() = 1"),
              "ansi.dbf, record 1: value 'Жук' does not fit field NAME (C 3): code page 1252 "
              "cannot hold Ж у к");
    EXPECT_EQ(src.failure("INSERT INTO ansi VALUES ('Жук')"),
              "ansi.dbf, new record 2: value 'Жук' does not fit field NAME (C 3): code page "
              "1252 cannot hold Ж у к");
    EXPECT_THAT(readRows(src.file("ansi.dbf")), ElementsAre(ElementsAre("abc")));
}

}  // namespace
}  // namespace quorvel::foxpro
