#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foxpro/field_info.h"
#include "foxpro/value.h"

namespace quorvel::foxpro {

class DeletedRecords;
class MemoFile;
class MappedFile;

// One field descriptor as stored, hidden system fields (_NullFlags)
// included: what a writer copies to build a table of the same structure.
struct FieldDescriptor {
    std::string name;  // stored name (UTF-8), not the container's long name
    char letter = 'C';
    int offset = 0;  // in the record, delete flag at 0
    int width = 0;
    int decimals = 0;
    std::uint8_t flags = 0;
    std::uint32_t autoNext = 0;
    std::uint8_t autoStep = 0;
    std::array<std::uint8_t, 32> raw{};  // the 32 descriptor bytes as stored
};

// A memo's stored content.
struct MemoContent {
    bool present = false;  // false: block 0 / blank reference, no memo
    std::uint32_t block = 0;
    std::uint32_t type = 1;  // .fpt block type (1 text, 0 picture/binary); 1 for .dbt
    std::string data;        // raw bytes as stored, no code-page decoding
};

// Read-only view of one .dbf table through a memory map.  The header and
// field layout are validated when the reader is built, so that reading a
// record never touches bytes outside the file; every failure throws
// FoxProError(kErrorFile, "<file>: <problem>").  A missing memo file is an
// error only when a memo is read.
//
// Text of C, V and M fields is decoded from the table's code page, whatever
// the binary ("no translation") flag says: there is no session code page to
// translate into here.  encodeText(layout().codePage, ...) gives the stored
// bytes back.
class TableReader {
  public:
    // Opens the file read-only.  longNames, when not empty, renames the
    // visible fields in order (a container's long names).
    explicit TableReader(const std::string& path, std::vector<std::string> longNames = {});

    // Reads a table held in memory (and its memo file, when given); name is
    // used in messages.  The bytes must outlive the reader.
    static std::unique_ptr<TableReader> fromBytes(std::string name,
                                                  std::span<const std::uint8_t> table,
                                                  std::span<const std::uint8_t> memo = {});

    ~TableReader();
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    const std::string& path() const { return path_; }
    const std::string& fileName() const { return fileName_; }  // as messages name it

    std::uint8_t fileType() const { return fileType_; }
    std::uint8_t codePageMark() const { return codePageMark_; }
    std::uint8_t tableFlags() const { return tableFlags_; }
    int headerLength() const { return headerLength_; }
    // False when the table's code page mark names no code page the C library
    // can convert: its text is then read byte for byte as U+0000..U+00FF.
    bool codePageConvertible() const { return codePageConvertible_; }

    // The visible fields (no _NullFlags) with null and varlength bits.
    const TableLayout& layout() const { return layout_; }
    int fieldCount() const { return static_cast<int>(layout_.fields.size()); }
    const FieldInfo& field(int index) const {
        return layout_.fields[static_cast<std::size_t>(index)];
    }
    // Visible field by name without regard to case, -1 when none.
    int findField(std::string_view name) const;

    // Every stored descriptor, system fields included, in stored order.
    const std::vector<FieldDescriptor>& descriptors() const { return descriptors_; }
    // The header bytes as stored: 32-byte header, descriptors, terminator,
    // backlink (headerLength() bytes).
    std::span<const std::uint8_t> headerBytes() const;
    // The container backlink of a Visual FoxPro table ("" for a free table).
    std::string backlink() const;

    // Things tolerated while opening ("header says 10 records but the file
    // holds 8"), each naming the file.
    const std::vector<std::string>& warnings() const { return warnings_; }

    // ---- Stored records, deleted ones included ----
    // Records the file holds whole: the smaller of the header's count and
    // what the file size allows.
    std::int64_t storedCount() const { return storedCount_; }
    // Record bytes, delete flag first (recordLength bytes); index 0-based.
    std::span<const std::uint8_t> storedRecord(std::int64_t index) const;
    bool isDeleted(std::int64_t index) const;
    // The first stored index >= from that is live, storedCount() when none.
    // A walk forward through nextLive gives back the pages of the map it
    // has passed, so that its memory does not grow with the table.
    std::int64_t nextLive(std::int64_t from) const;
    // A forward walk of another kind (a copy) has reached stored record
    // index: the pages of the map it has passed are given back the same way.
    void walkedTo(std::int64_t index) const;

    // ---- Live records (deleted ones are part of no count or position) ----
    // Both read the delete flags once per state of the file: the positions
    // of the deleted records are kept for the process (deleted_records.h).
    std::int64_t liveCount() const;
    // Stored index of the n-th live record (1-based), -1 when there is none.
    std::int64_t liveIndex(std::int64_t n) const;

    // ---- Values of one record (bytes as storedRecord returns them) ----
    Value value(std::span<const std::uint8_t> record, int field) const;
    // The same for stored record index (0 <= index < storedCount()) and
    // field (0 <= field < fieldCount()), which the caller has checked: the
    // record set's path, without checking them again.
    Value valueAt(std::int64_t index, int field) const {
        return decode(
            data_ + headerLength_ +
                static_cast<std::size_t>(index) * static_cast<std::size_t>(layout_.recordLength),
            field);
    }
    bool isNull(std::span<const std::uint8_t> record, int field) const;
    // Memo block reference of a memo field (0 when none).
    std::uint32_t memoBlock(std::span<const std::uint8_t> record, int field) const;
    // The memo a memo field refers to, read from the memo file.
    MemoContent memo(std::span<const std::uint8_t> record, int field) const;
    MemoContent memoAt(std::uint32_t block) const;

    // The memo file's path ("" when none was found or the table has no memo
    // fields) and its block size (0 when none).
    std::string memoPath() const;
    int memoBlockSize() const;

  private:
    TableReader() = default;
    void parse(std::vector<std::string> longNames);
    [[noreturn]] void fail(const std::string& problem) const;
    const MemoFile& memoFile() const;
    std::string decodeStoredText(std::string_view bytes) const;
    Value decode(const std::uint8_t* record, int field) const;
    std::vector<std::uint32_t> scanDeleted() const;
    const DeletedRecords& deletedRecords() const;

    std::string path_;
    std::string fileName_;
    std::unique_ptr<MappedFile> file_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::span<const std::uint8_t> memoBytes_;  // fromBytes only
    bool memoFromBytes_ = false;

    std::uint8_t fileType_ = 0;
    std::uint8_t codePageMark_ = 0;
    std::uint8_t tableFlags_ = 0;
    bool codePageConvertible_ = true;
    int headerLength_ = 0;
    TableLayout layout_;
    std::vector<FieldDescriptor> descriptors_;
    std::vector<std::string> warnings_;
    std::int64_t storedCount_ = 0;
    mutable std::shared_ptr<const DeletedRecords> deleted_;
    mutable std::unique_ptr<MemoFile> memo_;
    mutable bool memoLooked_ = false;
};

}  // namespace quorvel::foxpro
