// An index written for a generated table, read back: every tag's keys in
// order, one per record the tag takes, and a seek finds each of them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_writer.h"
#include "foxpro/index/key_expression.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int kRecords = 3000;

// The generated values of record i (0-based), for the orders the tags
// must give.
struct Row {
    std::string name;
    double price;
    std::int32_t id;
    int day;  // of 2000-01
    bool active;
    bool deleted;
};

Row rowOf(int i) {
    // Stored bytes of code page 1252: an E with acute accent in one.
    static const char* const kNames[] = {"smith",  "Jones",   "brown", "\xC9mile",
                                         "o'hara", "Ziegler", "adams"};
    Row r;
    r.name = std::string(kNames[(i * 3) % 7]) + std::to_string(i % 50);
    r.price = ((i * 37) % 2001 - 1000) / 4.0;  // -250 .. 250 in quarters
    r.id = (i * 7919) % 100003 - 50000;        // distinct, negative ones too
    r.day = 1 + (i * 13) % 28;
    r.active = i % 3 != 0;
    r.deleted = i % 11 == 0;
    return r;
}

class CdxRoundTripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TableBuilder t(0x30);
        t.field("NAME", 'C', 12)
            .field("PRICE", 'N', 8, 2)
            .field("ID", 'I', 4)
            .field("BORN", 'D', 8)
            .field("SEEN", 'T', 8)
            .field("ACTIVE", 'L', 1)
            .field("RATE", 'F', 10, 3)
            .field("COST", 'Y', 8)
            .field("WEIGHT", 'B', 8, 2)
            .field("CODE", 'C', 4, 0, 0x02);
        for (int i = 0; i < kRecords; ++i) {
            const Row r = rowOf(i);
            char price[16], rate[16];
            std::snprintf(price, sizeof price, "%.2f", r.price);
            std::snprintf(rate, sizeof rate, "%.3f", -r.price);
            t.record({Cell::text(r.name), Cell::number(price), Cell::integer32(r.id),
                      Cell::date(2000, 1, r.day), Cell::dateTime(2000, 1, r.day, i % 24, i % 60, 0),
                      Cell::logical(r.active ? 'T' : 'F'), Cell::number(rate),
                      Cell::currency(static_cast<std::int64_t>(r.price * 10000)),
                      Cell::real64(r.price / 3),
                      i % 5 == 0 ? Cell::null() : Cell::text("c" + std::to_string(i % 9))},
                     r.deleted);
        }
        t.write(dir_.file("items.dbf"));
        table_ = std::make_unique<TableReader>(dir_.file("items.dbf"));
    }

    // Writes the tags as items.cdx and reads it back.
    IndexBuild Write(const std::vector<TagDefinition>& tags) {
        NewFileSet files(dir_.path());
        IndexBuild build = writeCompoundIndex(*table_, tags, files, "items.cdx");
        files.commit();
        if (build.fileWritten())
            index_ = std::make_unique<CdxReader>(dir_.file("items.cdx"), table_.get());
        return build;
    }

    // Records of a tag's entries, in order.
    std::vector<std::uint32_t> Records(const std::string& tag) const {
        std::vector<std::uint32_t> records;
        for (const IndexEntry& e : index_->entries(*index_->findTag(tag)))
            records.push_back(e.record);
        return records;
    }

    // The records the oracle puts in order: stable by less, of those keep
    // takes.
    template <typename Less, typename Keep>
    static std::vector<std::uint32_t> Expected(Less less, Keep keep) {
        std::vector<std::uint32_t> records;
        for (int i = 0; i < kRecords; ++i)
            if (keep(rowOf(i))) records.push_back(static_cast<std::uint32_t>(i + 1));
        std::stable_sort(records.begin(), records.end(), [&](std::uint32_t a, std::uint32_t b) {
            return less(rowOf(static_cast<int>(a - 1)), rowOf(static_cast<int>(b - 1)));
        });
        return records;
    }

    test::TempFolder dir_;
    std::unique_ptr<TableReader> table_;
    std::unique_ptr<CdxReader> index_;
};

// A definition with the header's flags in order.
TagDefinition tag(std::string name, std::string key, std::string forClause = "",
                  bool unique = false, bool candidate = false, bool descending = false,
                  std::string collation = "") {
    return TagDefinition{std::move(name), std::move(key), std::move(forClause), unique,
                         candidate,       descending,     std::move(collation)};
}

const std::vector<TagDefinition> kTags = {
    tag("NAME", "UPPER(name)"),
    tag("ID", "id", "", false, true),
    tag("PRICE", "price"),
    tag("RATE", "rate", "", false, false, true),
    tag("COST", "cost"),
    tag("WEIGHT", "weight"),
    tag("BORN", "born"),
    tag("SEEN", "seen"),
    tag("ACTIVE", "active"),
    tag("COMBO", "UPPER(name)+DTOS(born)"),
    tag("STRS", "STR(price, 10, 2) + TTOC(seen, 1)"),
    tag("BIN", "BINTOC(id)"),
    tag("PADS", "PADL(ALLTRIM(name), 14, '*')"),
    tag("PIECES", "LEFT(name,3)+RIGHT(name,2)+SUBSTR(name,2,3)+LOWER(TRIM(name))"),
    tag("LIVE", "name", "!DELETED()"),
    tag("ACT", "id", "active"),
    tag("UNIQ", "LOWER(LEFT(name, 2))", "", true),
    tag("NULLC", "code"),
};

TEST_F(CdxRoundTripTest, EveryTagReadsBackWithItsHeaderAndOneKeyPerRecord) {
    const IndexBuild build = Write(kTags);
    EXPECT_TRUE(build.leftOut.empty()) << build.leftOut.front();
    ASSERT_EQ(index_->tags().size(), kTags.size());
    for (std::size_t i = 0; i < kTags.size(); ++i) {
        const IndexTag& tag = index_->tags()[i];
        SCOPED_TRACE(tag.name);
        EXPECT_EQ(tag.name, kTags[i].name);
        EXPECT_EQ(tag.keyExpression, kTags[i].keyExpression);
        EXPECT_EQ(tag.forExpression, kTags[i].forExpression);
        EXPECT_EQ(tag.unique, kTags[i].unique);
        EXPECT_EQ(tag.candidate, kTags[i].candidate);
        EXPECT_EQ(tag.descending, kTags[i].descending);
        EXPECT_EQ(tag.hasFor, !kTags[i].forExpression.empty());
        // Each key is the one its record gives, in ascending order (the
        // reader refuses keys out of order).
        const KeyExpression key(tag.keyExpression, *table_);
        std::string expected;
        std::size_t count = 0;
        index_->walk(tag, [&](const IndexEntry& e) {
            key.key(table_->storedRecord(e.record - 1), expected);
            EXPECT_EQ(e.key, expected) << "record " << e.record;
            ++count;
            return true;
        });
        if (tag.forExpression.empty() && !tag.unique) {
            EXPECT_EQ(count, std::size_t{kRecords});
        }
    }
}

TEST_F(CdxRoundTripTest, KeysOrderRecordsAsTheirValuesDo) {
    Write(kTags);
    auto all = [](const Row&) { return true; };
    EXPECT_EQ(Records("ID"), Expected([](const Row& a, const Row& b) { return a.id < b.id; }, all));
    EXPECT_EQ(Records("BIN"), Records("ID"));
    EXPECT_EQ(Records("PRICE"),
              Expected([](const Row& a, const Row& b) { return a.price < b.price; }, all));
    EXPECT_EQ(Records("COST"), Records("PRICE"));
    EXPECT_EQ(Records("WEIGHT"), Records("PRICE"));
    // The keys of a descending tag are stored ascending too.
    EXPECT_EQ(Records("RATE"),
              Expected([](const Row& a, const Row& b) { return -a.price < -b.price; }, all));
    EXPECT_EQ(Records("BORN"),
              Expected([](const Row& a, const Row& b) { return a.day < b.day; }, all));
    EXPECT_EQ(Records("ACTIVE"),
              Expected([](const Row& a, const Row& b) { return !a.active && b.active; }, all));
    // FOR clauses: deleted records left out; only the active ones.
    EXPECT_EQ(Records("LIVE"), Expected([](const Row& a, const Row& b) { return a.name < b.name; },
                                        [](const Row& r) { return !r.deleted; }));
    EXPECT_EQ(Records("ACT"), Expected([](const Row& a, const Row& b) { return a.id < b.id; },
                                       [](const Row& r) { return r.active; }));
}

TEST_F(CdxRoundTripTest, UniqueTagKeepsTheFirstRecordOfEachKey) {
    Write(kTags);
    std::map<std::string, std::uint32_t> first;
    for (int i = kRecords - 1; i >= 0; --i) {
        std::string prefix = rowOf(i).name.substr(0, 2);
        for (char& c : prefix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (prefix[0] == '\xC9') prefix[0] = '\xE9';
        first[prefix] = static_cast<std::uint32_t>(i + 1);
    }
    std::vector<std::uint32_t> expected;
    for (const auto& [prefix, record] : first) expected.push_back(record);
    EXPECT_EQ(Records("UNIQ"), expected);
}

TEST_F(CdxRoundTripTest, SeekFindsTheFirstRecordOfEveryKey) {
    Write(kTags);
    for (const IndexTag& tag : index_->tags()) {
        SCOPED_TRACE(tag.name);
        const std::vector<IndexEntry> entries = index_->entries(tag);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (i > 0 && entries[i].key == entries[i - 1].key) continue;
            const auto found = index_->seek(tag, entries[i].key);
            ASSERT_TRUE(found.has_value()) << "entry " << i;
            EXPECT_EQ(found->record, entries[i].record) << "entry " << i;
        }
        std::string missing(static_cast<std::size_t>(tag.keyLength), '\xFF');
        EXPECT_FALSE(index_->seek(tag, missing).has_value());
    }
}

TEST_F(CdxRoundTripTest, NullableKeysCarryThePrefixAndNullsSortFirst) {
    Write(kTags);
    const IndexTag& tag = *index_->findTag("NULLC");
    EXPECT_TRUE(tag.nullKeys);
    EXPECT_EQ(tag.keyLength, 5);
    const std::vector<IndexEntry> entries = index_->entries(tag);
    EXPECT_EQ(entries.front().key, std::string(5, '\0'));
    EXPECT_EQ(entries.front().record, 1u);
    EXPECT_EQ(entries.back().key, std::string("\x80"
                                              "c8  ",
                                              5));
}

TEST_F(CdxRoundTripTest, TagsThatCannotBeBuiltAreLeftOutWithTheReason) {
    const IndexBuild build = Write(
        {tag("COMPNAME", "UPPER(name)", "", false, false, false, "GENERAL"),
         tag("DUPS", "active", "", false, true), tag("BAD", "AT('a', name)"), tag("OK", "id")});
    EXPECT_THAT(build.written, ElementsAre("OK"));
    EXPECT_THAT(build.leftOut, ElementsAre("tag COMPNAME: collation GENERAL is not supported",
                                           HasSubstr("tag DUPS: records 1 and 4 have the same key"),
                                           "tag BAD: function AT() is not supported"));
    EXPECT_EQ(index_->tags().size(), 1u);
}

TEST_F(CdxRoundTripTest, NoFileWhenNoTagCanBeBuilt) {
    const IndexBuild build = Write({tag("BAD", "nosuch")});
    EXPECT_FALSE(build.fileWritten());
    EXPECT_THAT(build.leftOut, ElementsAre("tag BAD: no field nosuch"));
    EXPECT_EQ(findStructuralIndex(dir_.file("items.dbf")), "");
}

// Key bytes of each kind, as FoxPro orders them.
TEST(KeyBytesTest, EachKindHasItsOrderedForm) {
    test::TempFolder dir;
    TableBuilder t(0x30);
    t.field("I", 'I', 4)
        .field("N", 'N', 6, 1)
        .field("D", 'D', 8)
        .field("L", 'L', 1)
        .field("T", 'T', 8);
    t.record({Cell::integer32(1), Cell::number("-1.5"), Cell::date(1970, 1, 1), Cell::logical('T'),
              Cell::dateTime(1970, 1, 1, 12, 0, 0)});
    t.record({Cell::integer32(-1), Cell::number("2"), Cell::blank(), Cell::blank(), Cell::blank()});
    t.write(dir.file("k.dbf"));
    const TableReader table(dir.file("k.dbf"));
    auto hex = [&](const char* expression, int record) {
        std::string key;
        KeyExpression(expression, table).key(table.storedRecord(record), key);
        std::string out;
        for (unsigned char c : key)
            out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
        return out;
    };
    EXPECT_EQ(hex("i", 0), "80000001");
    EXPECT_EQ(hex("i", 1), "7fffffff");
    EXPECT_EQ(hex("n", 0), "4007ffffffffffff");  // -1.5: every bit inverted
    EXPECT_EQ(hex("n", 1), "c000000000000000");  // 2: the sign bit set
    EXPECT_EQ(hex("d", 0), "c1429ec600000000");  // Julian day 2440588
    EXPECT_EQ(hex("d", 1), "8000000000000000");  // the empty date
    EXPECT_EQ(hex("t", 0), "c1429ec640000000");  // and a half
    EXPECT_EQ(hex("l", 0), "54");
    EXPECT_EQ(hex("l", 1), "46");
    EXPECT_EQ(hex("STR(n,5,1)", 0), "202d312e35");
    EXPECT_EQ(hex("STR(n)", 0), "20202020202020202d32");
}

}  // namespace
}  // namespace quorvel::foxpro
