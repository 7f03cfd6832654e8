// quorvel-cli diff of a FoxPro table against its export to SQLite, CSV and
// PostgreSQL: an export written here from the same rows as the table, then
// changed in known places; the differences found are exactly those.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "support/cli_runner.h"
#include "support/python_runner.h"
#include "support/table_builder.h"
#include "support/throwaway_server.h"

namespace quorvel::cli {
namespace {

using test::Cell;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Row {
    int id;
    std::string name;  // UTF-8; stored in the table in its code page
    std::optional<std::string> nick;
    std::string price;    // N(10,2) as written
    std::int64_t amount;  // Y, ten-thousandths
    int y, m, d;          // 0: an empty date
    int hour;
    bool ok;
    std::string note;
};

// A code page the table is written in: the names of rows 3 and 4 and the
// memo of row 3 in letters beyond ASCII, the same with one letter of the
// name and the memo's second line changed, and each such letter's byte in
// the page.  Rows 3 and 4 sort the other way round by those bytes than by
// their characters.
struct CodePage {
    const char* label;
    int number;
    std::uint8_t mark;  // the header's byte 29
    std::string name3, name4, note3;
    std::string name3Changed, note3Changed;
    std::vector<std::pair<std::string, char>> letters;

    std::string stored(std::string text) const {
        for (const auto& [utf8, byte] : letters)
            for (std::size_t at; (at = text.find(utf8)) != std::string::npos;)
                text.replace(at, utf8.size(), 1, byte);
        return text;
    }
};

const CodePage kWestern = {"cp1252",     1252,    0x03,
                           "Émile",      "Œuvre", "über\nfaçade",
                           "Èmile",      "über\nfaçadé",
                           {{"É", '\xC9'}, {"Œ", '\x8C'}, {"È", '\xC8'},
                            {"ü", '\xFC'}, {"ç", '\xE7'}, {"é", '\xE9'}}};

const CodePage kCodePages[] = {
    kWestern,
    {"cp1251", 1251, 0xC9, "Ёжикова", "Ђорђевић", "ёлка\nмак", "Ёжиково", "ёлка\nлак",
     {{"Ё", '\xA8'}, {"ж", '\xE6'}, {"и", '\xE8'}, {"к", '\xEA'}, {"о", '\xEE'},
      {"в", '\xE2'}, {"а", '\xE0'}, {"Ђ", '\x80'}, {"р", '\xF0'}, {"ђ", '\x90'},
      {"е", '\xE5'}, {"ћ", '\x9E'}, {"ё", '\xB8'}, {"л", '\xEB'}, {"м", '\xEC'}}},
    {"cp1250", 1250, 0xC8, "Žluťoučký", "Ábel", "řeka\nŁódź", "Žluťoučká", "řeka\nŁódż",
     {{"Ž", '\x8E'}, {"ť", '\x9D'}, {"č", '\xE8'}, {"ý", '\xFD'}, {"á", '\xE1'},
      {"Á", '\xC1'}, {"ř", '\xF8'}, {"Ł", '\xA3'}, {"ó", '\xF3'}, {"ź", '\x9F'},
      {"ż", '\xBF'}}},
    {"cp866", 866, 0x65, "Ёжикова", "Жукова", "ёлка\nмак", "Ёжиково", "ёлка\nлак",
     {{"Ё", '\xF0'}, {"ж", '\xA6'}, {"и", '\xA8'}, {"к", '\xAA'}, {"о", '\xAE'},
      {"в", '\xA2'}, {"а", '\xA0'}, {"Ж", '\x86'}, {"у", '\xE3'}, {"ё", '\xF1'},
      {"л", '\xAB'}, {"м", '\xAC'}}},
};

std::vector<Row> rowsIn(const CodePage& cp) {
    return {
        {1, "Cascade Coffee", "cc", "12.50", 123456, 2020, 1, 2, 3, true, "first\nline"},
        {2, "Blue Mill", std::nullopt, "-3.00", 0, 0, 0, 0, 23, false, ""},
        {3, cp.name3, "em", "1000000.25", 99990000, 1999, 12, 31, 0, true, cp.note3},
        {4, cp.name4, "d", "0.00", 50000, 2000, 2, 29, 12, false, "memo 4"},
        {5, "Eve", "", "7.10", 1, 2024, 5, 5, 7, true, "x, \"quoted\""},
    };
}

std::string dateText(const Row& r) {
    char out[16];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d", r.y, r.m, r.d);
    return out;
}

std::string stampText(const Row& r) {
    return "2021-06-30 " + std::string(r.hour < 10 ? "0" : "") + std::to_string(r.hour) + ":04:05";
}

std::string amountText(std::int64_t tenThousandths) {
    char out[32];
    std::snprintf(out, sizeof out, "%lld.%04lld", static_cast<long long>(tenThousandths / 10000),
                  static_cast<long long>(tenThousandths % 10000));
    return out;
}

std::string sqlText(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// The text blank-padded to a width in characters, as a C field shows it.
std::string padded(const std::string& text, std::size_t width) {
    const auto characters = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    return text + std::string(width - std::min(width, characters), ' ');
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

class SideDiffTest : public ::testing::Test {
  protected:
    explicit SideDiffTest(CodePage cp = kWestern) : cp_(std::move(cp)), rows_(rowsIn(cp_)) {}

    void SetUp() override {
        test::TableBuilder t(0x30);
        t.codePageMark(cp_.mark);
        t.field("ID", 'I', 4)
            .field("NAME", 'C', 20)
            .field("NICK", 'C', 10, 0, 0x02)
            .field("PRICE", 'N', 10, 2)
            .field("AMOUNT", 'Y', 8)
            .field("BORN", 'D', 8)
            .field("STAMP", 'T', 8)
            .field("OK", 'L', 1)
            .field("NOTE", 'M', 4);
        for (const Row& r : rows_)
            t.record({Cell::integer32(r.id), Cell::text(cp_.stored(r.name)),
                      r.nick ? Cell::text(*r.nick) : Cell::null(), Cell::number(r.price),
                      Cell::currency(r.amount), r.y ? Cell::date(r.y, r.m, r.d) : Cell::blank(),
                      Cell::dateTime(2021, 6, 30, r.hour, 4, 5), Cell::logical(r.ok ? 'T' : 'F'),
                      r.note.empty() ? Cell::none() : Cell::memo(cp_.stored(r.note))});
        t.write(dir_.file("orders.dbf"));
    }

    // The rows as SQL: BORN as julian day numbers (SQLite's julianday())
    // or as dates, an empty date as NULL.
    std::string exportSql(bool julianDates, const std::string& boolTrue,
                          const std::string& boolFalse, int nameLength) const {
        std::string sql =
            "create table orders(id integer, name varchar(" + std::to_string(nameLength) +
            "), nick varchar(10), price "
            "numeric(10,2), amount numeric(19,4), born date, stamp timestamp, ok boolean, note "
            "text);\n";
        for (const Row& r : rows_) {
            std::string born = "null";
            if (r.y) born = julianDates ? "julianday('" + dateText(r) + "')" : sqlText(dateText(r));
            sql += "insert into orders values(" + std::to_string(r.id) + ", " + sqlText(r.name) +
                   ", " + (r.nick ? sqlText(*r.nick) : "null") + ", " + r.price + ", " +
                   amountText(r.amount) + ", " + born + ", " + sqlText(stampText(r)) + ", " +
                   (r.ok ? boolTrue : boolFalse) + ", " + sqlText(r.note) + ");\n";
        }
        return sql;
    }

    // Runs SQL statements on a new or existing SQLite database; false when
    // python3's sqlite3 is not there.
    bool Sqlite(const std::string& sql) {
        bool ok = false;
        out_ = test::runPython(
            "import sqlite3, sys\n"
            "c = sqlite3.connect(sys.argv[1])\n"
            "c.executescript(open(sys.argv[2], encoding='utf-8').read())\n"
            "c.commit()\n",
            &ok, {dir_.file("shop.db"), Write("load.sql", sql)});
        return ok;
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_.file(name), std::ios::binary) << bytes;
        return dir_.file(name);
    }

    std::string ExportCsv() const {
        std::string csv = "id,name,nick,price,amount,born,stamp,ok,note\r\n";
        for (const Row& r : rows_)
            csv += std::to_string(r.id) + "," + csvField(r.name) + "," +
                   (r.nick ? (r.nick->empty() ? "\"\"" : *r.nick) : "") + "," + r.price + "," +
                   amountText(r.amount) + "," + (r.y ? dateText(r) : "") + "," + stampText(r) +
                   "," + (r.ok ? "true" : "false") + "," + csvField(r.note) + "\r\n";
        return csv;
    }

    test::CliRun Diff(std::vector<std::string> args) {
        args.insert(args.begin(), {"diff", dir_.file("orders.dbf")});
        return test::runCli(args, dir_, {"LC_ALL=C"});
    }

    // Standard output split into the difference lines and the column lines.
    static std::vector<std::string> Lines(const std::string& out, bool columns) {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (line.starts_with("Column \"") == columns) lines.push_back(line);
        return lines;
    }

    CodePage cp_;
    std::vector<Row> rows_;  // what the table holds, and what exports are written from
    test::TempFolder dir_;
    std::string out_;
};

TEST_F(SideDiffTest, SqliteExportUnchangedThenChangedInKnownPlaces) {
    if (!Sqlite(exportSql(true, "1", "0", 12))) GTEST_SKIP() << "python3 sqlite3: " << out_;
    const std::string uri = "sqlite:" + dir_.file("shop.db") + "?table=orders";

    const auto same = Diff({uri, "--key", "ID", "--empty-is-null"});
    EXPECT_EQ(same.status, 0) << same.err << same.out;
    EXPECT_THAT(Lines(same.out, false), ElementsAre());
    const auto columns = Lines(same.out, true);
    ASSERT_EQ(columns.size(), 9u) << same.out;
    for (const auto& line : columns) EXPECT_THAT(line, HasSubstr(": 5 equal, 0 differ (")) << line;
    EXPECT_EQ(columns[5], "Column \"born\": 5 equal, 0 differ (D as date, julian day numbers)");
    EXPECT_EQ(columns[1],
              "Column \"name\": 5 equal, 0 differ (C(20) as varchar(12)); NAME C(20) \u2192 "
              "varchar(12): 1 value cut");

    // Without the option the empty date against NULL is a difference.
    EXPECT_THAT(Lines(Diff({uri}).out, false),
                ElementsAre("Record 2, Field \"BORN\" has changed from \"\" to \"\""));

    ASSERT_TRUE(
        Sqlite("update orders set price = 1000000.24 where id = 3;\n"
               "update orders set born = julianday('2020-01-03') where id = 1;\n"
               "update orders set ok = 'N' where id = 5;\n"
               "update orders set nick = null where id = 1;\n"
               "delete from orders where id = 4;\n"
               "insert into orders(id, name) values (9, 'new');\n"))
        << out_;
    const auto changed = Diff({uri, "--key", "ID", "--empty-is-null"});
    EXPECT_EQ(changed.status, 1) << changed.err;
    EXPECT_THAT(
        Lines(changed.out, false),
        ElementsAre("Record 1, Field \"NICK\" has changed from \"cc        \" to \"\"",
                    "Record 1, Field \"BORN\" has changed from \"2020-01-02\" to \"2458851.5\"",
                    "Record 3, Field \"PRICE\" has changed from \"1000000.25\" to \"1000000.24\"",
                    "Record 5, Field \"OK\" has changed from \"True\" to \"N\"",
                    "Record 5 added to orders", "Record 4 deleted from orders"));
    EXPECT_THAT(changed.out,
                HasSubstr("Column \"price\": 3 equal, 1 differ (N(10,2) as numeric(10,2))"));

    // By position the rows after the deleted one pair with the wrong records.
    const auto position = Diff({uri, "--format", "json"});
    EXPECT_EQ(position.status, 1);
    EXPECT_THAT(position.out, HasSubstr("{\"kind\":\"changed\",\"record1\":4,\"record2\":4,"
                                        "\"field\":\"ID\",\"old\":\"4\",\"new\":\"5\"}"));
    EXPECT_THAT(position.out,
                HasSubstr("\n{\"kind\":\"column\",\"field\":\"ID\",\"column\":\"id\",\"equal\":3,"
                          "\"differ\":2,\"as\":\"I as integer\",\"cut\":null}\n"));
    EXPECT_THAT(position.out,
                HasSubstr("\"column\":\"name\",\"equal\":3,\"differ\":2,\"as\":\"C(20) "
                          "as varchar(12)\",\"cut\":1}\n"));
    const auto csv = Diff({uri, "--format", "csv"});
    EXPECT_THAT(csv.out, HasSubstr("\r\ncolumn,3,2,ID,I as integer,\r\n"));
    EXPECT_THAT(csv.out, HasSubstr("\r\ncolumn,3,2,NAME,C(20) as varchar(12),1\r\n"));
    EXPECT_EQ(csv.err, "");
}

TEST_F(SideDiffTest, WholeFolderAgainstItsSqliteDatabase) {
    test::TableBuilder region(0x30);
    region.field("CODE", 'C', 4).record({Cell::text("N")});
    region.write(dir_.file("region.dbf"));
    if (!Sqlite(exportSql(true, "1", "0", 20) + "create table audit(at text);\n"))
        GTEST_SKIP() << "python3 sqlite3: " << out_;
    const std::string uri = "sqlite:" + dir_.file("shop.db");
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"diff", dir_.path(), uri, "--empty-is-null"});
        return test::runCli(args, dir_, {"LC_ALL=C"});
    };

    const auto same = run({"--tables", "ORDERS"});
    EXPECT_EQ(same.status, 0) << same.err << same.out;
    EXPECT_THAT(Lines(same.out, false), ElementsAre("Table \"orders\": identical"));
    EXPECT_EQ(Lines(same.out, true).size(), 9u);

    ASSERT_TRUE(Sqlite("update orders set price = 7.11 where id = 5;\n")) << out_;
    const auto changed = run({});
    EXPECT_EQ(changed.status, 1) << changed.err;
    auto lines = Lines(changed.out, false);
    std::sort(lines.begin(), lines.end());
    EXPECT_THAT(lines, ElementsAre("Record 5, Field \"PRICE\" has changed from \"7.1\" to \"7.11\"",
                                   "Table \"audit\" is only in source #2",
                                   "Table \"orders\": 1 changed, 0 added, 0 deleted, 0 missing "
                                   "fields (paired by position)",
                                   "Table \"region\" is only in source #1"));
    EXPECT_THAT(changed.out, HasSubstr("Column \"price\": 4 equal, 1 differ ("));
    // --ignore names its table's fields here; another table's leaves it alone.
    EXPECT_EQ(run({"--tables", "orders", "--ignore", "orders.price"}).status, 0);
    EXPECT_EQ(run({"--tables", "orders", "--ignore", "region.price"}).status, 1);

    const auto json = run({"--format", "json", "--summary", "--exclude", "region,audit"});
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.out,
              "{\"kind\":\"table\",\"table\":\"orders\",\"status\":\"different\",\"pairing\":"
              "\"position\",\"key\":null,\"key_source\":null,\"changed\":1,\"added\":0,"
              "\"deleted\":0,\"missing_field\":0,\"message\":null}\n");
    EXPECT_EQ(run({"--align"}).status, 2);
}

// The side first: every line the other way round; a database URI without
// table= stands for the table of the FoxPro table's own name.
TEST_F(SideDiffTest, SideFirstIsTheMirrorAndTheTableNameComesFromTheTable) {
    if (!Sqlite(exportSql(true, "1", "0", 20) + "create table audit(at text);\n"))
        GTEST_SKIP() << "python3 sqlite3: " << out_;
    ASSERT_TRUE(
        Sqlite("update orders set price = 1000000.24 where id = 3;\n"
               "update orders set ok = 'N' where id = 5;\n"
               "update orders set nick = null where id = 1;\n"
               "delete from orders where id = 4;\n"
               "insert into orders(id, name) values (9, 'new');\n"
               "alter table orders rename column amount to sum;\n"))
        << out_;
    const std::string db = "sqlite:" + dir_.file("shop.db");
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "diff");
        for (const char* option : {"--key", "ID", "--empty-is-null", "--ignore", "note"})
            args.push_back(option);
        return test::runCli(args, dir_, {"LC_ALL=C"});
    };

    const auto first = run({db, dir_.file("orders.dbf")});
    EXPECT_EQ(first.status, 1) << first.err;
    EXPECT_THAT(Lines(first.out, false),
                ElementsAre(" Field \"sum\" not exist ",
                            "Record 1, Field \"nick\" has changed from \"\" to \"cc        \"",
                            "Record 3, Field \"price\" has changed from \"1000000.24\" to "
                            "\"1000000.25\"",
                            "Record 4, Field \"ok\" has changed from \"N\" to \"True\"",
                            "Record 5 deleted from orders.dbf", "Record 4 added to orders.dbf"));
    EXPECT_THAT(first.err, HasSubstr("field \"AMOUNT\" of orders.dbf pairs with no column"));
    EXPECT_THAT(first.out, HasSubstr("Column \"price\": 3 equal, 1 differ (N(10,2) as "));
    // The lines name the FoxPro table as it was given.
    EXPECT_THAT(run({db, dir_.path(), "orders"}).out, HasSubstr("\nRecord 4 added to orders\n"));

    // The FoxPro table first, no table named: the same table, lines the other way.
    const auto second = run({dir_.file("orders.dbf"), db});
    EXPECT_EQ(second.status, 1) << second.err;
    EXPECT_EQ(second.out, run({dir_.file("orders.dbf"), db + "?table=orders"}).out);
    EXPECT_THAT(Lines(second.out, false),
                ElementsAre(" Field \"AMOUNT\" not exist ",
                            "Record 1, Field \"NICK\" has changed from \"cc        \" to \"\"",
                            "Record 3, Field \"PRICE\" has changed from \"1000000.25\" to "
                            "\"1000000.24\"",
                            "Record 5, Field \"OK\" has changed from \"True\" to \"N\"",
                            "Record 5 added to orders", "Record 4 deleted from orders"));

    // A table the database lacks: its tables of a like name are named.
    std::filesystem::copy_file(dir_.file("orders.dbf"), dir_.file("ordrs.dbf"));
    const auto lacking = run({dir_.file("ordrs.dbf"), db});
    EXPECT_EQ(lacking.status, 2);
    EXPECT_THAT(lacking.err, HasSubstr("has no table ordrs; tables of a like name: orders ("));

    // The whole database first: its tables are source #1's.
    const auto whole = run({db, dir_.path(), "--summary"});
    EXPECT_EQ(whole.status, 1) << whole.err;
    auto tables = Lines(whole.out, false);
    std::sort(tables.begin(), tables.end());
    EXPECT_THAT(tables, ElementsAre("Table \"audit\" is only in source #1",
                                    "Table \"orders\": 3 changed, 1 added, 1 deleted, 1 missing "
                                    "fields (paired by key fields: ID)",
                                    "Table \"ordrs\" is only in source #2"));
}

TEST_F(SideDiffTest, CsvExportRenamedColumnsAndItsProblems) {
    std::string csv = ExportCsv();
    Write("orders.csv", csv);
    const std::string uri = "csv:" + dir_.file("orders.csv");
    // An empty CSV field is a null and an empty value alike: no option needed.
    const auto same = Diff({uri});
    EXPECT_EQ(same.status, 0) << same.err << same.out;
    EXPECT_EQ(Lines(same.out, true).size(), 9u);
    EXPECT_THAT(Lines(same.out, false), ElementsAre());

    // A renamed column, a changed memo and a date one day off.
    csv.replace(csv.find("amount"), 6, "sum");
    csv.replace(csv.find("2024-05-05"), 10, "2024-05-06");
    csv.replace(csv.find("memo 4"), 6, "memo 5");
    Write("orders.csv", csv);
    const auto missing = Diff({uri});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(
        Lines(missing.out, false),
        ElementsAre(" Field \"AMOUNT\" not exist ",
                    "Record 4, Field \"NOTE\" has changed from \"memo 4\" to \"memo 5\"",
                    "Record 5, Field \"BORN\" has changed from \"2024-05-05\" to \"2024-05-06\""));
    EXPECT_THAT(missing.err, HasSubstr("column \"sum\" of csv:"));
    const auto mapped = Diff({uri, "--map", "amount=SUM", "--ignore", "note,born", "--key", "id"});
    EXPECT_EQ(mapped.status, 0) << mapped.err << mapped.out;
    EXPECT_THAT(mapped.out, HasSubstr("Column \"sum\": 5 equal, 0 differ (Y as text)"));

    // SOURCE TABLE as well as the table's file.
    EXPECT_EQ(
        test::runCli({"diff", dir_.path(), "orders", uri, "--map", "amount=sum"}, dir_).status, 1);
    const auto badKey = Diff({uri, "--key", "nosuch"});
    EXPECT_EQ(badKey.status, 2);
    EXPECT_THAT(badKey.err, HasSubstr("--key: nosuch is not a field of"));
    EXPECT_EQ(Diff({uri, "--align"}).status, 2);

    // A key that a row before it had: the row is added, and said to be.
    const std::string csvNow = ExportCsv();
    Write("orders.csv", csvNow + csvNow.substr(csvNow.rfind("\r\n5,") + 2));
    const auto twice = Diff({uri, "--key", "id"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_THAT(Lines(twice.out, false), ElementsAre("Record 6 added to orders"));
    EXPECT_THAT(twice.err, HasSubstr("row 6 has the key of a row before it"));

    // A file damaged part way: the lines found before the damage, then status 2;
    // the line counts the line break inside row 3's quoted memo.
    std::string damaged = ExportCsv();
    damaged.replace(damaged.find("Cascade"), 7, "Kaskade");
    Write("orders.csv", damaged + "6,short\r\n");
    const auto broken = Diff({uri});
    EXPECT_EQ(broken.status, 2);
    EXPECT_THAT(Lines(broken.out, false),
                ElementsAre("Record 1, Field \"NAME\" has changed from \"Cascade Coffee      \" to "
                            "\"Kaskade Coffee\""));
    EXPECT_THAT(broken.err, HasSubstr("orders.csv: line 9 has 2 fields where the header has 9"));
}

TEST_F(SideDiffTest, PostgresCopyPairsByKeyOnly) {
    test::ThrowawayServer server;
    if (!server.started()) GTEST_SKIP() << server.why();
    ASSERT_TRUE(server.psql(exportSql(false, "true", "false", 20)));
    const std::string uri = server.uri("&table=orders");
    // Its rows come in no order, and the table has no key of its own.
    const auto unordered = Diff({uri});
    EXPECT_EQ(unordered.status, 2);
    EXPECT_THAT(unordered.err, HasSubstr("pair them with --key FIELD"));
    // The whole folder: that table fails alone, and says why; with a key it compares.
    const auto whole = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"diff", dir_.path(), server.uri("")});
        return test::runCli(args, dir_, {"LC_ALL=C"});
    };
    const auto noKey = whole({});
    EXPECT_EQ(noKey.status, 2) << noKey.err;
    EXPECT_THAT(noKey.out, HasSubstr("Table \"orders\": could not be compared: its rows come in no "
                                     "order of their own and orders.dbf has no primary or "
                                     "candidate key: pair them with --key FIELD"));
    const auto keyed = whole({"--key", "id", "--empty-is-null", "--summary"});
    EXPECT_EQ(keyed.status, 0) << keyed.err;
    EXPECT_EQ(keyed.out, "Table \"orders\": identical\n");

    const auto same = Diff({uri, "--key", "ID", "--empty-is-null"});
    EXPECT_EQ(same.status, 0) << same.err << same.out;
    EXPECT_THAT(Lines(same.out, false), ElementsAre());
    EXPECT_THAT(same.out, HasSubstr("Column \"born\": 5 equal, 0 differ (D as date)"));
    EXPECT_THAT(same.out, HasSubstr("Column \"amount\": 5 equal, 0 differ (Y as numeric(19,4))"));
    // The database without table=: the table of the FoxPro table's name, either way round.
    for (const auto& operands :
         {std::vector<std::string>{dir_.file("orders.dbf"), server.uri("")},
          std::vector<std::string>{server.uri(""), dir_.file("orders.dbf")}}) {
        std::vector<std::string> args = {"diff",  operands[0], operands[1],
                                         "--key", "ID",        "--empty-is-null"};
        const auto run = test::runCli(args, dir_);
        EXPECT_EQ(run.status, 0) << run.err << run.out;
    }

    ASSERT_TRUE(
        server.psql("update orders set price = 12.49 where id = 1;\n"
                    "update orders set stamp = stamp + interval '1 second' where id = 3;\n"
                    "delete from orders where id = 2;\n"));
    const auto changed = Diff({uri, "--key", "ID", "--empty-is-null"});
    EXPECT_EQ(changed.status, 1) << changed.err;
    auto lines = Lines(changed.out, false);
    std::sort(lines.begin(), lines.end());
    EXPECT_THAT(lines,
                ElementsAre("Record 1, Field \"PRICE\" has changed from \"12.5\" to \"12.49\"",
                            "Record 2 deleted from orders",
                            "Record 3, Field \"STAMP\" has changed from \"2021-06-30 00:04:05\" to "
                            "\"2021-06-30 00:04:06\""));
}

// The same rows in each code page: the table in that page, its exports in
// UTF-8 and, for CSV, in the table's page as well.
class SideDiffCodePageTest : public SideDiffTest, public ::testing::WithParamInterface<CodePage> {
  protected:
    SideDiffCodePageTest() : SideDiffTest(GetParam()) {}

    // Unchanged, the export is no difference, paired by ID and by the name
    // with its letters beyond ASCII; then a letter of row 3's name and its
    // memo's second line changed are those two differences, shown right.
    void RoundTrip(const std::string& uri, const std::function<bool()>& write,
                   const std::vector<std::string>& options) {
        const auto diff = [&](const char* key) {
            std::vector<std::string> args = {uri, "--key", key};
            args.insert(args.end(), options.begin(), options.end());
            return Diff(args);
        };
        ASSERT_TRUE(write()) << out_;
        for (const char* key : {"ID", "NAME"}) {
            const auto same = diff(key);
            EXPECT_EQ(same.status, 0) << uri << " by " << key << ": " << same.err << same.out;
            EXPECT_THAT(Lines(same.out, false), ElementsAre()) << uri << " by " << key;
            const auto columns = Lines(same.out, true);
            EXPECT_EQ(columns.size(), 9u) << same.out;
            for (const auto& line : columns)
                EXPECT_THAT(line, HasSubstr(": 5 equal, 0 differ (")) << uri << " by " << key;
        }

        const Row before = rows_[2];
        rows_[2].name = cp_.name3Changed;
        rows_[2].note = cp_.note3Changed;
        ASSERT_TRUE(write()) << out_;
        const auto changed = diff("ID");
        EXPECT_EQ(changed.status, 1) << uri << ": " << changed.err;
        // The memo's line break is part of its line.
        EXPECT_EQ(changed.out.substr(0, changed.out.find("Column \"")),
                  "Record 3, Field \"NAME\" has changed from \"" + padded(before.name, 20) +
                      "\" to \"" + cp_.name3Changed + "\"\nRecord 3, Field \"NOTE\" has changed from \"" +
                      before.note + "\" to \"" + cp_.note3Changed + "\"\n")
            << uri;
        EXPECT_THAT(changed.out, HasSubstr("Column \"name\": 4 equal, 1 differ ("));
        EXPECT_THAT(changed.out, HasSubstr("Column \"note\": 4 equal, 1 differ ("));
        // By the name, the old name's record is gone and the new name's came.
        EXPECT_THAT(Lines(diff("NAME").out, false),
                    ElementsAre("Record 3 added to orders", "Record 3 deleted from orders"))
            << uri;
        rows_ = rowsIn(cp_);
    }
};

TEST_P(SideDiffCodePageTest, CsvInUtf8AndInTheTablesCodePage) {
    RoundTrip(
        "csv:" + dir_.file("orders.csv"),
        [&] { return !Write("orders.csv", ExportCsv()).empty(); }, {});
    std::filesystem::create_directory(dir_.file("local"));
    RoundTrip(
        "csv:" + dir_.file("local/orders.csv") + "?encoding=cp" + std::to_string(cp_.number),
        [&] { return !Write("local/orders.csv", cp_.stored(ExportCsv())).empty(); }, {});
}

TEST_P(SideDiffCodePageTest, SqliteInUtf8) {
    if (!Sqlite("select 1;")) GTEST_SKIP() << "python3 sqlite3: " << out_;
    const std::string uri = "sqlite:" + dir_.file("shop.db") + "?table=orders";
    RoundTrip(
        uri, [&] { return Sqlite("drop table if exists orders;\n" + exportSql(true, "1", "0", 12)); },
        {"--empty-is-null"});
    // Cut values are counted in characters, not in UTF-8 bytes.
    EXPECT_THAT(Diff({uri}).out, HasSubstr("varchar(12): 1 value cut"));
}

TEST_P(SideDiffCodePageTest, PostgresqlInUtf8) {
    test::ThrowawayServer server;
    if (!server.started()) GTEST_SKIP() << server.why();
    RoundTrip(
        server.uri("&table=orders"),
        [&] {
            return server.psql("set client_min_messages = warning;\ndrop table if exists orders;\n" +
                               exportSql(false, "true", "false", 20));
        },
        {"--empty-is-null"});
}

void PrintTo(const CodePage& cp, std::ostream* out) {
    *out << cp.label;
}

INSTANTIATE_TEST_SUITE_P(CodePages, SideDiffCodePageTest, ::testing::ValuesIn(kCodePages),
                         [](const auto& info) { return std::string(info.param.label); });

// Rows in the table's order, then in an order of their own, more of them
// than one batch of the key walk holds: the lines still come in the side's
// order, deletions last.
TEST(SideDiffOrderTest, RowsInAnotherOrderAreToldInTheSidesOrder) {
    test::TempFolder dir;
    test::TableBuilder t(0x30);
    t.field("ID", 'I', 4).field("NAME", 'C', 8);
    constexpr int kCount = 40000;
    for (int id = 1; id <= kCount; ++id)
        t.record({Cell::integer32(id), Cell::text("n" + std::to_string(id))});
    t.write(dir.file("big.dbf"));
    std::string csv = "id,name\r\n";
    const auto row = [&](int id) {
        if (id == 3) return;
        const bool changed =
            id == 19000 || id == 12000 || id == 5000 || id == 80 || id == 50 || id == 5;
        csv += std::to_string(id) + "," + (changed ? "x" : "n") + std::to_string(id) + "\r\n";
        if (id == 10000) csv += "40001,new\r\n";
    };
    for (int id = 1; id <= 100; ++id) row(id);
    for (int id = kCount; id > 100; --id) row(id);
    csv += "7,n7\r\n";
    std::ofstream(dir.file("big.csv"), std::ios::binary) << csv;
    const auto run = test::runCli(
        {"diff", dir.file("big.dbf"), "csv:" + dir.file("big.csv"), "--key", "id"}, dir);
    EXPECT_EQ(run.status, 1) << run.err;
    const std::vector<std::string> expected = {
        "Record 5, Field \"NAME\" has changed from \"n5      \" to \"x5\"",
        "Record 50, Field \"NAME\" has changed from \"n50     \" to \"x50\"",
        "Record 80, Field \"NAME\" has changed from \"n80     \" to \"x80\"",
        "Record 19000, Field \"NAME\" has changed from \"n19000  \" to \"x19000\"",
        "Record 12000, Field \"NAME\" has changed from \"n12000  \" to \"x12000\"",
        "Record 30101 added to big",
        "Record 5000, Field \"NAME\" has changed from \"n5000   \" to \"x5000\"",
        "Record 40001 added to big",
        "Record 3 deleted from big"};
    std::vector<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line) && !line.starts_with("Column");)
        lines.push_back(line);
    EXPECT_EQ(lines, expected);
    EXPECT_THAT(run.err, HasSubstr("row 40001 has the key of a row before it"));

    // Damaged in its last rows: what the rows before the damage hold is told.
    std::ofstream(dir.file("big.csv"), std::ios::binary) << csv << "8\r\n";
    const auto broken = test::runCli(
        {"diff", dir.file("big.dbf"), "csv:" + dir.file("big.csv"), "--key", "id"}, dir);
    EXPECT_EQ(broken.status, 2);
    EXPECT_EQ(broken.out.substr(0, broken.out.find("Record 3 deleted")),
              run.out.substr(0, run.out.find("Record 3 deleted")));
    EXPECT_THAT(broken.err, HasSubstr("big.csv: line 40003 has 1 fields"));
}

TEST(SideDiffFixtureTest, TableOfAContainerPairsWithItsExportByItsOwnKey) {
    const std::string folder = std::string(QUORVEL_FIXTURES) + "/public/foxprodb";
    if (!std::ifstream(folder + "/contacts.dbf").good()) GTEST_SKIP() << "no foxprodb fixtures";
    test::TempFolder scratch;
    const auto shown = test::runCli({"show", folder, "contacts"}, scratch);
    ASSERT_EQ(shown.status, 0) << shown.err;
    std::ofstream(scratch.file("contacts.csv"), std::ios::binary) << shown.out;
    const auto run = test::runCli(
        {"diff", folder, "contacts", "csv:" + scratch.file("contacts.csv"), "--key", "auto"},
        scratch);
    EXPECT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_THAT(run.err, HasSubstr("Records paired by candidate index CONTACT_ID"));
    EXPECT_THAT(run.out, HasSubstr("Column \"NOTES\": 5 equal, 0 differ (M as text)"));
}

}  // namespace
}  // namespace quorvel::cli
