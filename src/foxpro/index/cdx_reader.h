#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::foxpro {

class TableReader;

namespace platform {
class MappedFile;
}

// One tag of a compound index, as its header describes it.
struct IndexTag {
    std::string name;           // as the tag directory holds it (upper case)
    std::string keyExpression;  // as stored
    std::string forExpression;  // "" when none
    int keyLength = 0;          // bytes of each key, the null prefix included
    std::uint8_t options = 0;   // header byte 14 (cdx_format.h)
    bool unique = false;
    bool candidate = false;
    bool descending = false;
    bool hasFor = false;
    bool nullKeys = false;     // keys carry the null prefix
    std::string collation;     // "" for machine order ("GENERAL", "PINYIN", ...)
    std::uint32_t header = 0;  // offset of the tag's header in the file
    std::uint32_t root = 0;    // offset of its root node
    // The byte that fills a key's trailing bytes: NUL for the binary keys
    // of numbers, dates and integers, blank for text.  Set from the key
    // expression when the reader was given the table, else blank; a caller
    // that knows better sets it in its copy of the tag.
    std::uint8_t fill = ' ';
};

// One key of a tag and its record number (1-based).
struct IndexEntry {
    std::string key;
    std::uint32_t record = 0;
    friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};

// Read-only view of a structural compound index (.cdx) through a memory
// map, opened with the guards of tables: a regular file, opened without
// waiting on it, and a file that shrinks or is written over while it is
// read throws "<file> changed while it was being read".  The tag directory
// and every tag header are read and checked when the reader is built; a
// damaged or truncated file throws FoxProError(kErrorFile, "<file>:
// <problem>"), then or during a walk.  Every walk is bounded by the file's
// pages: a node met twice is reported as a loop.
class CdxReader {
  public:
    // table, when given, is the table the index belongs to: each tag's fill
    // byte then comes from its key expression.  It must outlive the reader.
    explicit CdxReader(const std::string& path, const TableReader* table = nullptr);
    // An index held in memory; name is used in messages.  The bytes must
    // outlive the reader.
    static std::unique_ptr<CdxReader> fromBytes(std::string name,
                                                std::span<const std::uint8_t> bytes,
                                                const TableReader* table = nullptr);
    ~CdxReader();
    CdxReader(const CdxReader&) = delete;
    CdxReader& operator=(const CdxReader&) = delete;

    const std::string& fileName() const { return fileName_; }

    // The tags in the order of their headers in the file, which is the
    // order they were made in (the directory itself is sorted by name).
    const std::vector<IndexTag>& tags() const { return tags_; }
    // The tag of that name without regard to case, nullptr when none.
    const IndexTag* findTag(std::string_view name) const;

    // Calls visit for each key of tag in stored order (ascending bytes,
    // ties in record order, checked as it goes; a descending tag is stored
    // the same way and read backwards) until visit returns false.
    void walk(const IndexTag& tag, const std::function<bool(const IndexEntry&)>& visit) const;
    std::vector<IndexEntry> entries(const IndexTag& tag) const;

    // The first entry whose key is key (keyLength bytes), through the
    // tree (key by key for a descending tag); nullopt when the tag has none.
    std::optional<IndexEntry> seek(const IndexTag& tag, std::string_view key) const;

    // Throws the changed-file error when the file changed since it was
    // opened (nothing for bytes held in memory).
    void checkUnchanged() const;

  private:
    CdxReader() = default;
    class Walk;
    void parse(const TableReader* table);
    IndexTag readTagHeader(std::uint32_t offset, std::string name) const;
    [[noreturn]] void fail(const std::string& problem) const;

    std::string fileName_;
    std::unique_ptr<platform::MappedFile> file_;
    std::span<const std::uint8_t> bytes_;
    std::vector<IndexTag> tags_;
};

// The file name of a table's structural index: its stem with ".cdx", in
// the letter case of the table's extension ("CUSTOMER.DBF" -> "CUSTOMER.CDX").
std::string structuralIndexName(const std::string& tableFileName);

// The structural index of the table at tablePath: its stem with ".cdx"
// found without regard to case ("calls.dbf" beside "calls.CDX"), as a full
// path; "" when there is none.
std::string findStructuralIndex(const std::string& tablePath);

}  // namespace quorvel::foxpro
