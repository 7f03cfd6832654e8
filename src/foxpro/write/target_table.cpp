#include "foxpro/write/target_table.h"

#include <algorithm>
#include <cstring>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/memo_file.h"
#include "foxpro/write/last_update.h"

namespace quorvel::foxpro {

namespace {

std::function<void(const std::string&)> gLockedWriteHook;

}  // namespace

void setLockedWriteHookForTesting(std::function<void(const std::string& tableFile)> hook) {
    gLockedWriteHook = std::move(hook);
}

TargetTable::TargetTable(std::string path, int codePage)
    : path_(std::move(path)), sink_(FileSink::openExisting(path_, fileNameOf(path_))) {
    lock_ = AdvisoryLock::take(sink_.handle(), fileNameOf(path_), platform::LockMode::Exclusive,
                               AdvisoryLock::Wait::Yes);
    if (!lock_) throw FoxProError(kErrorFile, fileNameOf(path_) + ": cannot be locked");
    // Everything below is read under the lock: a stamp taken before it could
    // be that of a state another writer has changed since, and its list of
    // deleted records would be carried on stale.
    stamp_ = fileStampOf(sink_.handle());
    fileSize_ = static_cast<std::uint64_t>(stamp_.size);
    // Most headers fit in the first read; a long one takes a second.
    headerBytes_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize_, 4096)));
    sink_.readAt(0, headerBytes_.data(), headerBytes_.size());
    std::uint64_t length = headerBytes_.size() < dbf::kHeaderSize
                               ? headerBytes_.size()
                               : dbf::le16(headerBytes_.data() + dbf::kHeaderLength);
    length = std::min<std::uint64_t>(length, fileSize_);
    std::size_t have = headerBytes_.size();
    headerBytes_.resize(static_cast<std::size_t>(length));
    if (length > have) sink_.readAt(have, headerBytes_.data() + have, length - have);
    // The reader validates the header and works out the layout; it sees
    // no records here, so its count comes from the file size below.
    header_ = TableReader::fromBytes(fileNameOf(path_), headerBytes_);
    // Text goes in as it is read: in the chosen code page, or, for a table
    // without a mark, in the one a reader of the whole file settles on (a
    // .cpg file beside it, text that is all UTF-8).
    if (codePage != 0) {
        codePage_ = {codePage, CodePageOrigin::Chosen};
        header_ = TableReader::fromBytes(fileNameOf(path_), headerBytes_, {}, codePage_);
    } else if (header_->codePageMark() == 0) {
        const TableReader whole(path_);
        codePage_ = {whole.layout().codePage, whole.codePageOrigin()};
        header_ = TableReader::fromBytes(fileNameOf(path_), headerBytes_, {}, codePage_);
    }
    recordLength_ = static_cast<std::uint64_t>(header_->layout().recordLength);
    std::uint32_t headerCount = dbf::le32(headerBytes_.data() + dbf::kHeaderRecordCount);
    std::uint64_t room = (fileSize_ - headerBytes_.size()) / recordLength_;
    storedCount_ = static_cast<std::int64_t>(std::min<std::uint64_t>(headerCount, room));
    checkWritable(headerCount);
    // A copy: the hook may replace itself.
    if (auto hook = gLockedWriteHook) hook(name());
}

std::vector<std::uint8_t> TargetTable::readRecord(std::int64_t index) {
    if (buffer_) {
        const std::uint8_t* held = buffer_->read(index);
        return std::vector<std::uint8_t>(held, held + recordLength_);
    }
    std::vector<std::uint8_t> record(static_cast<std::size_t>(recordLength_));
    sink_.readAt(recordOffset(index), record.data(), record.size());
    return record;
}

std::vector<std::uint8_t>& TargetTable::readRecordInto(std::int64_t index) {
    scratch_.resize(static_cast<std::size_t>(recordLength_));
    if (buffer_)
        std::memcpy(scratch_.data(), buffer_->read(index), scratch_.size());
    else
        sink_.readAt(recordOffset(index), scratch_.data(), scratch_.size());
    return scratch_;
}

void TargetTable::writeRecord(std::int64_t index, const std::vector<std::uint8_t>& record) {
    if (buffer_)
        std::memcpy(buffer_->change(index), record.data(), recordLength_);
    else
        sink_.writeAt(recordOffset(index), record.data(), record.size());
}

void TargetTable::bufferWrites() {
    if (buffer_) return;
    // The delete flags are read now, while the file holds every record.
    deletedRecords();
    buffer_ =
        std::make_unique<RecordBuffer>(sink_, headerBytes_.size(), recordLength_, storedCount_);
    headerOnFile_ = headerBytes_;
    countOnFile_ = storedCount_;
}

void TargetTable::appendRecord(const std::uint8_t* record) {
    buffer_->append(record);
}

void TargetTable::finishWrites() {
    if (!buffer_) return;
    // The lock keeps other writers of ours out, not a rename or a copy
    // over the path: what was written must still be what the path names.
    const auto named = platform::identityOfPath(path_);
    if (!named || *named != stamp_.identity())
        throw FoxProError(kErrorFile, name() + ": was moved or replaced while being written");
    buffer_->flush();
    // Appended records end with the end-of-file mark, as a single insert leaves them.
    if (storedCount_ > countOnFile_) {
        const std::uint8_t end = dbf::kEndOfFile;
        sink_.writeAt(recordOffset(storedCount_), &end, 1);
    }
    if (headerBytes_ != headerOnFile_) sink_.writeAt(0, headerBytes_.data(), headerBytes_.size());
    buffer_.reset();
    headerOnFile_.clear();
    keepDeletedList(storedCount_);
}

// RECNO() = n needs the delete flags up to n.  A batch of statements
// against one table would read them again every time: the positions of the
// deleted records are kept for the process per state of the file, shared
// with the reader (deleted_records.h).
std::int64_t TargetTable::liveIndex(std::int64_t n) {
    if (n <= 0) return -1;
    return deletedRecords().liveIndex(n);
}

std::int64_t TargetTable::liveCount() {
    return deletedRecords().liveCount();
}

const DeletedRecords& TargetTable::deletedRecords() {
    if (deleted_) return *deleted_;
    auto scan = [this] {
        std::vector<std::uint32_t> deleted;
        // Delete flags in chunks of whole records.
        const std::int64_t perChunk =
            std::max<std::int64_t>(1, (4 << 20) / static_cast<std::int64_t>(recordLength_));
        std::vector<std::uint8_t> chunk;
        for (std::int64_t first = 0; first < storedCount_; first += perChunk) {
            std::int64_t count = std::min(perChunk, storedCount_ - first);
            chunk.resize(static_cast<std::size_t>(count) * recordLength_);
            sink_.readAt(recordOffset(first), chunk.data(), chunk.size());
            for (std::int64_t i = 0; i < count; ++i)
                if (chunk[static_cast<std::size_t>(i) * recordLength_] == dbf::kRecordDeleted)
                    deleted.push_back(static_cast<std::uint32_t>(first + i));
        }
        return deleted;
    };
    deleted_ = deletedRecordsOf(stamp_, storedCount_, scan);
    return *deleted_;
}

void TargetTable::keepDeletedList(std::int64_t storedCount) {
    // A buffered batch has not written yet: finishWrites() does this once.
    if (buffer_) return;
    // The state written is the one the next statement on this table starts from.
    const FileStamp after = fileStampOf(sink_.handle());
    carryDeletedRecords(stamp_, after, storedCount);
    stamp_ = after;
}

void TargetTable::appended(const std::uint8_t (&head)[8],
                           const std::vector<std::pair<std::size_t, std::uint32_t>>& autoNext,
                           std::uint64_t fileSize) {
    std::memcpy(headerBytes_.data(), head, sizeof head);
    for (const auto& [d, next] : autoNext)
        dbf::putLe32(headerBytes_.data() + dbf::kHeaderSize + d * dbf::kDescriptorSize +
                         dbf::kDescriptorAutoNext,
                     next);
    // The descriptors are parsed once: the advanced values need a new parse.
    if (!autoNext.empty())
        header_ = TableReader::fromBytes(fileNameOf(path_), headerBytes_, {}, codePage_);
    ++storedCount_;
    fileSize_ = fileSize;
    if (deleted_) deleted_ = std::make_shared<DeletedRecords>(*deleted_, storedCount_);
}

void TargetTable::touchDate() {
    std::uint8_t date[3];
    putToday(date);
    if (std::memcmp(date, headerBytes_.data() + dbf::kHeaderUpdateDate, 3) != 0) {
        if (!buffer_) sink_.writeAt(dbf::kHeaderUpdateDate, date, 3);
        std::memcpy(headerBytes_.data() + dbf::kHeaderUpdateDate, date, 3);
    }
}

std::string TargetTable::memoPath() const {
    return findMemoFile(path_, memoKind());
}

dbf::MemoKind TargetTable::memoKind() const {
    const auto* type = dbf::fileTypeInfo(header_->fileType());
    // A dBase III table without the memo type may still keep a .dbt.
    return type && type->memo != dbf::MemoKind::None ? type->memo : dbf::MemoKind::Dbt3;
}

void TargetTable::checkWritable(std::uint32_t headerCount) const {
    const TableReader& t = *header_;
    if (!t.backlink().empty() || (t.tableFlags() & dbf::kTableFlagContainer))
        throw FoxProError(kErrorInvalidArgument, name() + ": belongs to a database container (" +
                                                     t.backlink() + ") and is not written");
    if (t.tableFlags() & dbf::kTableFlagCdx)
        throw FoxProError(
            kErrorInvalidArgument,
            name() + ": has a structural index (.cdx) that would go stale; not written");
    // A damaged table is reported, not repaired behind the user's back.
    if (headerCount != storedCount_)
        throw FoxProError(kErrorFile, name() + ": header says " + std::to_string(headerCount) +
                                          " records but the file holds " +
                                          std::to_string(storedCount_) + "; not written");
}

}  // namespace quorvel::foxpro
