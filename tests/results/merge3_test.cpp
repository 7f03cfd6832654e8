// The three-way merge on random triples of tables: an ancestor and two
// copies edited at random (cells, deletes, inserts whose keys collide,
// records reordered, a field added or dropped), checked by properties that
// hold whatever the edits were.

#include "compare/merge3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "compare/record_hash.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/text/text_form.h"
#include "results/merge3_table.h"
#include "support/table_builder.h"
#include "support/table_triples.h"

namespace quorvel::results {
namespace {

using test::addExtra;
using test::Cell;
using test::dropColumn;
using test::randomBase;
using test::randomEdit;
using test::Table;
using test::TableBuilder;
using test::writeTable;

// A table as a set: its field definitions and its records, each as its
// fields' names and text forms in name order.
struct Contents {
    std::set<std::string> fields;
    std::multiset<std::string> records;
    friend bool operator==(const Contents&, const Contents&) = default;
};

Contents contentsOf(const std::string& path) {
    foxpro::TableReader r(path);
    Contents c;
    std::vector<int> order(static_cast<std::size_t>(r.fieldCount()));
    for (int i = 0; i < r.fieldCount(); ++i) {
        order[static_cast<std::size_t>(i)] = i;
        const auto& f = r.field(i);
        c.fields.insert(f.name + ":" + f.letter + std::to_string(f.width) + "," +
                        std::to_string(f.decimals) + (f.nullable ? "n" : ""));
    }
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return r.field(a).name < r.field(b).name; });
    for (std::int64_t i = r.nextLive(0); i < r.storedCount(); i = r.nextLive(i + 1)) {
        std::string text;
        for (int f : order) {
            const foxpro::Value v = r.valueAt(i, f);
            text += r.field(f).name + "=" +
                    (v.isNull() ? "<null>" : foxpro::textForm(v, foxpro::TextLocale::c())) + "|";
        }
        c.records.insert(text);
    }
    return c;
}

using ConflictSet = std::set<std::tuple<std::string, std::string, std::string, std::string>>;

class Merge3Test : public ::testing::Test {
  protected:
    std::string write(const Table& t) {
        const std::string name = "t" + std::to_string(next_++);
        writeTable(t, dir_.file(name + ".dbf"));
        return dir_.file(name + ".dbf");
    }

    // Merges the three (conflicts keeping ours), writes the result and
    // returns its contents; conflicts gets (kind, key, field, values).
    Contents merge(const Table& base, const Table& ours, const Table& theirs, compare::Pairing by,
                   ConflictSet* conflicts = nullptr, bool swapped = false) {
        const std::string paths[3] = {write(base), write(ours), write(theirs)};
        return mergeFiles(paths, by, conflicts, swapped);
    }

    Contents mergeFiles(const std::string (&paths)[3], compare::Pairing by,
                        ConflictSet* conflicts = nullptr, bool swapped = false) {
        foxpro::TableReader b(paths[0]), o(paths[1]), t(paths[2]);
        compare::Merge3Options options;
        options.pairing.by = by;
        if (by == compare::Pairing::Key) options.pairing.keyFields = {"ID"};
        const compare::Merge3Result result = compare::merge3(b, o, t, options);
        for (const auto& c : result.conflicts) {
            std::string values;
            for (int s : {0, swapped ? 2 : 1, swapped ? 1 : 2})
                values += c.value[s] ? foxpro::textForm(*c.value[s], foxpro::TextLocale::c()) + "/"
                                     : std::string("-/");
            if (conflicts)
                conflicts->emplace(
                    compare::conflictKindName(c.kind), c.key,
                    c.field < 0 ? "" : result.fields[static_cast<std::size_t>(c.field)].info.name,
                    values);
        }
        conflictCount_ = result.conflicts.size();
        Merge3Inputs inputs;
        inputs.side[0] = &b;
        inputs.side[1] = &o;
        inputs.side[2] = &t;
        auto target = foxpro::DataSource::open(dir_.path());
        const std::string out = "out" + std::to_string(next_++);
        writeMergedTable(result, inputs, *target, out, false, {}, paths[1]);
        return contentsOf(dir_.file(out + ".dbf"));
    }

    Contents contents(const Table& t) { return contentsOf(write(t)); }

    test::TempFolder dir_;
    int next_ = 0;
    std::size_t conflictCount_ = 0;
};

TEST_F(Merge3Test, OneSideEditedGivesThatSideWithoutConflicts) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        const Table base = randomBase(rng, 25);
        Table edited = randomEdit(base, rng);
        if (seed % 3 == 0) addExtra(edited, rng, seed % 2 == 0);
        if (seed % 4 == 0) dropColumn(edited, 1);
        for (auto by :
             {compare::Pairing::Key, compare::Pairing::Content, compare::Pairing::Position}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " " +
                         std::string(compare::pairingWord(by)));
            const Contents want = contents(edited);
            EXPECT_EQ(merge(base, base, edited, by), want);  // merge(A, A, T) = T
            EXPECT_EQ(conflictCount_, 0u);
            EXPECT_EQ(merge(base, edited, base, by), want);  // and the other way round
            EXPECT_EQ(conflictCount_, 0u);
            EXPECT_EQ(merge(base, edited, edited, by), want);  // merge(A, X, X) = X
            EXPECT_EQ(conflictCount_, 0u);
        }
    }
}

TEST_F(Merge3Test, SwappingOursAndTheirsMirrorsTheConflicts) {
    std::size_t seen = 0;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed * 7919);
        const Table base = randomBase(rng, 25);
        Table ours = randomEdit(base, rng);
        Table theirs = randomEdit(base, rng);
        if (seed % 3 == 0) dropColumn(theirs, 6);  // NOTE, which ours may have changed
        ConflictSet a, b;
        merge(base, ours, theirs, compare::Pairing::Key, &a);
        merge(base, theirs, ours, compare::Pairing::Key, &b, true);
        EXPECT_EQ(a, b);
        seen += a.size();
    }
    EXPECT_GT(seen, 0u);  // the edits did collide somewhere
}

TEST_F(Merge3Test, RecordOrderDoesNotChangeTheResult) {
    for (unsigned seed = 1; seed <= 10; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed * 104729);
        Table base = randomBase(rng, 25);
        Table ours = randomEdit(base, rng);
        Table theirs = randomEdit(base, rng);
        if (seed % 2 == 0) addExtra(theirs, rng, seed % 4 == 0);
        const Contents first = merge(base, ours, theirs, compare::Pairing::Key);
        for (Table* t : {&base, &ours, &theirs}) std::shuffle(t->rows.begin(), t->rows.end(), rng);
        // Half the seeds with key hashes of two bits: every pairing is
        // settled by the keys themselves.
        const std::uint64_t mask = compare::recordHashMask;
        if (seed % 2) compare::recordHashMask = 0x3;
        const Contents shuffled = merge(base, ours, theirs, compare::Pairing::Key);
        compare::recordHashMask = mask;
        EXPECT_EQ(shuffled, first);
    }
}

// A wider NAME and a QTY of more decimals on one side apply, with the
// other side's edits converted into them; a NAME too narrow for the other
// side's values does not, and says why.
TEST_F(Merge3Test, DefinitionChangesApplyWhenEveryValueFits) {
    std::mt19937 rng(4242);
    const Table base = randomBase(rng, 25);
    const Table ours = randomEdit(base, rng);
    Table theirs = base;
    theirs.columns[0].width = 10;
    theirs.columns[1].width = 9;
    theirs.columns[1].decimals = 3;
    Table want = ours;
    want.columns = theirs.columns;
    EXPECT_EQ(merge(base, ours, theirs, compare::Pairing::Key), contents(want));

    theirs.columns[0].width = 2;  // "ann", "bob" no longer fit
    theirs.columns[1] = base.columns[1];
    const std::string paths[3] = {write(base), write(ours), write(theirs)};
    foxpro::TableReader b(paths[0]), o(paths[1]), t(paths[2]);
    compare::Merge3Options options;
    options.pairing = {compare::Pairing::Key, {"ID"}};
    const compare::Merge3Result result = compare::merge3(b, o, t, options);
    EXPECT_EQ(result.fields[1].info.width, 6);  // NAME, after ID
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_NE(result.notes[0].find("field NAME"), std::string::npos) << result.notes[0];
    // It names the record whose value does not fit.
    EXPECT_NE(result.notes[0].find(", record "), std::string::npos) << result.notes[0];
}

// A free copy of a container's table keeps ten characters of each long
// name: its fields are the container's, as the comparison pairs them.
TEST_F(Merge3Test, FieldsPairByTheTenCharactersOfALongName) {
    const std::string container = test::writeSampleContainer(dir_.path());
    TableBuilder copy(0x30);
    copy.field("CUSTOMER_N", 'I', 4).field("COMPANY_NA", 'C', 20).field("CITY", 'C', 10);
    copy.record({Cell::integer32(1), Cell::text("Cascade Coffee"), Cell::text("Paris")});
    copy.record({Cell::integer32(2), Cell::text("Blue Mill"), Cell::text("Milan")});
    copy.write(dir_.file("copy.dbf"));
    auto shop = foxpro::DataSource::open(container);
    const auto base = shop->openTable("customers");
    const auto theirs = shop->openTable("customers");
    foxpro::TableReader ours(dir_.file("copy.dbf"));
    compare::Merge3Options options;
    options.pairing.by = compare::Pairing::Content;
    const compare::Merge3Result result = compare::merge3(*base, ours, *theirs, options);
    EXPECT_TRUE(result.conflicts.empty());
    EXPECT_EQ(result.records.size(), 2u);
    ASSERT_EQ(result.fields.size(), 3u);
    for (const auto& f : result.fields) {
        EXPECT_FALSE(f.dropped) << f.info.name;
        EXPECT_GE(f.index[0], 0) << f.info.name;
        EXPECT_GE(f.index[2], 0) << f.info.name;
    }
}

// Two long names cut alike pair by the names the header made unique.
TEST_F(Merge3Test, FieldsPairByTheNamesTheHeaderStores) {
    test::ContainerBuilder crm;
    crm.table("types", "types.dbf").field("contact_type_id").field("contact_type");
    crm.write(dir_.file("crm.dbc"));
    auto types = [](TableBuilder t) {
        t.field("CONTACT_TY", 'I', 4).field("CONTACT_T2", 'C', 8);
        t.record({Cell::integer32(1), Cell::text("Buyer")});
        return t;
    };
    TableBuilder inContainer(0x30);
    inContainer.backlink("crm.dbc");
    types(inContainer).write(dir_.file("types.dbf"));
    types(TableBuilder(0x30)).write(dir_.file("copy.dbf"));
    auto crmSource = foxpro::DataSource::open(dir_.file("crm.dbc"));
    const auto base = crmSource->openTable("types");
    const auto theirs = crmSource->openTable("types");
    foxpro::TableReader ours(dir_.file("copy.dbf"));
    const compare::Merge3Result result = compare::merge3(*base, ours, *theirs, {});
    ASSERT_EQ(result.fields.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(result.fields[i].dropped) << i;
        for (int s = 0; s < 3; ++s) EXPECT_EQ(result.fields[i].index[s], i) << i << " " << s;
    }
}

// One conflict of each kind, and what each resolution keeps.
TEST_F(Merge3Test, ConflictKindsAndResolutions) {
    Table base;
    base.rows = {{1, {0, 0, 0, 0, 0, 0, 0, 0}},
                 {2, {0, 0, 0, 0, 0, 0, 0, 0}},
                 {3, {0, 0, 0, 0, 0, 0, 0, 0}}};
    Table ours = base, theirs = base;
    ours.rows[0].second[0] = 1;  // NAME of 1: bob against cy
    theirs.rows[0].second[0] = 2;
    ours.rows[1].second[1] = 2;  // 2 changed by ours, deleted by theirs
    theirs.rows.erase(theirs.rows.begin() + 1);
    ours.rows.push_back({9, {1, 0, 0, 0, 0, 0, 0, 0}});  // 9 added on both, NAME differs
    theirs.rows.push_back({9, {2, 0, 0, 0, 0, 0, 0, 0}});
    ours.rows[2].second[7] = 1;  // COUNT of 3 changed by ours, dropped by theirs
    dropColumn(theirs, 7);
    const std::string paths[3] = {write(base), write(ours), write(theirs)};
    foxpro::TableReader b(paths[0]), o(paths[1]), t(paths[2]);
    compare::Merge3Options options;
    options.pairing = {compare::Pairing::Key, {"ID"}};
    compare::Merge3Result result = compare::merge3(b, o, t, options);
    std::multiset<std::string> kinds;
    for (const auto& c : result.conflicts)
        kinds.insert(std::string(compare::conflictKindName(c.kind)) + " " + c.key);
    EXPECT_EQ(kinds, (std::multiset<std::string>{"both_changed 1", "deleted_and_changed 2",
                                                 "both_added 9", "dropped_and_changed "}));
    for (std::size_t i = 0; i < result.conflicts.size(); ++i) {
        compare::Resolution theirsSide;
        theirsSide.keep = compare::MergeSide::Theirs;
        if (result.conflicts[i].kind == compare::ConflictKind::BothAdded) {
            theirsSide.keep = compare::MergeSide::Given;
            theirsSide.value.kind = foxpro::Literal::Kind::Text;
            theirsSide.value.text = "zed";
        }
        compare::resolveConflict(result, i, theirsSide);
    }
    Merge3Inputs inputs;
    inputs.side[0] = &b;
    inputs.side[1] = &o;
    inputs.side[2] = &t;
    auto target = foxpro::DataSource::open(dir_.path());
    writeMergedTable(result, inputs, *target, "resolved", false, {}, paths[1]);
    foxpro::TableReader out(dir_.file("resolved.dbf"));
    EXPECT_EQ(out.findField("COUNT"), -1);  // dropped, as theirs did
    ASSERT_EQ(out.liveCount(), 3);          // 1, 3 and 9; 2 deleted, as theirs did
    const auto name = [&](std::int64_t n) {
        return out.valueAt(out.liveIndex(n), out.findField("NAME")).str();
    };
    EXPECT_EQ(name(1), "cy    ");
    EXPECT_EQ(name(3), "zed   ");
}

// Copies in base's order (the usual case) pair in step up to the first
// place where they part, and by hashes after it: a key held twice on both
// sides of that place, edits before and after it, and long enough tables
// for the walks that run in two halves.  Shuffled, the same triple must
// merge alike; by content, a side that changed nothing gives the other.
TEST_F(Merge3Test, CopiesInOneOrderMergeAsShuffledCopies) {
    std::mt19937 rng(7177);
    const int rows = 70000, parting = rows / 2;
    Table base = randomBase(rng, rows);
    dropColumn(base, 6);  // no memo: records compare and copy whole
    base.rows[parting - 2].first = base.rows[parting + 3].first;
    base.rows[20].first = base.rows[21].first;
    auto edit = [&](int every, int removed) {
        Table t = base;
        for (std::size_t i = 5; i < t.rows.size(); i += static_cast<std::size_t>(every))
            t.rows[i].second[i % t.columns.size()] ^= 1;
        t.rows.erase(t.rows.begin() + removed);
        return t;
    };
    const int keys[2] = {base.rows[12].first, base.rows[parting + 30].first};
    for (auto& row : base.rows)
        if (row.first == keys[0] || row.first == keys[1]) row.second[0] = 2;
    Table ours = edit(97, parting);
    Table theirs = edit(89, parting + 10);
    for (auto* t : {&ours, &theirs})  // NAME changed on both sides, differently
        for (auto& row : t->rows)
            if (row.first == keys[0] || row.first == keys[1]) row.second[0] = t == &ours ? 0 : 1;
    ConflictSet inStep, shuffled;
    const Contents first = merge(base, ours, theirs, compare::Pairing::Key, &inStep);
    EXPECT_EQ(inStep.size(), 2u);
    for (Table* t : {&base, &ours, &theirs}) std::shuffle(t->rows.begin(), t->rows.end(), rng);
    EXPECT_EQ(merge(base, ours, theirs, compare::Pairing::Key, &shuffled), first);
    EXPECT_EQ(shuffled, inStep);

    std::sort(base.rows.begin(), base.rows.end());
    std::sort(theirs.rows.begin(), theirs.rows.end());
    EXPECT_EQ(merge(base, base, theirs, compare::Pairing::Content), contents(theirs));
    EXPECT_EQ(conflictCount_, 0u);
}

// Deleted records are no part of a merge: copies with deleted records
// among theirs (base's and ours' walked again after the walk in step met
// them) merge as the same copies without them.
TEST_F(Merge3Test, DeletedRecordsMergeAsRecordsThatAreNotThere) {
    std::mt19937 rng(3119);
    Table base = randomBase(rng, 300);
    dropColumn(base, 6);
    for (std::size_t i = 5; i < base.rows.size(); i += 13) base.rows[i].second[0] = 2;
    Table ours = base, theirs = base;
    for (std::size_t i = 4; i < base.rows.size(); i += 9) ours.rows[i].second[1] ^= 1;
    for (std::size_t i = 6; i < base.rows.size(); i += 11) theirs.rows[i].second[2] ^= 1;
    for (std::size_t i = 5; i < base.rows.size(); i += 13) {  // conflicts
        ours.rows[i].second[0] = 0;
        theirs.rows[i].second[0] = 1;
    }
    // The same tables with records stored at these places and deleted.
    auto withDeleted = [&](Table t, std::vector<std::size_t> at) {
        for (std::size_t i : at)
            t.rows.insert(t.rows.begin() + static_cast<long>(i),
                          {9000 + static_cast<int>(i), t.rows[i % t.rows.size()].second});
        const std::string path = write(t);
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        unsigned char header[12];
        f.read(reinterpret_cast<char*>(header), sizeof header);
        const int headerLength = header[8] | header[9] << 8,
                  recordLength = header[10] | header[11] << 8;
        for (std::size_t i : at) {
            f.seekp(headerLength + static_cast<long>(i) * recordLength);
            f.put('*');
        }
        return path;
    };
    for (const compare::Pairing by : {compare::Pairing::Key, compare::Pairing::Content}) {
        SCOPED_TRACE(by == compare::Pairing::Key ? "by key" : "by content");
        ConflictSet plain, deleted;
        const std::string paths[3] = {withDeleted(base, {0, 7, 150, 302}),
                                      withDeleted(ours, {0, 7, 150}), withDeleted(theirs, {})};
        EXPECT_EQ(mergeFiles(paths, by, &deleted), merge(base, ours, theirs, by, &plain));
        EXPECT_EQ(deleted, plain);
        EXPECT_EQ(conflictCount_, 23u);
    }
}

// Content pairing walks copies in step by their records' bytes where it
// can; a block moved back in ours must send ours to the whole alignment.
// The pairs are then those that hashing records by their values gives
// (trailing blanks, ignored there, tell no two values of these tables
// apart).
TEST_F(Merge3Test, ABlockMovedBackPairsAsWhenRecordsHashByValue) {
    std::mt19937 rng(4243);
    Table base = randomBase(rng, 300, false);
    dropColumn(base, 6);
    Table ours = base, theirs = base;
    std::rotate(ours.rows.begin() + 40, ours.rows.begin() + 120, ours.rows.begin() + 124);
    for (std::size_t i = 5; i < ours.rows.size(); i += 31) ours.rows[i].second[2] ^= 1;
    for (std::size_t i = 3; i < theirs.rows.size(); i += 7) theirs.rows[i].second[1] ^= 1;
    const std::string paths[3] = {write(base), write(ours), write(theirs)};
    foxpro::TableReader b(paths[0]), o(paths[1]), t(paths[2]);
    auto merged = [&](bool byValue) {
        compare::Merge3Options options;
        options.pairing.by = compare::Pairing::Content;
        options.compare.ignoreTrailingBlanks = byValue;
        const compare::Merge3Result result = compare::merge3(b, o, t, options);
        std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, bool>> records;
        for (const auto& m : result.records)
            records.emplace_back(m.record[0], m.record[1], m.record[2], m.kept);
        return std::pair(records, result.conflicts.size());
    };
    EXPECT_EQ(merged(false), merged(true));
}

// The progress of a merge and of writing its table rises to their ends,
// and gives what a merge without callbacks gives; a stop asked on the
// way ends either with Merge3Stopped, no table and no file of one left.
// Events fall due by the clock, so the tables grow until the write lasts
// past one interval on this machine.
TEST_F(Merge3Test, ProgressRisesToTheEndAndAStopOnTheWayLeavesNoTable) {
    std::mt19937 rng(5150);
    for (int size = 70000;; size *= 2) {
        SCOPED_TRACE(size);
        Table base = randomBase(rng, size);
        Table ours = base, theirs = base;
        // Every record takes fields of both sides: written field by field,
        // the slow way, so that the events are due on the way.
        for (auto& row : ours.rows) row.second[1] ^= 1;
        for (auto& row : theirs.rows) row.second[2] ^= 1;
        theirs.rows.erase(theirs.rows.begin() + 10);
        const std::string paths[3] = {write(base), write(ours), write(theirs)};
        foxpro::TableReader b(paths[0]), o(paths[1]), t(paths[2]);
        compare::Merge3Options options;
        options.pairing.by = compare::Pairing::Key;
        options.pairing.keyFields = {"ID"};
        const std::int64_t scale = o.liveCount() + t.liveCount();

        std::vector<std::pair<std::int64_t, std::int64_t>> counted;
        int events = 0;
        compare::CompareCallbacks callbacks;
        callbacks.counted = [&](std::int64_t done, std::int64_t total) {
            counted.emplace_back(done, total);
        };
        callbacks.processEvents = [&] { ++events; };
        const compare::Merge3Result plain = compare::merge3(b, o, t, options);
        const compare::Merge3Result paced =
            compare::merge3(b, o, t, options, callbacks, [] { return false; });
        EXPECT_GT(events, 0);
        ASSERT_GE(counted.size(), 2u);
        EXPECT_TRUE(std::is_sorted(counted.begin(), counted.end()));
        EXPECT_EQ(counted.back(), std::make_pair(scale, scale));
        EXPECT_EQ(paced.records.size(), plain.records.size());
        EXPECT_EQ(paced.sourceRows, plain.sourceRows);
        EXPECT_EQ(paced.conflicts.size(), plain.conflicts.size());

        // Stopped once the rules are under way.
        counted.clear();
        bool stopped = false;
        try {
            compare::merge3(b, o, t, options, callbacks,
                            [&] { return !counted.empty() && counted.back().first > 0; });
        } catch (const compare::Merge3Stopped&) {
            stopped = true;
        }
        if (!stopped) {
            // Merged before any events fell due: too fast to stop on the way.
            ASSERT_LT(size, 70000 * 16) << "no events fell due while merging";
            continue;
        }
        ASSERT_FALSE(counted.empty());
        EXPECT_LT(counted.back().first, scale);

        Merge3Inputs inputs;
        inputs.side[0] = &b;
        inputs.side[1] = &o;
        inputs.side[2] = &t;
        auto target = foxpro::DataSource::open(dir_.path());
        const auto files = [&] {
            std::set<std::string> names;
            for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
                names.insert(e.path().filename().string());
            return names;
        };
        const std::set<std::string> before = files();
        std::vector<std::pair<std::int64_t, std::int64_t>> written;
        MergeCallbacks writing;
        writing.progress = [&](std::int64_t done, std::int64_t total) {
            written.emplace_back(done, total);
        };
        writing.stopRequested = [&] { return written.back().first > 0; };
        stopped = false;
        try {
            writeMergedTable(paced, inputs, *target, "stopped", false, {}, paths[1], writing);
        } catch (const compare::Merge3Stopped&) {
            stopped = true;
        }
        if (!stopped) {
            // Written before any events fell due: too fast to stop on the way.
            ASSERT_LT(size, 70000 * 16) << "no events fell due while writing";
            for (const char* ext : {".dbf", ".fpt", ".cdx"})
                std::filesystem::remove(dir_.file(std::string("stopped") + ext));
            continue;
        }
        EXPECT_EQ(files(), before);
        EXPECT_GT(written.back().first, 0);
        EXPECT_LT(written.back().first, written.back().second);

        written.clear();
        writing.stopRequested = [] { return false; };
        writeMergedTable(paced, inputs, *target, "paced", false, {}, paths[1], writing);
        writeMergedTable(plain, inputs, *target, "plain", false, {}, paths[1]);
        EXPECT_EQ(contentsOf(dir_.file("paced.dbf")), contentsOf(dir_.file("plain.dbf")));
        const auto kept = static_cast<std::int64_t>(std::count_if(
            plain.records.begin(), plain.records.end(), [](const auto& m) { return m.kept; }));
        EXPECT_EQ(written.front(), std::make_pair(std::int64_t{0}, kept));
        EXPECT_EQ(written.back(), std::make_pair(kept, kept));
        break;
    }
}

}  // namespace
}  // namespace quorvel::results
