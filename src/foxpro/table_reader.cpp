#include "foxpro/table_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "foxpro/ascii_case.h"
#include "foxpro/code_page.h"
#include "foxpro/data_source.h"
#include "foxpro/dbf_format.h"
#include "foxpro/decimal_text.h"
#include "foxpro/deleted_records.h"
#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro {

namespace {

// A walk gives back the pages of the map it has passed every so many bytes,
// so that its resident memory stays about this size whatever the table's.
constexpr std::size_t kReleaseStep = 4u << 20;

std::size_t pageSize() {
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

}  // namespace

// A whole file mapped read-only.  The descriptor is opened O_RDONLY: source
// tables are never written.
class MappedFile {
  public:
    MappedFile(const std::string& path, const std::string& displayName) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            throw FoxProError(kErrorFile,
                              displayName + ": cannot open (" + std::strerror(err) + ")");
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            throw FoxProError(kErrorFile, displayName + ": not a regular file");
        }
        stamp_ = fileStampOf(st);
        size_ = static_cast<std::size_t>(st.st_size);
        if (size_ > 0) {
            void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
            if (p == MAP_FAILED) {
                const int err = errno;
                ::close(fd);
                throw FoxProError(
                    kErrorFile, displayName + ": cannot map the file (" + std::strerror(err) + ")");
            }
            ::madvise(p, size_, MADV_SEQUENTIAL);
            data_ = static_cast<const std::uint8_t*>(p);
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    const FileStamp& stamp() const { return stamp_; }

    // Drops the pages of [from, to) (whole pages only) from this process.
    // The map is a read-only view of the file: a page touched again is read
    // back from the page cache, so pointers into the map stay good.
    void release(std::size_t from, std::size_t to) {
        const std::size_t page = pageSize();
        from -= from % page;
        to = std::min(to, size_);
        to -= to % page;
        if (data_ && to > from)
            ::madvise(const_cast<std::uint8_t*>(data_) + from, to - from, MADV_DONTNEED);
    }

    // A forward walk has reached offset: what lies kReleaseStep or more
    // behind it is released.  A walk that starts again further back starts
    // a new stretch.
    void walkedTo(std::size_t offset) {
        if (offset < walkMark_) {
            walkMark_ = offset - offset % pageSize();
        } else if (offset - walkMark_ >= kReleaseStep) {
            release(walkMark_, offset);
            walkMark_ = offset - offset % pageSize();
        }
    }

  private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    FileStamp stamp_;
    std::size_t walkMark_ = 0;  // start of the pages the walk has not released
};

// Reads memos out of an .fpt, a dBase III .dbt or a dBase IV .dbt.  Every
// block number and length is checked against the file size.
class MemoFile {
  public:
    MemoFile(std::string name, dbf::MemoKind kind, std::span<const std::uint8_t> bytes,
             std::unique_ptr<MappedFile> owner)
        : name_(std::move(name)), kind_(kind), bytes_(bytes), owner_(std::move(owner)) {
        switch (kind_) {
            case dbf::MemoKind::Fpt:
                if (bytes_.size() < dbf::kFptHeaderSize)
                    fail("memo file header is truncated (" + std::to_string(bytes_.size()) +
                         " bytes)");
                blockSize_ = dbf::be16(bytes_.data() + dbf::kFptBlockSize);
                if (blockSize_ == 0) fail("memo file gives a block size of 0");
                break;
            case dbf::MemoKind::Dbt4:
                blockSize_ = bytes_.size() >= dbf::kDbt4BlockSize + 2
                                 ? dbf::le16(bytes_.data() + dbf::kDbt4BlockSize)
                                 : 0;
                if (blockSize_ == 0) blockSize_ = dbf::kDbtBlockSize;
                break;
            default:
                blockSize_ = dbf::kDbtBlockSize;
                break;
        }
    }

    const std::string& name() const { return name_; }
    int blockSize() const { return static_cast<int>(blockSize_); }

    MemoContent read(std::uint32_t block) const {
        MemoContent memo;
        memo.present = true;
        memo.block = block;
        const std::uint64_t start = static_cast<std::uint64_t>(block) * blockSize_;
        const std::uint64_t size = bytes_.size();
        const std::uint8_t* base = bytes_.data();
        if (kind_ == dbf::MemoKind::Fpt) {
            if (start < dbf::kFptHeaderSize)
                fail("memo block " + std::to_string(block) + " lies inside the memo file header");
            if (start + dbf::kFptBlockHeaderSize > size) pastEnd(block);
            memo.type = dbf::be32(base + start);
            const std::uint64_t length = dbf::be32(base + start + 4);
            if (length > size - start - dbf::kFptBlockHeaderSize)
                fail("memo block " + std::to_string(block) + " holds " + std::to_string(length) +
                     " bytes but the memo file ends before them");
            memo.data.assign(reinterpret_cast<const char*>(base + start + dbf::kFptBlockHeaderSize),
                             static_cast<std::size_t>(length));
            readBytes(length);
            return memo;
        }
        if (start >= size) pastEnd(block);
        if (kind_ == dbf::MemoKind::Dbt4 && size - start >= dbf::kDbt4BlockHeaderSize &&
            std::memcmp(base + start, dbf::kDbt4Marker, 4) == 0) {
            // The length counts the 8-byte block header too.
            const std::uint64_t length = dbf::le32(base + start + 4);
            if (length < dbf::kDbt4BlockHeaderSize || length > size - start)
                fail("memo block " + std::to_string(block) + " gives a length of " +
                     std::to_string(length) + " that does not fit the memo file");
            memo.data.assign(
                reinterpret_cast<const char*>(base + start + dbf::kDbt4BlockHeaderSize),
                static_cast<std::size_t>(length - dbf::kDbt4BlockHeaderSize));
            readBytes(length);
            return memo;
        }
        // dBase III: the memo runs to the first 0x1A (written twice), or to the
        // end of the file when the terminator is missing.
        const auto* begin = base + start;
        const auto* end = static_cast<const std::uint8_t*>(
            std::memchr(begin, dbf::kEndOfFile, static_cast<std::size_t>(size - start)));
        if (!end) end = base + size;
        memo.data.assign(reinterpret_cast<const char*>(begin),
                         static_cast<std::size_t>(end - begin));
        readBytes(static_cast<std::uint64_t>(end - begin));
        return memo;
    }

  private:
    // Memos are read in no particular order: after every kReleaseStep bytes
    // read, the whole map is given back (pages read again come from the
    // page cache).  Bytes the caller lent (no owner) are not ours to drop.
    void readBytes(std::uint64_t length) const {
        if (!owner_) return;
        read_ += length + dbf::kFptBlockHeaderSize;
        if (read_ < kReleaseStep) return;
        owner_->release(0, owner_->size());
        read_ = 0;
    }

    [[noreturn]] void fail(const std::string& problem) const {
        throw FoxProError(kErrorFile, name_ + ": " + problem);
    }
    [[noreturn]] void pastEnd(std::uint32_t block) const {
        fail("memo block " + std::to_string(block) + " lies past the end of the memo file");
    }

    std::string name_;
    dbf::MemoKind kind_;
    std::span<const std::uint8_t> bytes_;
    std::unique_ptr<MappedFile> owner_;
    std::uint32_t blockSize_ = 0;
    mutable std::uint64_t read_ = 0;  // memo bytes read since the last release
};

namespace {

std::string hexByte(std::uint8_t b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

// Civil date of a count of days since 1970-01-01 (proleptic Gregorian).
Date civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2));
    return Date{y, m, d};
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Required width of the fixed-size types; 0 for any width.
int fixedWidth(char letter, std::uint8_t fileType) {
    switch (letter) {
        case 'I':
            return 4;
        case 'Y':
        case 'T':
        case 'D':
            return 8;
        case 'B':
            return dbf::isVisualFoxPro(fileType) ? 8 : 0;
        default:
            return 0;
    }
}

}  // namespace

TableReader::TableReader(const std::string& path, std::vector<std::string> longNames)
    : path_(path), fileName_(fileNameOf(path)) {
    file_ = std::make_unique<MappedFile>(path, fileName_);
    data_ = file_->data();
    size_ = file_->size();
    parse(std::move(longNames));
}

std::unique_ptr<TableReader> TableReader::fromBytes(std::string name,
                                                    std::span<const std::uint8_t> table,
                                                    std::span<const std::uint8_t> memo) {
    std::unique_ptr<TableReader> reader(new TableReader());
    reader->fileName_ = name;
    reader->path_ = std::move(name);
    reader->data_ = table.data();
    reader->size_ = table.size();
    reader->memoBytes_ = memo;
    reader->memoFromBytes_ = !memo.empty();
    reader->parse({});
    return reader;
}

TableReader::~TableReader() = default;

void TableReader::fail(const std::string& problem) const {
    throw FoxProError(kErrorFile, fileName_ + ": " + problem);
}

void TableReader::parse(std::vector<std::string> longNames) {
    if (size_ < dbf::kHeaderSize)
        fail("header is truncated (" + std::to_string(size_) + " bytes, a table header needs " +
             std::to_string(dbf::kHeaderSize) + ")");
    fileType_ = data_[dbf::kHeaderFileType];
    if (const char* refused = dbf::refusedFormatName(fileType_))
        fail(std::string(refused) + " tables are not supported");
    const dbf::FileTypeInfo* type = dbf::fileTypeInfo(fileType_);
    if (!type) fail("unknown table type " + hexByte(fileType_) + " (not a dBase or FoxPro table)");
    const bool vfp = type->visualFoxPro;
    codePageMark_ = data_[dbf::kHeaderCodePageMark];
    tableFlags_ = data_[dbf::kHeaderTableFlags];
    headerLength_ = dbf::le16(data_ + dbf::kHeaderLength);
    const int recordLength = dbf::le16(data_ + dbf::kHeaderRecordLength);
    const std::uint32_t headerCount = dbf::le32(data_ + dbf::kHeaderRecordCount);

    if (static_cast<std::size_t>(headerLength_) < dbf::kHeaderSize + 1)
        fail("header length " + std::to_string(headerLength_) + " is too small");
    if (static_cast<std::size_t>(headerLength_) > size_)
        fail("header says " + std::to_string(headerLength_) +
             " header bytes but the file has only " + std::to_string(size_) + " (truncated)");
    if (recordLength == 0) fail("record length is 0");

    int codePage = dbf::codePageOfMark(codePageMark_, fileType_);
    codePageConvertible_ = canConvertCodePage(codePage);
    if (!codePageConvertible_) {
        warnings_.push_back(fileName_ + ": code page mark " + hexByte(codePageMark_) +
                            (codePage != dbf::kCodePageUnknown
                                 ? " (code page " + std::to_string(codePage) + ")"
                                 : std::string(" (unknown)")) +
                            " cannot be converted; its text is read byte for byte");
    }

    // Field descriptors run from offset 32 to the 0x0D terminator, within the
    // stated header length.
    int runningOffset = 1;
    for (std::size_t pos = dbf::kHeaderSize;
         pos + dbf::kDescriptorSize <= static_cast<std::size_t>(headerLength_) &&
         data_[pos] != dbf::kDescriptorTerminator;
         pos += dbf::kDescriptorSize) {
        const std::uint8_t* d = data_ + pos;
        FieldDescriptor desc;
        std::memcpy(desc.raw.data(), d, dbf::kDescriptorSize);
        std::size_t nameLen = 0;
        while (nameLen < dbf::kDescriptorNameSize && d[nameLen] != 0) ++nameLen;
        // Names are ASCII by the format, but real headers hold UTF-8 or
        // code-page bytes: decode them like the table's text.
        desc.name = decodeText(codePage, {reinterpret_cast<const char*>(d), nameLen});
        desc.letter = static_cast<char>(d[dbf::kDescriptorType]);
        desc.width = d[dbf::kDescriptorLength];
        desc.decimals = d[dbf::kDescriptorDecimals];
        // dBase III descriptors carry garbage where Visual FoxPro keeps the
        // offset and flags: only Visual FoxPro's are read.
        desc.offset = vfp ? static_cast<int>(dbf::le32(d + dbf::kDescriptorOffset)) : runningOffset;
        desc.flags = vfp ? d[dbf::kDescriptorFlags] : 0;
        desc.autoNext = dbf::le32(d + dbf::kDescriptorAutoNext);
        desc.autoStep = d[dbf::kDescriptorAutoStep];
        std::string label = "field ";
        if (desc.name.empty()) {
            label += '#';
            label += std::to_string(descriptors_.size() + 1);
        } else {
            label += desc.name;
        }
        if (!dbf::isKnownFieldLetter(desc.letter)) {
            const auto b = static_cast<std::uint8_t>(desc.letter);
            std::string shown = hexByte(b);
            if (b >= 0x21 && b < 0x7F) {
                shown = "'";
                shown += desc.letter;
                shown += '\'';
            }
            fail(label + " has unknown type " + shown);
        }
        if (desc.width == 0) fail(label + " has length 0");
        if (const int fixed = fixedWidth(desc.letter, fileType_); fixed && desc.width != fixed)
            fail(label + " of type " + std::string(1, desc.letter) + " has length " +
                 std::to_string(desc.width) + " instead of " + std::to_string(fixed));
        if (dbf::isMemoLetter(desc.letter, fileType_) && desc.width != dbf::kMemoRefBinaryWidth &&
            desc.width != dbf::kMemoRefTextWidth)
            fail(label + " of type " + std::string(1, desc.letter) + " has length " +
                 std::to_string(desc.width) + " (a memo reference has 4 or 10)");
        if (desc.offset < 1 || desc.offset + desc.width > recordLength)
            fail(label + " lies past the end of the " + std::to_string(recordLength) +
                 "-byte record");
        runningOffset += desc.width;
        descriptors_.push_back(std::move(desc));
    }
    if (descriptors_.empty()) fail("table has no fields");

    layout_.fileType = fileType_;
    layout_.codePage = codePage;
    layout_.recordLength = recordLength;
    std::size_t visible = 0;
    int nextBit = 0;
    for (const auto& desc : descriptors_) {
        const bool system =
            desc.letter == dbf::kNullFlagsLetter || (desc.flags & dbf::kFieldFlagSystem);
        if (desc.letter == dbf::kNullFlagsLetter) {
            if (layout_.nullFlagsOffset < 0) {
                layout_.nullFlagsOffset = desc.offset;
                layout_.nullFlagsWidth = desc.width;
            }
        }
        if (system) continue;
        FieldInfo f;
        f.name = visible < longNames.size() && !longNames[visible].empty() ? longNames[visible]
                                                                           : desc.name;
        f.letter = desc.letter;
        f.typeCode = dbf::typeCodeOf(desc.letter, fileType_);
        f.width = desc.width;
        f.decimals = desc.decimals;
        f.offset = desc.offset;
        f.nullable = (desc.flags & dbf::kFieldFlagNullable) != 0;
        f.binary = (desc.flags & dbf::kFieldFlagBinary) != 0;
        f.memo = dbf::isMemoLetter(desc.letter, fileType_);
        // _NullFlags bits go out in field order: a varlength bit for each V
        // or Q field, then a null bit for each nullable field.
        if (vfp) {
            if (f.letter == 'V' || f.letter == 'Q') f.varLengthBit = nextBit++;
            if (f.nullable) f.nullBit = nextBit++;
        }
        layout_.fields.push_back(std::move(f));
        ++visible;
    }
    if (layout_.fields.empty()) fail("table has no visible fields");
    // Bits the _NullFlags column cannot hold (or a table without one) mean
    // "not null" and "full width".
    const int bitCapacity = layout_.nullFlagsOffset >= 0 ? layout_.nullFlagsWidth * 8 : 0;
    for (auto& f : layout_.fields) {
        if (f.nullBit >= bitCapacity) f.nullBit = -1;
        if (f.varLengthBit >= bitCapacity) f.varLengthBit = -1;
    }

    // Records that the file holds whole.  A count that disagrees with the
    // file size happens in the wild: trust the smaller and say so; but a file
    // that ends inside a record it claims is damaged.
    const std::uint64_t available = size_ - static_cast<std::size_t>(headerLength_);
    const std::uint64_t whole = available / static_cast<std::uint64_t>(recordLength);
    const std::uint64_t rest = available % static_cast<std::uint64_t>(recordLength);
    if (headerCount > whole) {
        const bool onlyEofMark = rest == 1 && data_[size_ - 1] == dbf::kEndOfFile;
        if (rest != 0 && !onlyEofMark)
            fail("header says " + std::to_string(recordLength) +
                 "-byte records but the file ends inside record " + std::to_string(whole + 1));
        storedCount_ = static_cast<std::int64_t>(whole);
        warnings_.push_back(fileName_ + ": header says " + std::to_string(headerCount) +
                            " records but the file holds " + std::to_string(whole) + "; reading " +
                            std::to_string(whole));
    } else {
        storedCount_ = headerCount;
        // More bytes than records (beyond the end-of-file mark) are ignored.
        const std::uint64_t used = static_cast<std::uint64_t>(headerCount) * recordLength;
        if (available > used + 1)
            warnings_.push_back(fileName_ + ": the file holds " + std::to_string(available - used) +
                                " bytes after its " + std::to_string(headerCount) +
                                " records; they are ignored");
    }
}

int TableReader::findField(std::string_view name) const {
    for (std::size_t i = 0; i < layout_.fields.size(); ++i)
        if (equalsNoCase(layout_.fields[i].name, name)) return static_cast<int>(i);
    return -1;
}

std::span<const std::uint8_t> TableReader::headerBytes() const {
    return {data_, static_cast<std::size_t>(headerLength_)};
}

std::string TableReader::backlink() const {
    if (!dbf::isVisualFoxPro(fileType_)) return "";
    // The backlink follows the terminator after the last descriptor.
    const std::size_t start = dbf::kHeaderSize + descriptors_.size() * dbf::kDescriptorSize + 1;
    if (start >= static_cast<std::size_t>(headerLength_)) return "";
    const std::size_t limit =
        std::min(static_cast<std::size_t>(headerLength_) - start, dbf::kBacklinkSize);
    std::size_t len = 0;
    while (len < limit && data_[start + len] != 0) ++len;
    return decodeText(layout_.codePage, {reinterpret_cast<const char*>(data_ + start), len});
}

std::span<const std::uint8_t> TableReader::storedRecord(std::int64_t index) const {
    if (index < 0 || index >= storedCount_)
        throw FoxProError(kErrorNoCurrentRecord,
                          fileName_ + ": no record " + std::to_string(index + 1));
    const std::size_t rl = static_cast<std::size_t>(layout_.recordLength);
    return {data_ + headerLength_ + static_cast<std::size_t>(index) * rl, rl};
}

bool TableReader::isDeleted(std::int64_t index) const {
    return storedRecord(index)[0] == dbf::kRecordDeleted;
}

std::int64_t TableReader::nextLive(std::int64_t from) const {
    if (from < 0) from = 0;
    const std::size_t rl = static_cast<std::size_t>(layout_.recordLength);
    const std::size_t offset =
        static_cast<std::size_t>(headerLength_) + static_cast<std::size_t>(from) * rl;
    if (file_) file_->walkedTo(offset);
    const std::uint8_t* p = data_ + offset;
    for (std::int64_t i = from; i < storedCount_; ++i, p += rl)
        if (*p != dbf::kRecordDeleted) return i;
    return storedCount_;
}

void TableReader::walkedTo(std::int64_t index) const {
    if (!file_ || index < 0) return;
    file_->walkedTo(static_cast<std::size_t>(headerLength_) +
                    static_cast<std::size_t>(index) *
                        static_cast<std::size_t>(layout_.recordLength));
}

std::vector<std::uint32_t> TableReader::scanDeleted() const {
    std::vector<std::uint32_t> deleted;
    const std::size_t rl = static_cast<std::size_t>(layout_.recordLength);
    const std::uint8_t* base = data_ + headerLength_;
    // In stretches, each released once its flags are read.
    const std::int64_t perStretch = std::max<std::int64_t>(1, kReleaseStep / rl);
    for (std::int64_t first = 0; first < storedCount_; first += perStretch) {
        const std::int64_t last = std::min(storedCount_, first + perStretch);
        for (std::int64_t i = first; i < last; ++i)
            if (base[static_cast<std::size_t>(i) * rl] == dbf::kRecordDeleted)
                deleted.push_back(static_cast<std::uint32_t>(i));
        if (file_)
            file_->release(
                static_cast<std::size_t>(headerLength_) + static_cast<std::size_t>(first) * rl,
                static_cast<std::size_t>(headerLength_) + static_cast<std::size_t>(last) * rl);
    }
    return deleted;
}

const DeletedRecords& TableReader::deletedRecords() const {
    if (!deleted_) {
        auto scan = [this] { return scanDeleted(); };
        if (file_) {
            deleted_ = deletedRecordsOf(file_->stamp(), storedCount_, scan);
        } else {
            deleted_ = std::make_shared<const DeletedRecords>(storedCount_, scan());
        }
    }
    return *deleted_;
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
        deleted_ = std::make_shared<const DeletedRecords>(storedCount_, scanDeleted());
        index = deleted_->liveIndex(n);
    }
    return index;
}

bool TableReader::isNull(std::span<const std::uint8_t> record, int index) const {
    const FieldInfo& f = field(index);
    if (f.nullBit < 0) return false;
    const std::uint8_t flags =
        record[static_cast<std::size_t>(layout_.nullFlagsOffset + f.nullBit / 8)];
    return (flags >> (f.nullBit % 8)) & 1;
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
        memoLooked_ = true;
        const dbf::FileTypeInfo* type = dbf::fileTypeInfo(fileType_);
        dbf::MemoKind kind = type->memo;
        // A dBase III table without the memo bit may still carry memo fields
        // with a .dbt beside it.
        if (kind == dbf::MemoKind::None) kind = dbf::MemoKind::Dbt3;
        if (memoFromBytes_) {
            memo_ = std::make_unique<MemoFile>(fileName_ + " memo", kind, memoBytes_, nullptr);
        } else if (!path_.empty()) {
            std::string stem = fileNameOf(path_);
            std::string ext;
            if (const auto dot = stem.rfind('.'); dot != std::string::npos) {
                ext = stem.substr(dot);
                stem.resize(dot);
            }
            // A container's memo is its .dct; a table's .fpt or .dbt.
            std::string memoExt = kind == dbf::MemoKind::Fpt ? ".fpt" : ".dbt";
            if (equalsNoCase(ext, ".dbc")) memoExt = ".dct";
            const std::string memoPath = findFileNoCase(parentFolder(path_), stem + memoExt);
            if (!memoPath.empty()) {
                auto mapped = std::make_unique<MappedFile>(memoPath, fileNameOf(memoPath));
                std::span<const std::uint8_t> bytes(mapped->data(), mapped->size());
                memo_ = std::make_unique<MemoFile>(fileNameOf(memoPath), kind, bytes,
                                                   std::move(mapped));
            }
        }
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

MemoContent TableReader::memoAt(std::uint32_t block) const {
    if (block == 0) return MemoContent{};
    return memoFile().read(block);
}

MemoContent TableReader::memo(std::span<const std::uint8_t> record, int index) const {
    return memoAt(memoBlock(record, index));
}

namespace {
// True when no byte has its top bit set, read eight bytes at a time.
bool isAscii(std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    std::uint64_t high = 0;
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        high |= word;
    }
    for (; n > 0; ++p, --n) high |= static_cast<std::uint8_t>(*p);
    return (high & 0x8080808080808080u) == 0;
}
}  // namespace

std::string TableReader::decodeStoredText(std::string_view bytes) const {
    // Most stored text is ASCII, which reads the same in every code page:
    // copied as it stands, with no conversion.
    if (isAscii(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    decodeText(layout_.codePage, bytes, out);
    return out;
}

Value TableReader::value(std::span<const std::uint8_t> record, int index) const {
    if (index < 0 || index >= fieldCount())
        throw FoxProError(kErrorItemNotFound,
                          "Item cannot be found in the collection corresponding to the requested "
                          "name or ordinal.");
    if (record.size() != static_cast<std::size_t>(layout_.recordLength))
        throw FoxProError(kErrorInvalidArgument, fileName_ + ": record of the wrong length");
    return decode(record.data(), index);
}

Value TableReader::decode(const std::uint8_t* recordBytes, int index) const {
    const FieldInfo& f = layout_.fields[static_cast<std::size_t>(index)];
    // Offsets and bits were checked against the record length when the
    // table was opened.
    if (f.nullBit >= 0 &&
        ((recordBytes[static_cast<std::size_t>(layout_.nullFlagsOffset + f.nullBit / 8)] >>
          (f.nullBit % 8)) &
         1))
        return Value::null();
    const std::uint8_t* p = recordBytes + f.offset;
    const auto w = static_cast<std::size_t>(f.width);
    const std::string_view chars(reinterpret_cast<const char*>(p), w);

    switch (f.letter) {
        case 'C':
            if (isAscii(chars)) return Value(Value::Kind::Text, chars.data(), chars.size());
            return Value::text(decodeStoredText(chars));
        case 'V':
        case 'Q': {
            std::size_t len = w;
            // With the varlength bit set the real length is in the last byte.
            if (f.varLengthBit >= 0) {
                const std::uint8_t flags = recordBytes[static_cast<std::size_t>(
                    layout_.nullFlagsOffset + f.varLengthBit / 8)];
                if ((flags >> (f.varLengthBit % 8)) & 1)
                    len = std::min<std::size_t>(p[w - 1], w - 1);
            }
            if (f.letter == 'Q') return Value(Value::Kind::Bytes, chars.data(), len);
            if (isAscii(chars.substr(0, len))) return Value(Value::Kind::Text, chars.data(), len);
            return Value::text(decodeStoredText(chars.substr(0, len)));
        }
        case 'N':
        case 'F':
            // Blank is FoxPro's "never filled" number: 0.  Text that is no
            // number reads the way VAL() reads it.
            {
                char buffer[kCanonicalDecimalRoom];
                if (const std::string_view plain = canonicalDecimalPlain(chars, buffer);
                    !plain.empty())
                    return Value(Value::Kind::Decimal, plain.data(), plain.size());
                return Value::decimal(canonicalDecimal(chars));
            }
        case 'I':
            return Value::integer(static_cast<std::int32_t>(dbf::le32(p)));
        case 'Y':
            return Value::currency(static_cast<std::int64_t>(dbf::le64(p)));
        case 'B': {
            if (f.memo) break;
            const std::uint64_t bits = dbf::le64(p);
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            return Value::real(d);
        }
        case 'L':
            switch (p[0]) {
                case 'T':
                case 't':
                case 'Y':
                case 'y':
                    return Value::logical(true);
                case 'F':
                case 'f':
                case 'N':
                case 'n':
                case ' ':
                case 0:
                    return Value::logical(false);
                default:
                    return Value::null();  // '?' and anything else: unknown
            }
        case 'D': {
            // Blanks, zeros or anything that is no calendar date read as the
            // empty date.
            int parts[8];
            for (int i = 0; i < 8; ++i) {
                if (p[i] < '0' || p[i] > '9') return Value::null();
                parts[i] = p[i] - '0';
            }
            const int y = parts[0] * 1000 + parts[1] * 100 + parts[2] * 10 + parts[3];
            const int m = parts[4] * 10 + parts[5];
            const int d = parts[6] * 10 + parts[7];
            if (y < 1 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m)) return Value::null();
            return Value::date(Date{y, m, d});
        }
        case 'T': {
            const std::uint32_t jd = dbf::le32(p);
            const std::uint32_t ms = dbf::le32(p + 4);
            if (jd == 0 && ms == 0) return Value::null();
            std::int64_t days = static_cast<std::int64_t>(jd) - dbf::kJulianDay1970;
            std::int64_t seconds = (static_cast<std::int64_t>(ms) + 500) / 1000;
            if (seconds > 86400) return Value::null();  // no time of day
            if (seconds == 86400) {
                seconds = 0;
                ++days;
            }
            const Date date = civilFromDays(days);
            if (date.year < 1 || date.year > 9999) return Value::null();
            DateTime dt;
            dt.date = date;
            dt.hour = static_cast<int>(seconds / 3600);
            dt.minute = static_cast<int>(seconds / 60 % 60);
            dt.second = static_cast<int>(seconds % 60);
            return Value::dateTime(dt);
        }
        default:
            break;
    }
    // Memo fields: M is text, G/W/P and a dBase B are binary.
    if (f.memo) {
        MemoContent m = memo({recordBytes, static_cast<std::size_t>(layout_.recordLength)}, index);
        if (f.letter == 'M') return Value::text(decodeStoredText(m.data));
        return Value::bytes(std::move(m.data));
    }
    fail("field " + f.name + " has a type that cannot be read");
}

}  // namespace quorvel::foxpro
