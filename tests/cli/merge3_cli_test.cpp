// quorvel-cli merge3: an independent checker (python3-dbfread) of the
// rules per key and field, conflicts that stop the merge, their JSON
// edited and handed back, and the git merge driver's form.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/python_runner.h"
#include "support/table_builder.h"
#include "support/table_triples.h"

namespace quorvel::cli {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::HasSubstr;

// The rules by key, written again from the description: ours' value where
// both changed (the merge ran with --strategy ours), the conflicts the
// JSON lists as (kind, key, field).
constexpr const char* kCheck = R"PY(
import json, sys, dbfread
bpath, opath, tpath, outpath, cpath = sys.argv[1:]
def load(path):
    t = dbfread.DBF(path, load=True)
    fields = [f.name.upper() for f in t.fields if f.name != '_NullFlags']
    rows = {}
    for r in t.records:
        r = {k.upper(): ('' if v is None else v) for k, v in r.items() if k != '_NullFlags'}
        rows[r['ID']] = r
    return fields, rows
(bf, B), (of, O), (tf, T) = load(bpath), load(opath), load(tpath)
common = [k for k in O if k in B and k in T]
def changed(side, sf, f):
    return any(f in sf and side[k][f] != B[k][f] for k in common)
conflicts, fields = set(), [f for f in of]
fields += [f for f in tf if f not in of and f not in bf]
for f in bf:
    if f in of and f not in tf and changed(O, of, f):
        conflicts.add(('dropped_and_changed', None, f))
    elif f in of and f not in tf:
        fields.remove(f)
    if f in tf and f not in of and changed(T, tf, f):
        conflicts.add(('dropped_and_changed', None, f))
want = {}
for k in set(O) | set(T):
    b, o, t = B.get(k), O.get(k), T.get(k)
    if o is not None and t is not None:
        row = {}
        for f in fields:
            if f in of and f in tf:
                if b is None or f not in bf:
                    if o[f] != t[f]:
                        conflicts.add(('both_added' if b is None else 'both_changed', str(k), f))
                    row[f] = o[f]
                else:
                    oc, tc = o[f] != b[f], t[f] != b[f]
                    if oc and tc and o[f] != t[f]:
                        conflicts.add(('both_changed', str(k), f))
                    row[f] = t[f] if tc and not oc else o[f]
            else:
                row[f] = o[f] if f in of else t[f]
        want[k] = row
    else:
        side, sf = (o, of) if o is not None else (t, tf)
        if b is not None:
            if any(f in bf and side[f] != b[f] for f in sf):
                conflicts.add(('deleted_and_changed', str(k), None))
                if o is not None:
                    want[k] = {f: o[f] for f in fields if f in of}
        else:
            want[k] = {f: side[f] for f in fields if f in sf}
errors = []
nf, N = load(outpath)
if nf != fields:
    errors.append('fields %r, expected %r' % (nf, fields))
if set(N) != set(want):
    errors.append('keys %r, expected %r' % (sorted(N), sorted(want)))
for k in want:
    for f, v in want[k].items():
        if k in N and N[k].get(f) != v:
            errors.append('key %s field %s: %r, expected %r' % (k, f, N[k].get(f), v))
listed = {(c['kind'], c['key'], c['field']) for c in json.load(open(cpath))['conflicts']}
if listed != conflicts:
    errors.append('conflicts %r, expected %r' % (sorted(listed - conflicts, key=str), sorted(conflicts - listed, key=str)))
print('\n'.join(errors[:20]))
sys.exit(1 if errors else 0)
)PY";

class Merge3CliTest : public ::testing::Test {
  protected:
    test::TempFolder dir;

    test::CliRun run(std::vector<std::string> args) {
        args.insert(args.begin(), "merge3");
        return test::runCli(args, dir);
    }

    // Names of ours against theirs: record 1 both changed, record 2 only
    // theirs changed; no memo field, so that the git form takes it.
    void writeSmallTriple() {
        const char* names[3][2] = {{"Ann", "Bob"}, {"Anna", "Bob"}, {"Annie", "Bobby"}};
        const char* files[3] = {"base.dbf", "ours.dbf", "theirs.dbf"};
        for (int s = 0; s < 3; ++s) {
            TableBuilder t(0x30);
            t.field("ID", 'I', 4).field("NAME", 'C', 8);
            t.record({Cell::integer32(1), Cell::text(names[s][0])});
            t.record({Cell::integer32(2), Cell::text(names[s][1])});
            t.write(dir.file(files[s]));
        }
    }

    std::string show(const std::string& table) {
        return test::runCli({"show", dir.file(table)}, dir).out;
    }
};

TEST_F(Merge3CliTest, RandomTriplesAgreeWithAnIndependentChecker) {
    if (!test::pythonCanImport("dbfread")) GTEST_SKIP() << "python3 with dbfread is not installed";
    std::size_t conflicts = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed * 31337);
        const test::Table base = test::randomBase(rng, 30, false);
        test::Table ours = test::randomEdit(base, rng, false);
        test::Table theirs = test::randomEdit(base, rng, false);
        if (seed % 2 == 0) test::addExtra(theirs, rng);
        if (seed % 3 == 0) test::dropColumn(ours, 0);
        if (seed % 3 == 1) test::dropColumn(theirs, 1);
        const std::string stem = dir.file("s" + std::to_string(seed));
        test::writeTable(base, stem + "b.dbf");
        test::writeTable(ours, stem + "o.dbf");
        test::writeTable(theirs, stem + "t.dbf");
        const test::CliRun r =
            run({stem + "b.dbf", stem + "o.dbf", stem + "t.dbf", "--key", "ID", "--strategy",
                 "ours", "--conflicts", stem + ".json", "-o", stem + "out.dbf"});
        ASSERT_EQ(r.status, 0) << r.err;
        bool ok = false;
        const std::string said = test::runPython(
            kCheck, &ok,
            {stem + "b.dbf", stem + "o.dbf", stem + "t.dbf", stem + "out.dbf", stem + ".json"});
        EXPECT_TRUE(ok) << said;
        const std::string json = test::readText(stem + ".json");
        for (auto at = json.find("\"kind\""); at != std::string::npos;
             at = json.find("\"kind\"", at + 1))
            ++conflicts;
    }
    EXPECT_GT(conflicts, 0u);  // the checker saw conflicts, not only clean merges
}

TEST_F(Merge3CliTest, ConflictsWriteNothingUntilResolved) {
    writeSmallTriple();
    const std::vector<std::string> triple = {dir.file("base.dbf"), dir.file("ours.dbf"),
                                             dir.file("theirs.dbf")};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = triple;
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    };
    test::CliRun r =
        with({"--key", "ID", "-o", dir.file("out.dbf"), "--conflicts", dir.file("c.json")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("conflict both_changed, key 1, field NAME: base \"Ann     \", "
                                 "ours \"Anna    \", theirs \"Annie   \""));
    EXPECT_FALSE(test::readText(dir.file("out.dbf")).size());
    std::string json = test::readText(dir.file("c.json"));
    EXPECT_THAT(json, HasSubstr("\"kind\": \"both_changed\", \"key\": \"1\", \"field\": \"NAME\", "
                                "\"records\": [1, 1, 1], \"base\": \"Ann     \""));

    // A value that does not fit: no table, and nothing left behind.
    const std::string open = "\"resolution\": null";
    std::string tooLong = json;
    tooLong.replace(tooLong.find(open), open.size(), "\"resolution\": {\"value\": \"Ann-Marie\"}");
    test::writeFile(dir.file("long.json"),
                    std::vector<std::uint8_t>(tooLong.begin(), tooLong.end()));
    r = with({"--key", "ID", "-o", dir.file("out.dbf"), "--resolutions", dir.file("long.json")});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("does not fit field NAME"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_FALSE(name.starts_with("out.") || name.starts_with("~")) << name;
    }

    // The conflicts file edited: one's own value for the conflict.
    json.replace(json.find(open), open.size(), "\"resolution\": {\"value\": \"AnnMarie\"}");
    test::writeFile(dir.file("r.json"), std::vector<std::uint8_t>(json.begin(), json.end()));
    r = with({"--key", "ID", "-o", dir.file("out.dbf"), "--resolutions", dir.file("r.json")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(show("out.dbf"), HasSubstr("1,AnnMarie\r\n2,Bobby   \r\n"));

    // A file of other conflicts is refused, naming it.
    r = with({"--key", "ID", "--ignore", "NAME", "-o", dir.file("out2.dbf"), "--resolutions",
              dir.file("r.json")});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("r.json: lists 1 conflicts; this merge has 0"));

    r = with({"--key", "ID", "-o", dir.file("out3.dbf"), "--strategy", "theirs"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(show("out3.dbf"), HasSubstr("1,Annie   \r\n2,Bobby   \r\n"));
}

// A dBase III table merges into a dBase III table: a program that reads
// only that format must still open it, in the direct and the git form.
TEST_F(Merge3CliTest, ADBaseTableStaysADBaseTable) {
    const char* names[3][2] = {{"Ann", "Bob"}, {"Anna", "Bob"}, {"Ann", "Bobby"}};
    const char* files[3] = {"base.dbf", "ours.dbf", "theirs.dbf"};
    for (int s = 0; s < 3; ++s) {
        TableBuilder t(0x03);
        t.codePageMark(0).field("ID", 'N', 4).field("NAME", 'C', 8).field("SEEN", 'D', 8);
        t.record({Cell::number("1"), Cell::text(names[s][0]), Cell::date(2020, 1, 2)});
        t.record({Cell::number("2"), Cell::text(names[s][1]), Cell::date(2021, 3, 4)});
        t.write(dir.file(files[s]));
    }
    auto expectDBase = [&](const std::string& table) {
        const std::string bytes = test::readText(dir.file(table));
        ASSERT_GT(bytes.size(), 32u);
        EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x03);             // file type
        EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x00);            // code page mark
        EXPECT_EQ(static_cast<unsigned char>(bytes[8]), 32 + 3 * 32 + 1);  // no backlink
        EXPECT_THAT(show(table), HasSubstr("1,Anna    ,2020-01-02\r\n2,Bobby   ,2021-03-04\r\n"));
    };
    test::CliRun r = run({dir.file("base.dbf"), dir.file("ours.dbf"), dir.file("theirs.dbf"),
                          "--key", "ID", "-o", dir.file("out.dbf")});
    ASSERT_EQ(r.status, 0) << r.err;
    expectDBase("out.dbf");
    r = run({"--git", dir.file("base.dbf"), dir.file("ours.dbf"), dir.file("theirs.dbf"),
             "data/names.dbf", "--key", "ID"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectDBase("ours.dbf");
}

// A FoxPro 2.x or dBase III table keeps its type with its memos: 10-digit
// references into the .fpt or .dbt that its own program reads.
TEST_F(Merge3CliTest, AnOlderTableKeepsItsTypeAndMemos) {
    for (const std::uint8_t type : {0xF5, 0x83}) {
        SCOPED_TRACE(static_cast<int>(type));
        const char* notes[3] = {"one", "one, edited by ours", "one"};
        const char* names[3] = {"Bob", "Bob", "Bobby"};
        const std::string stem = dir.file("t" + std::to_string(type));
        const std::string files[3] = {stem + "b.dbf", stem + "o.dbf", stem + "t.dbf"};
        for (int s = 0; s < 3; ++s) {
            TableBuilder t(type);
            t.codePageMark(0).field("ID", 'N', 4).field("NAME", 'C', 8).field("NOTE", 'M', 10);
            t.record({Cell::number("1"), Cell::text("Ann"), Cell::memo(notes[s])});
            t.record({Cell::number("2"), Cell::text(names[s]), Cell::memo("two")});
            t.write(files[s]);
        }
        const test::CliRun r =
            run({files[0], files[1], files[2], "--key", "ID", "-o", stem + "out.dbf"});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string bytes = test::readText(stem + "out.dbf");
        ASSERT_GT(bytes.size(), 32u + 3 * 32);
        EXPECT_EQ(static_cast<unsigned char>(bytes[0]), type);
        EXPECT_EQ(static_cast<unsigned char>(bytes[32 + 2 * 32 + 16]), 10);  // NOTE's width
        EXPECT_EQ(std::filesystem::exists(stem + "out.dbt"), type == 0x83);
        EXPECT_EQ(std::filesystem::exists(stem + "out.fpt"), type == 0xF5);
        EXPECT_THAT(test::runCli({"show", stem + "out.dbf"}, dir).out,
                    HasSubstr("1,Ann     ,\"one, edited by ours\"\r\n2,Bobby   ,two\r\n"));
    }
}

TEST_F(Merge3CliTest, GitDriverWritesOverOursOnlyWhenClean) {
    writeSmallTriple();
    const std::string before = test::readText(dir.file("ours.dbf"));
    test::CliRun r = run({"--git", dir.file("base.dbf"), dir.file("ours.dbf"),
                          dir.file("theirs.dbf"), "data/names.dbf", "--key", "ID"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(test::readText(dir.file("ours.dbf")), before);
    r = run({"--git", dir.file("base.dbf"), dir.file("ours.dbf"), dir.file("theirs.dbf"),
             "data/names.dbf", "--key", "ID", "--strategy", "ours"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(show("ours.dbf"), HasSubstr("1,Anna    \r\n2,Bobby   \r\n"));
}

}  // namespace
}  // namespace quorvel::cli
