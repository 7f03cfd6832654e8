// Real tables written by other programs: schema and record count against
// the *_summary.txt files, values against the .yml records.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/text/text_form.h"

namespace quorvel::foxpro {
namespace {

namespace fs = std::filesystem;

fs::path publicFixtures() {
    return fs::path(QUORVEL_FIXTURES) / "public";
}

#define SKIP_WITHOUT_FIXTURES()                                                    \
    if (!fs::is_directory(publicFixtures())) GTEST_SKIP() << "no fixtures folder"; \
    static_assert(true)

struct SummaryField {
    std::string name;
    char letter;
    int width;
    int decimals;
};

struct Summary {
    long records = -1;
    std::vector<SummaryField> fields;
};

Summary readSummary(const fs::path& path) {
    std::ifstream in(path);
    Summary s;
    std::string line;
    bool inFields = false;
    while (std::getline(in, line)) {
        if (line.rfind("Records:", 0) == 0) s.records = std::stol(line.substr(8));
        if (line.rfind("-----", 0) == 0) {
            inFields = true;
            continue;
        }
        if (!inFields || line.find_first_not_of(' ') == std::string::npos) continue;
        std::istringstream fields(line);
        SummaryField f;
        std::string type;
        fields >> f.name >> type >> f.width >> f.decimals;
        f.letter = type[0];
        // _NullFlags is a hidden system column: never listed as a field.
        if (f.name != "_NullFlags") s.fields.push_back(f);
    }
    return s;
}

class FixtureSummaryTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FixtureSummaryTest, SchemaAndRecordCountMatchSummary) {
    SKIP_WITHOUT_FIXTURES();
    const std::string table = GetParam();
    const Summary summary = readSummary(publicFixtures() / (table + "_summary.txt"));
    ASSERT_GT(summary.records, 0);
    TableReader reader((publicFixtures() / (table + ".dbf")).string());
    ASSERT_EQ(reader.fieldCount(), static_cast<int>(summary.fields.size()));
    for (int i = 0; i < reader.fieldCount(); ++i) {
        const auto& want = summary.fields[static_cast<std::size_t>(i)];
        const FieldInfo& f = reader.field(i);
        EXPECT_EQ(f.name, want.name);
        EXPECT_EQ(f.letter, want.letter) << want.name;
        EXPECT_EQ(f.width, want.width) << want.name;
        EXPECT_EQ(f.decimals, want.decimals) << want.name;
    }
    EXPECT_EQ(reader.liveCount(), summary.records);

    // Every value of every record decodes, through the record set as well.
    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + publicFixtures().string() +
           ";Collating Sequence=general;");
    EXPECT_EQ(c.execute("SELECT COUNT(*) FROM " + table).asInteger(), summary.records);
    Recordset rs;
    rs.open("SELECT * FROM [" + table + "]", c);
    long rows = 0;
    for (; !rs.eof(); rs.moveNext(), ++rows)
        for (int i = 0; i < rs.fieldCount(); ++i) textForm(rs.value(i), TextLocale::c());
    EXPECT_EQ(rows, summary.records);
}

INSTANTIATE_TEST_SUITE_P(Public, FixtureSummaryTest,
                         ::testing::Values("cp1251", "dbase_03", "dbase_30", "dbase_31", "dbase_32",
                                           "dbase_83", "dbase_f5"));

// ---- A small reader for the flat YAML lists of the .yml records ----

std::string unescapeDoubleQuoted(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out.push_back(s[i]);
            continue;
        }
        switch (s[++i]) {
            case 'r':
                out.push_back('\r');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            default:
                out.push_back(s[i]);
                break;
        }
    }
    return out;
}

// Items of a YAML block sequence of scalars; a double-quoted scalar may run
// over several lines, which fold into single blanks.
std::vector<std::string> readYamlList(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> items;
    std::string line, pending;
    bool inQuote = false;
    auto finishQuote = [&](const std::string& text) {
        items.push_back(unescapeDoubleQuoted(text.substr(1, text.size() - 2)));
    };
    auto quoteClosed = [](const std::string& text) {
        if (text.size() < 2 || text.back() != '"') return false;
        std::size_t backslashes = 0;
        for (std::size_t i = text.size() - 1; i-- > 0 && text[i] == '\\';) ++backslashes;
        return backslashes % 2 == 0;
    };
    while (std::getline(in, line)) {
        if (inQuote) {
            pending += " " + line.substr(line.find_first_not_of(' '));
            if (quoteClosed(pending)) {
                finishQuote(pending);
                inQuote = false;
            }
            continue;
        }
        const auto dash = line.find("- ");
        if (line == "---" || dash == std::string::npos) continue;
        std::string value = line.substr(dash + 2);
        if (!value.empty() && value[0] == '"') {
            if (quoteClosed(value) && value.size() > 1) {
                finishQuote(value);
            } else {
                pending = value;
                inQuote = true;
            }
        } else if (!value.empty() && value[0] == '\'') {
            std::string v = value.substr(1, value.size() - 2), out;
            for (std::size_t i = 0; i < v.size(); ++i) {
                out.push_back(v[i]);
                if (v[i] == '\'' && i + 1 < v.size() && v[i + 1] == '\'') ++i;
            }
            items.push_back(out);
        } else {
            items.push_back(value);
        }
    }
    return items;
}

std::string trimRight(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

class FixtureRecordTest : public ::testing::TestWithParam<int> {};

TEST_P(FixtureRecordTest, ValuesMatchYamlRecord) {
    SKIP_WITHOUT_FIXTURES();
    const int n = GetParam();
    const auto expected =
        readYamlList(publicFixtures() / ("dbase_83_record_" + std::to_string(n) + ".yml"));
    TableReader reader((publicFixtures() / "dbase_83.dbf").string());
    ASSERT_EQ(static_cast<int>(expected.size()), reader.fieldCount());
    const auto record = reader.storedRecord(reader.liveIndex(n + 1));
    for (int i = 0; i < reader.fieldCount(); ++i) {
        const FieldInfo& f = reader.field(i);
        const std::string want = expected[static_cast<std::size_t>(i)];
        const Value v = reader.value(record, i);
        SCOPED_TRACE(f.name);
        switch (f.letter) {
            case 'N':
                ASSERT_EQ(v.kind(), Value::Kind::Decimal);
                EXPECT_DOUBLE_EQ(std::strtod(v.str().c_str(), nullptr),
                                 std::strtod(want.c_str(), nullptr));
                break;
            case 'L':
                EXPECT_EQ(textForm(v, TextLocale::c()), want == "true" ? "True" : "False");
                break;
            default:
                // The reference library strips trailing blanks; text keeps them.
                ASSERT_EQ(v.kind(), Value::Kind::Text);
                EXPECT_EQ(trimRight(v.str()), want);
                break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Dbase83, FixtureRecordTest, ::testing::Values(0, 9));

TEST(FixtureText, CodePagesDecodeToUtf8) {
    SKIP_WITHOUT_FIXTURES();
    TableReader cyr((publicFixtures() / "cp1251.dbf").string());
    EXPECT_EQ(cyr.layout().codePage, 1251);
    EXPECT_EQ(trimRight(cyr.value(cyr.storedRecord(1), 1).str()), "больничное");
    // Mark 0 on a FoxPro 2.x table: code page 437.
    TableReader f5((publicFixtures() / "dbase_f5.dbf").string());
    EXPECT_EQ(f5.layout().codePage, 437);
    const int comn = f5.findField("COMN");
    ASSERT_GE(comn, 0);
    EXPECT_EQ(trimRight(f5.value(f5.storedRecord(0), comn).str()), "baix penedès");
}

TEST(FixtureText, VarcharWithBinaryFlagIsText) {
    SKIP_WITHOUT_FIXTURES();
    TableReader t((publicFixtures() / "dbase_32.dbf").string());
    ASSERT_EQ(t.fieldCount(), 1);
    EXPECT_TRUE(t.field(0).binary);
    EXPECT_EQ(t.field(0).typeCode, kTypeVarChar);
    const Value v = t.value(t.storedRecord(0), 0);
    EXPECT_EQ(v.kind(), Value::Kind::Text);
    EXPECT_EQ(v.str(), "Bad Meets Evil");
}

TEST(FixtureQuirks, DuplicateFieldNamesAreBothListed) {
    SKIP_WITHOUT_FIXTURES();
    TableReader t((publicFixtures() / "dbase_03.dbf").string());
    EXPECT_EQ(t.field(0).name, "Point_ID");
    EXPECT_EQ(t.field(t.fieldCount() - 1).name, "Point_ID");
    EXPECT_EQ(t.field(0).letter, 'C');
    EXPECT_EQ(t.field(t.fieldCount() - 1).letter, 'N');
    // dBase III offsets are summed, whatever the descriptors hold.
    int offset = 1;
    for (const auto& f : t.layout().fields) {
        EXPECT_EQ(f.offset, offset) << f.name;
        offset += f.width;
    }
}

// ---- The container ----

fs::path container() {
    return publicFixtures() / "foxprodb" / "FOXPRO-DB-TEST.DBC";
}

TEST(FixtureContainer, ListsItsTablesInContainerOrder) {
    SKIP_WITHOUT_FIXTURES();
    auto source = DataSource::open(container().string());
    EXPECT_TRUE(source->isContainer());
    EXPECT_THAT(source->tableNames(),
                ::testing::ElementsAre("types", "setup", "contacts", "calls"));
}

TEST(FixtureContainer, TablesReadWithLongFieldNamesAndUpperCaseMemoFiles) {
    SKIP_WITHOUT_FIXTURES();
    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + container().string() +
           ";Collating Sequence=machine;");
    struct Expect {
        const char* table;
        long records;
        const char* longName;
    };
    // Record counts as an independent reader (python3-dbfread) counts them.
    for (const Expect& e :
         {Expect{"types", 2, "contact_type_id"}, Expect{"setup", 3, "key_name"},
          Expect{"contacts", 5, "company_name"}, Expect{"calls", 16, "call_date"}}) {
        SCOPED_TRACE(e.table);
        EXPECT_EQ(c.execute(std::string("SELECT COUNT(*) FROM ") + e.table).asInteger(), e.records);
        Recordset rs;
        rs.open(std::string("SELECT * FROM [") + e.table + "]", c);
        const int index = rs.fieldIndex(e.longName);
        EXPECT_EQ(rs.field(index).name, e.longName);
        long rows = 0;
        for (; !rs.eof(); rs.moveNext(), ++rows)
            for (int i = 0; i < rs.fieldCount(); ++i) rs.value(i);
        EXPECT_EQ(rows, e.records);
    }
    // The table's own header keeps the short name.
    Recordset contacts;
    contacts.open("SELECT * FROM CONTACTS", c);
    EXPECT_THROW(contacts.fieldIndex("COMPANY_NA"), FoxProError);
    // A memo of calls.dbf, read from calls.FPT.
    Recordset calls;
    calls.open("SELECT * FROM [calls]", c);
    EXPECT_THAT(calls.value("notes").str(),
                ::testing::HasSubstr("Nancy told me about their blends"));
    EXPECT_EQ(textForm(calls.value("call_date"), TextLocale::c()), "1994-11-21 13:35:39");
}

}  // namespace
}  // namespace quorvel::foxpro
