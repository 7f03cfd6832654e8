#include "frame/window_helpers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/table_builder.h"

namespace quorvel::frame {
namespace {

TEST(WindowHelpersTest, FileExistsForAnythingWithATimeButNeverThrows) {
    test::TempFolder dir;
    std::ofstream(dir.file("a.txt")) << "x";
    EXPECT_TRUE(FileExists(dir.file("a.txt")));
    EXPECT_TRUE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(dir.file("missing")));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(std::string("bad\0name", 8)));
}

TEST(WindowHelpersTest, FilesNextToTheProgram) {
    EXPECT_EQ(sampleFolder("/opt/q", 1), "/opt/q/Samples");
    EXPECT_EQ(sampleFolder("/opt/q", 2), "/opt/q/Samples1");
    EXPECT_EQ(sampleFolder("/opt/q", 0), "/opt/q/Samples1");  // any other number is source 2
    EXPECT_EQ(handCursorPath("/opt/q"), "/opt/q/HAND-M.CUR");
    EXPECT_EQ(skinPath("/"), "/x/o.cjs");
    // The test binary's own folder holds the binary.
    const std::string folder = applicationFolder();
    EXPECT_TRUE(FileExists(folder + "/frame_tests")) << folder;
}

// A build folder keeps the files beside the program; an installed program
// finds them under share/quorvel.
TEST(WindowHelpersTest, FilesBesideTheProgramOrInstalledUnderShare) {
    test::TempFolder dir;
    ::mkdir(dir.file("bin").c_str(), 0755);
    EXPECT_EQ(applicationFilesFolder(dir.file("bin")), dir.file("bin"));  // nothing anywhere
    ::mkdir(dir.file("share").c_str(), 0755);
    ::mkdir(dir.file("share/quorvel").c_str(), 0755);
    EXPECT_EQ(applicationFilesFolder(dir.file("bin")), dir.file("share/quorvel"));
    ::mkdir(dir.file("bin/Samples").c_str(), 0755);
    EXPECT_EQ(applicationFilesFolder(dir.file("bin")), dir.file("bin"));
}

TEST(WindowHelpersTest, SkinOnlyWithItsFile) {
    test::TempFolder dir;
    EXPECT_FALSE(ApplySkin(dir.path()));
    ::mkdir(dir.file("x").c_str(), 0755);
    std::ofstream(dir.file("x/o.cjs")) << "skin";
    EXPECT_TRUE(ApplySkin(dir.path()));
}

}  // namespace
}  // namespace quorvel::frame
