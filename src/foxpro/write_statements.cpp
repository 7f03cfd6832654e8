#include "foxpro/write_statements.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <set>

#include "foxpro/ascii_case.h"
#include "foxpro/atomic_file.h"
#include "foxpro/data_source.h"
#include "foxpro/dbf_format.h"
#include "foxpro/deleted_records.h"
#include "foxpro/field_encoder.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/memo_writer.h"
#include "foxpro/table_reader.h"

namespace quorvel::foxpro {

namespace {

// Header bytes 1..3: the day of the last update.
void putToday(std::uint8_t* date3) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    date3[0] = static_cast<std::uint8_t>(local.tm_year);  // years since 1900
    date3[1] = static_cast<std::uint8_t>(local.tm_mon + 1);
    date3[2] = static_cast<std::uint8_t>(local.tm_mday);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A new table's name becomes a file name: refuse what cannot be one, or
// what would hide it (a leading "~" keeps a table out of every list).
void checkNewTableName(const std::string& name) {
    auto refuse = [&](const std::string& why) {
        throw FoxProError(kErrorInvalidArgument, "cannot create table '" + name + "': " + why);
    };
    if (name.empty()) refuse("the name is empty");
    if (name.find_first_not_of(' ') == std::string::npos) refuse("the name is blank");
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) refuse("the name holds a control character");
        if (std::strchr("/\\:*?\"<>|", c))
            refuse(std::string("the name holds '") + static_cast<char>(c) +
                   "', which a file name cannot");
    }
    if (name == "." || name == "..") refuse("the name is no file name");
    if (name.front() == '~') refuse("a name starting with '~' would hide the table");
    if (name.back() == '.' || name.back() == ' ') refuse("the name ends with a blank or a point");
    if (name.size() + 4 > NAME_MAX) refuse("the name is too long for a file name");
}

// ---------------------------------------------------------------------------
// The table an UPDATE or INSERT writes.  Only its header is parsed (by the
// reader, from the bytes read here) and only the record concerned is read,
// so that a statement costs the same on a table of any size.

class TargetTable {
  public:
    TargetTable(std::string path) : path_(std::move(path)), sink_(open(path_)) {
        stamp_ = fileStampOf(sink_.fd());
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
        recordLength_ = static_cast<std::uint64_t>(header_->layout().recordLength);
        std::uint32_t headerCount = dbf::le32(headerBytes_.data() + dbf::kHeaderRecordCount);
        std::uint64_t room = (fileSize_ - headerBytes_.size()) / recordLength_;
        storedCount_ = static_cast<std::int64_t>(std::min<std::uint64_t>(headerCount, room));
        checkWritable(headerCount);
    }

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

    std::vector<std::uint8_t> readRecord(std::int64_t index) {
        std::vector<std::uint8_t> record(static_cast<std::size_t>(recordLength_));
        sink_.readAt(recordOffset(index), record.data(), record.size());
        return record;
    }

    // Stored index of the n-th live record, -1 when there is none.
    std::int64_t liveIndex(std::int64_t n);
    // After our own write (no delete flag changed), the deleted list stays right.
    void keepDeletedList(std::int64_t storedCount);

    // Header bytes 1..3, rewritten only when the day has changed.
    void touchDate() {
        std::uint8_t date[3];
        putToday(date);
        if (std::memcmp(date, headerBytes_.data() + dbf::kHeaderUpdateDate, 3) != 0)
            sink_.writeAt(dbf::kHeaderUpdateDate, date, 3);
    }

    // The memo file beside the table, "" when there is none.
    std::string memoPath() const {
        std::string stem = name().substr(0, name().rfind('.'));
        return findFileNoCase(parentFolder(path_),
                              stem + (memoKind() == dbf::MemoKind::Fpt ? ".fpt" : ".dbt"));
    }
    dbf::MemoKind memoKind() const {
        const auto* type = dbf::fileTypeInfo(header_->fileType());
        // A dBase III table without the memo type may still keep a .dbt.
        return type && type->memo != dbf::MemoKind::None ? type->memo : dbf::MemoKind::Dbt3;
    }

  private:
    static FileSink open(const std::string& path) {
        return FileSink::openExisting(path, fileNameOf(path));
    }

    void checkWritable(std::uint32_t headerCount) const {
        const TableReader& t = *header_;
        if (!t.backlink().empty() || (t.tableFlags() & dbf::kTableFlagContainer))
            throw FoxProError(kErrorInvalidArgument, name() +
                                                         ": belongs to a database container (" +
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

    std::string path_;
    FileSink sink_;
    FileStamp stamp_;
    std::uint64_t fileSize_ = 0;
    std::vector<std::uint8_t> headerBytes_;
    std::unique_ptr<TableReader> header_;
    std::uint64_t recordLength_ = 1;
    std::int64_t storedCount_ = 0;
};

// RECNO() = n needs the delete flags up to n.  A batch of statements
// against one table would read them again every time: the positions of the
// deleted records are kept for the process per state of the file, shared
// with the reader (deleted_records.h).
std::int64_t TargetTable::liveIndex(std::int64_t n) {
    if (n <= 0) return -1;
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
    return deletedRecordsOf(stamp_, storedCount_, scan)->liveIndex(n);
}

void TargetTable::keepDeletedList(std::int64_t storedCount) {
    carryDeletedRecords(stamp_, fileStampOf(sink_.fd()), storedCount);
}

// The free table a write statement names.  For a container source it is a
// free table in the container's folder (where the copy puts new tables);
// a table of the container itself is never written.
std::string writeTargetPath(DataSource& source, const std::string& name) {
    std::string path;
    if (source.isContainer()) {
        path = source.newTablePath(name);
        if (!exists(path))
            throw FoxProError(kErrorFile, "no table named " + name + " in " + source.folder());
    } else {
        path = source.tablePath(name);
    }
    if (source.isContainerTable(path))
        throw FoxProError(kErrorInvalidArgument,
                          fileNameOf(path) + ": belongs to the database container " +
                              fileNameOf(source.path()) + " and is not written");
    return path;
}

// A field of the target by name.  A table copied out of a container keeps
// only the 10-character names of its header, while the comparison reports
// the container's long names ("company_name" for COMPANY_NA): a long name
// that matches no field is tried cut to 10 characters.
int findTargetField(const TableReader& table, const std::string& name) {
    int i = table.findField(name);
    if (i < 0 && name.size() > dbf::kDescriptorNameSize - 1)
        i = table.findField(std::string_view(name).substr(0, dbf::kDescriptorNameSize - 1));
    return i;
}

void setBit(std::uint8_t* record, const TableLayout& layout, int bit, bool on) {
    if (bit < 0 || layout.nullFlagsOffset < 0) return;
    std::uint8_t& byte = record[layout.nullFlagsOffset + bit / 8];
    auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    byte = on ? (byte | mask) : (byte & ~mask);
}

// Puts an encoded value into a record; memo contents go to the memo file
// (opened on first use).
class RecordEditor {
  public:
    explicit RecordEditor(const TargetTable& table) : table_(table) {}

    void place(const FieldInfo& f, const EncodedField& e, std::uint8_t* record) {
        const TableLayout& layout = table_.layout();
        setBit(record, layout, f.nullBit, e.null);
        setBit(record, layout, f.varLengthBit, e.varShort);
        if (f.memo) {
            std::uint32_t block = 0;
            if (!e.null && !e.memoData.empty()) block = memo().add(e.memoData, e.memoType);
            putMemoRef(record + f.offset, f.width, block);
        } else {
            std::memcpy(record + f.offset, e.bytes.data(), static_cast<std::size_t>(f.width));
        }
    }

    void finish() {
        if (!memo_) return;
        memo_->finish();
        memoSink_->close();
    }

  private:
    MemoWriter& memo() {
        if (!memo_) {
            std::string path = table_.memoPath();
            if (path.empty())
                throw FoxProError(kErrorFile, table_.name() + ": memo file not found");
            memoSink_ = std::make_unique<FileSink>(FileSink::openExisting(path, fileNameOf(path)));
            memo_ = std::make_unique<MemoWriter>(
                MemoWriter::openExisting(*memoSink_, table_.memoKind()));
        }
        return *memo_;
    }

    const TargetTable& table_;
    std::unique_ptr<FileSink> memoSink_;
    std::unique_ptr<MemoWriter> memo_;
};

// ---------------------------------------------------------------------------
// The copy.

struct CopyField {
    int sourceIndex = -1;  // visible field of the source, -1 for _NullFlags
    int sourceOffset = 0;
    int width = 0;
    int offset = 0;
    bool memo = false;
};

class TableCopier {
  public:
    TableCopier(const TableReader& source, std::optional<std::int64_t> recno)
        : src_(source), recno_(recno) {
        plan();
    }

    void write(FileSink& table, FileSink* memoSink) {
        std::optional<MemoWriter> memo;
        if (memoSink) {
            int bs = src_.memoBlockSize();
            bool fpt = dbf::fileTypeInfo(src_.fileType())->memo == dbf::MemoKind::Fpt;
            memo.emplace(MemoWriter::createFpt(
                *memoSink, static_cast<std::uint16_t>(
                               fpt && bs > 0 && bs < 65536 ? bs : dbf::kFptDefaultBlockSize)));
        }
        std::int64_t first = 0, last = src_.storedCount();
        if (recno_) {
            std::int64_t index = src_.liveIndex(*recno_);
            first = index < 0 ? 0 : index;
            last = index < 0 ? 0 : index + 1;
        }
        // The header goes first with the count of records left open: the
        // count is known once the source has been walked, in one pass.
        std::vector<std::uint8_t> header = buildHeader(0);
        table.append(header.data(), header.size());
        const auto rl = static_cast<std::size_t>(src_.layout().recordLength);

        // Records go over unchanged: long runs of live records are copied by
        // the kernel from the source file, short ones (between deleted
        // records) gathered from the reader's map into one write.
        constexpr std::uint64_t kKernelCopy = 1 << 20;
        int fd = -1;
        std::vector<struct iovec> pieces;
        std::uint64_t gathered = 0;
        auto writePieces = [&] {
            if (!pieces.empty()) table.appendPieces(pieces.data(), static_cast<int>(pieces.size()));
            pieces.clear();
            gathered = 0;
        };
        auto copyRun = [&](std::int64_t index, std::int64_t length) {
            const std::uint64_t bytes = static_cast<std::uint64_t>(length) * rl;
            if (bytes < kKernelCopy) {
                pieces.push_back({const_cast<std::uint8_t*>(src_.storedRecord(index).data()),
                                  static_cast<std::size_t>(bytes)});
                gathered += bytes;
                if (pieces.size() == 1024 || gathered >= (8u << 20)) writePieces();
                return;
            }
            writePieces();
            if (fd < 0) fd = ::open(src_.path().c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                throw FoxProError(kErrorFile,
                                  src_.fileName() + ": cannot open: " + std::strerror(errno));
            table.appendFromFile(fd,
                                 static_cast<std::uint64_t>(src_.headerLength()) +
                                     static_cast<std::uint64_t>(index) * rl,
                                 bytes);
        };
        std::vector<std::uint8_t> out(static_cast<std::size_t>(recordLength_));
        auto convertRun = [&](std::int64_t index, std::int64_t length) {
            for (std::int64_t i = index; i < index + length; ++i) {
                auto rec = src_.storedRecord(i);
                if (sameRecords_) {
                    std::memcpy(out.data(), rec.data(), rl);
                } else {
                    out[0] = rec[0];
                    for (const auto& f : fields_)
                        if (!f.memo)
                            std::memcpy(out.data() + f.offset, rec.data() + f.sourceOffset,
                                        static_cast<std::size_t>(f.width));
                }
                for (const auto& f : fields_) {
                    if (!f.memo) continue;
                    std::uint32_t block = 0;
                    if (src_.memoBlock(rec, f.sourceIndex) != 0) {
                        MemoContent content = src_.memo(rec, f.sourceIndex);
                        if (content.present) block = memo->add(content.data, content.type);
                    }
                    putMemoRef(out.data() + f.offset, f.width, block);
                }
                table.append(out.data(), out.size());
            }
        };
        const bool direct = sameRecords_ && !memo;
        std::int64_t count = 0;
        auto emit = [&](std::int64_t index, std::int64_t length) {
            count += length;
            if (direct) {
                copyRun(index, length);
            } else {
                convertRun(index, length);
            }
        };

        // The source is walked in stretches of about 4 MB: the delete flags
        // of a stretch are read, its runs of live records written, and its
        // pages given back, so that the copy's memory does not grow with the
        // source.  A run that goes on past a stretch is written in parts.
        const std::int64_t perStretch =
            std::max<std::int64_t>(1, static_cast<std::int64_t>((4u << 20) / rl));
        try {
            for (std::int64_t stretch = first; stretch < last; stretch += perStretch) {
                const std::int64_t stretchEnd = std::min(last, stretch + perStretch);
                const std::uint8_t* p = src_.storedRecord(stretch).data();
                std::int64_t runStart = -1;
                for (std::int64_t i = stretch; i < stretchEnd; ++i, p += rl) {
                    const bool live = *p != dbf::kRecordDeleted;
                    if (live && runStart < 0) {
                        runStart = i;
                    } else if (!live && runStart >= 0) {
                        emit(runStart, i - runStart);
                        runStart = -1;
                    }
                }
                if (runStart >= 0) emit(runStart, stretchEnd - runStart);
                writePieces();
                src_.walkedTo(stretchEnd);
            }
        } catch (...) {
            if (fd >= 0) ::close(fd);
            throw;
        }
        if (fd >= 0) ::close(fd);
        if (count > 0xFFFFFFFFll)
            throw FoxProError(kErrorFile, src_.fileName() + ": too many records to copy");
        std::uint8_t stored[4];
        dbf::putLe32(stored, static_cast<std::uint32_t>(count));
        table.rewriteAt(dbf::kHeaderRecordCount, stored, sizeof stored);

        const std::uint8_t eof = dbf::kEndOfFile;
        table.append(&eof, 1);
        if (memo) memo->finish();
    }

    bool hasMemo() const { return hasMemo_; }

  private:
    // Visual FoxPro sources keep their record layout; older formats become
    // Visual FoxPro records: 4-byte memo references instead of 10 digits,
    // fresh descriptors (theirs hold garbage where Visual FoxPro keeps
    // offsets and flags), and a dBase binary memo (B) becomes a blob (W),
    // since B is a double in Visual FoxPro.
    void plan() {
        const auto& layout = src_.layout();
        std::uint8_t type = src_.fileType();
        vfp_ = dbf::isVisualFoxPro(type);
        hasMemo_ = layout.hasMemo();
        int visible = 0;
        int offset = 1;
        for (const auto& d : src_.descriptors()) {
            CopyField f;
            bool system = d.letter == dbf::kNullFlagsLetter;
            f.sourceIndex = system ? -1 : visible++;
            f.sourceOffset = d.offset;
            f.memo = !system && dbf::isMemoLetter(d.letter, type);
            f.width = f.memo ? dbf::kMemoRefBinaryWidth : d.width;
            f.offset = vfp_ ? d.offset : offset;
            offset += f.width;
            std::array<std::uint8_t, 32> raw = d.raw;
            if (!vfp_) {
                raw.fill(0);
                std::size_t nameLen = 0;
                while (nameLen < 10 && d.raw[nameLen] != 0) ++nameLen;
                std::memcpy(raw.data(), d.raw.data(), nameLen);
                raw[dbf::kDescriptorType] =
                    static_cast<std::uint8_t>(f.memo && d.letter == 'B' ? 'W' : d.letter);
                dbf::putLe32(raw.data() + dbf::kDescriptorOffset,
                             static_cast<std::uint32_t>(f.offset));
                raw[dbf::kDescriptorLength] = static_cast<std::uint8_t>(f.width);
                raw[dbf::kDescriptorDecimals] = static_cast<std::uint8_t>(d.decimals);
            }
            descriptors_.push_back(raw);
            fields_.push_back(f);
        }
        recordLength_ = vfp_ ? layout.recordLength : offset;
        sameRecords_ = vfp_;
    }

    std::vector<std::uint8_t> buildHeader(std::uint32_t count) const {
        std::size_t length =
            dbf::kHeaderSize + descriptors_.size() * dbf::kDescriptorSize + 1 + dbf::kBacklinkSize;
        if (length > 0xFFFF)
            throw FoxProError(kErrorFile, src_.fileName() + ": too many fields to copy");
        std::vector<std::uint8_t> h(length, 0);
        std::uint8_t type = src_.fileType();
        h[dbf::kHeaderFileType] = vfp_ ? type : 0x30;
        putToday(&h[dbf::kHeaderUpdateDate]);
        dbf::putLe32(&h[dbf::kHeaderRecordCount], count);
        dbf::putLe16(&h[dbf::kHeaderLength], static_cast<std::uint16_t>(length));
        dbf::putLe16(&h[dbf::kHeaderRecordLength], static_cast<std::uint16_t>(recordLength_));
        h[dbf::kHeaderTableFlags] = hasMemo_ ? dbf::kTableFlagMemo : 0;
        // Mark 0 means 1252 in Visual FoxPro but 437 in the older formats:
        // name the code page so that the copy reads the same.
        std::uint8_t mark = src_.codePageMark();
        if (mark == 0 && !vfp_) mark = dbf::markOfCodePage(dbf::codePageOfMark(0, type));
        h[dbf::kHeaderCodePageMark] = mark;
        std::size_t at = dbf::kHeaderSize;
        for (const auto& raw : descriptors_) {
            std::memcpy(&h[at], raw.data(), raw.size());
            at += dbf::kDescriptorSize;
        }
        h[at] = dbf::kDescriptorTerminator;  // the backlink after it stays all NUL: a free table
        return h;
    }

    const TableReader& src_;
    std::optional<std::int64_t> recno_;
    bool vfp_ = true;
    bool hasMemo_ = false;
    bool sameRecords_ = true;
    int recordLength_ = 0;
    std::vector<CopyField> fields_;
    std::vector<std::array<std::uint8_t, 32>> descriptors_;
};

std::string memoNameFor(const std::string& tableFile) {
    std::string stem = tableFile.substr(0, tableFile.size() - 4);
    std::string ext = tableFile.substr(tableFile.size() - 4);
    return stem + (ext == ".DBF" ? ".FPT" : ".fpt");
}

}  // namespace

// ---------------------------------------------------------------------------

void executeCopy(DataSource& source, const SelectStatement& statement) {
    if (!statement.intoTable || statement.count)
        throw FoxProError(kErrorInvalidArgument, "unsupported statement: a copy needs INTO TABLE");
    const std::string& name = *statement.intoTable;
    checkNewTableName(name);
    std::unique_ptr<TableReader> table = source.openTable(statement.table);

    std::string target = source.newTablePath(name);
    std::string folder = parentFolder(target);
    std::string targetFile = fileNameOf(target);
    if (lowerAscii(targetFile.substr(targetFile.size() < 4 ? 0 : targetFile.size() - 4)) != ".dbf")
        target += ".dbf", targetFile += ".dbf";
    auto refuse = [&](const std::string& why) {
        throw FoxProError(kErrorInvalidArgument, "cannot create table " + name + ": " + why);
    };
    if (target == table->path() || sameFile(target, table->path()) ||
        lowerAscii(name) == lowerAscii(statement.table))
        refuse("the statement reads from " + table->fileName());
    if (exists(target)) {
        struct stat st {};
        if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            refuse(targetFile + " exists and is no table file; not replaced");
        if (source.isContainerTable(target))
            refuse(targetFile + " is a table of the database container " +
                   fileNameOf(source.path()) + "; not replaced");
        std::unique_ptr<TableReader> old;
        try {
            old = std::make_unique<TableReader>(target);
        } catch (const FoxProError& e) {
            refuse(targetFile + " exists and is not a readable table (" + e.description() +
                   "); not replaced");
        }
        if (!old->backlink().empty() || (old->tableFlags() & dbf::kTableFlagContainer))
            refuse(targetFile + " belongs to a database container; not replaced");
    }

    TableCopier copier(*table, statement.recno);
    NewFileSet files(folder);
    FileSink& tableSink = files.create(targetFile);
    FileSink* memoSink = nullptr;
    std::string memoFile = memoNameFor(targetFile);
    if (copier.hasMemo()) memoSink = &files.create(memoFile);
    // Companions of a replaced table that no longer fit it: a memo file in
    // another letter case (or none needed now) and its structural index.
    std::string stem = targetFile.substr(0, targetFile.size() - 4);
    for (const char* ext : {".fpt", ".cdx"}) {
        std::string old = findFileNoCase(folder, stem + ext);
        if (old.empty()) continue;
        if (copier.hasMemo() && std::string(ext) == ".fpt" && fileNameOf(old) == memoFile) continue;
        files.removeAfterCommit(old);
    }
    copier.write(tableSink, memoSink);
    files.commit();
}

void executeUpdate(DataSource& source, const UpdateStatement& statement) {
    TargetTable table(writeTargetPath(source, statement.table));
    const TableReader& header = table.header();
    int fieldIndex = findTargetField(header, statement.field);
    if (fieldIndex < 0)
        throw FoxProError(kErrorItemNotFound, table.name() + ": no field named " + statement.field);
    std::int64_t index = table.liveIndex(statement.recno);
    if (index < 0)
        throw FoxProError(kErrorNoCurrentRecord,
                          table.name() + ": no record " + std::to_string(statement.recno));
    const FieldInfo& field = header.field(fieldIndex);
    EncodedField value = encodeField(field, table.textStorage(), statement.value, table.name());

    std::vector<std::uint8_t> record = table.readRecord(index);
    RecordEditor editor(table);
    editor.place(field, value, record.data());
    editor.finish();
    table.sink().writeAt(table.recordOffset(index), record.data(), record.size());
    table.touchDate();
    table.keepDeletedList(table.storedCount());
}

void executeInsert(DataSource& source, const InsertStatement& statement) {
    TargetTable table(writeTargetPath(source, statement.table));
    const TableReader& header = table.header();
    const int fieldCount = header.fieldCount();

    // Which field each value goes to.
    std::vector<int> target;
    if (statement.columns.empty()) {
        if (static_cast<int>(statement.values.size()) != fieldCount)
            throw FoxProError(kErrorInvalidArgument,
                              table.name() + ": " + std::to_string(statement.values.size()) +
                                  " values for " + std::to_string(fieldCount) + " fields");
        for (int i = 0; i < fieldCount; ++i) target.push_back(i);
    } else {
        if (statement.columns.size() != statement.values.size())
            throw FoxProError(kErrorInvalidArgument,
                              table.name() + ": " + std::to_string(statement.values.size()) +
                                  " values for " + std::to_string(statement.columns.size()) +
                                  " columns");
        std::set<int> seen;
        for (const auto& column : statement.columns) {
            int i = findTargetField(header, column);
            if (i < 0)
                throw FoxProError(kErrorItemNotFound, table.name() + ": no field named " + column);
            if (!seen.insert(i).second)
                throw FoxProError(kErrorInvalidArgument,
                                  table.name() + ": field " + column + " is listed twice");
            target.push_back(i);
        }
    }

    // Every value is converted before anything is written.
    TextStorage storage = table.textStorage();
    std::vector<EncodedField> encoded(static_cast<std::size_t>(fieldCount));
    std::vector<bool> given(static_cast<std::size_t>(fieldCount), false);
    for (int i = 0; i < fieldCount; ++i)
        encoded[static_cast<std::size_t>(i)] = blankField(header.field(i));
    for (std::size_t k = 0; k < target.size(); ++k) {
        auto i = static_cast<std::size_t>(target[k]);
        encoded[i] =
            encodeField(header.field(target[k]), storage, statement.values[k], table.name());
        given[i] = true;
    }
    // Autoincrement fields not given take the next value, which advances.
    std::vector<std::pair<std::size_t, std::uint32_t>> autoNext;  // descriptor, new next value
    const auto& descriptors = header.descriptors();
    for (std::size_t d = 0, visible = 0; d < descriptors.size(); ++d) {
        const auto& desc = descriptors[d];
        if (desc.letter == dbf::kNullFlagsLetter) continue;
        std::size_t i = visible++;
        if ((desc.flags & dbf::kFieldFlagAutoIncrement) != dbf::kFieldFlagAutoIncrement ||
            desc.letter != 'I' || given[i])
            continue;
        auto& e = encoded[i];
        e.null = false;
        e.bytes.assign(4, '\0');
        dbf::putLe32(reinterpret_cast<std::uint8_t*>(e.bytes.data()), desc.autoNext);
        autoNext.emplace_back(d, desc.autoNext + desc.autoStep);
    }

    const auto rl = static_cast<std::size_t>(table.recordLength());
    std::vector<std::uint8_t> record(rl + 1, 0);
    record[0] = dbf::kRecordLive;
    std::int64_t count = table.storedCount();
    if (count >= 0xFFFFFFFFll) throw FoxProError(kErrorFile, table.name() + ": the table is full");

    RecordEditor editor(table);
    for (int i = 0; i < fieldCount; ++i)
        editor.place(header.field(i), encoded[static_cast<std::size_t>(i)], record.data());
    editor.finish();
    record[rl] = dbf::kEndOfFile;

    // The new record goes where the records end (over the end-of-file
    // mark); a failure puts the old end back.
    FileSink& sink = table.sink();
    std::uint64_t at = table.recordOffset(count);
    std::uint64_t oldSize = table.fileSize();
    std::vector<std::uint8_t> oldTail;
    if (oldSize > at) {
        oldTail.resize(static_cast<std::size_t>(std::min<std::uint64_t>(oldSize - at, rl + 1)));
        sink.readAt(at, oldTail.data(), oldTail.size());
    }
    try {
        sink.writeAt(at, record.data(), record.size());
        for (const auto& [d, next] : autoNext) {
            std::uint8_t word[4];
            dbf::putLe32(word, next);
            sink.writeAt(dbf::kHeaderSize + d * dbf::kDescriptorSize + dbf::kDescriptorAutoNext,
                         word, 4);
        }
        std::uint8_t head[8];
        std::memcpy(head, header.headerBytes().data(), sizeof head);
        putToday(head + dbf::kHeaderUpdateDate);
        dbf::putLe32(head + dbf::kHeaderRecordCount, static_cast<std::uint32_t>(count + 1));
        sink.writeAt(0, head, sizeof head);
    } catch (const FoxProError&) {
        try {
            if (!oldTail.empty()) sink.rewriteAt(at, oldTail.data(), oldTail.size());
            sink.truncate(oldSize);
            for (const auto& [d, next] : autoNext)
                sink.rewriteAt(
                    dbf::kHeaderSize + d * dbf::kDescriptorSize + dbf::kDescriptorAutoNext,
                    header.headerBytes().data() + dbf::kHeaderSize + d * dbf::kDescriptorSize +
                        dbf::kDescriptorAutoNext,
                    4);
        } catch (const FoxProError&) {
        }
        throw;
    }
    table.keepDeletedList(count + 1);
}

}  // namespace quorvel::foxpro
