// Connection and record set over folders of free tables.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/recordset.h"
#include "support/child_process.h"
#include "support/open_files.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;

std::string folderString(const std::string& folder) {
    return "Provider=vfpoledb.1;Data Source=" + folder + ";Collating Sequence=general;";
}

int errorNumber(const std::function<void()>& f, std::string* description = nullptr) {
    try {
        f();
    } catch (const FoxProError& e) {
        if (description) *description = e.description();
        return e.number();
    }
    return 0;
}

// Three live records around two deleted ones.
TableBuilder People() {
    TableBuilder t(0x30);
    t.field("NAME", 'C', 6).field("AGE", 'N', 3).field("BORN", 'D', 8);
    t.record({Cell::text("gone"), Cell::number("1"), Cell::blank()}, true);
    t.record({Cell::text("Ann"), Cell::number("30"), Cell::date(1990, 1, 2)});
    t.record({Cell::text("Bob"), Cell::number("41"), Cell::blank()});
    t.record({Cell::text("gone2"), Cell::number("2"), Cell::blank()}, true);
    t.record({Cell::text("Cy"), Cell::number("5"), Cell::date(2019, 5, 6)});
    return t;
}

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        People().write(dir_.file("people.dbf"));
        connection_.open(folderString(dir_.path()));
    }
    test::TempFolder dir_;
    Connection connection_;
};

TEST(ConnectionOpen, OtherProviderFailsWith3706) {
    Connection c;
    std::string text;
    EXPECT_EQ(
        errorNumber([&] { c.open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=.;"); }, &text),
        kErrorProviderNotFound);
    EXPECT_EQ(text, "Provider cannot be found. It may not be properly installed.");
    EXPECT_FALSE(c.isOpen());
}

TEST(ConnectionOpen, MissingDataSourceIsNamed) {
    Connection c;
    std::string text;
    EXPECT_EQ(errorNumber([&] { c.open(folderString("/no/such/folder")); }, &text), kErrorFile);
    EXPECT_EQ(text, "/no/such/folder: no such file or folder");
}

TEST(ConnectionOpen, KeysIgnoreCaseAndQuotedValuesMayHoldSemicolons) {
    test::TempFolder dir;
    const std::string odd = dir.file("a;b");
    std::filesystem::create_directory(odd);
    People().write(odd + "/people.dbf");
    Connection c;
    c.open("provider = VFPOLEDB.1 ; DATA SOURCE=\"" + odd + "\";collating sequence=general");
    EXPECT_TRUE(c.isOpen());
    EXPECT_THAT(c.tableNames(), ElementsAre("people"));
    EXPECT_EQ(c.source().path(), odd);
}

TEST(ConnectionOpen, ClosedConnectionRefusesWork) {
    Connection c;
    EXPECT_EQ(errorNumber([&] { c.execute("SELECT COUNT(*) FROM t"); }), kErrorObjectClosed);
}

TEST(ConnectionTables, FolderListsTablesWithoutTildeNamesOrOtherFiles) {
    test::TempFolder dir;
    TableBuilder t(0x03);
    t.field("A", 'C', 1).record({Cell::text("x")});
    for (const char* name : {"orders.dbf", "CUSTOMER.DBF", "~temp.dbf", "Zeta.Dbf"})
        t.write(dir.file(name));
    test::writeFile(dir.file("notes.txt"), {1, 2});
    std::filesystem::create_directory(dir.file("sub.dbf"));
    Connection c;
    c.open(folderString(dir.path()));
    EXPECT_THAT(c.tableNames(), ElementsAre("CUSTOMER", "orders", "Zeta"));
    // Names are found without regard to case, bare or in brackets.
    EXPECT_EQ(c.execute("SELECT COUNT(*) FROM customer").asInteger(), 1);
    EXPECT_EQ(c.execute("SELECT COUNT(*) FROM [ORDERS]").asInteger(), 1);
    std::string text;
    EXPECT_EQ(errorNumber([&] { c.execute("SELECT COUNT(*) FROM nothere"); }, &text), kErrorFile);
    EXPECT_EQ(text, "no table named nothere in " + dir.path());
}

TEST_F(ConnectionTest, CountSkipsDeletedRecords) {
    const Value count = connection_.execute("SELECT COUNT(*) FROM people");
    EXPECT_EQ(count, Value::integer(3));
}

TEST_F(ConnectionTest, RecordSetWalksLiveRecordsInStoredOrder) {
    Recordset rs;
    rs.open("SELECT * FROM [people]", connection_, kOpenStatic, kLockOptimistic);
    ASSERT_EQ(rs.fieldCount(), 3);
    EXPECT_EQ(rs.field(2).name, "BORN");
    EXPECT_EQ(rs.field(2).typeCode, kTypeDate);
    std::vector<std::string> names;
    std::vector<std::int64_t> positions;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        names.push_back(rs.value("name").str());
        positions.push_back(rs.position());
    }
    EXPECT_THAT(names, ElementsAre("Ann   ", "Bob   ", "Cy    "));
    EXPECT_THAT(positions, ElementsAre(1, 2, 3));
    // Reading again gives the same order.
    rs.moveFirst();
    EXPECT_EQ(rs.value(0).str(), "Ann   ");
    EXPECT_EQ(rs.value(1), Value::decimal("30"));
}

TEST_F(ConnectionTest, AWalkToTheEndKeepsWhereItsDeletedRecordsAre) {
    // Deleted records first, between and last: the walk's list is the one
    // a count and a jump then use.
    TableBuilder t(0x30);
    t.field("NAME", 'C', 4);
    for (const auto& [name, deleted] : std::vector<std::pair<std::string, bool>>{
             {"x1", true}, {"A", false}, {"x2", true}, {"B", false}, {"x3", true}, {"x4", true}})
        t.record({Cell::text(name)}, deleted);
    for (int i = 0; i < 100; ++i) t.record({Cell::text("C" + std::to_string(i))});
    t.record({Cell::text("x5")}, true);
    t.record({Cell::text("x6")}, true);
    t.write(dir_.file("walked.dbf"));
    Recordset rs;
    rs.open("SELECT * FROM walked", connection_);
    std::int64_t walked = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) ++walked;
    EXPECT_EQ(walked, 102);
    EXPECT_EQ(connection_.execute("SELECT COUNT(*) FROM walked"), Value::integer(102));
    rs.moveTo(101);
    EXPECT_EQ(rs.value(0).str(), "C98 ");
    rs.moveTo(2);
    EXPECT_EQ(rs.value(0).str(), "B   ");
    rs.moveTo(103);
    EXPECT_TRUE(rs.eof());
}

TEST_F(ConnectionTest, MissingFieldNameFailsWith3265) {
    Recordset rs;
    rs.open("SELECT * FROM people", connection_);
    EXPECT_EQ(rs.fieldIndex("Age"), 1);
    std::string text;
    EXPECT_EQ(errorNumber([&] { rs.value("SALARY"); }, &text), kErrorItemNotFound);
    EXPECT_EQ(
        text,
        "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    EXPECT_EQ(errorNumber([&] { rs.field(3); }), kErrorItemNotFound);
    EXPECT_EQ(errorNumber([&] { rs.value(-1); }), kErrorItemNotFound);
}

TEST_F(ConnectionTest, ReadingPastTheEndFails) {
    Recordset rs;
    rs.open("SELECT * FROM people", connection_);
    for (int i = 0; i < 3; ++i) rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(errorNumber([&] { rs.value(0); }), kErrorNoCurrentRecord);
    EXPECT_EQ(errorNumber([&] { rs.moveNext(); }), kErrorNoCurrentRecord);
    rs.close();
    EXPECT_EQ(errorNumber([&] { rs.eof(); }), kErrorObjectClosed);
}

TEST_F(ConnectionTest, RecnoSelectsTheNthLiveRecord) {
    Recordset rs;
    rs.open("SELECT * FROM [people] WHERE RECNO() = 2", connection_);
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.value(0).str(), "Bob   ");
    EXPECT_EQ(rs.position(), 2);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    rs.open("SELECT * FROM [people] WHERE RECNO() = 4", connection_);
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(connection_.execute("SELECT * FROM people WHERE RECNO() = 3"), Value::text("Cy    "));
}

TEST_F(ConnectionTest, EmptyTableIsAtTheEndAtOnce) {
    TableBuilder t(0x30);
    t.field("A", 'C', 1);
    t.record({Cell::text("x")}, true);
    t.write(dir_.file("empty.dbf"));
    Recordset rs;
    rs.open("SELECT * FROM empty", connection_);
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(connection_.execute("SELECT COUNT(*) FROM empty").asInteger(), 0);
}

TEST_F(ConnectionTest, RecordSetRefusesStatementsThatReturnNoTable) {
    Recordset rs;
    EXPECT_EQ(errorNumber([&] { rs.open("SELECT COUNT(*) FROM people", connection_); }),
              kErrorInvalidArgument);
    EXPECT_EQ(errorNumber([&] { rs.open("DELETE FROM people", connection_); }),
              kErrorInvalidArgument);
}

TEST_F(ConnectionTest, RawRecordsAndLayoutsForByteComparison) {
    People().write(dir_.file("copy.dbf"));
    TableBuilder other(0x30);
    other.field("NAME", 'C', 7).field("AGE", 'N', 3).field("BORN", 'D', 8);
    other.record({Cell::text("Ann"), Cell::number("30"), Cell::date(1990, 1, 2)});
    other.write(dir_.file("other.dbf"));

    Recordset a, b, c;
    a.open("SELECT * FROM people", connection_);
    b.open("SELECT * FROM copy", connection_);
    c.open("SELECT * FROM other", connection_);
    EXPECT_TRUE(sameLayout(a.layout(), b.layout()));
    EXPECT_FALSE(sameLayout(a.layout(), c.layout()));
    const auto raw = a.rawRecord();
    ASSERT_EQ(raw.size(), 1u + 6 + 3 + 8);
    EXPECT_EQ(raw[0], ' ');
    EXPECT_EQ(std::string(raw.begin() + 1, raw.begin() + 4), "Ann");
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), b.rawRecord().begin()));
}

TEST_F(ConnectionTest, SourceTablesAreOpenedReadOnly) {
    // A table file without write permission reads as usual (as root the mode
    // is not enforced, so the file is also checked unchanged).
    const std::string path = dir_.file("people.dbf");
    const auto before = test::readFile(path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    Recordset rs;
    rs.open("SELECT * FROM people", connection_);
    for (; !rs.eof(); rs.moveNext()) rs.value(0);
    rs.close();
    EXPECT_EQ(test::readFile(path), before);
}

}  // namespace
}  // namespace quorvel::foxpro

namespace quorvel::foxpro {
namespace {

// With the process's file handles used up but for a few, every read either
// succeeds or names the cause; a file that could not be opened or a folder
// that could not be listed never passes for a table, memo or .cpg that is
// not there.  Once handles are free again, the same reads succeed.
TEST(OpenFailureTest, TooManyOpenFilesIsNamedNotTakenForAbsence) {
    test::TempFolder dir;
    TableBuilder notes(0x30);
    notes.field("NOTE", 'M', 4).record({Cell::memo("kept")});
    notes.write(dir.file("notes.dbf"));
    TableBuilder plain(0x30);
    plain.codePageMark(0).field("A", 'C', 1).record({Cell::text("a")});
    plain.write(dir.file("plain.dbf"));
    test::ContainerBuilder dbc;
    dbc.table("plain").field("a");
    dbc.write(dir.file("shop.dbc"));
    const auto readAll = [&] {
        Connection folder;
        folder.open(folderString(dir.path()));
        EXPECT_EQ(folder.tableNames(), (std::vector<std::string>{"notes", "plain"}));
        const auto memo = folder.source().openTable("notes");
        EXPECT_EQ(memo->value(memo->storedRecord(0), 0).str(), "kept");
        EXPECT_EQ(folder.source().openTable("plain")->liveCount(), 1);
        const auto container = DataSource::open(dir.file("shop.dbc"));
        EXPECT_EQ(container->openTable("plain")->field(0).name, "a");
    };

    int failed = 0;
    for (int spare = 0; spare < 12; ++spare) {
        test::OpenFilesUsedUp used(spare);
        if (!used.active()) GTEST_SKIP() << "this system sets no small limit on open files";
        std::string text;
        if (errorNumber(readAll, &text) == 0) continue;
        ++failed;
        EXPECT_THAT(text, ::testing::HasSubstr("Too many open files")) << spare << " spare";
    }
    EXPECT_GE(failed, 3);
    readAll();
}

}  // namespace
}  // namespace quorvel::foxpro

namespace quorvel::foxpro {
namespace {

// A container built here, so that container reading is tested without the
// shared fixtures: two tables, long field names, a deleted field record, a
// table file whose name differs in case from the container's path.
class ContainerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ContainerBuilder dbc;
        dbc.table("orders", "data\\orders.dbf")
            .field("order_number")
            .field("dropped_field", true)
            .field("customer_name");
        dbc.table("Lines").field("line_id");
        dbc.write(dir_.file("shop.dbc"));

        std::filesystem::create_directory(dir_.file("DATA"));
        TableBuilder orders(0x30);
        orders.backlink("..\\shop.dbc").field("ORDER_NUMB", 'I', 4).field("CUSTOMER_N", 'C', 10);
        orders.record({Cell::integer32(7), Cell::text("Ann")});
        orders.write(dir_.file("DATA/Orders.DBF"));
        TableBuilder lines(0x30);
        lines.field("LINE_ID", 'I', 4).record({Cell::integer32(1)}).record({Cell::integer32(2)});
        lines.write(dir_.file("lines.dbf"));
        // A free table beside the container is not one of its tables.
        lines.write(dir_.file("loose.dbf"));
    }

    test::TempFolder dir_;
};

TEST_F(ContainerTest, TablesInContainerOrderWithLongFieldNames) {
    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + dir_.file("shop.dbc") +
           ";Collating Sequence=machine;");
    EXPECT_THAT(c.tableNames(), ElementsAre("orders", "Lines"));
    Recordset rs;
    rs.open("SELECT * FROM [ORDERS]", c);
    ASSERT_EQ(rs.fieldCount(), 2);
    EXPECT_EQ(rs.field(0).name, "order_number");
    EXPECT_EQ(rs.field(1).name, "customer_name");
    EXPECT_EQ(rs.value("CUSTOMER_NAME").str(), "Ann       ");
    EXPECT_EQ(c.execute("SELECT COUNT(*) FROM lines").asInteger(), 2);
    EXPECT_EQ(errorNumber([&] { c.execute("SELECT COUNT(*) FROM loose"); }), kErrorFile);

    const DataSource& source = c.source();
    EXPECT_TRUE(source.isContainerTable(dir_.file("DATA/Orders.DBF")));
    EXPECT_TRUE(source.isContainerTable(dir_.file("lines.dbf")));
    EXPECT_FALSE(source.isContainerTable(dir_.file("loose.dbf")));
}

TEST_F(ContainerTest, MissingTableFileIsNamedWhenOpened) {
    std::filesystem::remove(dir_.file("lines.dbf"));
    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + dir_.file("shop.dbc") +
           ";Collating Sequence=machine;");
    EXPECT_THAT(c.tableNames(), ElementsAre("orders", "Lines"));
    std::string text;
    EXPECT_EQ(errorNumber([&] { c.execute("SELECT COUNT(*) FROM lines"); }, &text), kErrorFile);
    EXPECT_EQ(text, "shop.dbc: the file of table Lines is missing");
}

// A FIFO would block the open for ever: each is refused by name instead.
TEST_F(ContainerTest, FifoWhereAFileIsExpectedIsRefusedNotWaitedOn) {
    if (!test::makeFifo(dir_.file("probe")))
        GTEST_SKIP() << "this system has no FIFOs in folders (Windows names its pipes apart)";
    auto fifo = [&](const std::string& name) {
        std::filesystem::remove(dir_.file(name));
        ASSERT_TRUE(test::makeFifo(dir_.file(name)));
    };
    const std::string open = "Provider=vfpoledb.1;Data Source=" + dir_.file("shop.dbc") + ";";
    std::string text;
    fifo("lines.dbf");  // a table the container names
    Connection c;
    c.open(open);
    EXPECT_EQ(errorNumber([&] { c.execute("SELECT COUNT(*) FROM lines"); }, &text), kErrorFile);
    EXPECT_EQ(text, "lines.dbf is not a regular file");
    fifo("shop.dct");
    EXPECT_EQ(errorNumber([&] { c.open(open); }, &text), kErrorFile);
    EXPECT_EQ(text, "shop.dct is not a regular file");
    fifo("shop.dbc");
    EXPECT_EQ(errorNumber([&] { c.open(open); }, &text), kErrorFile);
    EXPECT_EQ(text, dir_.file("shop.dbc") + " is not a regular file");
}

TEST_F(ContainerTest, FileThatIsNoContainerIsRefused) {
    std::string text;
    Connection c;
    EXPECT_EQ(
        errorNumber(
            [&] { c.open("Provider=vfpoledb.1;Data Source=" + dir_.file("lines.dbf") + ";"); },
            &text),
        kErrorFile);
    EXPECT_EQ(text, "lines.dbf: not a database container");
}

}  // namespace
}  // namespace quorvel::foxpro
