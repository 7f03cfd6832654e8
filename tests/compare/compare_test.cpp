#include "compare/compare.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "compare/difference_line.h"
#include "compare/record_hash.h"
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
using ::testing::HasSubstr;
using ::testing::IsEmpty;

data::SourceDescriptor folderSource(const std::string& path) {
    data::SourceDescriptor source;
    source.optionDBC = false;
    source.folderText = path;
    return source;
}

// The line texts of a list of differences, in order.
std::vector<std::string> texts(const compare::DifferenceList& differences) {
    std::vector<std::string> out;
    for (const compare::Difference d : differences) out.push_back(compare::lineText(d));
    return out;
}

// A one-field table NAME C(width) holding the given names.
TableBuilder names(const std::vector<std::string>& values, int width = 3) {
    TableBuilder t(0x30);
    t.field("NAME", 'C', width);
    for (const auto& v : values) t.record({Cell::text(v)});
    return t;
}

class CompareTest : public ::testing::Test {
  protected:
    void write1(const TableBuilder& t) { t.write(folder1_.file("t1.dbf")); }
    void write2(const TableBuilder& t) { t.write(folder2_.file("t2.dbf")); }

    compare::CompareResult run(const compare::CompareCallbacks& callbacks = {},
                               const std::string& table2 = "t2",
                               const compare::RecordPairing& pairing = {}) {
        return compare::Compare(folderSource(folder1_.path()), folderSource(folder2_.path()), "t1",
                                table2, foxpro::TextLocale::c(), dialogs_, callbacks, pairing);
    }

    // The line texts of a comparison that must complete without any report.
    std::vector<std::string> lines() {
        const compare::CompareResult result = run();
        EXPECT_TRUE(result.completed()) << result.failure;
        EXPECT_THAT(dialogs_.messageTexts(), IsEmpty());
        return texts(result.differences);
    }

    TempFolder folder1_;
    TempFolder folder2_;
    quorvel::test::ScriptedDialogs dialogs_;
};

// --- Record pairing by position ------------------------------------------

TEST_F(CompareTest, TwoEmptyTablesAreIdentical) {
    write1(names({}));
    write2(names({}));
    const compare::CompareResult result = run();
    EXPECT_TRUE(result.identical());
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(CompareTest, ShorterAndLongerTablesGiveDeletedAndAddedLinesNamingTable2) {
    write1(names({}));
    write2(names({"a", "b", "c"}));
    EXPECT_THAT(lines(), ElementsAre("Record 1 added to t2", "Record 2 added to t2",
                                     "Record 3 added to t2"));

    write1(names({"a", "b", "c", "d", "e"}));
    EXPECT_THAT(lines(), ElementsAre("Record 4 deleted from t2", "Record 5 deleted from t2"));

    write1(names({"a", "b", "c"}));
    EXPECT_TRUE(run().identical());
}

TEST_F(CompareTest, RecordInsertedAtTheStartShiftsEveryLaterPair) {
    write1(names({"a", "b", "c"}));
    write2(names({"x", "a", "b", "c"}));
    EXPECT_THAT(lines(), ElementsAre("Record 1, Field \"NAME\" has changed from \"a  \" to \"x  \"",
                                     "Record 2, Field \"NAME\" has changed from \"b  \" to \"a  \"",
                                     "Record 3, Field \"NAME\" has changed from \"c  \" to \"b  \"",
                                     "Record 4 added to t2"));
}

TEST_F(CompareTest, DeletedRecordsInTheMiddleAreNotPartOfTheWalk) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("NAME", 'C', 3);
    t2.field("NAME", 'C', 3);
    t1.record({Cell::text("a")}).record({Cell::text("x")}, true).record({Cell::text("b")});
    t1.record({Cell::text("c")});
    t2.record({Cell::text("a")}).record({Cell::text("b")}).record({Cell::text("y")}, true);
    t2.record({Cell::text("z")}, true).record({Cell::text("C")});
    write1(t1);
    write2(t2);
    EXPECT_THAT(lines(),
                ElementsAre("Record 3, Field \"NAME\" has changed from \"c  \" to \"C  \""));
}

// --- Field pairing by name ------------------------------------------------

TEST_F(CompareTest, FieldsPairByNameWithoutCaseAndFieldsOnlyInTable2AreIgnored) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("Qty", 'N', 3).field("name", 'C', 3);
    t2.field("NAME", 'C', 3).field("EXTRA", 'C', 3).field("QTY", 'N', 3);
    t1.record({Cell::number("1"), Cell::text("a")});
    t2.record({Cell::text("b"), Cell::text("zzz"), Cell::number("1")});
    write1(t1);
    write2(t2);
    // Spelled as Table #1 spells it; EXTRA is never looked at.
    EXPECT_THAT(lines(),
                ElementsAre("Record 1, Field \"name\" has changed from \"a  \" to \"b  \""));
}

TEST_F(CompareTest, MissingFieldGivesOneLinePerPairBetweenThatPairsOtherLines) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("A", 'C', 1).field("B", 'C', 1).field("C", 'C', 1);
    t2.field("C", 'C', 1).field("A", 'C', 1);
    for (int i = 0; i < 100; ++i) {
        t1.record({Cell::text("a"), Cell::text("b"), Cell::text("c")});
        t2.record({Cell::text(i == 41 ? "C" : "c"), Cell::text(i == 41 ? "A" : "a")});
    }
    write1(t1);
    write2(t2);
    const std::vector<std::string> found = lines();
    ASSERT_EQ(found.size(), 102u);
    for (const auto& line : found) {
        if (line.rfind("Record 42,", 0) != 0) {
            EXPECT_EQ(line, " Field \"B\" not exist ");
        }
    }
    EXPECT_EQ(found[41], "Record 42, Field \"A\" has changed from \"a\" to \"A\"");
    EXPECT_EQ(found[42], " Field \"B\" not exist ");
    EXPECT_EQ(found[43], "Record 42, Field \"C\" has changed from \"c\" to \"C\"");
}

TEST_F(CompareTest, DuplicateFieldNamesPairInTurn) {
    // As dbase_03.dbf has Point_ID twice: the second is a field of its own.
    TableBuilder t1(0x03), t2(0x03);
    t1.field("POINT_ID", 'C', 4).field("POINT_ID", 'N', 3);
    t2.field("POINT_ID", 'C', 4).field("POINT_ID", 'N', 3);
    t1.record({Cell::text("p1"), Cell::number("5")});
    t2.record({Cell::text("p1"), Cell::number("6")});
    write1(t1);
    write2(t2);
    EXPECT_THAT(lines(),
                ElementsAre("Record 1, Field \"POINT_ID\" has changed from \"5\" to \"6\""));

    TableBuilder once(0x03);
    once.field("POINT_ID", 'C', 4).record({Cell::text("p1")});
    write2(once);
    EXPECT_THAT(lines(), ElementsAre(" Field \"POINT_ID\" not exist "));
}

// --- Values -------------------------------------------------------------------

TEST_F(CompareTest, TextsCompareExactlyAndAreWrittenUnchanged) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("S", 'C', 6).field("N", 'C', 5).field("Q", 'C', 7);
    t2.field("S", 'C', 6).field("N", 'C', 5).field("Q", 'C', 7);
    t1.record({Cell::text("abc"), Cell::text("Smith"), Cell::text("say \"x\"")});
    t2.record({Cell::text("abd"), Cell::text("SMITH"), Cell::text("say \"y\"")});
    t1.record({Cell::text("abc"), Cell::text("same"), Cell::text("")});
    t2.record({Cell::text("abc "), Cell::text("same"), Cell::text("")});
    write1(t1);
    write2(t2);
    EXPECT_THAT(
        lines(),
        ElementsAre("Record 1, Field \"S\" has changed from \"abc   \" to \"abd   \"",
                    "Record 1, Field \"N\" has changed from \"Smith\" to \"SMITH\"",
                    "Record 1, Field \"Q\" has changed from \"say \"x\"\" to \"say \"y\"\""));
}

TEST_F(CompareTest, FieldsOfDifferentTypesCompareByText) {
    TableBuilder t1(0x32), t2(0x32);
    t1.field("A", 'C', 3).field("B", 'C', 2);
    t2.field("A", 'V', 3).field("B", 'N', 3);
    t1.record({Cell::text("abc"), Cell::text("12")});
    t2.record({Cell::text("abc"), Cell::number("12")});
    t1.record({Cell::text("ab"), Cell::text("1")});
    t2.record({Cell::text("ab"), Cell::number("1")});
    write1(t1);
    write2(t2);
    // Equal texts give nothing; "ab " (C) is not "ab" (V), "1 " not "1".
    EXPECT_THAT(lines(), ElementsAre("Record 2, Field \"A\" has changed from \"ab \" to \"ab\"",
                                     "Record 2, Field \"B\" has changed from \"1 \" to \"1\""));
}

TEST_F(CompareTest, LogicalsAreWrittenMinusOneAndZeroOnlyWhenBothHaveAValue) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("OK", 'L', 1, 0, 0x02);
    t2.field("OK", 'L', 1, 0, 0x02);
    t1.record({Cell::logical('T')}).record({Cell::null()}).record({Cell::logical('y')});
    t2.record({Cell::logical('F')}).record({Cell::logical('T')}).record({Cell::logical('T')});
    t1.record({Cell::logical('T')});
    t2.record({Cell::null()});
    write1(t1);
    write2(t2);
    EXPECT_THAT(lines(), ElementsAre("Record 1, Field \"OK\" has changed from \"-1\" to \"0\"",
                                     "Record 2, Field \"OK\" has changed from \"\" to \"True\"",
                                     "Record 4, Field \"OK\" has changed from \"True\" to \"\""));
}

TEST_F(CompareTest, NullAgainstEmptyTextIsAChangeOnlyWithinOneType) {
    TableBuilder t1(0x32), t2(0x32);
    t1.field("SAME", 'V', 5, 0, 0x02).field("OTHER", 'C', 5, 0, 0x02);
    t2.field("SAME", 'V', 5, 0, 0x02).field("OTHER", 'V', 5, 0, 0x02);
    t1.record({Cell::null(), Cell::null()});
    t2.record({Cell::text(""), Cell::text("")});
    t1.record({Cell::null(), Cell::null()});
    t2.record({Cell::null(), Cell::null()});
    write1(t1);
    write2(t2);
    EXPECT_THAT(lines(), ElementsAre("Record 1, Field \"SAME\" has changed from \"\" to \"\""));
}

TEST_F(CompareTest, NumbersCompareByValueNotByHowTheyAreStored) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("P", 'N', 6, 2).field("Q", 'N', 6, 2);
    t2.field("P", 'N', 6, 2).field("Q", 'N', 6, 2);
    t1.record({Cell::number("1.50"), Cell::number("1.50")});
    t2.record({Cell::raw("1.5"), Cell::number("1.25")});
    write1(t1);
    write2(t2);
    EXPECT_THAT(lines(), ElementsAre("Record 1, Field \"Q\" has changed from \"1.5\" to \"1.25\""));

    // Other widths and decimals: a layout of its own, the same rule.
    TableBuilder wide(0x30);
    wide.field("P", 'N', 9, 3).field("Q", 'N', 4, 1);
    wide.record({Cell::number("1.500"), Cell::number("1.5")});
    write2(wide);
    EXPECT_THAT(lines(), IsEmpty());
}

TEST_F(CompareTest, FieldsStoredAlikeInOtherLayoutsCompareByValueWhereTheirBytesDiffer) {
    // Table #2 has a field of its own first: every other field lies elsewhere
    // in its records and has another null bit.
    TableBuilder t1(0x30), t2(0x30);
    t1.field("R", 'B', 8, 2).field("N", 'N', 5, 1).field("C", 'C', 3, 0, 0x02);
    t1.field("K", 'C', 2);
    t2.field("X", 'C', 2, 0, 0x02).field("R", 'B', 8, 2).field("N", 'N', 5, 1);
    t2.field("C", 'C', 3, 0, 0x02).field("K", 'C', 2);
    // Bytes that differ, values that agree: signed zero, blank against zero, nulls.
    t1.record({Cell::real64(0.0), Cell::blank(), Cell::null(), Cell::text("a")});
    t2.record(
        {Cell::null(), Cell::real64(-0.0), Cell::number("0.0"), Cell::null(), Cell::text("a")});
    // Bytes that agree, a null bit that does not.
    t1.record({Cell::real64(1.0), Cell::number("1.0"), Cell::blank(), Cell::text("b")});
    t2.record(
        {Cell::blank(), Cell::real64(1.0), Cell::number("1.0"), Cell::null(), Cell::text("c")});
    write1(t1);
    write2(t2);
    EXPECT_THAT(lines(), ElementsAre("Record 2, Field \"C\" has changed from \"   \" to \"\"",
                                     "Record 2, Field \"K\" has changed from \"b \" to \"c \""));

    // Equal bytes in two code pages are other texts.
    TableBuilder cp1(0x30), cp2(0x30);
    cp1.codePageMark(0x03).field("NAME", 'C', 3).field("QTY", 'N', 3);
    cp2.codePageMark(0x02).field("NAME", 'C', 3).field("Q2", 'N', 3);
    cp1.record({Cell::text("\xFC"), Cell::number("1")});
    cp2.record({Cell::text("\xFC"), Cell::number("1")});
    write1(cp1);
    write2(cp2);
    EXPECT_THAT(lines(), ElementsAre("Record 1, Field \"NAME\" has changed from \"\xC3\xBC  \" to "
                                     "\"\xC2\xB3  \"",
                                     " Field \"QTY\" not exist "));
}

TEST_F(CompareTest, MemosCompareByContentNotByBlockNumber) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("ID", 'I', 4).field("NOTE", 'M', 4);
    t2.field("ID", 'I', 4).field("NOTE", 'M', 4);
    // Same blocks, other content.
    t1.record({Cell::integer32(1), Cell::memo("alpha")});
    t2.record({Cell::integer32(1), Cell::memo("omega")});
    write1(t1);
    write2(t2);
    EXPECT_THAT(lines(),
                ElementsAre("Record 1, Field \"NOTE\" has changed from \"alpha\" to \"omega\""));

    // Same content in other blocks: a deleted record took Table #2's first block.
    TableBuilder shifted(0x30);
    shifted.field("ID", 'I', 4).field("NOTE", 'M', 4);
    shifted.record({Cell::integer32(9), Cell::memo(std::string(200, 'z'))}, true);
    shifted.record({Cell::integer32(1), Cell::memo("alpha")});
    write2(shifted);
    EXPECT_THAT(lines(), IsEmpty());
}

TEST_F(CompareTest, BinaryFieldsOfTheSameTypeAreNeverCompared) {
    TableBuilder t1(0x32), t2(0x32);
    t1.field("PIC", 'G', 4).field("BLOB", 'W', 4).field("VB", 'Q', 6).field("ID", 'I', 4);
    t2.field("PIC", 'G', 4).field("BLOB", 'W', 4).field("VB", 'Q', 6).field("ID", 'I', 4);
    t1.record({Cell::memo("one", 0), Cell::memo("xx", 0), Cell::text("ab"), Cell::integer32(1)});
    t2.record({Cell::memo("two", 0), Cell::memo("yyyy", 0), Cell::text("cd"), Cell::integer32(2)});
    write1(t1);
    write2(t2);
    EXPECT_THAT(lines(), ElementsAre("Record 1, Field \"ID\" has changed from \"1\" to \"2\""));
}

TEST_F(CompareTest, ValueTextsFollowTheCallersLocale) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("P", 'N', 6, 2).record({Cell::number("1.50")});
    t2.field("P", 'N', 6, 2).record({Cell::number("2.25")});
    write1(t1);
    write2(t2);
    foxpro::TextLocale comma;
    comma.decimalSeparator = ",";
    const compare::CompareResult result = compare::Compare(
        folderSource(folder1_.path()), folderSource(folder2_.path()), "t1", "t2", comma, dialogs_);
    EXPECT_THAT(texts(result.differences),
                ElementsAre("Record 1, Field \"P\" has changed from \"1,5\" to \"2,25\""));
}

// --- Sources ------------------------------------------------------------------

TEST_F(CompareTest, ContainerTableAgainstItsFreeCopyPairsLongNamesWithTheirTenCharacters) {
    data::SourceDescriptor container;
    container.optionDBC = true;
    container.dbcPath = quorvel::test::writeSampleContainer(folder1_.path());
    for (const char* file : {"customers.dbf", "setup.dbf"})
        std::filesystem::copy_file(folder1_.file(file), folder2_.file(file));

    auto run2 = [&](const std::string& table, const compare::RecordPairing& pairing = {},
                    const compare::CompareOptions& options = {}) {
        return compare::Compare(container, folderSource(folder2_.path()), table, table,
                                foxpro::TextLocale::c(), dialogs_, {}, pairing, options);
    };
    // setup keeps its short names in the container: nothing differs.
    EXPECT_TRUE(run2("setup").identical());
    // customers: two of the container's long names are cut in the header.
    const compare::CompareResult customers = run2("customers");
    EXPECT_TRUE(customers.identical()) << ::testing::PrintToString(texts(customers.differences));
    EXPECT_THAT(customers.warnings,
                ElementsAre("Field \"customer_number\" compared with \"CUSTOMER_N\"",
                            "Field \"company_name\" compared with \"COMPANY_NA\""));

    // An edit there is found, with key fields named either way; a field
    // left out by its short name is left out.
    TableBuilder copy(0x30);
    copy.field("CUSTOMER_N", 'I', 4).field("COMPANY_NA", 'C', 20).field("CITY", 'C', 10);
    copy.record({Cell::integer32(2), Cell::text("Blue Mill"), Cell::text("Rome")});
    copy.record({Cell::integer32(1), Cell::text("Kaskade Coffee"), Cell::text("Paris")});
    copy.write(folder2_.file("customers.dbf"));
    for (const char* key : {"customer_number", "CUSTOMER_N"}) {
        const compare::RecordPairing byKey{compare::Pairing::Key, {key}};
        EXPECT_THAT(texts(run2("customers", byKey).differences),
                    ElementsAre("Record 1, Field \"company_name\" has changed from \"Cascade "
                                "Coffee      \" to \"Kaskade Coffee      \""));
        compare::CompareOptions leftOut;
        leftOut.ignoredFields = {"COMPANY_NA"};
        const compare::CompareResult ignored = run2("customers", byKey, leftOut);
        EXPECT_TRUE(ignored.identical());
        EXPECT_THAT(ignored.warnings, ElementsAre("Field \"customer_number\" compared with "
                                                  "\"CUSTOMER_N\""));
    }
    EXPECT_THAT(dialogs_.messageTexts(), IsEmpty());
}

TEST_F(CompareTest, ContainerNamesCutAlikePairByTheNamesTheirHeaderStores) {
    // As the fixture container's types table: two long names cut to one ten
    // characters, which the header made unique.
    const std::string dbc = folder1_.file("crm.dbc");
    quorvel::test::ContainerBuilder container;
    container.table("types", "types.dbf").field("contact_type_id").field("contact_type");
    container.write(dbc);
    auto types = [](const char* kind, const char* backlink) {
        TableBuilder t(0x30);
        if (backlink) t.backlink(backlink);
        t.field("CONTACT_TY", 'I', 4).field("CONTACT_T2", 'C', 8);
        t.record({Cell::integer32(1), Cell::text("Buyer")});
        t.record({Cell::integer32(2), Cell::text(kind)});
        return t;
    };
    types("Seller", "crm.dbc").write(folder1_.file("types.dbf"));
    types("Seller", nullptr).write(folder2_.file("types.dbf"));
    data::SourceDescriptor source1;
    source1.optionDBC = true;
    source1.dbcPath = dbc;
    auto run2 = [&] {
        return compare::Compare(source1, folderSource(folder2_.path()), "types", "types",
                                foxpro::TextLocale::c(), dialogs_);
    };
    const compare::CompareResult same = run2();
    EXPECT_TRUE(same.identical()) << ::testing::PrintToString(texts(same.differences));
    EXPECT_THAT(same.warnings, ElementsAre("Field \"contact_type_id\" compared with \"CONTACT_TY\"",
                                           "Field \"contact_type\" compared with \"CONTACT_T2\""));
    // A real edit shows in its own field.
    types("Agent", nullptr).write(folder2_.file("types.dbf"));
    EXPECT_THAT(texts(run2().differences),
                ElementsAre("Record 2, Field \"contact_type\" has changed from \"Seller  \" to "
                            "\"Agent   \""));
}

TEST_F(CompareTest, TableMissingFromItsSourceCouldNotBeCompared) {
    write1(names({"a"}));
    const compare::CompareResult result = run({}, "absent");
    EXPECT_FALSE(result.completed());
    EXPECT_FALSE(result.identical());
    EXPECT_THAT(result.failure, HasSubstr("absent"));
    // Reported once, after the silent retries.
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_THAT(dialogs_.lastMessage(), HasSubstr("Compare1.CompareTables at line "));
}

TEST_F(CompareTest, SourceThatCannotBeOpenedCouldNotBeCompared) {
    write1(names({}));
    const compare::CompareResult result =
        compare::Compare(folderSource(folder1_.path()), folderSource(folder2_.file("nowhere")),
                         "t1", "t2", foxpro::TextLocale::c(), dialogs_);
    EXPECT_FALSE(result.completed());
    EXPECT_TRUE(result.differences.empty());
    EXPECT_FALSE(result.failure.empty());
    EXPECT_FALSE(dialogs_.messages.empty());
}

TEST_F(CompareTest, UnreadableMemoStopsTheWalkAsACouldNotCompare) {
    TableBuilder t(0x30);
    t.field("NOTE", 'M', 4).record({Cell::memo("alpha")}).record({Cell::memo("beta")});
    write1(t);
    write2(t);
    std::filesystem::remove(folder2_.file("t2.fpt"));
    const compare::CompareResult result = run();
    EXPECT_FALSE(result.completed());
    EXPECT_FALSE(result.failure.empty());
    // One report, not one per record.
    EXPECT_EQ(dialogs_.messages.size(), 1u);
}

// --- Progress and events -------------------------------------------------

TEST_F(CompareTest, ProgressStaysWithinRangeAndNeverGoesBack) {
    struct Step {
        int value;
        std::string text;
        std::int64_t pairs = -1, count = -1;
    };
    for (const auto& [count1, count2] : {std::pair{0, 3}, std::pair{2, 5}, std::pair{4, 2}}) {
        write1(names(std::vector<std::string>(count1, "a")));
        write2(names(std::vector<std::string>(count2, "a")));
        std::vector<Step> steps;
        compare::CompareCallbacks callbacks;
        callbacks.progress = [&](int value, const std::string& text) {
            steps.push_back({value, text});
        };
        // The numbers come with every step of the bar, and say what its text says.
        callbacks.counted = [&](std::int64_t pairs, std::int64_t count) {
            ASSERT_FALSE(steps.empty());
            steps.back().pairs = pairs;
            steps.back().count = count;
        };
        EXPECT_TRUE(run(callbacks).completed());
        ASSERT_GE(steps.size(), 2u);
        for (const Step& step : steps) {
            EXPECT_EQ(step.text, "Processing field: " + std::to_string(step.pairs));
            EXPECT_EQ(step.count, count1);
        }
        EXPECT_EQ(steps.front().value, compare::ProgressStart);
        EXPECT_EQ(steps.front().text, "Processing field: 0");
        EXPECT_EQ(steps.back().text,
                  "Processing field: " + std::to_string(std::max(count1, count2)));
        for (std::size_t i = 0; i < steps.size(); ++i) {
            EXPECT_GE(steps[i].value, 0);
            EXPECT_LE(steps[i].value, 100);
            if (i > 0) {
                EXPECT_GE(steps[i].value, steps[i - 1].value);
            }
        }
    }
}

TEST_F(CompareTest, EventsRunByTheClockNotOncePerField) {
    TableBuilder t1(0x30), t2(0x30);
    for (auto* t : {&t1, &t2}) t->field("A", 'C', 2).field("B", 'C', 2).field("C", 'C', 2);
    for (int i = 0; i < 400; ++i) {
        // Every pair differs, so every field is decoded.
        t1.record({Cell::text("a"), Cell::text("b"), Cell::text("c")});
        t2.record({Cell::text("x"), Cell::text("y"), Cell::text("z")});
    }
    write1(t1);
    write2(t2);
    int events = 0;
    compare::CompareCallbacks callbacks;
    // Slow progress makes the clock run past the event interval.
    callbacks.progress = [](int, const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(compare::kEventIntervalMs + 5));
    };
    callbacks.processEvents = [&] { ++events; };
    const compare::CompareResult result = run(callbacks);
    EXPECT_EQ(result.differences.size(), 1200u);
    EXPECT_GE(events, 1);
    EXPECT_LT(events, 400);
}

// --- What a difference carries ---------------------------------------------

TEST_F(CompareTest, DifferencesCarryKindRecordsFieldAndNulls) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("ID", 'I', 4).field("NAME", 'C', 7, 0, 0x02).field("GONE", 'C', 1);
    t2.field("NAME", 'C', 7, 0, 0x02).field("ID", 'I', 4);
    t1.record({Cell::integer32(1), Cell::text("deleted"), Cell::text("x")});
    t2.record({Cell::null(), Cell::integer32(1)});
    t1.record({Cell::integer32(2), Cell::text("b"), Cell::text("x")});
    write1(t1);
    write2(t2);
    const compare::CompareResult result = run();
    ASSERT_TRUE(result.completed()) << result.failure;
    const compare::DifferenceList& d = result.differences;
    ASSERT_EQ(d.size(), 3u);
    // A changed value that reads "deleted" is a Changed field difference.
    EXPECT_EQ(d[0].kind, compare::DifferenceKind::Changed);
    EXPECT_EQ(compare::listOf(d[0].kind), compare::LineList::FieldDifferences);
    EXPECT_EQ(d[0].record1, 1);
    EXPECT_EQ(d[0].record2, 1);
    EXPECT_EQ(d[0].field, 1);
    EXPECT_EQ(d[0].fieldName, "NAME");
    EXPECT_EQ(d[0].value1, "deleted");
    EXPECT_FALSE(d[0].null1);
    EXPECT_EQ(d[0].value2, "");
    EXPECT_TRUE(d[0].null2);
    EXPECT_EQ(d[1].kind, compare::DifferenceKind::MissingField);
    EXPECT_EQ(d[1].field, 2);
    EXPECT_EQ(d[1].fieldName, "GONE");
    EXPECT_EQ(d[2].kind, compare::DifferenceKind::Deleted);
    EXPECT_EQ(compare::listOf(d[2].kind), compare::LineList::AddedDeleted);
    EXPECT_EQ(d[2].record1, 2);
    EXPECT_EQ(d[2].record2, 0);
    EXPECT_EQ(d[2].table2, "t2");
}

// --- Key and content pairing ---------------------------------------------

TEST_F(CompareTest, KeyValuesCompareByValueAcrossTypes) {
    // Every record of Table #1 finds its partner in the reversed Table #2:
    // text without trailing blanks (C(5) against C(3)), a date against the
    // datetime of its midnight, currency against N, I against B, nulls.
    TableBuilder t1(0x30), t2(0x30);
    t1.field("NAME", 'C', 5).field("DAY", 'D', 8).field("AMOUNT", 'Y', 8);
    t1.field("N", 'I', 4).field("OPT", 'N', 3, 0, 0x02);
    t2.field("name", 'C', 3).field("DAY", 'T', 8).field("AMOUNT", 'N', 8, 3);
    t2.field("N", 'B', 8).field("OPT", 'N', 3, 0, 0x02);
    const char* const names[] = {"ab", "abc", ""};
    for (int i = 0; i < 3; ++i)
        t1.record({Cell::text(names[i]), Cell::date(2020, 1, 2 + i), Cell::currency(125000 + i),
                   Cell::integer32(i), i == 1 ? Cell::null() : Cell::number("7")});
    char amount[16];
    for (int i = 2; i >= 0; --i) {
        std::snprintf(amount, sizeof amount, "12.500%d", i);
        t2.record({Cell::text(names[i]), Cell::dateTime(2020, 1, 2 + i, 0, 0, 0),
                   Cell::number(std::string(amount).substr(0, 7)), Cell::real64(i),
                   i == 1 ? Cell::null() : Cell::number("7")});
    }
    write1(t1);
    write2(t2);
    const compare::RecordPairing byKey{compare::Pairing::Key,
                                       {"name", "day", "Amount", "n", "opt"}};
    const compare::CompareResult result = run({}, "t2", byKey);
    ASSERT_TRUE(result.completed()) << result.failure;
    for (const compare::Difference d : result.differences)
        EXPECT_EQ(d.kind, compare::DifferenceKind::Changed) << compare::lineText(d);
    EXPECT_TRUE(result.duplicateKeys.empty());
}

TEST_F(CompareTest, KeyAndContentPairingSeeTextNotBytesAcrossCodePages) {
    // "Müller" stored in code page 1252 (0xFC) and in 850 (0x81): one text.
    TableBuilder t1(0x30), t2(0x30);
    t1.codePageMark(0x03).field("NAME", 'C', 8).field("QTY", 'N', 3);
    t2.codePageMark(0x02).field("NAME", 'C', 8).field("QTY", 'N', 3);
    t1.record({Cell::text("M\xFCller"), Cell::number("1")});
    t1.record({Cell::text("Smith"), Cell::number("2")});
    t2.record({Cell::text("Smith"), Cell::number("2")});
    t2.record({Cell::text("M\x81ller"), Cell::number("1")});
    write1(t1);
    write2(t2);
    const compare::CompareResult byKey =
        run({}, "t2", compare::RecordPairing{compare::Pairing::Key, {"NAME"}});
    EXPECT_TRUE(byKey.identical()) << ::testing::PrintToString(texts(byKey.differences));
    // By content Smith is the common record; Müller moved before it.
    EXPECT_THAT(
        texts(run({}, "t2", compare::RecordPairing{compare::Pairing::Content, {}}).differences),
        ElementsAre("Record 1 deleted from t2", "Record 2 added to t2"));
}

TEST_F(CompareTest, LongTablesInOneKeyOrderAndAKeyAgainAtTheEnd) {
    // Thousands of records in one order on both sides, one changed; Table
    // #2 then holds key 10 a second time and one key of its own.
    TableBuilder t1(0x30), t2(0x30);
    for (auto* t : {&t1, &t2}) t->field("ID", 'I', 4).field("NAME", 'C', 6);
    for (int i = 1; i <= 5000; ++i) {
        t1.record({Cell::integer32(i), Cell::text('n' + std::to_string(i))});
        t2.record({Cell::integer32(i), Cell::text(i == 4000 ? "x" : "n" + std::to_string(i))});
    }
    t2.record({Cell::integer32(10), Cell::text("again")});
    t2.record({Cell::integer32(6000), Cell::text("new")});
    write1(t1);
    write2(t2);
    const compare::CompareResult result =
        run({}, "t2", compare::RecordPairing{compare::Pairing::Key, {"ID"}});
    EXPECT_THAT(texts(result.differences),
                ElementsAre("Record 4000, Field \"NAME\" has changed from \"n4000 \" to \"x     \"",
                            "Record 5001 added to t2", "Record 5002 added to t2"));
    ASSERT_EQ(result.duplicateKeys.size(), 1u);
    EXPECT_EQ(compare::duplicateKeyText(result.duplicateKeys[0]),
              "Key 10 is not unique: 1 record in Table #1, 2 in Table #2");
}

TEST_F(CompareTest, KeysOutOfStepFindTheirDuplicatesAmongTheRisingStart) {
    // Both tables start with the rising keys -3, -1, 2, 4 ... 2 x rise, then
    // part: key 1000000 against 3, then odd keys at the same places again,
    // then Table #2 holds 4 once more and Table #1 -1.  A few odd keys are
    // looked up among the start; many make the start hashed whole: the
    // lines and duplicates are the same.
    for (const auto& [rise, odd] : {std::pair{10, 3}, std::pair{1500, 1200}}) {
        TableBuilder t1(0x30), t2(0x30);
        for (auto* t : {&t1, &t2}) t->field("ID", 'I', 4).field("NAME", 'C', 4);
        auto both = [&](int id) {
            for (auto* t : {&t1, &t2}) t->record({Cell::integer32(id), Cell::text("same")});
        };
        both(-3);
        both(-1);
        for (int k = 1; k <= rise; ++k) both(2 * k);
        t1.record({Cell::integer32(1000000), Cell::text("one")});
        t2.record({Cell::integer32(3), Cell::text("two")});
        for (int k = 0; k < odd; ++k) both(5 + 2 * k);
        t1.record({Cell::integer32(-1), Cell::text("dup1")});
        t2.record({Cell::integer32(4), Cell::text("dup2")});
        write1(t1);
        write2(t2);
        const compare::CompareResult result =
            run({}, "t2", compare::RecordPairing{compare::Pairing::Key, {"ID"}});
        const std::string apart = std::to_string(rise + 3);
        const std::string last = std::to_string(rise + odd + 4);
        EXPECT_THAT(texts(result.differences), ElementsAre("Record " + apart + " deleted from t2",
                                                           "Record " + last + " deleted from t2",
                                                           "Record " + apart + " added to t2",
                                                           "Record " + last + " added to t2"))
            << rise;
        ASSERT_EQ(result.duplicateKeys.size(), 2u) << rise;
        EXPECT_EQ(compare::duplicateKeyText(result.duplicateKeys[0]),
                  "Key -1 is not unique: 2 records in Table #1, 1 in Table #2");
        EXPECT_EQ(compare::duplicateKeyText(result.duplicateKeys[1]),
                  "Key 4 is not unique: 1 record in Table #1, 2 in Table #2");
    }
}

TEST_F(CompareTest, KeysThatPartPairInOrderUntilTheyStopRising) {
    // Rising keys, Table #2 without key 5 and 13 and with key 12 of its
    // own, key 7 changed; then neither rises: Table #1 holds 3 again and
    // 12 (the pair of Table #2's), Table #2 the missing 5 (its pair) and 10
    // again.  The lines keep Table #1's order and the k-th record of a key
    // pairs with the k-th.  An I key and an N key (read as its text).
    for (const char type : {'I', 'N'}) {
        TableBuilder t1(0x30), t2(0x30);
        for (auto* t : {&t1, &t2}) t->field("ID", type, 4).field("NAME", 'C', 4);
        auto add = [&](TableBuilder& t, int id, const char* name = "same") {
            t.record({type == 'I' ? Cell::integer32(id) : Cell::number(std::to_string(id)),
                      Cell::text(name)});
        };
        for (int id : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 3, 12}) add(t1, id);
        for (int id : {1, 2, 3, 4, 6}) add(t2, id);
        add(t2, 7, "new");
        for (int id : {8, 9, 10, 12, 5, 10}) add(t2, id);
        write1(t1);
        write2(t2);
        const compare::CompareResult result =
            run({}, "t2", compare::RecordPairing{compare::Pairing::Key, {"ID"}});
        EXPECT_THAT(texts(result.differences),
                    ElementsAre("Record 7, Field \"NAME\" has changed from \"same\" to \"new \"",
                                "Record 11 deleted from t2", "Record 12 deleted from t2",
                                "Record 12 added to t2"))
            << type;
        ASSERT_EQ(result.duplicateKeys.size(), 2u) << type;
        EXPECT_EQ(compare::duplicateKeyText(result.duplicateKeys[0]),
                  "Key 3 is not unique: 2 records in Table #1, 1 in Table #2");
        EXPECT_EQ(compare::duplicateKeyText(result.duplicateKeys[1]),
                  "Key 10 is not unique: 1 record in Table #1, 2 in Table #2");
    }
}

TEST_F(CompareTest, ManyLaterKeysOfPairsMadeInOrderAreDuplicates) {
    // Keys 1..3000, Table #2 without 5, then Table #1 holds 6..1105 again:
    // too many to look up one by one, so the pairs made in order are
    // hashed whole, and each of those keys is a duplicate.
    TableBuilder t1(0x30), t2(0x30);
    for (auto* t : {&t1, &t2}) t->field("ID", 'I', 4);
    for (int id = 1; id <= 3000; ++id) {
        t1.record({Cell::integer32(id)});
        if (id != 5) t2.record({Cell::integer32(id)});
    }
    for (int id = 6; id <= 1105; ++id) t1.record({Cell::integer32(id)});
    write1(t1);
    write2(t2);
    const compare::CompareResult result =
        run({}, "t2", compare::RecordPairing{compare::Pairing::Key, {"ID"}});
    ASSERT_EQ(result.differences.size(), 1101u);
    EXPECT_EQ(compare::lineText(result.differences[0]), "Record 5 deleted from t2");
    ASSERT_EQ(result.duplicateKeys.size(), 1100u);
    EXPECT_EQ(compare::duplicateKeyText(result.duplicateKeys[0]),
              "Key 6 is not unique: 2 records in Table #1, 1 in Table #2");
}

TEST_F(CompareTest, UndecodableKeysWarnInTheOrderOfAWalkSideBySide) {
    // Rising keys in code page 1252, which cannot decode 0x81; Table #2
    // lacks b, so its undecodable key (record 3) stands before Table #1's
    // (record 4) in a walk side by side and is told first.
    TableBuilder t1(0x30), t2(0x30);
    for (auto* t : {&t1, &t2}) t->codePageMark(0x03).field("NAME", 'C', 3);
    for (const char* name : {"a", "b", "c", "x\x81"}) t1.record({Cell::text(name)});
    for (const char* name : {"a", "c", "w\x81"}) t2.record({Cell::text(name)});
    write1(t1);
    write2(t2);
    const compare::CompareResult result =
        run({}, "t2", compare::RecordPairing{compare::Pairing::Key, {"NAME"}});
    EXPECT_THAT(result.warnings, ElementsAre(HasSubstr("t2.dbf: record 3, field NAME"),
                                             HasSubstr("t1.dbf: record 4, field NAME")));
}

TEST_F(CompareTest, KeysInStepThatRepeatAreDuplicates) {
    // The same keys on both sides, a repeated one first: not rising, so
    // found by hashing them, with the later one of Table #2.
    write1(names({"a", "a", "b"}));
    write2(names({"a", "a", "b", "a"}));
    const compare::CompareResult result =
        run({}, "t2", compare::RecordPairing{compare::Pairing::Key, {"NAME"}});
    EXPECT_THAT(texts(result.differences), ElementsAre("Record 4 added to t2"));
    ASSERT_EQ(result.duplicateKeys.size(), 1u);
    EXPECT_EQ(compare::duplicateKeyText(result.duplicateKeys[0]),
              "Key a is not unique: 2 records in Table #1, 3 in Table #2");
}

TEST_F(CompareTest, ContentPairingAcrossOneRecordRemovedThenOneInserted) {
    // Table #2 lacks b and then holds x and y: its records stand one place
    // before Table #1's, then one after; z and w, of no equal field, stay
    // unpaired.
    write1(names({"a", "b", "c", "d", "e", "f", "z", "g"}));
    write2(names({"a", "c", "d", "x", "y", "e", "f", "w", "g"}));
    EXPECT_THAT(
        texts(run({}, "t2", compare::RecordPairing{compare::Pairing::Content, {}}).differences),
        ElementsAre("Record 2 deleted from t2", "Record 4 added to t2", "Record 5 added to t2",
                    "Record 7 deleted from t2", "Record 8 added to t2"));
}

TEST_F(CompareTest, LongTablesHashedInTwoHalvesPairByContentAcrossTheMiddle) {
    // 70,000 records, long enough to be hashed in two halves: Table #2
    // lacks record 30,000, so from there each record stands one place
    // before its partner, across the middle; four new records before
    // record 40,000 put the last three of Table #2 past the end of Table
    // #1; record 35,001, the first of the second half, is changed.  Then
    // the other way round, and with a
    // deleted record in Table #1, which is no part of the walk.
    auto tables = [](bool deleted) {
        TableBuilder t1(0x30), t2(0x30);
        for (auto* t : {&t1, &t2}) t->field("ID", 'I', 4).field("NAME", 'C', 6);
        for (int i = 1; i <= 70000; ++i) {
            if (deleted && i == 45000) t1.record({Cell::integer32(0), Cell::text("gone")}, true);
            t1.record({Cell::integer32(i), Cell::text("n" + std::to_string(i))});
            if (i == 40000)
                for (int k = 1; k <= 4; ++k) t2.record({Cell::integer32(-k), Cell::text("new")});
            if (i != 30000)
                t2.record(
                    {Cell::integer32(i), Cell::text(i == 35001 ? "x" : "n" + std::to_string(i))});
        }
        return std::pair{t1, t2};
    };
    const std::vector<std::string> expected{
        "Record 30000 deleted from t2",
        "Record 35001, Field \"NAME\" has changed from \"n35001\" to \"x     \"",
        "Record 39999 added to t2",
        "Record 40000 added to t2",
        "Record 40001 added to t2",
        "Record 40002 added to t2"};
    const compare::RecordPairing byContent{compare::Pairing::Content, {}};
    auto [t1, t2] = tables(false);
    write1(t1);
    write2(t2);
    EXPECT_EQ(texts(run({}, "t2", byContent).differences), expected);
    t2.write(folder1_.file("t1.dbf"));
    t1.write(folder2_.file("t2.dbf"));
    EXPECT_THAT(
        texts(run({}, "t2", byContent).differences),
        ElementsAre("Record 30000 added to t2",
                    "Record 35000, Field \"NAME\" has changed from \"x     \" to \"n35001\"",
                    "Record 39999 deleted from t2", "Record 40000 deleted from t2",
                    "Record 40001 deleted from t2", "Record 40002 deleted from t2"));
    write1(tables(true).first);
    write2(t2);
    EXPECT_EQ(texts(run({}, "t2", byContent).differences), expected);
}

TEST_F(CompareTest, LongTablesPairedByPositionAcrossPiecesAndADeletedRecord) {
    // 70,000 records of 11 bytes, read in pieces of some 23,800 records:
    // changes in the second and the last piece, two records more in Table
    // #2.  Then with a deleted record in
    // Table #2 only (no part of any position): the records after it pair
    // as before.  Then Table #1 the longer one.
    auto tables = [](int deletedAt) {
        TableBuilder t1(0x30), t2(0x30);
        for (auto* t : {&t1, &t2}) t->field("ID", 'I', 4).field("NAME", 'C', 6);
        for (int i = 1; i <= 70002; ++i) {
            if (i <= 70000) t1.record({Cell::integer32(i), Cell::text("n" + std::to_string(i))});
            if (i == deletedAt) t2.record({Cell::integer32(0), Cell::text("gone")}, true);
            t2.record({Cell::integer32(i == 69999 ? -1 : i),
                       Cell::text(i == 25000 ? "x" : "n" + std::to_string(i))});
        }
        return std::pair{t1, t2};
    };
    const std::vector<std::string> expected{
        "Record 25000, Field \"NAME\" has changed from \"n25000\" to \"x     \"",
        "Record 69999, Field \"ID\" has changed from \"69999\" to \"-1\"",
        "Record 70001 added to t2", "Record 70002 added to t2"};
    for (const int deletedAt : {0, 24000, 50000}) {
        auto [t1, t2] = tables(deletedAt);
        write1(t1);
        write2(t2);
        EXPECT_EQ(lines(), expected) << "deleted record before " << deletedAt;
        if (deletedAt != 24000) continue;
        t2.write(folder1_.file("t1.dbf"));
        t1.write(folder2_.file("t2.dbf"));
        EXPECT_THAT(lines(),
                    ElementsAre("Record 25000, Field \"NAME\" has changed from \"x     \" to "
                                "\"n25000\"",
                                "Record 69999, Field \"ID\" has changed from \"-1\" to \"69999\"",
                                "Record 70001 deleted from t2", "Record 70002 deleted from t2"));
    }
}

TEST_F(CompareTest, ContentStretchBeyondTheLimitPairsFirstWithFirst) {
    // No record is equal on both sides: one stretch.  Within the limit
    // each record pairs with its changed self one place down; beyond it the
    // first pairs with the first.
    auto write = [&](int count) {
        TableBuilder t1(0x30), t2(0x30);
        for (auto* t : {&t1, &t2}) t->field("ID", 'I', 4).field("A", 'C', 2).field("B", 'C', 2);
        t2.record({Cell::integer32(0), Cell::text("zz"), Cell::text("zz")});
        for (int i = 1; i <= count; ++i) {
            t1.record({Cell::integer32(i), Cell::text("a"), Cell::text("b")});
            t2.record({Cell::integer32(i), Cell::text("a"), Cell::text("c")});
        }
        write1(t1);
        write2(t2);
    };
    const compare::RecordPairing byContent{compare::Pairing::Content, {}};
    write(3);
    EXPECT_THAT(texts(run({}, "t2", byContent).differences),
                ElementsAre("Record 1, Field \"B\" has changed from \"b \" to \"c \"",
                            "Record 2, Field \"B\" has changed from \"b \" to \"c \"",
                            "Record 3, Field \"B\" has changed from \"b \" to \"c \"",
                            "Record 1 added to t2"));
    write(static_cast<int>(compare::kStretchLimit) + 1);
    const std::vector<std::string> lines = texts(run({}, "t2", byContent).differences);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Record 1, Field \"ID\" has changed from \"1\" to \"0\"");
    EXPECT_EQ(lines.back(), "Record 1002 added to t2");
}

TEST_F(CompareTest, EqualHashesOfUnequalRecordsAreSettledByTheirRecords) {
    // With every hash alike, the pairings must compare the records
    // themselves and come to what full hashes give.
    write1(names({"a", "b", "c"}));
    write2(names({"b", "a", "d"}));
    const compare::RecordPairing byKey{compare::Pairing::Key, {"NAME"}};
    const compare::RecordPairing byContent{compare::Pairing::Content, {}};
    const std::vector<std::string> key = texts(run({}, "t2", byKey).differences);
    const std::vector<std::string> content = texts(run({}, "t2", byContent).differences);
    EXPECT_THAT(key, ElementsAre("Record 3 deleted from t2", "Record 3 added to t2"));
    // b pairs with b; a before it is Deleted; c, then a and d of Table #2
    // make the last stretch: its Added lines after its Deleted one.
    EXPECT_THAT(content, ElementsAre("Record 1 deleted from t2", "Record 3 deleted from t2",
                                     "Record 2 added to t2", "Record 3 added to t2"));
    compare::recordHashMask = 0;
    EXPECT_EQ(texts(run({}, "t2", byKey).differences), key);
    EXPECT_EQ(texts(run({}, "t2", byContent).differences), content);
    // One record on each side with keys that share the hash: no pair.
    write1(names({"a"}));
    write2(names({"b"}));
    EXPECT_THAT(texts(run({}, "t2", byKey).differences),
                ElementsAre("Record 1 deleted from t2", "Record 1 added to t2"));
    compare::recordHashMask = ~std::uint64_t{0};
}

TEST_F(CompareTest, UnknownKeyFieldNamesTheFieldAndTheTable) {
    write1(names({"a"}));
    TableBuilder t2(0x30);
    t2.field("OTHER", 'C', 3).record({Cell::text("a")});
    write2(t2);
    const compare::CompareResult result =
        run({}, "t2", compare::RecordPairing{compare::Pairing::Key, {"name"}});
    EXPECT_FALSE(result.completed());
    EXPECT_EQ(result.failure, "key field name not found in Table #2 (t2)");
}

}  // namespace
