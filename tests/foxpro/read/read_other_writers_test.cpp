// Tables as other programs write them: layouts and memo references that
// the format does not foresee but real files carry, each read on purpose,
// and the files that are refused saying what they are.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/text_form.h"
#include "support/python_runner.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class OtherWritersTest : public ::testing::Test {
  protected:
    std::string path() const { return dir_.file("t.dbf"); }

    // Text forms of every field of every live record.
    std::vector<std::vector<std::string>> ReadAll(const TableReader& r) const {
        std::vector<std::vector<std::string>> rows;
        for (auto i = r.nextLive(0); i < r.storedCount(); i = r.nextLive(i + 1)) {
            rows.emplace_back();
            for (int f = 0; f < r.fieldCount(); ++f)
                rows.back().push_back(textForm(r.value(r.storedRecord(i), f), TextLocale::c()));
        }
        return rows;
    }

    std::string OpenError() const {
        try {
            TableReader r(path());
            return "";
        } catch (const FoxProError& e) {
            return e.description();
        }
    }

    static TableBuilder ThreeFields() {
        TableBuilder t(0x30);
        t.field("NAME", 'C', 4).field("QTY", 'N', 3).field("ID", 'I', 4);
        t.record({Cell::text("Ann"), Cell::number("12"), Cell::integer32(7)});
        return t;
    }

    test::TempFolder dir_;
};

TEST_F(OtherWritersTest, ZeroOrOverlappingDisplacementsAreReadOneAfterAnother) {
    TableBuilder allZero = ThreeFields();
    allZero.zeroFieldOffsets();
    TableBuilder firstZero = ThreeFields();
    firstZero.storedOffsets({0, 5, 8});
    TableBuilder overlapping = ThreeFields();
    overlapping.storedOffsets({1, 1, 1});
    for (const TableBuilder* t : {&allZero, &firstZero, &overlapping}) {
        t->write(path());
        TableReader r(path());
        EXPECT_THAT(ReadAll(r), ElementsAre(ElementsAre("Ann ", "12", "7")));
        EXPECT_THAT(r.warnings(), ElementsAre(HasSubstr("t.dbf: field displacements are")));
    }
}

TEST_F(OtherWritersTest, ZeroDisplacementsWithLengthsThatMissTheRecordAreRefusedForThatReason) {
    TableBuilder t = ThreeFields();
    t.zeroFieldOffsets();
    t.write(path());
    test::setByte(path(), 10, 13);  // record length 13 where the fields take 12
    EXPECT_EQ(OpenError(),
              "t.dbf: field NAME has displacement 0 and the field lengths add up to 12 bytes, "
              "not the 13-byte record");
}

// Clipper's C 300 is length byte 44 with decimals 1; the field after it
// must be read where it is, and an independent reader agrees.
TEST_F(OtherWritersTest, ClipperLongCharacterFieldsTakeTheirWholeLength) {
    TableBuilder t(0x03);
    t.codePageMark(0x01).field("TEXT", 'C', 300).field("QTY", 'N', 4);
    t.record({Cell::text(std::string(299, 'x') + "y"), Cell::number("42")});
    t.write(path());
    TableReader r(path());
    EXPECT_EQ(r.field(0).width, 300);
    EXPECT_THAT(ReadAll(r), ElementsAre(ElementsAre(std::string(299, 'x') + "y", "42")));

    if (!test::pythonCanImport("dbfread")) GTEST_SKIP() << "python3-dbfread is not installed";
    bool ok = false;
    const std::string out = test::runPython(
        "import sys, dbfread\n"
        "for r in dbfread.DBF(sys.argv[1], encoding='cp437'):\n"
        "    print(len(r['TEXT']), r['TEXT'][-1], r['QTY'])\n",
        &ok, {path()});
    EXPECT_TRUE(ok) << out;
    EXPECT_EQ(out, "300 y 42\n");
}

// Junk in the decimals of a C field leaves its length alone when the plain
// lengths already add up to the record.
TEST_F(OtherWritersTest, DecimalsOfCharacterFieldsCountOnlyWhenTheLengthsNeedThem) {
    TableBuilder t(0x03);
    t.field("CODE", 'C', 3, 2).field("QTY", 'N', 2);
    t.record({Cell::text("abc"), Cell::number("5")});
    t.write(path());
    TableReader r(path());
    EXPECT_EQ(r.field(0).width, 3);
    EXPECT_THAT(ReadAll(r), ElementsAre(ElementsAre("abc", "5")));
}

// Binary memos are never compared: a reference into the memo file's header
// or past its end reads as empty (one warning) instead of refusing the
// table.  A text memo with such a reference stays an error.
TEST_F(OtherWritersTest, BinaryMemoReferencesOutsideTheMemoDataReadAsEmpty) {
    TableBuilder t(0x30);
    t.field("PIC", 'G', 4).field("NOTE", 'M', 4);
    for (int i = 0; i < 3; ++i) t.record({Cell::memo("img", 0), Cell::memo("text")});
    t.write(path());
    const std::size_t record = static_cast<std::size_t>(t.headerLength());
    const auto rl = static_cast<std::size_t>(t.recordLength());
    test::setBytes(path(), record + 1, {2, 0, 0, 0});             // block 2: the header
    test::setBytes(path(), record + rl + 1, {0xA0, 0x86, 1, 0});  // block 100000
    TableReader r(path());
    EXPECT_EQ(r.value(r.storedRecord(0), 0), Value::bytes(""));
    EXPECT_EQ(r.value(r.storedRecord(1), 0), Value::bytes(""));
    EXPECT_EQ(r.value(r.storedRecord(2), 0), Value::bytes("img"));
    EXPECT_THAT(r.warnings(), ElementsAre(HasSubstr("t.dbf: record 1, field PIC refers to no "
                                                    "binary memo (t.fpt: memo block 2 lies "
                                                    "inside the memo file header)")));

    test::setBytes(path(), record + 2 * rl + 5, {2, 0, 0, 0});
    TableReader again(path());
    try {
        again.value(again.storedRecord(2), 1);
        FAIL() << "no error";
    } catch (const FoxProError& e) {
        EXPECT_EQ(e.description(),
                  "t.fpt: memo block 2 lies inside the memo file header (t.dbf, record 3, "
                  "field NOTE)");
    }
}

TEST_F(OtherWritersTest, RefusedFilesSayWhatTheyAre) {
    ThreeFields().write(path());
    test::setByte(path(), 0, 0x04);
    EXPECT_EQ(OpenError(), "t.dbf: dBase 7 tables are not supported");

    // A header that ends at its terminator: no fields, whatever the record
    // length says.
    std::vector<std::uint8_t> bytes(33, 0);
    bytes[0] = 0x03;
    bytes[8] = 33;
    bytes[32] = 0x0D;
    for (std::uint8_t recordLength : {0, 1, 9}) {
        bytes[10] = recordLength;
        test::writeFile(path(), bytes);
        EXPECT_EQ(OpenError(), "t.dbf: a table without fields");
    }
}

}  // namespace
}  // namespace quorvel::foxpro
