#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foxpro/format/field_info.h"
#include "foxpro/format/value.h"
#include "foxpro/platform/mapped_file.h"
#include "foxpro/read/advisory_lock.h"
#include "foxpro/read/memo_file.h"
#include "foxpro/read/table_header.h"

namespace quorvel::foxpro {

class DeletedRecords;

// Read-only view of one .dbf table through a memory map.  The header and
// field layout are validated when the reader is built, so that reading a
// record never touches bytes outside the file; every failure throws
// FoxProError(kErrorFile, "<file>: <problem>").  A missing memo file is an
// error only when a memo is read.
//
// A table (or memo file) that shrinks or is written over while it is read
// throws FoxProError(kErrorFile, "<file> changed while it was being read")
// instead of handing on what it read: when a value, a delete flag or a memo
// leaves the reader, at every step of a walk, every few megabytes and at
// the end of a walk.  Records appended meanwhile are not read.
//
// Text of C, V and M fields is decoded from the table's code page, whatever
// the binary ("no translation") flag says: there is no session code page to
// translate into here.  encodeText(layout().codePage, ...) gives the stored
// bytes back.
//
// A reader of a file holds a shared lock on it (advisory_lock.h) while it
// lives: a write statement of another process finishes before the reader
// starts and waits for it to end, so no record is seen half written.
class TableReader {
  public:
    // Opens the file read-only.  longNames, when not empty, renames the
    // visible fields in order (a container's long names).  codePage, when
    // not 0, is the code page of the table's text whatever its header says
    // (the user's choice).  Otherwise the code page mark decides; a table
    // without one is read in the code page of a .cpg file beside it, else
    // as UTF-8 when its non-ASCII text is all UTF-8 (text_guess.h), else in
    // the format's default (1252 for Visual FoxPro, 437 before).
    explicit TableReader(const std::string& path, std::vector<std::string> longNames = {},
                         int codePage = 0);

    // Reads a table held in memory (and its memo file, when given); name is
    // used in messages.  The bytes must outlive the reader.  A code page
    // given overrides the header's; there is no .cpg file to look for.
    static std::unique_ptr<TableReader> fromBytes(std::string name,
                                                  std::span<const std::uint8_t> table,
                                                  std::span<const std::uint8_t> memo = {},
                                                  const CodePageSetting& codePage = {});

    ~TableReader();
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    const std::string& path() const { return path_; }
    const std::string& fileName() const { return fileName_; }  // as messages name it

    std::uint8_t fileType() const { return header_.fileType; }
    std::uint8_t codePageMark() const { return header_.codePageMark; }
    std::uint8_t tableFlags() const { return header_.tableFlags; }
    int headerLength() const { return header_.headerLength; }
    // False when the table's code page is none the system can convert: its
    // text is then read byte for byte as U+0000..U+00FF.
    bool codePageConvertible() const { return header_.codePageConvertible; }
    // Where layout().codePage comes from.
    CodePageOrigin codePageOrigin() const { return header_.codePageOrigin; }
    // True for a table read in the format's default code page for want of
    // any other sign, whose text holds characters beyond ASCII: they may
    // well be the wrong ones.
    bool unmarkedNonAsciiText() const { return header_.nonAsciiText; }

    // The visible fields (no _NullFlags) with null and varlength bits.
    const TableLayout& layout() const { return header_.layout; }
    int fieldCount() const { return static_cast<int>(header_.layout.fields.size()); }
    const FieldInfo& field(int index) const {
        return header_.layout.fields[static_cast<std::size_t>(index)];
    }
    // Visible field by name without regard to case, -1 when none.
    int findField(std::string_view name) const;

    // Every stored descriptor, system fields included, in stored order.
    const std::vector<FieldDescriptor>& descriptors() const { return header_.descriptors; }
    // The header bytes as stored: 32-byte header, descriptors, terminator,
    // backlink (headerLength() bytes).
    std::span<const std::uint8_t> headerBytes() const;
    // The container backlink of a Visual FoxPro table ("" for a free table).
    std::string backlink() const;

    // Things tolerated ("header says 10 records but the file holds 8"), each
    // naming the file: those found while opening, then the first binary memo
    // that could not be read (read as empty) once a read has met one.
    const std::vector<std::string>& warnings() const { return warnings_; }

    // ---- Stored records, deleted ones included ----
    // Records the file holds whole: the smaller of the header's count and
    // what the file size allows.
    std::int64_t storedCount() const { return header_.storedCount; }
    // Record bytes, delete flag first (recordLength bytes); index 0-based.
    std::span<const std::uint8_t> storedRecord(std::int64_t index) const;
    bool isDeleted(std::int64_t index) const;
    // Stored records [first, last) (cut to storedCount()) by the file's read
    // calls, into buffer: for a walk that reads each record once, which
    // costs less than mapping the pages and giving them back.  A table held
    // in memory gives its bytes as they are.  Throws the changed-file error
    // when the file no longer holds them all.
    std::span<const std::uint8_t> readRecords(std::int64_t first, std::int64_t last,
                                              std::vector<std::uint8_t>& buffer) const;
    // The first stored index >= from that is live, storedCount() when none.
    // A walk forward through nextLive gives back the pages of the map it
    // has passed, so that its memory does not grow with the table.
    std::int64_t nextLive(std::int64_t from) const;
    // A forward walk of another kind (a copy) has reached stored record
    // index: the pages of the map it has passed are given back the same way.
    void walkedTo(std::int64_t index) const;

    // Gives back the pages of the map that lie wholly within stored records
    // [first, last): read again, they come back from the page cache.
    void releaseRecords(std::int64_t first, std::int64_t last) const;

    // ---- Live records (deleted ones are part of no count or position) ----
    // Both read the delete flags once per state of the file: the positions
    // of the deleted records are kept for the process (deleted_records.h).
    std::int64_t liveCount() const;
    // Stored index of the n-th live record (1-based), -1 when there is none.
    std::int64_t liveIndex(std::int64_t n) const;
    // The deleted records a walk over the whole table found (ascending
    // stored indices), kept as reading their flags would, unless a list is
    // kept already.
    void adoptDeletedRecords(std::vector<std::uint32_t> deleted) const;

    // ---- Values of one record (bytes as storedRecord returns them) ----
    Value value(std::span<const std::uint8_t> record, int field) const;
    // The same for stored record index (0 <= index < storedCount()) and
    // field (0 <= field < fieldCount()), which the caller has checked: the
    // record set's path, without checking them again.
    Value valueAt(std::int64_t index, int field) const {
        Value value = decode(data_ + header_.headerLength +
                                 static_cast<std::size_t>(index) *
                                     static_cast<std::size_t>(header_.layout.recordLength),
                             field);
        if (file_) file_->checkFault();
        return value;
    }
    bool isNull(std::span<const std::uint8_t> record, int field) const;
    // The stored bytes of a C or V field, not decoded (a V field cut to its
    // length).
    std::string_view storedText(std::span<const std::uint8_t> record, int field) const;
    // The text of a C, V or M field as a comparison tells it apart: bytes
    // its code page cannot decode written as Undecodable::Marked (for a
    // value that did not decode cleanly).  Throws as memo() does.
    std::string markedText(std::span<const std::uint8_t> record, int field) const;
    // Memo block reference of a memo field (0 when none).
    std::uint32_t memoBlock(std::span<const std::uint8_t> record, int field) const;
    // The memo a memo field refers to, read from the memo file.  Throws
    // when it cannot be read (value() is lenient with binary memos).
    MemoContent memo(std::span<const std::uint8_t> record, int field) const;
    MemoContent memoAt(std::uint32_t block) const;

    // The memo file's path ("" when none was found or the table has no memo
    // fields) and its block size (0 when none).
    std::string memoPath() const;
    int memoBlockSize() const;

    // Throws the error above when the table file, or the memo file once it
    // is open, changed since it was opened; for a reader whose bytes were
    // read while another process could change the file (a copy made by the
    // kernel from file(), a byte comparison of storedRecord()).
    void checkUnchanged() const;
    // The table file (nullptr for a table held in memory), for copying its
    // bytes without reading them through the map.
    const platform::FileReader* file() const { return file_ ? &file_->file() : nullptr; }

  private:
    TableReader() = default;
    void parse(std::vector<std::string> longNames, CodePageSetting codePage);
    [[noreturn]] void fail(const std::string& problem) const;
    const MemoFile& memoFile() const;
    Value decodeStoredText(std::string_view bytes) const;
    Value memoValue(const std::uint8_t* record, int field) const;
    Value decode(const std::uint8_t* record, int field) const;
    std::vector<std::uint32_t> scanDeleted() const;
    std::vector<std::uint32_t> scanDeletedByReads() const;
    const DeletedRecords& deletedRecords() const;

    std::string path_;
    std::string fileName_;
    std::optional<AdvisoryLock> lock_;
    std::unique_ptr<platform::MappedFile> file_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::span<const std::uint8_t> memoBytes_;  // fromBytes only
    bool memoFromBytes_ = false;

    TableHeader header_;
    mutable std::vector<std::string> warnings_;
    mutable bool binaryMemoWarned_ = false;
    mutable std::shared_ptr<const DeletedRecords> deleted_;
    mutable std::unique_ptr<MemoFile> memo_;
    mutable bool memoLooked_ = false;
};

}  // namespace quorvel::foxpro
