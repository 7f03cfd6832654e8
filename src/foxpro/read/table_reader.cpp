#include "foxpro/read/table_reader.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/cpg_file.h"
#include "foxpro/read/deleted_records.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/text_guess.h"
#include "foxpro/text/code_page.h"

namespace quorvel::foxpro {

TableReader::TableReader(const std::string& path, std::vector<std::string> longNames, int codePage)
    : path_(path), fileName_(fileNameOf(path)) {
    // Locked before it is mapped; a file replaced in between is locked anew.
    for (int attempt = 0;; ++attempt) {
        lock_ = AdvisoryLock::takePath(path, fileName_, platform::LockMode::Shared,
                                       AdvisoryLock::Wait::Yes);
        file_ = std::make_unique<platform::MappedFile>(path, fileName_);
        if (!lock_ || lock_->identity() == platform::FileIdentity{} ||
            lock_->identity() == file_->stamp().identity() || attempt == 2)
            break;
    }
    data_ = file_->data();
    size_ = file_->size();
    try {
        parse(std::move(longNames), CodePageSetting{codePage, CodePageOrigin::Chosen});
    } catch (const FoxProError&) {
        // A header read as zeros past a new end of the file is no damage.
        file_->checkFault();
        throw;
    }
    file_->checkFault();
}

std::unique_ptr<TableReader> TableReader::fromBytes(std::string name,
                                                    std::span<const std::uint8_t> table,
                                                    std::span<const std::uint8_t> memo,
                                                    const CodePageSetting& codePage) {
    std::unique_ptr<TableReader> reader(new TableReader());
    reader->fileName_ = name;
    reader->path_ = std::move(name);
    reader->data_ = table.data();
    reader->size_ = table.size();
    reader->memoBytes_ = memo;
    reader->memoFromBytes_ = !memo.empty();
    reader->parse({}, codePage);
    return reader;
}

TableReader::~TableReader() = default;

void TableReader::fail(const std::string& problem) const {
    // What looks damaged may be zeros read past a new end of the file.
    if (file_) file_->checkFault();
    throw FoxProError(kErrorFile, fileName_ + ": " + problem);
}

void TableReader::parse(std::vector<std::string> longNames, CodePageSetting codePage) {
    header_ = parseTableHeader({data_, size_}, fileName_, longNames, codePage);
    std::vector<std::string> notes;
    // A table without a mark (and without a choice) may still say what it
    // is: a .cpg file beside it, or text that is all UTF-8.
    if (header_.codePageOrigin == CodePageOrigin::Default && !path_.empty() && file_) {
        CpgFile cpg = readCpgFile(path_);
        if (!cpg.warning.empty()) notes.push_back(std::move(cpg.warning));
        if (cpg.codePage != 0)
            header_ = parseTableHeader({data_, size_}, fileName_, longNames,
                                       {cpg.codePage, CodePageOrigin::CpgFile});
    }
    if (header_.codePageOrigin == CodePageOrigin::Default) {
        const TextGuess guess = guessText(*this, file_ ? &file_->stamp() : nullptr);
        if (guess.utf8)
            header_ = parseTableHeader({data_, size_}, fileName_, longNames,
                                       {kCodePageUtf8, CodePageOrigin::Utf8Text});
        else
            header_.nonAsciiText = guess.nonAscii;
    }
    warnings_ = header_.warnings;
    warnings_.insert(warnings_.end(), notes.begin(), notes.end());
}

int TableReader::findField(std::string_view name) const {
    for (std::size_t i = 0; i < header_.layout.fields.size(); ++i)
        if (equalsNoCase(header_.layout.fields[i].name, name)) return static_cast<int>(i);
    return -1;
}

std::span<const std::uint8_t> TableReader::headerBytes() const {
    return {data_, static_cast<std::size_t>(header_.headerLength)};
}

std::string TableReader::backlink() const {
    if (!dbf::isVisualFoxPro(header_.fileType)) return "";
    // The backlink follows the terminator after the last descriptor.
    const std::size_t start =
        dbf::kHeaderSize + header_.descriptors.size() * dbf::kDescriptorSize + 1;
    if (start >= static_cast<std::size_t>(header_.headerLength)) return "";
    const std::size_t limit =
        std::min(static_cast<std::size_t>(header_.headerLength) - start, dbf::kBacklinkSize);
    std::size_t len = 0;
    while (len < limit && data_[start + len] != 0) ++len;
    return decodeText(header_.layout.codePage, {reinterpret_cast<const char*>(data_ + start), len});
}

std::span<const std::uint8_t> TableReader::storedRecord(std::int64_t index) const {
    if (index < 0 || index >= header_.storedCount)
        throw FoxProError(kErrorNoCurrentRecord,
                          fileName_ + ": no record " + std::to_string(index + 1));
    const std::size_t rl = static_cast<std::size_t>(header_.layout.recordLength);
    return {data_ + header_.headerLength + static_cast<std::size_t>(index) * rl, rl};
}

std::span<const std::uint8_t> TableReader::readRecords(std::int64_t first, std::int64_t last,
                                                       std::vector<std::uint8_t>& buffer) const {
    first = std::max<std::int64_t>(first, 0);
    last = std::min(last, header_.storedCount);
    if (first >= last) return {};
    const std::size_t rl = static_cast<std::size_t>(header_.layout.recordLength);
    const std::size_t offset =
        static_cast<std::size_t>(header_.headerLength) + static_cast<std::size_t>(first) * rl;
    const std::size_t size = static_cast<std::size_t>(last - first) * rl;
    if (!file_) return {data_ + offset, size};
    buffer.resize(size);
    if (file_->file().readAt(offset, buffer.data(), size) != size) {
        checkUnchanged();
        throw FoxProError(kErrorFile, fileName_ + " changed while it was being read");
    }
    return {buffer.data(), size};
}

bool TableReader::isDeleted(std::int64_t index) const {
    const bool deleted = storedRecord(index)[0] == dbf::kRecordDeleted;
    if (file_) file_->checkFault();
    return deleted;
}

std::int64_t TableReader::nextLive(std::int64_t from) const {
    if (from < 0) from = 0;
    const std::size_t rl = static_cast<std::size_t>(header_.layout.recordLength);
    const std::size_t offset =
        static_cast<std::size_t>(header_.headerLength) + static_cast<std::size_t>(from) * rl;
    if (file_) file_->walkedTo(offset);
    const std::uint8_t* p = data_ + offset;
    for (std::int64_t i = from; i < header_.storedCount; ++i, p += rl) {
        if (*p != dbf::kRecordDeleted) {
            if (file_) file_->checkFault();
            return i;
        }
    }
    // The end of a walk: what it read is good only if the file is.
    checkUnchanged();
    return header_.storedCount;
}

void TableReader::walkedTo(std::int64_t index) const {
    if (!file_ || index < 0) return;
    file_->walkedTo(static_cast<std::size_t>(header_.headerLength) +
                    static_cast<std::size_t>(index) *
                        static_cast<std::size_t>(header_.layout.recordLength));
}

void TableReader::releaseRecords(std::int64_t first, std::int64_t last) const {
    first = std::max<std::int64_t>(first, 0);
    last = std::min(last, header_.storedCount);
    if (!file_ || first >= last) return;
    const std::size_t rl = static_cast<std::size_t>(header_.layout.recordLength);
    const std::size_t start = static_cast<std::size_t>(header_.headerLength);
    file_->release(start + static_cast<std::size_t>(first) * rl,
                   start + static_cast<std::size_t>(last) * rl);
}

namespace {

// Tables of fewer records have their delete flags read through the map.
constexpr std::int64_t kScanByReadsLeast = std::int64_t{1} << 16;
// The flags are read in pieces of about this many bytes.
constexpr std::size_t kScanPieceBytes = 256u << 10;

}  // namespace

std::vector<std::uint32_t> TableReader::scanDeletedByReads() const {
    // Two halves at once, each by its own read calls into a buffer of its
    // own: read calls copy a table's pages faster than a map takes them in
    // and gives them back, and two of them at once faster still.
    const std::size_t rl = static_cast<std::size_t>(header_.layout.recordLength);
    const std::int64_t perPiece = std::max<std::int64_t>(1, kScanPieceBytes / rl);
    auto half = [&](std::int64_t from, std::int64_t to, std::vector<std::uint32_t>& deleted) {
        std::vector<std::uint8_t> buffer;
        for (std::int64_t first = from; first < to; first += perPiece) {
            const std::int64_t last = std::min(to, first + perPiece);
            const auto piece = readRecords(first, last, buffer);
            for (std::int64_t i = first; i < last; ++i)
                if (piece[static_cast<std::size_t>(i - first) * rl] == dbf::kRecordDeleted)
                    deleted.push_back(static_cast<std::uint32_t>(i));
        }
    };
    const std::int64_t middle = header_.storedCount / 2;
    std::vector<std::uint32_t> deleted;
    std::vector<std::uint32_t> second;
    std::exception_ptr error;
    auto secondHalf = [&] {
        try {
            half(middle, header_.storedCount, second);
        } catch (...) {
            error = std::current_exception();
        }
    };
    std::thread other;
    try {
        other = std::thread(secondHalf);
    } catch (const std::system_error&) {
        secondHalf();  // no thread to be had: one half after the other
    }
    try {
        half(0, middle, deleted);
    } catch (...) {
        if (other.joinable()) other.join();
        throw;
    }
    if (other.joinable()) other.join();
    if (error) std::rethrow_exception(error);
    deleted.insert(deleted.end(), second.begin(), second.end());
    checkUnchanged();
    return deleted;
}

std::vector<std::uint32_t> TableReader::scanDeleted() const {
    if (file_ && header_.storedCount >= kScanByReadsLeast) return scanDeletedByReads();
    std::vector<std::uint32_t> deleted;
    const std::size_t rl = static_cast<std::size_t>(header_.layout.recordLength);
    const std::uint8_t* base = data_ + header_.headerLength;
    // In stretches, each released once its flags are read.
    const std::int64_t perStretch = std::max<std::int64_t>(1, platform::kReleaseStep / rl);
    for (std::int64_t first = 0; first < header_.storedCount; first += perStretch) {
        const std::int64_t last = std::min(header_.storedCount, first + perStretch);
        for (std::int64_t i = first; i < last; ++i)
            if (base[static_cast<std::size_t>(i) * rl] == dbf::kRecordDeleted)
                deleted.push_back(static_cast<std::uint32_t>(i));
        if (file_)
            file_->release(static_cast<std::size_t>(header_.headerLength) +
                               static_cast<std::size_t>(first) * rl,
                           static_cast<std::size_t>(header_.headerLength) +
                               static_cast<std::size_t>(last) * rl);
    }
    // The list is kept for the file's state: never one read from a file
    // that changed meanwhile.
    checkUnchanged();
    return deleted;
}

const DeletedRecords& TableReader::deletedRecords() const {
    if (!deleted_) {
        auto scan = [this] { return scanDeleted(); };
        if (file_) {
            deleted_ = deletedRecordsOf(file_->stamp(), header_.storedCount, scan);
        } else {
            deleted_ = std::make_shared<const DeletedRecords>(header_.storedCount, scan());
        }
    }
    return *deleted_;
}

void TableReader::adoptDeletedRecords(std::vector<std::uint32_t> deleted) const {
    if (deleted_) return;
    auto scan = [&] { return std::move(deleted); };
    if (file_) {
        deleted_ = deletedRecordsOf(file_->stamp(), header_.storedCount, scan);
    } else {
        deleted_ = std::make_shared<const DeletedRecords>(header_.storedCount, scan());
    }
}

std::int64_t TableReader::liveCount() const {
    return deletedRecords().liveCount();
}

std::int64_t TableReader::liveIndex(std::int64_t n) const {
    std::int64_t index = deletedRecords().liveIndex(n);
    // A list kept for this file's stamp that points at a deleted record was
    // made before a change the stamp did not show (two writes within the
    // file system's clock tick): read the flags again.
    if (index >= 0 && file_ && isDeleted(index)) {
        forgetDeletedRecords(file_->stamp());
        deleted_ = std::make_shared<const DeletedRecords>(header_.storedCount, scanDeleted());
        index = deleted_->liveIndex(n);
    }
    return index;
}

bool TableReader::isNull(std::span<const std::uint8_t> record, int index) const {
    const FieldInfo& f = field(index);
    if (f.nullBit < 0) return false;
    const std::uint8_t flags =
        record[static_cast<std::size_t>(header_.layout.nullFlagsOffset + f.nullBit / 8)];
    return (flags >> (f.nullBit % 8)) & 1;
}

std::string_view TableReader::storedText(std::span<const std::uint8_t> record, int index) const {
    const FieldInfo& f = field(index);
    const auto* p = reinterpret_cast<const char*>(record.data()) + f.offset;
    auto len = static_cast<std::size_t>(f.width);
    if (f.varLengthBit >= 0) {
        const std::uint8_t flags =
            record[static_cast<std::size_t>(header_.layout.nullFlagsOffset + f.varLengthBit / 8)];
        if ((flags >> (f.varLengthBit % 8)) & 1)
            len = std::min<std::size_t>(static_cast<std::uint8_t>(p[len - 1]), len - 1);
    }
    return {p, len};
}

std::uint32_t TableReader::memoBlock(std::span<const std::uint8_t> record, int index) const {
    const FieldInfo& f = field(index);
    const auto bytes =
        record.subspan(static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.width));
    if (f.width == dbf::kMemoRefBinaryWidth) return dbf::le32(bytes.data());
    // Ten ASCII digits, blank-padded; blanks mean no memo.
    std::uint64_t block = 0;
    bool digits = false;
    for (auto b : bytes) {
        if (b == ' ' || b == 0) {
            if (digits) break;
            continue;
        }
        if (b < '0' || b > '9')
            fail("field " + f.name + " holds a memo reference that is no block number");
        digits = true;
        block = block * 10 + (b - '0');
        if (block > 0xFFFFFFFFu) fail("field " + f.name + " holds a memo reference out of range");
    }
    return static_cast<std::uint32_t>(block);
}

const MemoFile& TableReader::memoFile() const {
    if (!memoLooked_) {
        const dbf::FileTypeInfo* type = dbf::fileTypeInfo(header_.fileType);
        dbf::MemoKind kind = type->memo;
        // A dBase III table without the memo bit may still carry memo fields
        // with a .dbt beside it.
        if (kind == dbf::MemoKind::None) kind = dbf::MemoKind::Dbt3;
        if (memoFromBytes_) {
            memo_ = openMemoFile(fileName_ + " memo", kind, memoBytes_, nullptr);
        } else if (!path_.empty()) {
            const std::string memoPath = findMemoFile(path_, kind);
            if (!memoPath.empty()) {
                auto mapped =
                    std::make_unique<platform::MappedFile>(memoPath, fileNameOf(memoPath));
                std::span<const std::uint8_t> bytes(mapped->data(), mapped->size());
                // A header read past a new end of the file is reported as
                // such by the memo file itself (MemoFile::fail), a block
                // size read so by its first read.
                memo_ = openMemoFile(fileNameOf(memoPath), kind, bytes, std::move(mapped));
            }
        }
        // Only a look that has settled it counts: a memo file that could not
        // be opened (too many files open) is tried again, and its cause told
        // again, rather than called missing.
        memoLooked_ = true;
    }
    if (!memo_) fail("memo file not found");
    return *memo_;
}

std::string TableReader::memoPath() const {
    try {
        const MemoFile& m = memoFile();
        return memoFromBytes_ ? std::string() : parentFolder(path_) + "/" + m.name();
    } catch (const FoxProError&) {
        return "";
    }
}

int TableReader::memoBlockSize() const {
    try {
        return memoFile().blockSize();
    } catch (const FoxProError&) {
        return 0;
    }
}

void TableReader::checkUnchanged() const {
    if (file_) file_->checkUnchanged();
    if (memo_) memo_->checkUnchanged();
}

MemoContent TableReader::memoAt(std::uint32_t block) const {
    if (block == 0) return MemoContent{};
    return memoFile().read(block);
}

MemoContent TableReader::memo(std::span<const std::uint8_t> record, int index) const {
    return memoAt(memoBlock(record, index));
}

}  // namespace quorvel::foxpro
