#include "results/text_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "support/table_builder.h"

namespace {

namespace results = quorvel::results;
using quorvel::test::TempFolder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(TextReportTest, FieldDifferencesComeFirstEachLineEndingInCrLf) {
    const std::vector<std::string> fields = {
        "Record 1, Field \"A\" has changed from \"x\" to \"y\"", " Field \"B\" not exist "};
    const std::vector<std::string> records = {"Record 7 added to t2"};
    EXPECT_EQ(results::buildTextReport(results::linesOf(fields), results::linesOf(records)),
              "Record 1, Field \"A\" has changed from \"x\" to \"y\"\r\n"
              " Field \"B\" not exist \r\n"
              "Record 7 added to t2\r\n");
    // Line breaks that a memo put inside a line stay as they are.
    const std::vector<std::string> memo = {
        "Record 1, Field \"N\" has changed from \"a\nb\" to \"\""};
    EXPECT_EQ(results::buildTextReport(results::linesOf(memo), results::linesOf({})),
              "Record 1, Field \"N\" has changed from \"a\nb\" to \"\"\r\n");
    EXPECT_EQ(results::buildTextReport(results::linesOf({}), results::linesOf({})), "");
}

TEST(TextReportTest, EventsRunBeforeTheFirstLineAndAtEveryHundredthOfEachList) {
    std::vector<std::string> fields(250, "f"), records(100, "r");
    std::vector<std::size_t> reportSizes;  // lines of the first list read when events ran
    std::size_t done = 0;
    const results::LineSource counting{[&] { return fields.size(); },
                                       [&](std::size_t i) {
                                           ++done;
                                           return fields[i];
                                       }};
    const std::string report = results::buildTextReport(counting, results::linesOf(records),
                                                        [&] { reportSizes.push_back(done); });
    // Before line 1, before lines 100 and 200 of the first list, before line 100 of the second.
    EXPECT_THAT(reportSizes, ElementsAre(0u, 99u, 199u, 250u));
    EXPECT_EQ(report.size(), 350u * 3);
}

TEST(TextReportTest, WriteTextFileReplacesTheWholeFileAndLeavesNoTemporary) {
    TempFolder folder;
    const std::string path = folder.file("report.txt");
    results::WriteTextFile("a much longer old report\r\n", path);
    results::WriteTextFile("new\r\n\xC3\xA4\r\n", path);
    EXPECT_EQ(quorvel::test::readText(path), "new\r\n\xC3\xA4\r\n");  // UTF-8, no byte-order mark
    results::WriteTextFile("", path);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_THAT(filesIn(folder.path()), ElementsAre("report.txt"));

    // A name without extension is used as typed.
    results::WriteTextFile("x", folder.file("plain"));
    EXPECT_TRUE(std::filesystem::exists(folder.file("plain")));
}

TEST(TextReportTest, FailedWriteNamesFileAndReasonAndKeepsTheOlderReport) {
    TempFolder folder;
    try {
        results::WriteTextFile("x", folder.file("missing/report.txt"));
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_THAT(e.what(), HasSubstr("missing/report.txt"));
        EXPECT_THAT(e.what(), HasSubstr("No such file or directory"));
    }
    // A folder in the report's place cannot be replaced.
    std::filesystem::create_directory(folder.file("taken"));
    EXPECT_THROW(results::WriteTextFile("x", folder.file("taken")), std::runtime_error);

    // A write that fails halfway (here: past the file-size limit) leaves
    // the older report as it was and no temporary file behind.
    const std::string path = folder.file("report.txt");
    results::WriteTextFile("old\r\n", path);
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &small);
    bool thrown = false;
    try {
        results::WriteTextFile(std::string(1000, 'n'), path);
    } catch (const std::runtime_error& e) {
        thrown = true;
        EXPECT_THAT(e.what(), HasSubstr("report.txt: File too large"));
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);
    EXPECT_TRUE(thrown);
    EXPECT_EQ(quorvel::test::readText(path), "old\r\n");
    EXPECT_THAT(filesIn(folder.path()), ::testing::UnorderedElementsAre("report.txt", "taken"));
}

}  // namespace
