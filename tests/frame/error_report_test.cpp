#include "frame/error_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

#include "frame/app_info.h"
#include "frame/error_trap.h"
#include "frame/printable_text.h"
#include "support/scripted_dialogs.h"

namespace quorvel::frame {
namespace {

using ::testing::ElementsAre;

TEST(ErrorReportTest, MessageHasTheFixedLayout) {
    test::ScriptedDialogs dialogs;
    ReportError(dialogs, "File not found", "Form1.PushButton1_Click", 104);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "File not found\r\nin Tablinder2021/08/31.Form1.PushButton1_Click at line "
              "104\r\rPlease email screenshot of this message to support@quorvel.example");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.messages[0].caption, "Application Error");
}

// Names in the failure text cannot add lines to the report or control a
// terminal; the report's own line breaks stay.
TEST(ErrorReportTest, FailureTextIsShownWithItsControlCharactersEscaped) {
    EXPECT_EQ(errorReportText("no field named a\nb\x1b[2J", "Form4.PushButton1_Click", 100),
              "no field named a\\nb\\x1b[2J\r\nin Tablinder2021/08/31.Form4.PushButton1_Click at "
              "line 100\r\rPlease email screenshot of this message to support@quorvel.example");
}

struct Escape {
    std::string in, out;
};
void PrintTo(const Escape& e, std::ostream* os) {  // ASCII, for test names
    for (const unsigned char c : e.out) {
        if (c >= 0x20 && c < 0x7F)
            *os << c;
        else
            *os << "\\x" << std::hex << static_cast<int>(c) << std::dec;
    }
}
class PrintableTextTest : public ::testing::TestWithParam<Escape> {};

TEST_P(PrintableTextTest, ControlCharactersAreEscapedAndTheRestKept) {
    EXPECT_EQ(printableText(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PrintableTextTest,
    ::testing::Values(Escape{"orders.dbf", "orders.dbf"}, Escape{"a\r\nb\tc", "a\\r\\nb\\tc"},
                      Escape{std::string("\0\x01\x1b\x7f", 4), "\\x00\\x01\\x1b\\x7f"},
                      Escape{"C:\\data\\ä€", "C:\\data\\ä€"},  // backslashes and UTF-8 kept
                      Escape{"\xc2\x9b[31m \xc2\xa0", "\\u009b[31m \xc2\xa0"},  // C1 CSI; NBSP kept
                      Escape{"bad \xff\xc2", "bad \xff\xc2"}));  // no UTF-8: kept as it is

TEST(ErrorTrapTest, NumbersStepsByTwoReportsFailuresAndGoesOn) {
    test::ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, "Form2.PushButton3_Click");
    std::vector<int> ran;
    EXPECT_TRUE(trap.step([&] { ran.push_back(100); }));
    EXPECT_FALSE(trap.step([&] { throw std::runtime_error("first"); }));
    EXPECT_TRUE(trap.step([&] { ran.push_back(104); }));
    EXPECT_FALSE(trap.step([&] { throw 7; }));  // not an exception class
    EXPECT_THAT(ran, ElementsAre(100, 104));
    EXPECT_EQ(trap.failures(), 2);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, errorReportText("first", "Form2.PushButton3_Click", 102));
    EXPECT_EQ(dialogs.messages[1].text,
              errorReportText("Unknown error", "Form2.PushButton3_Click", 106));
}

TEST(ErrorTrapTest, StepsAtAFixedNumberAndRetriesStopWhereTheyCannotHelp) {
    test::ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, "Compare1.CompareTables");
    // A step that keeps its number leaves the numbering of step() alone.
    EXPECT_FALSE(trap.at(116, [] { throw std::runtime_error("walk"); }));
    EXPECT_TRUE(trap.step([] {}));
    EXPECT_EQ(trap.nextStep(), 102);
    EXPECT_EQ(trap.lastFailure(), "walk");

    int runs = 0;
    const auto failing = [&] { throw std::runtime_error("try " + std::to_string(++runs)); };
    EXPECT_FALSE(trap.retried(
        106, 3, [](const std::exception_ptr&) { return true; }, failing));
    EXPECT_EQ(runs, 3);
    runs = 0;
    EXPECT_FALSE(trap.retried(
        108, 3, [](const std::exception_ptr&) { return false; }, failing));
    EXPECT_EQ(runs, 1);
    int tries = 0;
    EXPECT_TRUE(trap.retried(110, 3, {}, [&] {
        if (++tries < 2) throw std::runtime_error("once");
    }));
    // One report per failed step, with the last failure.
    EXPECT_THAT(dialogs.messageTexts(),
                ElementsAre(errorReportText("walk", "Compare1.CompareTables", 116),
                            errorReportText("try 3", "Compare1.CompareTables", 106),
                            errorReportText("try 1", "Compare1.CompareTables", 108)));
}

TEST(ApplicationTitleTest, ShortensWordByWordToForty) {
    EXPECT_EQ(SetApplicationTitle(), "Quorvel");
    const std::string forty(40, 'a');
    EXPECT_EQ(SetApplicationTitle(forty), forty);
    EXPECT_EQ(SetApplicationTitle("Quorvel table comparison and merging tool for FoxPro"),
              "Quorvel table comparison and merging");
    EXPECT_EQ(SetApplicationTitle(std::string(45, 'b')), std::string(40, 'b'));
}

}  // namespace
}  // namespace quorvel::frame
