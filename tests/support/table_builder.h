#pragma once

// Writes small FoxPro / dBase tables for tests, byte by byte, independent of
// the table-access layer's own writer, and damages files on purpose.
//
//   TempFolder dir;
//   TableBuilder t(0x30);
//   t.field("NAME", 'C', 10).field("QTY", 'N', 5, 1).field("NOTE", 'M', 4);
//   t.record({Cell::text("Ann"), Cell::number("12.5"), Cell::memo("long text")});
//   t.record({Cell::text("Bob"), Cell::null(), Cell::none()}, /*deleted=*/true);
//   t.write(dir.file("orders.dbf"));   // and orders.fpt
//
// A C field wider than 255 is stored as Clipper does: length byte + 256 x
// decimals byte.
//
// File types 0x03, 0x30, 0x31, 0x32, 0x83 (.dbt) and 0xF5 (.fpt).  Visual
// FoxPro tables get a _NullFlags column when a field is nullable or V/Q,
// with bits handed out as Visual FoxPro does.

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::test {

// One value of one field, encoded by the builder for the field's type.
struct Cell {
    enum class Kind {
        Blank,
        Raw,
        Text,
        Number,
        Integer,
        Real,
        Currency,
        Date,
        DateTime,
        Logical,
        Memo,
        Null
    };
    Kind kind = Kind::Blank;
    std::string bytes;  // Raw: exact field bytes; Text, Number: the text; Memo: content
    std::int64_t integer = 0;
    double real = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    char logicalByte = ' ';
    std::uint32_t memoType = 1;  // .fpt block type: 1 text, 0 binary

    static Cell blank();                    // blanks (C/N/D/L), zeros (I/B/Y/T), no memo
    static Cell none() { return blank(); }  // a memo field without memo
    // Exact bytes of the field, padded with blanks (or cut) to its width.
    static Cell raw(std::string fieldBytes);
    // C: blank-padded; V/Q: shorter than the width sets the varlength bit.
    static Cell text(std::string storedBytes);
    // N/F: right-aligned in the width, as written ("-12.50").
    static Cell number(std::string digits);
    static Cell integer32(std::int32_t v);                                        // I
    static Cell real64(double v);                                                 // B
    static Cell currency(std::int64_t tenThousandths);                            // Y
    static Cell date(int y, int m, int d);                                        // D
    static Cell dateTime(int y, int m, int d, int h, int mi, int s, int ms = 0);  // T
    static Cell logical(char stored);                               // L: 'T', 'F', '?', ' '
    static Cell memo(std::string content, std::uint32_t type = 1);  // M, G, W, P (and dBase B)
    static Cell null();  // sets the field's null bit (the field must be nullable)
};

struct FieldSpec {
    std::string name;
    char letter = 'C';
    int width = 0;
    int decimals = 0;
    std::uint8_t flags = 0;  // 0x02 nullable, 0x04 binary, 0x0C autoincrement
};

class TableBuilder {
  public:
    explicit TableBuilder(std::uint8_t fileType = 0x30);

    TableBuilder& codePageMark(std::uint8_t mark);
    TableBuilder& field(std::string name, char letter, int width, int decimals = 0,
                        std::uint8_t flags = 0);
    // Stores the descriptors' field offsets as 0 (as old writers do), or not.
    TableBuilder& zeroFieldOffsets(bool zero = true);
    // Stores these offsets in the descriptors, one per field in order,
    // whatever the record layout is (writers that get them wrong).
    TableBuilder& storedOffsets(std::vector<std::uint32_t> offsets);
    // Header record count other than the number of records given (damage).
    TableBuilder& headerRecordCount(std::uint32_t count);
    // Memo-file extension, ".fpt" / ".dbt" by default; ".FPT" to test case.
    TableBuilder& memoExtension(std::string extension);
    // Relative path of the owning container in the backlink (VFP types).
    TableBuilder& backlink(std::string relativePath);
    TableBuilder& memoBlockSize(int size);

    // One value per field, in field order.
    TableBuilder& record(std::vector<Cell> cells, bool deleted = false);

    const std::vector<FieldSpec>& fields() const { return fields_; }
    int recordLength() const;
    int headerLength() const;
    bool hasMemoFile() const;

    std::vector<std::uint8_t> tableBytes() const;
    std::vector<std::uint8_t> memoBytes() const;  // empty when no memo field
    // Writes the table and, when it has memo fields, its memo file beside it
    // (same stem, memoExtension()).  Returns the memo path ("" when none).
    std::string write(const std::string& dbfPath) const;

  private:
    struct NullLayout {
        int nullFlagsWidth = 0;
        std::vector<int> nullBit, varBit;
    };
    NullLayout nullLayout() const;
    bool isVfp() const;
    bool memoIsDbt() const;
    void encodeCell(const FieldSpec& f, const Cell& c, std::uint8_t* out,
                    std::vector<std::uint8_t>& flags, int nullBit, int varBit,
                    std::vector<std::uint8_t>& memo) const;

    std::uint8_t fileType_;
    std::uint8_t codePageMark_ = 0x03;
    bool zeroOffsets_ = false;
    std::vector<std::uint32_t> storedOffsets_;
    bool headerCountSet_ = false;
    std::uint32_t headerCount_ = 0;
    std::string memoExtension_;
    std::string backlink_;
    int memoBlockSize_ = 64;
    std::vector<FieldSpec> fields_;
    struct Row {
        std::vector<Cell> cells;
        bool deleted;
    };
    std::vector<Row> rows_;
};

// Writes a database container (.dbc and its .dct) byte by byte: a Database
// record, then per table a Table record (with the table file's relative path
// as its path property, when given) followed by one Field record per long
// field name, in column order.  The table files are the caller's
// (TableBuilder, with backlink() naming the container).
//
//   ContainerBuilder c;
//   c.table("orders", "data\\orders.dbf").field("order_number").field("customer_name");
//   c.write(dir.file("shop.dbc"));   // and shop.dct
class ContainerBuilder {
  public:
    ContainerBuilder& table(std::string name, std::string relativePath = "");
    // A Field record of the latest table; deleted: stored as a deleted record.
    ContainerBuilder& field(std::string longName, bool deleted = false);
    // The latest table's primary key tag (its Table record's property 0x14).
    ContainerBuilder& primaryKey(std::string tag);
    // An Index record of the latest table (property 0x11: candidate or not).
    ContainerBuilder& index(std::string tag, bool candidate);
    void write(const std::string& dbcPath) const;

  private:
    struct Object {
        std::string type;
        std::string name;
        std::string path;
        bool deleted = false;
        int parent = 1;
        std::string property;  // more property entries
    };
    std::vector<Object> objects_;
    int lastTable_ = 1;
};

// A small container beside its tables, in folder: shop.dbc with
//   customers (customers.dbf): customer_number I, company_name C(20),
//     city C(10) - the first two longer than the 10 characters a header
//     keeps (CUSTOMER_N, COMPANY_NA); records 1 "Cascade Coffee" "Paris",
//     2 "Blue Mill" "Rome";
//   setup (setup.dbf): KEY C(6), VAL C(6), its names as the header has
//     them; one record "mode" "fast".
// Returns the container's path.
std::string writeSampleContainer(const std::string& folder);

// A fresh temporary folder, removed with its content on destruction.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Damage helpers.
void flipByte(const std::string& path, std::size_t offset, std::uint8_t mask = 0xFF);
void setByte(const std::string& path, std::size_t offset, std::uint8_t value);
void setBytes(const std::string& path, std::size_t offset, const std::vector<std::uint8_t>& bytes);
void truncateTo(const std::string& path, std::size_t size);
void truncateBy(const std::string& path, std::size_t bytes);
std::vector<std::uint8_t> readFile(const std::string& path);
std::string readText(const std::string& path);  // the bytes as a string; "" when unreadable
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace quorvel::test
