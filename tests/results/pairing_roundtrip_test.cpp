// Key and content pairing end to end (and position pairing under the
// comparison options): generated pairs of tables (records
// removed, inserted, changed, reordered; duplicate and null keys; keys of
// different types), compared and merged with every line ticked, then
// checked against what an independent reader (python3-dbfread) and an
// independent pairing in Python make of the same tables.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "compare/compare.h"
#include "compare/record_hash.h"
#include "results/merge.h"
#include "support/python_runner.h"
#include "support/scripted_dialogs.h"
#include "support/table_builder.h"

namespace quorvel::results {
namespace {

using test::Cell;
using test::TableBuilder;

// Prints the differences the pairing should give, one per line ("M FIELD",
// "C N1 N2 FIELD", "D N1", "A N2", then "DUP VALUE COUNT1 COUNT2"), and
// after a line "MERGE" whatever the merged table gets wrong.
constexpr const char* kExpected = R"PY(
import collections, decimal, difflib, os, sys, dbfread
folder, t1, t2, merged, mode, keys, opts = sys.argv[1:]
o = dict((p.split('=') + [''])[:2] for p in opts.split(';') if p)
ignored = set(o.get('ignore', '').upper().split(',')) - {''}
tol = decimal.Decimal(o.get('tol', '0'))
class Near:
    # A number equal to every number at most tol away from it.
    def __init__(self, v): self.v = decimal.Decimal(repr(v))
    def __eq__(self, other): return isinstance(other, Near) and abs(self.v - other.v) <= tol
    def __hash__(self): return 0
def cmp(v):
    if isinstance(v, str):
        if 'trim' in o: v = v.rstrip(' ')
        if 'case' in o: v = v.upper()
    elif 'tol' in o and isinstance(v, (int, float)) and not isinstance(v, bool): return Near(v)
    return v
def load(name):
    t = dbfread.DBF(os.path.join(folder, name + '.dbf'), load=True)
    fields = [f.name.upper() for f in t.fields if f.name != '_NullFlags']
    return fields, [{k.upper(): v for k, v in r.items()} for r in t.records]
f1, r1 = load(t1)
f2, r2 = load(t2)
common = [f for f in f1 if f in f2 and f not in ignored]
out = ['M ' + f for f in f1 if f not in f2 and f not in ignored]
def keyof(v):
    if v is None: return ('null',)
    if isinstance(v, str): return ('text', v.rstrip(' '))
    if isinstance(v, (int, float)): return ('number', decimal.Decimal(repr(v)).normalize())
    return ('other', v)
partner = {}
dups = []
if mode == 'key':
    names = keys.split(',')
    at1, at2 = collections.defaultdict(list), collections.defaultdict(list)
    for i, r in enumerate(r1): at1[tuple(keyof(r[k]) for k in names)].append(i)
    for j, r in enumerate(r2): at2[tuple(keyof(r[k]) for k in names)].append(j)
    for k, ones in at1.items():
        for a, b in zip(ones, at2.get(k, [])): partner[a] = b
    firsts = {}
    for k in set(at1) | set(at2):
        if len(at1.get(k, [])) > 1 or len(at2.get(k, [])) > 1:
            first = at1[k][0] if at1.get(k) else len(r1) + at2[k][0]
            row = r1[at1[k][0]] if at1.get(k) else r2[at2[k][0]]
            text = ', '.join('.NULL.' if row[n] is None else str(row[n]) for n in names)
            firsts[first] = 'DUP %s %d %d' % (text, len(at1.get(k, [])), len(at2.get(k, [])))
    dups = [firsts[f] for f in sorted(firsts)]
    order1 = [[i] for i in range(len(r1))]
    added = [[j for j in range(len(r2)) if j not in set(partner.values())]]
elif mode == 'position':
    partner = {i: i for i in range(min(len(r1), len(r2)))}
    order1 = [[i] for i in range(len(r1))]
    added = [list(range(len(r1), len(r2)))]
else:
    s1 = [tuple(cmp(r[f]) for f in common) for r in r1]
    s2 = [tuple(cmp(r[f]) for f in common) for r in r2]
    def stretch(a0, a1, b0, b1):
        # In order, one with one, most equal values; a pair counts when at
        # least half its fields are equal; the earlier of equal choices.
        n, m = a1 - a0, b1 - b0
        def w(i, j):
            eq = sum(1 for x, y in zip(s1[a0 + i], s2[b0 + j]) if x == y)
            return eq if eq > 0 and 2 * eq >= len(common) else 0
        best = [[0] * (m + 1) for _ in range(n + 1)]
        for i in range(n - 1, -1, -1):
            for j in range(m - 1, -1, -1):
                v = max(best[i + 1][j], best[i][j + 1])
                if w(i, j): v = max(v, w(i, j) + best[i + 1][j + 1])
                best[i][j] = v
        i = j = 0
        while i < n and j < m:
            if w(i, j) and best[i][j] == w(i, j) + best[i + 1][j + 1]:
                partner[a0 + i] = b0 + j; i += 1; j += 1
            elif best[i][j] == best[i + 1][j]: i += 1
            else: j += 1
    order1, added = [], []
    a = b = 0
    blocks = difflib.SequenceMatcher(None, s1, s2, autojunk=False).get_matching_blocks()
    for i, j, size in blocks:
        stretch(a, i, b, j)
        order1.append(list(range(a, i)))
        added.append([y for y in range(b, j) if y not in set(partner.values())])
        for k in range(size): partner[i + k] = j + k
        order1.append(list(range(i, i + size)))
        added.append([])
        a, b = i + size, j + size
for rows1, rows2 in zip(order1, added) if mode == 'content' else [(sum(order1, []), added[0])]:
    for i in rows1:
        if i not in partner:
            out.append('D %d' % (i + 1))
            continue
        for f in common:
            if cmp(r1[i][f]) != cmp(r2[partner[i]][f]):
                out.append('C %d %d %s' % (i + 1, partner[i] + 1, f))
    out.extend('A %d' % (j + 1) for j in rows2)
print('\n'.join(out + dups))
print('MERGE')
fn, rn = load(merged)
expected = [dict(r) for r in r1]
for line in out:
    p = line.split()
    if p[0] == 'C': expected[int(p[1]) - 1][p[3]] = r2[int(p[2]) - 1][p[3]]
    if p[0] == 'A': expected.append({f: r2[int(p[1]) - 1].get(f) for f in f1})
def same(x, y):
    return x == y or (x in (None, '') and y in (None, ''))
if len(rn) != len(expected): print('%d records, expected %d' % (len(rn), len(expected)))
for i, (got, want) in enumerate(zip(rn, expected)):
    for f in f1:
        if not same(got.get(f), want.get(f)):
            print('record %d field %s: %r, expected %r' % (i + 1, f, got.get(f), want.get(f)))
)PY";

struct Row {
    std::optional<int> id;  // null when empty
    std::string name;
    int cents = 0;
    int day = 1;
    bool ok = false;
    std::string note;
    bool deleted = false;  // stored as a deleted record: no number, no pairing
};

struct Case {
    const char* name;
    compare::Pairing by;
    char key1 = 'N';  // ID is N(8,0) or I, nullable when nullKeys
    char key2 = 'N';
    bool nullKeys = false;
    bool noteInTable2 = true;
    std::function<void(std::vector<Row>& t1, std::vector<Row>& t2)> edit;
    // Comparison options as optionsText writes them, which the script reads too.
    const char* options = "";
    int nameWidth2 = 12;
};

Row freshRow(int id, std::mt19937& rng) {
    static const char* const kNotes[] = {"short", "it's \"long\"\r\nsecond line", "order deleted"};
    return Row{id,
               "name" + std::to_string(id),
               static_cast<int>(rng() % 100000),
               1 + static_cast<int>(rng() % 28),
               rng() % 2 == 0,
               kNotes[rng() % 3]};
}

void writeTable(const std::string& path, const std::vector<Row>& rows, char keyLetter,
                bool nullKeys, bool note, int nameWidth = 12) {
    TableBuilder t(0x30);
    t.field("ID", keyLetter, keyLetter == 'I' ? 4 : 8, 0, nullKeys ? 0x02 : 0);
    t.field("NAME", 'C', nameWidth)
        .field("PRICE", 'N', 9, 2)
        .field("DAY", 'D', 8)
        .field("OK", 'L', 1);
    if (note) t.field("NOTE", 'M', 4);
    for (const Row& r : rows) {
        Cell id = !r.id              ? Cell::null()
                  : keyLetter == 'I' ? Cell::integer32(*r.id)
                                     : Cell::number(std::to_string(*r.id));
        char price[32];
        std::snprintf(price, sizeof price, "%d.%02d", r.cents / 100, r.cents % 100);
        std::vector<Cell> cells = {id, Cell::text(r.name), Cell::number(price),
                                   Cell::date(2021, 3, r.day), Cell::logical(r.ok ? 'T' : 'F')};
        if (note) cells.push_back(Cell::memo(r.note));
        t.record(cells, r.deleted);
    }
    t.write(path);
}

// The differences as the Python script writes them.
std::string describe(const compare::CompareResult& result) {
    std::ostringstream out;
    for (const compare::Difference d : result.differences) {
        switch (d.kind) {
            case compare::DifferenceKind::MissingField:
                out << "M " << d.fieldName << '\n';
                break;
            case compare::DifferenceKind::Changed:
                out << "C " << d.record1 << ' ' << d.record2 << ' ' << d.fieldName << '\n';
                break;
            case compare::DifferenceKind::Deleted:
                out << "D " << d.record1 << '\n';
                break;
            case compare::DifferenceKind::Added:
                out << "A " << d.record2 << '\n';
                break;
        }
    }
    for (const auto& dup : result.duplicateKeys)
        out << "DUP " << dup.value << ' ' << dup.count1 << ' ' << dup.count2 << '\n';
    return out.str();
}

const std::vector<Case>& cases() {
    using compare::Pairing;
    auto middleEdits = [](std::vector<Row>& t1, std::vector<Row>& t2) {
        t1.insert(t1.begin() + 5, Row{500, "gone", 1, 1, false, "x", true});
        t2.erase(t2.begin() + 12);
        t2.insert(t2.begin() + 20, Row{901, "inserted", 5, 5, true, "new"});
        t2[25].cents += 7;
        t2[26].name = "renamed";
        t2[26].note = "other";
        t2.insert(t2.begin() + 3, Row{501, "gone too", 1, 1, false, "x", true});
    };
    static const std::vector<Case> all = {
        {"key: removed, inserted and changed in the middle", Pairing::Key, 'N', 'N', false, true,
         middleEdits},
        {"content: removed, inserted and changed in the middle", Pairing::Content, 'N', 'N', false,
         true, middleEdits},
        {"key: Table #2 reordered", Pairing::Key, 'N', 'N', false, true,
         [](std::vector<Row>&, std::vector<Row>& t2) {
             std::mt19937 shuffle(11);
             std::shuffle(t2.begin(), t2.end(), shuffle);
             t2[4].ok = !t2[4].ok;
         }},
        {"content: Table #2 reordered", Pairing::Content, 'N', 'N', false, true,
         [](std::vector<Row>&, std::vector<Row>& t2) {
             std::rotate(t2.begin(), t2.begin() + 3, t2.end());
             std::swap(t2[10], t2[30]);
         }},
        {"key: duplicate keys", Pairing::Key, 'N', 'N', false, true,
         [](std::vector<Row>& t1, std::vector<Row>& t2) {
             t1[4].id = t1[3].id;
             t2[4].id = t2[3].id;
             t2.push_back(t2[3]);
             t2.back().name = "third";
             t2[9].id = t2[8].id;  // twice in Table #2 only
         }},
        {"key: nulls in keys", Pairing::Key, 'N', 'N', true, true,
         [](std::vector<Row>& t1, std::vector<Row>& t2) {
             t1[2].id.reset();
             t1[7].id.reset();
             t2[7].id.reset();
             t2[7].cents = 1;
             t2[15].id.reset();
         }},
        {"key: N in Table #1 against I in Table #2", Pairing::Key, 'N', 'I', false, true,
         [](std::vector<Row>&, std::vector<Row>& t2) {
             t2.erase(t2.begin() + 8);
             t2[5].cents = 4;
             std::swap(t2[0], t2[1]);
         }},
        {"content: N against I, a field missing from Table #2", Pairing::Content, 'N', 'I', false,
         false,
         [](std::vector<Row>&, std::vector<Row>& t2) {
             t2.erase(t2.begin() + 3);
             t2[10].name = "x";
             t2.push_back(Row{77, "appended", 0, 2, true, ""});
         }},
        {"position: NOTE ignored", Pairing::Position, 'N', 'N', false, true,
         [](std::vector<Row>&, std::vector<Row>& t2) {
             for (int i : {2, 9, 17}) t2[i].note = "ignored";
             t2[9].name = "changed";
             t2.push_back(Row{88, "appended", 0, 2, true, "new"});
         },
         "ignore=note"},
        {"key: NOTE and OK ignored, case folded", Pairing::Key, 'N', 'N', false, true,
         [](std::vector<Row>&, std::vector<Row>& t2) {
             std::rotate(t2.begin(), t2.begin() + 7, t2.end());
             for (int i : {1, 4, 11}) t2[i].name = "NAME" + std::to_string(*t2[i].id);
             for (int i : {3, 4}) t2[i].ok = !t2[i].ok;
             t2[6].note = "ignored";
             t2[8].name = "Other";
             t2.erase(t2.begin() + 20);
         },
         "ignore=NOTE,ok;case"},
        {"content: C(12) against C(10), blanks, case and a tolerance", Pairing::Content, 'N', 'N',
         false, true,
         [](std::vector<Row>&, std::vector<Row>& t2) {
             t2.erase(t2.begin() + 12);
             t2.insert(t2.begin() + 20, Row{901, "inserted", 5, 5, true, "new"});
             for (int i : {2, 7, 25}) t2[i].name = "NAME" + std::to_string(*t2[i].id);
             for (int i : {3, 8, 30}) t2[i].cents += 5;
             t2[15].cents += 9;
             t2[33].name = "renamed";
         },
         "trim;case;tol=0.05", 10},
        {"content: NOTE, which Table #2 lacks, ignored", Pairing::Content, 'N', 'N', false, false,
         [](std::vector<Row>&, std::vector<Row>& t2) {
             t2.erase(t2.begin() + 6);
             t2[18].ok = !t2[18].ok;
         },
         "ignore=NOTE"},
        {"key: N against I, a tolerance alone", Pairing::Key, 'N', 'I', false, true,
         [](std::vector<Row>&, std::vector<Row>& t2) {
             std::swap(t2[0], t2[5]);
             t2[1].cents += 10;
             t2[2].cents -= 11;
             t2[3].name = "NAME4";
         },
         "tol=0.1"},
    };
    return all;
}

class PairingRoundTripTest : public ::testing::TestWithParam<std::uint64_t> {
  protected:
    void SetUp() override { compare::recordHashMask = GetParam(); }
    void TearDown() override { compare::recordHashMask = ~std::uint64_t{0}; }
};

// Full hashes, and hashes of two bits, which unequal records share all the
// time: the matches those suggest must all be settled by the records.
INSTANTIATE_TEST_SUITE_P(HashBits, PairingRoundTripTest,
                         ::testing::Values(~std::uint64_t{0}, std::uint64_t{3}));

TEST_P(PairingRoundTripTest, LinesAndMergeMatchAnIndependentPairing) {
    if (!test::pythonCanImport("dbfread")) GTEST_SKIP() << "python3 with dbfread is not installed";
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        test::TempFolder dir;
        std::mt19937 rng(5);
        std::vector<Row> t1;
        for (int id = 1; id <= 40; ++id) t1.push_back(freshRow(id, rng));
        std::vector<Row> t2 = t1;
        c.edit(t1, t2);
        writeTable(dir.file("t1.dbf"), t1, c.key1, c.nullKeys, true);
        writeTable(dir.file("t2.dbf"), t2, c.key2, c.nullKeys, c.noteInTable2, c.nameWidth2);

        data::SourceDescriptor source;
        source.optionDBC = false;
        source.folderText = dir.path();
        test::ScriptedDialogs dialogs;
        compare::RecordPairing pairing{c.by, c.by == compare::Pairing::Key
                                                 ? std::vector<std::string>{"id"}
                                                 : std::vector<std::string>{}};
        const compare::CompareResult result =
            compare::Compare(source, source, "t1", "t2", foxpro::TextLocale::c(), dialogs, {},
                             pairing, compare::optionsFromText(c.options));
        ASSERT_TRUE(result.completed()) << result.failure;
        const ListOfKind fields(result.differences, compare::LineList::FieldDifferences, true);
        const ListOfKind added(result.differences, compare::LineList::AddedDeleted, true);
        const MergeOutcome outcome = MergeIntoNewTable(
            MergeRequest{"merged", "t1", "t2", source, source}, fields, added, dialogs);
        ASSERT_TRUE(outcome.tableMade);
        EXPECT_EQ(outcome.failures, 0) << dialogs.lastMessage();

        bool ok = false;
        const std::string expected =
            test::runPython(kExpected, &ok,
                            {dir.path(), "t1", "t2", "merged",
                             c.by == compare::Pairing::Key       ? "key"
                             : c.by == compare::Pairing::Content ? "content"
                                                                 : "position",
                             "ID", c.options});
        ASSERT_TRUE(ok) << expected;
        const std::size_t merge = expected.find("MERGE\n");
        ASSERT_NE(merge, std::string::npos) << expected;
        EXPECT_EQ(describe(result), expected.substr(0, merge));
        EXPECT_EQ(expected.substr(merge + 6), "");
    }
}

}  // namespace
}  // namespace quorvel::results
