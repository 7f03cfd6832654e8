// The three-way merge on random triples of tables: an ancestor and two
// copies edited at random (cells, deletes, inserts whose keys collide,
// records reordered, a field added or dropped), checked by properties that
// hold whatever the edits were.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "compare/merge3.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/text/text_form.h"
#include "results/merge3_table.h"
#include "support/table_builder.h"

namespace quorvel::results {
namespace {

using test::Cell;

struct Column {
    std::string name;
    char letter;
    int width;
    int decimals;
    bool nullable;
};

// Every type of the merge's rules; few values each, so that both sides
// often pick the same new value.
const std::vector<Column> kColumns = {
    {"NAME", 'C', 6, 0, true}, {"QTY", 'N', 7, 2, true}, {"COST", 'Y', 8, 0, false},
    {"DAY", 'D', 8, 0, true},  {"STAMP", 'T', 8, 0, false}, {"OK", 'L', 1, 0, false},
    {"NOTE", 'M', 4, 0, true}, {"COUNT", 'I', 4, 0, false}};
const Column kExtra = {"EXTRA", 'C', 4, 0, false};

Cell cellOf(const Column& c, int choice) {
    if (choice < 0) return Cell::null();
    static const char* const texts[] = {"ann", "bob", "cy", ""};
    switch (c.letter) {
        case 'C':
            return Cell::text(texts[choice % 4]);
        case 'N':
            return Cell::number(std::vector<std::string>{"1.50", "2.00", "-3.25", "0.00"}[choice % 4]);
        case 'Y':
            return Cell::currency(std::vector<std::int64_t>{0, 12500, -5000, 7}[choice % 4]);
        case 'D':
            return Cell::date(2020 + choice % 4, 1 + choice % 3, 5);
        case 'T':
            return Cell::dateTime(2021, 2, 3, choice % 4, 30, 0);
        case 'L':
            return Cell::logical(choice % 2 ? 'T' : 'F');
        case 'M':
            return choice % 4 == 3 ? Cell::none()
                                   : Cell::memo(std::vector<std::string>{"x", "two\nlines", "y"}[choice % 3]);
        default:
            return Cell::integer32(choice % 4 * 10);
    }
}

struct Table {
    std::vector<Column> columns = kColumns;
    std::vector<std::pair<int, std::vector<int>>> rows;  // key, choice per column
};

int randomChoice(std::mt19937& rng, const Column& c) {
    const int n = c.nullable ? 5 : 4;
    return static_cast<int>(rng() % static_cast<unsigned>(n)) - (c.nullable ? 1 : 0);
}

Table randomBase(std::mt19937& rng, int rows) {
    Table t;
    for (int id = 1; id <= rows; ++id) {
        std::vector<int> v;
        for (const auto& c : t.columns) v.push_back(randomChoice(rng, c));
        t.rows.emplace_back(id, v);
    }
    return t;
}

// A copy of base edited at random; new keys come from a small range, so
// that both copies insert some of the same keys.
Table randomEdit(const Table& base, std::mt19937& rng) {
    Table t = base;
    std::vector<std::pair<int, std::vector<int>>> rows;
    for (auto& row : t.rows) {
        if (rng() % 7 == 0) continue;
        if (rng() % 3 == 0) {
            const std::size_t f = rng() % row.second.size();
            row.second[f] = randomChoice(rng, t.columns[f]);
        }
        rows.push_back(row);
    }
    std::vector<int> keys = {100, 101, 102, 103};
    std::shuffle(keys.begin(), keys.end(), rng);
    for (int k = 0; k < static_cast<int>(rng() % 3); ++k) {
        std::vector<int> v;
        for (const auto& c : t.columns) v.push_back(rng() % 2 ? 0 : randomChoice(rng, c));
        rows.emplace_back(keys[static_cast<std::size_t>(k)], v);
    }
    std::shuffle(rows.begin(), rows.end(), rng);
    t.rows = std::move(rows);
    return t;
}

void addExtra(Table& t, std::mt19937& rng) {
    t.columns.push_back(kExtra);
    for (auto& row : t.rows) row.second.push_back(randomChoice(rng, kExtra));
}

void dropColumn(Table& t, std::size_t column) {
    t.columns.erase(t.columns.begin() + static_cast<long>(column));
    for (auto& row : t.rows) row.second.erase(row.second.begin() + static_cast<long>(column));
}

void writeTable(const Table& t, const std::string& path) {
    test::TableBuilder b(0x30);
    b.field("ID", 'I', 4);
    for (const auto& c : t.columns)
        b.field(c.name, c.letter, c.width, c.decimals, c.nullable ? 0x02 : 0);
    for (const auto& [id, values] : t.rows) {
        std::vector<Cell> cells = {Cell::integer32(id)};
        for (std::size_t f = 0; f < values.size(); ++f) cells.push_back(cellOf(t.columns[f], values[f]));
        b.record(cells);
    }
    b.write(path);
}

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
    Contents merge(const Table& base, const Table& ours, const Table& theirs,
                   compare::Pairing by, ConflictSet* conflicts = nullptr, bool swapped = false) {
        const std::string paths[3] = {write(base), write(ours), write(theirs)};
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
                conflicts->emplace(compare::conflictKindName(c.kind), c.key,
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
        if (seed % 3 == 0) addExtra(edited, rng);
        if (seed % 4 == 0) dropColumn(edited, 1);
        for (auto by : {compare::Pairing::Key, compare::Pairing::Content}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + (by == compare::Pairing::Key ? " key" : " content"));
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
        if (seed % 2 == 0) addExtra(theirs, rng);
        const Contents first = merge(base, ours, theirs, compare::Pairing::Key);
        for (Table* t : {&base, &ours, &theirs}) std::shuffle(t->rows.begin(), t->rows.end(), rng);
        EXPECT_EQ(merge(base, ours, theirs, compare::Pairing::Key), first);
    }
}

// One conflict of each kind, and what each resolution keeps.
TEST_F(Merge3Test, ConflictKindsAndResolutions) {
    Table base;
    base.rows = {{1, {0, 0, 0, 0, 0, 0, 0, 0}}, {2, {0, 0, 0, 0, 0, 0, 0, 0}}, {3, {0, 0, 0, 0, 0, 0, 0, 0}}};
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
    for (const auto& c : result.conflicts) kinds.insert(std::string(compare::conflictKindName(c.kind)) + " " + c.key);
    EXPECT_EQ(kinds, (std::multiset<std::string>{"both_changed 1", "deleted_and_changed 2",
                                                 "both_added 9", "dropped_and_changed "}));
    for (std::size_t i = 0; i < result.conflicts.size(); ++i) {
        compare::Resolution theirsSide;
        theirsSide.keep = compare::MergeSide::Theirs;
        if (result.conflicts[i].kind == compare::ConflictKind::BothAdded) {
            theirsSide.keep = compare::MergeSide::Given;
            theirsSide.value = {foxpro::Literal::Kind::Text, "zed"};
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
    ASSERT_EQ(out.liveCount(), 3);  // 1, 3 and 9; 2 deleted, as theirs did
    const auto name = [&](std::int64_t n) {
        return out.valueAt(out.liveIndex(n), out.findField("NAME")).str();
    };
    EXPECT_EQ(name(1), "cy    ");
    EXPECT_EQ(name(3), "zed   ");
}

}  // namespace
}  // namespace quorvel::results
