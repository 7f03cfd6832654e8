#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foxpro/format/dbf_format.h"
#include "foxpro/read/advisory_lock.h"
#include "foxpro/read/deleted_records.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/field_encoder.h"
#include "foxpro/write/record_buffer.h"

namespace quorvel::foxpro {

// The table an UPDATE or INSERT writes, opened for writing and locked
// (advisory_lock.h, exclusive) from before its header is read until it is
// destroyed, after the statement has written the header back: two writers
// of one table take turns, and its memo blocks are claimed under the same
// lock.  Another process's readers and writers wait meanwhile.  Only its header
// is parsed (by the reader, from the bytes read here) and only the record
// concerned is read, so that a statement costs the same on a table of any
// size.  Throws FoxProError when the table is one that is not written: a
// table of a container, one with a structural index, or one whose header
// count disagrees with its size.
class TargetTable {
  public:
    // codePage, when not 0, is the code page its text is written in
    // whatever the header says (the user's choice for the source).
    explicit TargetTable(std::string path, int codePage = 0);

    const std::string& path() const { return path_; }
    const std::string& name() const { return header_->fileName(); }
    const TableReader& header() const { return *header_; }
    const TableLayout& layout() const { return header_->layout(); }
    FileSink& sink() { return sink_; }
    std::int64_t storedCount() const { return storedCount_; }
    std::uint64_t recordLength() const { return recordLength_; }
    std::uint64_t fileSize() const { return fileSize_; }
    std::uint64_t recordOffset(std::int64_t index) const {
        return headerBytes_.size() + static_cast<std::uint64_t>(index) * recordLength_;
    }

    TextStorage textStorage() const {
        return TextStorage{layout().codePage, header_->codePageConvertible()};
    }

    std::vector<std::uint8_t> readRecord(std::int64_t index);
    // The same into a vector the table keeps for it, valid until the next
    // call: a batch of statements does not allocate one per record.
    std::vector<std::uint8_t>& readRecordInto(std::int64_t index);
    // Record index (stored, below storedCount()) takes record's bytes.
    void writeRecord(std::int64_t index, const std::vector<std::uint8_t>& record);
    // Buffered only (bufferWrites()): record index where the buffer holds
    // it, to be changed in place; written with the rest by finishWrites().
    std::uint8_t* heldRecord(std::int64_t index) { return buffer_->change(index); }

    // From here on, a long batch: records are read, changed and appended in
    // a buffer (record_buffer.h) and the header is kept in memory, until
    // finishWrites() writes them (whole pages in file order, the header
    // last) and checks once that the path still names the file written.
    // Destroyed before that, the table drops what was not written: for a
    // table that is thrown away when the batch does not finish.
    void bufferWrites();
    bool buffered() const { return buffer_ != nullptr; }
    // Appends a live record (recordLength() bytes) to the buffer.
    void appendRecord(const std::uint8_t* record);
    void finishWrites();

    // Stored index of the n-th live record, -1 when there is none.
    std::int64_t liveIndex(std::int64_t n);
    std::int64_t liveCount();
    // After our own write (no delete flag changed), the deleted list stays right.
    void keepDeletedList(std::int64_t storedCount);

    // After an INSERT has appended one live record: the header's first bytes
    // as written (date and count), the autoincrement values it advanced
    // (descriptor, next value) and the file's size, so that the next
    // statement on this open table starts from them.
    void appended(const std::uint8_t (&head)[8],
                  const std::vector<std::pair<std::size_t, std::uint32_t>>& autoNext,
                  std::uint64_t fileSize);

    // Header bytes 1..3, rewritten only when the day has changed.
    void touchDate();

    // The memo file beside the table, "" when there is none.
    std::string memoPath() const;
    dbf::MemoKind memoKind() const;

  private:
    void checkWritable(std::uint32_t headerCount) const;
    const DeletedRecords& deletedRecords();

    std::string path_;
    FileSink sink_;
    std::optional<AdvisoryLock> lock_;
    FileStamp stamp_;
    std::uint64_t fileSize_ = 0;
    std::vector<std::uint8_t> headerBytes_;
    std::unique_ptr<TableReader> header_;
    CodePageSetting codePage_;
    std::uint64_t recordLength_ = 1;
    std::int64_t storedCount_ = 0;
    std::shared_ptr<const DeletedRecords> deleted_;
    std::unique_ptr<RecordBuffer> buffer_;
    std::vector<std::uint8_t> headerOnFile_;  // while buffered
    std::int64_t countOnFile_ = 0;
    std::vector<std::uint8_t> scratch_;  // readRecordInto()'s record
};

// Test hook: runs inside the locked section of every write statement, once
// the target's header has been read, with the table's file name.
void setLockedWriteHookForTesting(std::function<void(const std::string& tableFile)> hook);

}  // namespace quorvel::foxpro
