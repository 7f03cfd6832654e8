#include "results/text_report.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include "compare/difference_list.h"
#include "support/table_builder.h"

namespace {

namespace compare = quorvel::compare;
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

TEST(TextReportTest, FieldDifferencesComeFirstByKindEachLineEndingInCrLf) {
    // Walk order mixes the kinds; a value or name that says "added" or
    // "deleted" does not move a line.
    compare::DifferenceList d("t2", {"A", "B", "added"});
    d.addAdded(7);
    d.addChanged(1, 1, 0, "x", false, "Readded", false);
    d.addMissingField(1, 1, 1);
    d.addDeleted(8);
    d.addChanged(2, 2, 2, "a\nb", false, "", true);  // a memo's line break stays
    EXPECT_EQ(results::buildTextReport(d),
              "Record 1, Field \"A\" has changed from \"x\" to \"Readded\"\r\n"
              " Field \"B\" not exist \r\n"
              "Record 2, Field \"added\" has changed from \"a\nb\" to \"\"\r\n"
              "Record 7 added to t2\r\n"
              "Record 8 deleted from t2\r\n");
    EXPECT_EQ(results::buildTextReport(compare::DifferenceList("t2", {})), "");
}

TEST(TextReportTest, EventsRunBeforeTheFirstLineAndAtEveryHundredthOfEachList) {
    // 250 field differences and 150 added records, interleaved.
    compare::DifferenceList d("t2", {"F"});
    for (int i = 1; i <= 250; ++i) {
        d.addChanged(i, i, 0, "f", false, "g", false);
        if (i <= 150) d.addAdded(1000 + i);
    }
    int events = 0;
    const std::string report = results::buildTextReport(d, [&] { ++events; });
    // Before line 1, at lines 100 and 200 of the first list, at line 100 of
    // the second (counting both lists as one would give 5).
    EXPECT_EQ(events, 4);
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 400);
}

TEST(TextReportTest, LinesStreamedOrWrittenFromTheListGiveTheReportsBytes) {
    // Enough lines of both lists, interleaved, to pass through the scratch
    // file and the blocks in which lines go out.
    compare::DifferenceList d("t2", {"F"});
    // A value of many blocks, of two-byte characters off the blocks' grid:
    // it goes out in slices of about a block, each cut between characters.
    std::string wide = "x";
    for (int i = 0; i < 100000; ++i) wide += "\xC3\xA9";
    d.addChanged(1, 1, 0, wide, false, "short", false);
    for (int i = 1; i <= 6000; ++i) {
        d.addAdded(i);
        d.addChanged(i, i, 0, std::to_string(i), false, "new", false);
        if (i % 7 == 0) d.addDeleted(i);
    }
    const std::vector<compare::StructureDifference> structure{
        {compare::StructureKind::OnlyInTable2, "EXTRA", {}, "C(5)"}};
    const std::string expected = results::buildTextReport(d, structure);
    std::string streamed;
    std::size_t pieces = 0;
    {
        results::TextReportStream stream([&](std::string_view bytes) {
            EXPECT_LE(bytes.size(), 70000u);
            EXPECT_NE(static_cast<unsigned char>(bytes.front()) & 0xC0, 0x80) << pieces;
            streamed.append(bytes);
            ++pieces;
        });
        stream.addStructure(structure[0], d.table2());
        for (const compare::Difference difference : d) stream.add(difference);
        stream.finish();
    }
    EXPECT_EQ(streamed, expected);
    EXPECT_GT(pieces, 3u);

    TempFolder folder;
    const std::string path = folder.file("report.txt");
    results::WriteTextReport(d, structure, path);
    EXPECT_EQ(quorvel::test::readText(path), expected);
    EXPECT_THAT(filesIn(folder.path()), ElementsAre("report.txt"));

    // A report file not committed leaves nothing, and no older report changed.
    {
        results::TextReportFile file(path);
        file.write("partial");
    }
    EXPECT_EQ(quorvel::test::readText(path), expected);
    EXPECT_THAT(filesIn(folder.path()), ElementsAre("report.txt"));
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

// A FIFO or a character device in the report's place is written through
// and stays what it is, the bytes going out as written.
TEST(TextReportTest, AFifoOrACharacterDeviceIsWrittenThroughNotReplaced) {
    TempFolder folder;
    const std::string fifo = folder.file("report.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Far more than a pipe holds: the writer has to wait for the reader.
    std::string text;
    for (int i = 0; i < 40000; ++i) text += "Record " + std::to_string(i) + " added to t2\r\n";
    // The reader is there first; a second write end held by the test keeps
    // it from seeing the end before the report's writer has opened.
    const int in = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(in, 0);
    ASSERT_EQ(::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK), 0);
    const int held = ::open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(held, 0);
    std::string got;
    std::thread reader([&] {
        char block[4096];
        for (ssize_t n; (n = ::read(in, block, sizeof block)) > 0;) got.append(block, n);
    });
    EXPECT_NO_THROW(results::WriteTextFile(text, fifo));
    ::close(held);
    reader.join();
    ::close(in);
    EXPECT_EQ(got, text);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_THAT(filesIn(folder.path()), ElementsAre("report.fifo"));

    // /dev/null by its name and through a link: it stays the device.
    std::filesystem::create_symlink("/dev/null", folder.file("null.txt"));
    for (const std::string& target : {std::string("/dev/null"), folder.file("null.txt")}) {
        EXPECT_NO_THROW(results::WriteTextFile("x\r\n", target)) << target;
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("null.txt")));
    EXPECT_THAT(filesIn(folder.path()), ::testing::UnorderedElementsAre("report.fifo", "null.txt"));
}

TEST(TextReportTest, AFifoThatNobodyReadsFailsAtOnceAndASocketOrFolderIsRefused) {
    TempFolder folder;
    const std::string fifo = folder.file("report.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        results::TextReportFile file(fifo);  // would wait for ever with a blocking open
        FAIL() << "opened";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  fifo + ": is a FIFO that no program reads; nothing written");
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    const std::string socketPath = folder.file("report.sock");
    sockaddr_un address{};
    if (socketPath.size() >= sizeof address.sun_path)
        GTEST_SKIP() << "temporary folder too deep for a socket";
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listening, 0);
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_directory(folder.file("taken"));
    std::vector<std::pair<std::string, std::string>> refused = {
        {socketPath, socketPath + ": is a socket, which takes no report"},
        {folder.file("taken"), folder.file("taken") + ": is a folder, which takes no report"}};
    // A block device node of its own (of no device that exists), where the
    // system lets this process make one.
    const std::string block = folder.file("disk");
    const bool haveBlock = ::mknod(block.c_str(), S_IFBLK | 0600, makedev(7, 250)) == 0;
    if (haveBlock) refused.push_back({block, block + ": is a block device, which takes no report"});
    for (const auto& [path, message] : refused) {
        try {
            results::WriteTextFile("x", path);
            ADD_FAILURE() << path << " written";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
    ::close(listening);
    EXPECT_TRUE(std::filesystem::is_socket(socketPath));
    if (haveBlock) {
        EXPECT_TRUE(std::filesystem::is_block_file(block));
        std::filesystem::remove(block);
    }
    EXPECT_THAT(filesIn(folder.path()),
                ::testing::UnorderedElementsAre("report.fifo", "report.sock", "taken"));
}

}  // namespace
