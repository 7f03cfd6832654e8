// End to end: random pairs of tables, compared and merged with every line
// ticked, then read back by an independent reader (python3-dbfread).

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "compare/compare.h"
#include "results/merge.h"
#include "support/python_runner.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace quorvel::results {
namespace {

using test::Cell;
using test::TableBuilder;

// Expected: the new table has Table #1's columns; its first min(n1, n2)
// records are Table #1's with Table #2's value in every common field; then
// come Table #2's extra records (common fields from Table #2); Table #1's
// extra records stay as they were.
constexpr const char* kCheck = R"PY(
import os, sys, dbfread
folder, t1, t2, new = sys.argv[1:]
def load(name):
    t = dbfread.DBF(os.path.join(folder, name + '.dbf'), load=True)
    return [f.name.upper() for f in t.fields], [{k.upper(): v for k, v in r.items()} for r in t.records]
f1, r1 = load(t1)
f2, r2 = load(t2)
fn, rn = load(new)
errors = []
if fn != f1:
    errors.append('columns %r, expected %r' % (fn, f1))
common = [f for f in f1 if f in f2]
expected = []
for i in range(max(len(r1), len(r2))):
    if i < len(r1):
        row = dict(r1[i])
        if i < len(r2):
            row.update({f: r2[i][f] for f in common})
    else:
        row = {f: r2[i][f] for f in common}
    expected.append(row)
if len(rn) != len(expected):
    errors.append('%d records, expected %d' % (len(rn), len(expected)))
# An empty memo is stored either as no block (read as None) or as a block
# of no text (read as ''); both are the same empty memo.
def same(a, b):
    return a == b or (a in (None, '') and b in (None, ''))
for i, (got, want) in enumerate(zip(rn, expected)):
    for f, v in want.items():
        if not same(got.get(f), v):
            errors.append('record %d field %s: %r, expected %r' % (i + 1, f, got.get(f), v))
print('\n'.join(errors[:20]))
sys.exit(1 if errors else 0)
)PY";

struct Column {
    const char* name;
    char letter;
    int width;
    int decimals;
};

// Table #1 and Table #2 share most columns, in another order; each has one
// of its own.
const std::vector<Column> kColumns1 = {
    {"NAME", 'C', 8, 0}, {"PRICE", 'N', 9, 2}, {"COUNT", 'I', 4, 0}, {"OK", 'L', 1, 0},
    {"DAY", 'D', 8, 0},  {"STAMP", 'T', 8, 0}, {"RATIO", 'B', 8, 0}, {"COST", 'Y', 8, 0},
    {"NOTE", 'M', 4, 0}, {"ONLY1", 'C', 3, 0}};
const std::vector<Column> kColumns2 = {
    {"COST", 'Y', 8, 0},  {"EXTRA2", 'N', 3, 0}, {"NOTE", 'M', 4, 0},  {"name", 'C', 8, 0},
    {"OK", 'L', 1, 0},    {"PRICE", 'N', 9, 2},  {"STAMP", 'T', 8, 0}, {"DAY", 'D', 8, 0},
    {"COUNT", 'I', 4, 0}, {"RATIO", 'B', 8, 0}};

Cell randomCell(const Column& c, std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % n); };
    // Few distinct values, so that many fields agree and some differ.
    switch (c.letter) {
        case 'C': {
            // "Readded" and "deleted" must not pass for added or deleted records.
            static const char* const kTexts[] = {"",    "007", "O'Neil",  "a \"b\"",
                                                 "x y", "Zz",  "Readded", "deleted"};
            return Cell::text(kTexts[pick(8)]);
        }
        case 'N': {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.*f", c.decimals, (pick(2000) - 1000) / 7.0);
            return Cell::number(c.decimals == 0 ? std::to_string(pick(100)) : buf);
        }
        case 'I':
            return Cell::integer32(pick(3) == 0 ? -2147483647 : pick(5));
        case 'L':
            return Cell::logical(pick(2) ? 'T' : 'F');
        case 'D':
            return Cell::date(1990 + pick(3), 1 + pick(12), 1 + pick(28));
        case 'T':
            return Cell::dateTime(2020, 2, 28 + pick(2), pick(24), pick(60), pick(60));
        case 'B':
            return Cell::real64(pick(3) / 3.0);
        case 'Y':
            return Cell::currency(static_cast<std::int64_t>(pick(5)) * 12345 - 20000);
        case 'M': {
            static const char* const kMemos[] = {"short", "it's \"long\"\r\nsecond line", "",
                                                 "order deleted"};
            return Cell::memo(kMemos[pick(4)]);
        }
    }
    return Cell::blank();
}

void writeRandomTable(const std::string& path, const std::vector<Column>& columns, int records,
                      std::mt19937& rng) {
    TableBuilder t(0x30);
    for (const auto& c : columns) t.field(c.name, c.letter, c.width, c.decimals);
    for (int i = 0; i < records; ++i) {
        std::vector<Cell> cells;
        for (const auto& c : columns) cells.push_back(randomCell(c, rng));
        t.record(cells, rng() % 6 == 0);  // some deleted records anywhere
    }
    t.write(path);
}

TEST(MergeRoundTripTest, NewTableIsTableOneWithTableTwosValuesPlusItsExtraRecords) {
    if (!test::pythonCanImport("dbfread")) GTEST_SKIP() << "python3 with dbfread is not installed";
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        test::TempFolder dir;
        std::mt19937 rng(seed);
        writeRandomTable(dir.file("t1.dbf"), kColumns1, static_cast<int>(rng() % 25), rng);
        writeRandomTable(dir.file("t2.dbf"), kColumns2, static_cast<int>(rng() % 25), rng);

        data::SourceDescriptor source;
        source.optionDBC = false;
        source.folderText = dir.path();
        test::ScriptedDialogs dialogs;
        const auto differences =
            compare::Compare(source, source, "t1", "t2", foxpro::TextLocale::c(), dialogs);
        ASSERT_TRUE(differences.completed()) << differences.failure;
        const ListOfKind fields(differences.differences, compare::LineList::FieldDifferences, true);
        const ListOfKind added(differences.differences, compare::LineList::AddedDeleted, true);

        const MergeOutcome outcome = MergeIntoNewTable(
            MergeRequest{"merged", "t1", "t2", source, source}, fields, added, dialogs);
        ASSERT_TRUE(outcome.tableMade);
        EXPECT_EQ(outcome.failures, 0) << dialogs.lastMessage();

        bool ok = false;
        const std::string out = test::runPython(kCheck, &ok, {dir.path(), "t1", "t2", "merged"});
        EXPECT_TRUE(ok) << out;
    }
}

}  // namespace
}  // namespace quorvel::results
