// The platform part as the rest of the layer relies on it, on each system.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_lock.h"
#include "foxpro/platform/file_reader.h"
#include "foxpro/platform/folder_entries.h"
#include "foxpro/platform/path_names.h"
#include "foxpro/platform/path_text.h"
#include "support/table_builder.h"

namespace quorvel::foxpro::platform {
namespace {

TEST(PlatformPaths, RootsAndSeparatorsFollowTheSystem) {
    EXPECT_EQ(rootLength("/srv/data"), 1u);
    EXPECT_EQ(rootLength("data/t.dbf"), 0u);
    EXPECT_EQ(lastSeparator("data/t.dbf"), 4u);
#ifdef _WIN32
    EXPECT_EQ(rootLength("C:\\data"), 3u);
    EXPECT_EQ(rootLength("C:data"), 2u);
    EXPECT_EQ(rootLength("\\\\server\\share\\t.dbf"), 15u);
    EXPECT_EQ(lastSeparator("C:\\data\\t.dbf"), 7u);
#else
    EXPECT_EQ(lastSeparator("data\\t.dbf"), std::string::npos);  // a letter of the name
#endif
}

// Folders and files named in any script: reached, listed and named back alike.
TEST(PlatformPaths, NonAsciiNamesAreReadListedAndIdentified) {
    test::TempFolder dir;
    const std::string folder = dir.file("Проба-目录");
    std::filesystem::create_directory(pathFromText(folder));
    const std::string table = folder + "/данные.dbf";
    std::ofstream(pathFromText(table), std::ios::binary) << "0123456789";
    EXPECT_THAT(folderEntries(folder), ::testing::ElementsAre("данные.dbf"));
    FileReader reader(table, "данные.dbf");
    char bytes[4] = {};
    EXPECT_EQ(reader.readAt(6, bytes, 8), 4u);
    EXPECT_EQ(std::string(bytes, 4), "6789");
    ASSERT_TRUE(identityOfPath(table).has_value());
    EXPECT_EQ(identityOfPath(table), reader.stamp().identity());
    EXPECT_NE(identityOfPath(table), identityOfPath(folder));
}

// Two opens of one file exclude each other, in one process too.
TEST(PlatformLocks, HandlesOfOneFileExcludeEachOther) {
    test::TempFolder dir;
    const std::string path = dir.file("t.dbf");
    FileIdentity one, two;
    std::error_code error;
    const NativeHandle a = openForLock(path, LockMode::Exclusive, true, one, error);
    const NativeHandle b = openForLock(path, LockMode::Exclusive, false, two, error);
    ASSERT_NE(a, kNoHandle);
    ASSERT_NE(b, kNoHandle);
    EXPECT_EQ(one, two);
    EXPECT_EQ(lockFile(a, LockMode::Exclusive, false, error), LockResult::Locked);
    EXPECT_EQ(lockFile(b, LockMode::Shared, false, error), LockResult::Busy);
    unlockFile(a);
    EXPECT_EQ(lockFile(b, LockMode::Shared, false, error), LockResult::Locked);
    EXPECT_EQ(lockFile(a, LockMode::Shared, false, error), LockResult::Locked);
    closeHandle(a);
    closeHandle(b);
}

#ifdef _WIN32
TEST(PlatformPaths, NamesAreFoundWhateverTheirCase) {
    test::TempFolder dir;
    test::writeFile(dir.file("orders.dbf"), {1, 2, 3});
    EXPECT_EQ(identityOfPath(dir.file("ORDERS.DBF")), identityOfPath(dir.file("orders.dbf")));
    EXPECT_TRUE(namesRegularFile(dir.file("Orders.Dbf")));
}
#endif

}  // namespace
}  // namespace quorvel::foxpro::platform
