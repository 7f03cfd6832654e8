// Indexes Visual FoxPro wrote: their tags read as FoxPro wrote them, and
// each tag built again from its table gives the same keys, order and
// record numbers (and, where FoxPro built the tag in one go, the same
// node bytes).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/carried_index.h"
#include "foxpro/source/data_source.h"
#include "foxpro/source/table_keys.h"
#include "foxpro/write/atomic_file.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

namespace fs = std::filesystem;

fs::path databaseFixtures() {
    return fs::path(QUORVEL_FIXTURES) / "public" / "foxprodb";
}

#define SKIP_WITHOUT_FIXTURES()                                                               \
    if (!fs::is_directory(databaseFixtures())) GTEST_SKIP() << "no foxprodb fixtures folder"; \
    static_assert(true)

struct ExpectedTag {
    const char* name;
    const char* key;
    const char* forClause;
    bool candidate;
    int keyLength;
};

struct FixtureIndex {
    const char* table;
    const char* index;
    std::vector<ExpectedTag> tags;
};

const std::vector<FixtureIndex> kIndexes = {
    {"calls.dbf",
     "calls.CDX",
     {{"CALL_ID", "call_id", "", true, 4}, {"CONTACT_ID", "contact_id", "", false, 4}}},
    {"contacts.dbf",
     "contacts.CDX",
     {{"CONTACT_ID", "contact_id", "", true, 4}, {"TYPE_ID", "contact_type_id", "", false, 4}}},
    {"setup.dbf", "setup.CDX", {{"KEY_NAME", "key_name", "", true, 50}}},
    {"types.dbf", "types.CDX", {{"TYPE_ID", "contact_type_id", "", true, 4}}},
    {"FOXPRO-DB-TEST.DBC",
     "FOXPRO-DB-TEST.DCX",
     {{"OBJECTNAME", "STR(parentid)+objecttype+LOWER(objectname)", ".NOT.DELETED()", false, 148},
      {"OBJECTTYPE", "STR(parentid)+objecttype", ".NOT.DELETED()", false, 20}}},
};

class CdxFixturesTest : public ::testing::TestWithParam<FixtureIndex> {
  protected:
    std::string tablePath() const { return (databaseFixtures() / GetParam().table).string(); }
    std::string indexPath() const { return (databaseFixtures() / GetParam().index).string(); }

    // The table with the container's long field names, which its tags'
    // expressions use; the container itself as a table.
    std::unique_ptr<TableReader> openTable() const {
        const auto source = DataSource::open((databaseFixtures() / "FOXPRO-DB-TEST.DBC").string());
        const std::string stem = fs::path(GetParam().table).stem().string();
        if (source->hasTable(stem)) return source->openTable(stem);
        return std::make_unique<TableReader>(tablePath());
    }
};

// A node's bytes without the gap between its entries and its key bytes,
// where FoxPro leaves what the page held before.
std::vector<std::uint8_t> usedBytes(const std::vector<std::uint8_t>& file, std::uint32_t at) {
    std::vector<std::uint8_t> page(file.begin() + at, file.begin() + at + 512);
    const std::size_t entries = 24 + (page[2] | (page[3] << 8)) * std::size_t{page[23]};
    const std::size_t keys = 512 - (page[12] | (page[13] << 8)) - (entries - 24) - 24;
    std::fill(page.begin() + static_cast<std::ptrdiff_t>(entries),
              page.end() - static_cast<std::ptrdiff_t>(keys), 0);
    return page;
}

TEST_P(CdxFixturesTest, TagsReadAsFoxProWroteThem) {
    SKIP_WITHOUT_FIXTURES();
    const auto table = openTable();
    const CdxReader index(indexPath(), table.get());
    ASSERT_EQ(index.tags().size(), GetParam().tags.size());
    for (std::size_t i = 0; i < index.tags().size(); ++i) {
        const IndexTag& tag = index.tags()[i];
        const ExpectedTag& expected = GetParam().tags[i];
        SCOPED_TRACE(tag.name);
        EXPECT_EQ(tag.name, expected.name);
        EXPECT_EQ(tag.keyExpression, expected.key);
        EXPECT_EQ(tag.forExpression, expected.forClause);
        EXPECT_EQ(tag.hasFor, *expected.forClause != '\0');
        EXPECT_EQ(tag.candidate, expected.candidate);
        EXPECT_FALSE(tag.unique);
        EXPECT_FALSE(tag.descending);
        EXPECT_EQ(tag.collation, "");
        EXPECT_EQ(tag.keyLength, expected.keyLength);
    }
    // The tables' own index: found beside them without regard to case.
    EXPECT_EQ(fs::path(findStructuralIndex(tablePath())).filename(),
              fs::path(GetParam().index).extension() == ".CDX" ? GetParam().index : "");
}

TEST_P(CdxFixturesTest, TagsBuiltAgainFromTheTableGiveTheSameKeys) {
    SKIP_WITHOUT_FIXTURES();
    const auto opened = openTable();
    const TableReader& table = *opened;
    const CdxReader original(indexPath(), &table);
    std::vector<TagDefinition> definitions;
    for (const IndexTag& tag : original.tags()) definitions.push_back(TagDefinition::of(tag));
    test::TempFolder dir;
    NewFileSet files(dir.path());
    const IndexBuild build = writeCompoundIndex(table, definitions, files, "rebuilt.cdx");
    files.commit();
    EXPECT_THAT(build.leftOut, ::testing::IsEmpty());
    const CdxReader rebuilt(dir.file("rebuilt.cdx"), &table);
    ASSERT_EQ(rebuilt.tags().size(), original.tags().size());
    const std::vector<std::uint8_t> before = test::readFile(indexPath());
    const std::vector<std::uint8_t> after = test::readFile(dir.file("rebuilt.cdx"));
    for (std::size_t i = 0; i < original.tags().size(); ++i) {
        const IndexTag& a = original.tags()[i];
        const IndexTag& b = rebuilt.tags()[i];
        SCOPED_TRACE(a.name);
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(b.options, a.options);
        EXPECT_EQ(b.keyLength, a.keyLength);
        EXPECT_EQ(rebuilt.entries(b), original.entries(a));
        // The header's fields and expressions (bytes 16..63 hold counts
        // FoxPro keeps for itself, which the writer leaves zero).
        auto header = [](const std::vector<std::uint8_t>& file, std::uint32_t at) {
            std::vector<std::uint8_t> h(file.begin() + at + 12, file.begin() + at + 1024);
            std::fill(h.begin() + 4, h.begin() + 52, 0);
            return h;
        };
        EXPECT_EQ(header(after, b.header), header(before, a.header));
        // A tag of one leaf: the same bytes, the unused gap aside.
        if ((before[a.root] & 2) != 0) {
            EXPECT_EQ(usedBytes(after, b.root), usedBytes(before, a.root));
        }
    }
}

// A copy of the table carries its index: every tag rebuilt from the copy's
// records as FoxPro had it, the copy's header flagged, no script needed.
TEST_P(CdxFixturesTest, CopyCarriesEveryTagOfTheIndex) {
    SKIP_WITHOUT_FIXTURES();
    if (fs::path(GetParam().table).extension() != ".dbf") GTEST_SKIP() << "no table of its own";
    const auto table = openTable();
    test::TempFolder dir;
    const std::string copy = dir.file("copy.dbf");
    fs::copy_file(tablePath(), copy);
    const CarriedIndex carried =
        carryStructuralIndex(*table, copy, dir.file("copy.cdx"), "copy", "", false);
    EXPECT_TRUE(carried.written);
    EXPECT_THAT(carried.messages, ::testing::IsEmpty());
    EXPECT_EQ(carried.script, "");
    EXPECT_EQ(test::readFile(copy)[28] & 1, 1);
    const CdxReader original(indexPath(), table.get());
    const CdxReader rebuilt(dir.file("copy.cdx"), table.get());
    ASSERT_EQ(rebuilt.tags().size(), original.tags().size());
    for (std::size_t i = 0; i < original.tags().size(); ++i)
        EXPECT_EQ(rebuilt.entries(rebuilt.tags()[i]), original.entries(original.tags()[i]));
}

TEST(CarriedIndexTest, LongFieldNamesBecomeTheFreeTablesNames) {
    const std::vector<FieldRename> renames = {{"companyname", "companynam"},
                                              {"contactname", "contactnam"}};
    EXPECT_EQ(renameFieldsIn("UPPER(companyname)+CompanyName", renames),
              "UPPER(companynam)+CompanyNam");
    // Literals, calls and an alias's field stay as they are.
    EXPECT_EQ(renameFieldsIn("contactname+\"companyname\"+[contactname]+x.companyname", renames),
              "contactnam+\"companyname\"+[contactname]+x.companyname");
    EXPECT_EQ(renameFieldsIn(".NOT.DELETED()", renames), ".NOT.DELETED()");
}

INSTANTIATE_TEST_SUITE_P(FoxProDb, CdxFixturesTest, ::testing::ValuesIn(kIndexes),
                         [](const auto& info) {
                             std::string name = info.param.table;
                             return name.substr(0, name.find_first_of(".-"));
                         });

}  // namespace
}  // namespace quorvel::foxpro

namespace quorvel::foxpro {
namespace {

TEST(TableKeysFixtureTest, ContainerNamesPrimaryKeysAndTheIndexesItLists) {
    if (!fs::is_directory(databaseFixtures())) GTEST_SKIP() << "no foxprodb fixtures folder";
    const auto source = DataSource::open((databaseFixtures() / "FOXPRO-DB-TEST.DBC").string());
    const TableKeys types = readTableKeys(*source, "types");
    EXPECT_EQ(types.containerName, "FOXPRO-DB-TEST.DBC");
    EXPECT_EQ(types.primaryTag, "type_id");
    ASSERT_EQ(types.tags.size(), 1u);
    EXPECT_TRUE(types.tags[0].candidate);
    EXPECT_TRUE(types.warnings.empty());
    // contacts: no primary key, a candidate and a regular index.
    const TableKeys contacts = readTableKeys(*source, "contacts");
    EXPECT_EQ(contacts.primaryTag, "");
    ASSERT_EQ(contacts.containerIndexes.size(), 2u);
    EXPECT_EQ(contacts.containerIndexes[0].tag, "contact_id");
    EXPECT_TRUE(contacts.containerIndexes[0].candidate);
    EXPECT_FALSE(contacts.containerIndexes[1].candidate);
    // The same table read as a folder's: its header links it to the container beside it.
    const auto folder = DataSource::open(databaseFixtures().string());
    EXPECT_EQ(readTableKeys(*folder, "types").primaryTag, "type_id");
}

}  // namespace
}  // namespace quorvel::foxpro
