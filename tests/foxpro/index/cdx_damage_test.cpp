// Damaged indexes: each ends in a FoxProError that names the file and the
// problem, never in a crash or an endless walk.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::HasSubstr;

// Offsets of the index written below: the tag's header follows the
// directory, its leaves follow the header, its interior root comes last.
constexpr std::size_t kTagHeader = 1536;
constexpr std::size_t kFirstLeaf = 2560;

class CdxDamageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TableBuilder t(0x30);
        t.field("NAME", 'C', 20);
        for (int i = 0; i < 400; ++i)
            t.record({Cell::text("name " + std::to_string(i * 7919 % 400))});
        t.write(dir_.file("t.dbf"));
        const TableReader table(dir_.file("t.dbf"));
        NewFileSet files(dir_.path());
        writeCompoundIndex(table, {TagDefinition{"NAME", "name", "", false, false, false, ""}},
                           files, "t.cdx");
        files.commit();
    }
    std::string path() const { return dir_.file("t.cdx"); }

    // Opens the index, walks and seeks every tag; the error's text, "" when
    // none.
    std::string ReadAllError(const std::string& file = "") const {
        try {
            const CdxReader index(file.empty() ? path() : file);
            for (const IndexTag& tag : index.tags()) {
                index.entries(tag);
                index.seek(tag, std::string(static_cast<std::size_t>(tag.keyLength), 'z'));
            }
        } catch (const FoxProError& e) {
            return e.what();
        }
        return "";
    }
    std::size_t size() const { return test::readFile(path()).size(); }

    test::TempFolder dir_;
};

TEST_F(CdxDamageTest, IntactIndexReads) {
    EXPECT_EQ(ReadAllError(), "");
}

TEST_F(CdxDamageTest, FileShorterThanTheDirectory) {
    test::truncateTo(path(), 1000);
    EXPECT_THAT(ReadAllError(), HasSubstr("t.cdx: the file is shorter than"));
}

TEST_F(CdxDamageTest, TruncatedBeforeTheRoot) {
    test::truncateBy(path(), 512);
    EXPECT_THAT(ReadAllError(), HasSubstr("t.cdx: tag NAME: node at offset " +
                                          std::to_string(size()) + " lies past the end"));
}

TEST_F(CdxDamageTest, LeafThatPointsAtItself) {
    test::setBytes(path(), kFirstLeaf + 8, {0x00, 0x0A, 0x00, 0x00});
    EXPECT_THAT(ReadAllError(), HasSubstr("node at offset 2560 is reached twice"));
}

TEST_F(CdxDamageTest, RootWhoseChildIsItself) {
    const std::size_t root = size() - 512;
    // The first entry's child, after its 20-byte key and record number.
    test::setBytes(path(), root + 12 + 24,
                   {static_cast<std::uint8_t>(root >> 24), static_cast<std::uint8_t>(root >> 16),
                    static_cast<std::uint8_t>(root >> 8), static_cast<std::uint8_t>(root)});
    EXPECT_THAT(ReadAllError(), HasSubstr("is reached twice"));
}

TEST_F(CdxDamageTest, KeyLengthPastTheNode) {
    test::setBytes(path(), kTagHeader + 12, {0x58, 0x02});  // 600
    EXPECT_THAT(ReadAllError(), HasSubstr("tag NAME: key length 600 does not fit a node"));
}

TEST_F(CdxDamageTest, LeafCountPastTheNode) {
    test::setBytes(path(), kFirstLeaf + 2, {0xE8, 0x03});  // 1000 keys
    EXPECT_THAT(ReadAllError(), HasSubstr("leaf at offset 2560 holds 1000 keys"));
}

TEST_F(CdxDamageTest, KeyCountsPastTheKeyLength) {
    // Every bit of the first entry set: its counts exceed the key.
    test::setBytes(path(), kFirstLeaf + 24, {0xFF, 0xFF, 0xFF});
    EXPECT_THAT(ReadAllError(), HasSubstr("counts that do not fit the key"));
}

TEST_F(CdxDamageTest, FolderIsRefused) {
    EXPECT_THAT(ReadAllError(dir_.path()), HasSubstr("is not a regular file"));
}

TEST_F(CdxDamageTest, ShrinkingWhileReadIsReported) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses to shrink a file while it is mapped";
#endif
    const CdxReader index(path());
    test::truncateTo(path(), 1536);
    try {
        index.entries(index.tags().front());
        ADD_FAILURE() << "no error";
    } catch (const FoxProError& e) {
        EXPECT_THAT(e.what(), HasSubstr("t.cdx changed while it was being read"));
    }
}

TEST_F(CdxDamageTest, TableIsNoIndex) {
    test::writeFile(path(), test::readFile(dir_.file("t.dbf")));
    EXPECT_THAT(ReadAllError(), HasSubstr("t.cdx: no tag directory"));
}

}  // namespace
}  // namespace quorvel::foxpro
