// Values that differ in their bytes compare equal only by a rule: text that
// does not decode in its code page by its bytes, numbers by value, key
// parts under the text options.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "compare/compare.h"
#include "compare/difference_line.h"
#include "foxpro/text/code_page.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace {

namespace compare = quorvel::compare;
namespace data = quorvel::data;
namespace foxpro = quorvel::foxpro;
using quorvel::test::Cell;
using quorvel::test::TableBuilder;
using quorvel::test::TempFolder;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ExactEqualityTest : public ::testing::Test {
  protected:
    void write(const TableBuilder& t1, const TableBuilder& t2) {
        t1.write(dir_.file("t1.dbf"));
        t2.write(dir_.file("t2.dbf"));
    }

    compare::CompareResult run(const compare::CompareOptions& options,
                               const compare::RecordPairing& pairing = {}) {
        data::SourceDescriptor source;
        source.optionDBC = false;
        source.folderText = dir_.path();
        source.codePage = codePage_;
        compare::CompareResult result = compare::Compare(
            source, source, "t1", "t2", foxpro::TextLocale::c(), dialogs_, {}, pairing, options);
        EXPECT_TRUE(result.completed()) << result.failure;
        return result;
    }

    // The changed fields as "record:field" and the other lines as they read.
    static std::vector<std::string> lines(const compare::CompareResult& result) {
        std::vector<std::string> out;
        for (const compare::Difference d : result.differences)
            out.push_back(d.kind == compare::DifferenceKind::Changed
                              ? std::to_string(d.record1) + ":" + std::string(d.fieldName)
                              : compare::lineText(d));
        return out;
    }

    TempFolder dir_;
    int codePage_ = 0;
    quorvel::test::ScriptedDialogs dialogs_;
};

compare::CompareOptions textOptions(bool trim, bool fold) {
    compare::CompareOptions options;
    options.ignoreTrailingBlanks = trim;
    options.ignoreCase = fold;
    return options;
}

// C3 28 is no UTF-8 and reads as "Ã(", which C3 83 28 is.
TEST_F(ExactEqualityTest, TextThatDoesNotDecodeComparesByItsBytesUnderEveryTextRule) {
    codePage_ = foxpro::kCodePageUtf8;
    TableBuilder t1(0x30), t2(0x30);
    t1.field("NAME", 'C', 2).field("NOTE", 'M', 4);
    t2.field("NAME", 'C', 3).field("NOTE", 'M', 4);
    t1.record({Cell::raw("\xc3("), Cell::memo("\xc3(")});
    t2.record({Cell::raw("\xc3\x83("), Cell::memo("\xc3\x83(")});
    t1.record({Cell::raw("\xc3("), Cell::none()});
    t2.record({Cell::raw("\xc3( "), Cell::none()});
    t1.record({Cell::raw("a\xff"), Cell::none()});
    t2.record({Cell::raw("A\xff "), Cell::none()});
    write(t1, t2);

    EXPECT_THAT(lines(run({})), ElementsAre("1:NAME", "1:NOTE", "2:NAME", "3:NAME"));
    EXPECT_THAT(lines(run(textOptions(true, false))), ElementsAre("1:NAME", "1:NOTE", "3:NAME"));
    EXPECT_THAT(lines(run(textOptions(false, true))),
                ElementsAre("1:NAME", "1:NOTE", "2:NAME", "3:NAME"));
    const compare::CompareResult both = run(textOptions(true, true));
    EXPECT_THAT(lines(both), ElementsAre("1:NAME", "1:NOTE"));
    // Once per table and field, at the first record met.
    EXPECT_THAT(both.warnings,
                ElementsAre("t1.dbf: record 1, field NAME holds bytes that code page UTF-8 cannot "
                            "decode; such values are compared by their bytes",
                            "t1.dbf: record 1, field NOTE holds bytes that code page UTF-8 cannot "
                            "decode; such values are compared by their bytes",
                            "t2.dbf: record 2, field NAME holds bytes that code page UTF-8 cannot "
                            "decode; such values are compared by their bytes"));
    EXPECT_THAT(dialogs_.messages, IsEmpty());
}

TEST_F(ExactEqualityTest, KeysThatDoNotDecodePairOnlyWithTheirOwnBytes) {
    codePage_ = foxpro::kCodePageUtf8;
    TableBuilder t1(0x30), t2(0x30);
    t1.field("K", 'C', 2);
    t2.field("K", 'C', 3);
    t1.record({Cell::raw("\xc3(")});
    t2.record({Cell::raw("\xc3\x83(")});
    t2.record({Cell::raw("\xc3( ")});
    write(t1, t2);
    EXPECT_THAT(lines(run(textOptions(true, false), {compare::Pairing::Key, {"K"}})),
                ElementsAre("Record 1 added to t2"));
}

// Bits of a double: 0 and -0, and two NaNs of other signs and payloads.
double fromBits(std::uint64_t bits) {
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

TEST_F(ExactEqualityTest, NumbersCompareByValueInEveryPairingAndUnderATolerance) {
    const double minusZero = fromBits(0x8000000000000000u);
    const double nan1 = fromBits(0x7FF8000000000001u);
    const double nan2 = fromBits(0xFFF8000000000002u);
    TableBuilder t1(0x30), t2(0x30);
    t1.field("X", 'N', 3).field("Y", 'B', 8, 2).field("Z", 'B', 8, 2);
    t2.field("X", 'B', 8, 2).field("Y", 'B', 8, 2).field("Z", 'N', 5, 1);
    // In other orders, so that content and key pairing must find them.
    t1.record({Cell::number("0"), Cell::real64(nan1), Cell::real64(1.5)});
    t1.record({Cell::number("7"), Cell::real64(2), Cell::real64(minusZero)});
    t2.record({Cell::real64(7), Cell::real64(2), Cell::number("0")});
    t2.record({Cell::real64(minusZero), Cell::real64(nan2), Cell::number("1.5")});
    write(t1, t2);
    const compare::RecordPairing byKey{compare::Pairing::Key, {"X", "Y", "Z"}};
    const compare::RecordPairing byContent{compare::Pairing::Content, {}};
    compare::CompareOptions tolerance;
    tolerance.tolerance = "0.01";

    EXPECT_THAT(lines(run({}, byKey)), IsEmpty());
    EXPECT_THAT(lines(run(tolerance, byKey)), IsEmpty());
    // One record in common; the other moved before it.
    EXPECT_THAT(lines(run({}, byContent)),
                ElementsAre("Record 1 deleted from t2", "Record 2 added to t2"));

    // Each record against its own: nothing changed by position either.
    TableBuilder same(0x30);
    same.field("X", 'B', 8, 2).field("Y", 'B', 8, 2).field("Z", 'N', 5, 1);
    same.record({Cell::real64(minusZero), Cell::real64(nan2), Cell::number("1.5")});
    same.record({Cell::real64(7), Cell::real64(2), Cell::number("0")});
    write(t1, same);
    EXPECT_THAT(lines(run({})), IsEmpty());
    EXPECT_THAT(lines(run(tolerance)), IsEmpty());
    // NaN and the infinities are near only themselves, however loose the
    // tolerance.
    TableBuilder far(0x30);
    far.field("X", 'B', 8, 2).field("Y", 'B', 8, 2).field("Z", 'N', 5, 1);
    far.record({Cell::real64(0), Cell::real64(0), Cell::number("1.5")});
    far.record({Cell::real64(7), Cell::real64(std::numeric_limits<double>::infinity()),
                Cell::number("0")});
    write(t1, far);
    tolerance.tolerance = "1000000";
    EXPECT_THAT(lines(run(tolerance)), ElementsAre("1:Y", "2:Y"));
}

TEST_F(ExactEqualityTest, KeyPartsFollowTheTextOptions) {
    TableBuilder t1(0x30), t2(0x30);
    t1.codePageMark(0x03).field("K", 'C', 4).field("V", 'N', 2);
    t2.codePageMark(0x03).field("K", 'C', 3).field("V", 'N', 2);
    t1.record({Cell::text("ABC"), Cell::number("1")});
    t1.record({Cell::text("\xc4x"), Cell::number("2")});  // Äx in 1252
    t2.record({Cell::text("\xe4X"), Cell::number("2")});  // äX
    t2.record({Cell::text("abc"), Cell::number("3")});
    write(t1, t2);
    const compare::RecordPairing byKey{compare::Pairing::Key, {"K"}};
    EXPECT_THAT(lines(run(textOptions(true, false), byKey)),
                ElementsAre("Record 1 deleted from t2", "Record 2 deleted from t2",
                            "Record 1 added to t2", "Record 2 added to t2"));
    EXPECT_THAT(lines(run(textOptions(true, true), byKey)), ElementsAre("1:V"));
}

}  // namespace
