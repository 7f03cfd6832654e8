#include "foxpro/write_statements.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <set>

#include "foxpro/atomic_file.h"
#include "foxpro/data_source.h"
#include "foxpro/dbf_format.h"
#include "foxpro/field_encoder.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/memo_writer.h"
#include "foxpro/table_reader.h"

namespace quorvel::foxpro {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

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
    struct stat sa {
    }, sb{};
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
    if (name.back() == '.' || name.back() == ' ' || name.front() == ' ')
        refuse("the name starts or ends with a blank or a point");
    if (name.size() + 4 > NAME_MAX) refuse("the name is too long for a file name");
}

// ---------------------------------------------------------------------------
// Positions of live records.  RECNO() = n means the n-th live record, which
// takes a scan of the delete flags up to n.  A batch of statements against
// one table would rescan it every time, so the stored indices of its
// deleted records are kept per file, valid while the file's identity, size
// and modification time are those seen when the list was made.

struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileStamp{
        st.st_dev, st.st_ino, st.st_size,
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

struct DeletedList {
    FileStamp stamp;
    std::int64_t storedCount = 0;
    std::vector<std::int64_t> deleted;  // ascending stored indices
};

std::mutex gDeletedMutex;
std::map<std::string, DeletedList> gDeleted;

// Stored index of the n-th live record, -1 when there is none.
std::int64_t liveRecordIndex(const TableReader& reader, std::int64_t n) {
    if (n <= 0) return -1;
    auto stamp = stampOf(reader.path());
    std::lock_guard lock(gDeletedMutex);
    auto it = gDeleted.find(reader.path());
    if (!stamp || it == gDeleted.end() || !(it->second.stamp == *stamp) ||
        it->second.storedCount != reader.storedCount()) {
        DeletedList list;
        list.storedCount = reader.storedCount();
        for (std::int64_t i = 0; i < list.storedCount; ++i) {
            std::int64_t live = reader.nextLive(i);
            for (; i < live; ++i) list.deleted.push_back(i);
        }
        if (!stamp) return reader.liveIndex(n);
        list.stamp = *stamp;
        if (gDeleted.size() > 64) gDeleted.clear();
        it = gDeleted.insert_or_assign(reader.path(), std::move(list)).first;
    }
    const auto& list = it->second;
    std::int64_t index = n - 1;
    for (std::int64_t d : list.deleted) {
        if (d > index) break;
        ++index;
    }
    return index < list.storedCount ? index : -1;
}

// After a statement of ours changed the file (no delete flag changed), the
// list stays right for its new stamp.
void refreshDeletedList(const std::string& path, std::int64_t storedCount) {
    auto stamp = stampOf(path);
    std::lock_guard lock(gDeletedMutex);
    auto it = gDeleted.find(path);
    if (it == gDeleted.end()) return;
    if (!stamp) {
        gDeleted.erase(it);
        return;
    }
    it->second.stamp = *stamp;
    it->second.storedCount = storedCount;
}

// ---------------------------------------------------------------------------
// Targets of UPDATE and INSERT.

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

void checkWritable(const TableReader& table) {
    if (!table.backlink().empty() || (table.tableFlags() & dbf::kTableFlagContainer))
        throw FoxProError(kErrorInvalidArgument, table.fileName() +
                                                     ": belongs to a database container (" +
                                                     table.backlink() + ") and is not written");
    if (table.tableFlags() & dbf::kTableFlagCdx)
        throw FoxProError(
            kErrorInvalidArgument,
            table.fileName() + ": has a structural index (.cdx) that would go stale; not written");
    // A damaged table is reported, not repaired behind the user's back.
    std::uint32_t headerCount = dbf::le32(table.headerBytes().data() + dbf::kHeaderRecordCount);
    if (headerCount != table.storedCount())
        throw FoxProError(kErrorFile, table.fileName() + ": header says " +
                                          std::to_string(headerCount) +
                                          " records but the file holds " +
                                          std::to_string(table.storedCount()) + "; not written");
}

TextStorage textStorageOf(const TableReader& table) {
    return TextStorage{table.layout().codePage, table.codePageConvertible()};
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
    explicit RecordEditor(const TableReader& table) : table_(table) {}

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
                throw FoxProError(kErrorFile, table_.fileName() + ": memo file not found");
            const auto* type = dbf::fileTypeInfo(table_.fileType());
            memoSink_ = std::make_unique<FileSink>(FileSink::openExisting(path, fileNameOf(path)));
            memo_ = std::make_unique<MemoWriter>(
                MemoWriter::openExisting(*memoSink_, type ? type->memo : dbf::MemoKind::None));
        }
        return *memo_;
    }

    const TableReader& table_;
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
    int sourceWidth = 0;
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
        std::int64_t count = 0;
        for (std::int64_t i = src_.nextLive(first); i < last; i = src_.nextLive(i + 1)) ++count;
        if (count > 0xFFFFFFFFll)
            throw FoxProError(kErrorFile, src_.fileName() + ": too many records to copy");

        std::vector<std::uint8_t> header = buildHeader(static_cast<std::uint32_t>(count));
        table.append(header.data(), header.size());

        const auto rl = static_cast<std::size_t>(src_.layout().recordLength);
        if (sameRecords_ && !memo) {
            // Stream runs of live records straight from the source.
            std::int64_t i = src_.nextLive(first);
            while (i < last) {
                std::int64_t end = i + 1;
                while (end < last && !src_.isDeleted(end)) ++end;
                table.append(src_.storedRecord(i).data(), static_cast<std::size_t>(end - i) * rl);
                i = src_.nextLive(end);
            }
        } else {
            std::vector<std::uint8_t> out(static_cast<std::size_t>(recordLength_));
            for (std::int64_t i = src_.nextLive(first); i < last; i = src_.nextLive(i + 1)) {
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
        }
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
            f.sourceWidth = d.width;
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
    if (lower(targetFile.substr(targetFile.size() < 4 ? 0 : targetFile.size() - 4)) != ".dbf")
        target += ".dbf", targetFile += ".dbf";
    auto refuse = [&](const std::string& why) {
        throw FoxProError(kErrorInvalidArgument, "cannot create table " + name + ": " + why);
    };
    if (target == table->path() || sameFile(target, table->path()) ||
        lower(name) == lower(statement.table))
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
    std::string path = writeTargetPath(source, statement.table);
    TableReader table(path);
    checkWritable(table);
    int fieldIndex = table.findField(statement.field);
    if (fieldIndex < 0)
        throw FoxProError(kErrorItemNotFound,
                          table.fileName() + ": no field named " + statement.field);
    std::int64_t index = liveRecordIndex(table, statement.recno);
    if (index < 0)
        throw FoxProError(kErrorNoCurrentRecord,
                          table.fileName() + ": no record " + std::to_string(statement.recno) +
                              " (the table has " + std::to_string(table.liveCount()) + " records)");
    const FieldInfo& field = table.field(fieldIndex);
    EncodedField value =
        encodeField(field, textStorageOf(table), statement.value, table.fileName());

    auto stored = table.storedRecord(index);
    std::vector<std::uint8_t> record(stored.begin(), stored.end());
    RecordEditor editor(table);
    editor.place(field, value, record.data());
    editor.finish();

    FileSink sink = FileSink::openExisting(path, table.fileName());
    std::uint64_t at =
        static_cast<std::uint64_t>(table.headerLength()) +
        static_cast<std::uint64_t>(index) * static_cast<std::uint64_t>(table.layout().recordLength);
    sink.writeAt(at, record.data(), record.size());
    std::uint8_t date[3];
    putToday(date);
    sink.writeAt(dbf::kHeaderUpdateDate, date, 3);
    sink.close();
    refreshDeletedList(path, table.storedCount());
}

void executeInsert(DataSource& source, const InsertStatement& statement) {
    std::string path = writeTargetPath(source, statement.table);
    TableReader table(path);
    checkWritable(table);
    const TableLayout& layout = table.layout();
    const int fieldCount = table.fieldCount();

    // Which field each value goes to.
    std::vector<int> target;
    if (statement.columns.empty()) {
        if (static_cast<int>(statement.values.size()) != fieldCount)
            throw FoxProError(kErrorInvalidArgument,
                              table.fileName() + ": " + std::to_string(statement.values.size()) +
                                  " values for " + std::to_string(fieldCount) + " fields");
        for (int i = 0; i < fieldCount; ++i) target.push_back(i);
    } else {
        if (statement.columns.size() != statement.values.size())
            throw FoxProError(kErrorInvalidArgument,
                              table.fileName() + ": " + std::to_string(statement.values.size()) +
                                  " values for " + std::to_string(statement.columns.size()) +
                                  " columns");
        std::set<int> seen;
        for (const auto& column : statement.columns) {
            int i = table.findField(column);
            if (i < 0)
                throw FoxProError(kErrorItemNotFound,
                                  table.fileName() + ": no field named " + column);
            if (!seen.insert(i).second)
                throw FoxProError(kErrorInvalidArgument,
                                  table.fileName() + ": field " + column + " is listed twice");
            target.push_back(i);
        }
    }

    // Every value is converted before anything is written.
    TextStorage storage = textStorageOf(table);
    std::vector<EncodedField> encoded(static_cast<std::size_t>(fieldCount));
    std::vector<bool> given(static_cast<std::size_t>(fieldCount), false);
    for (int i = 0; i < fieldCount; ++i)
        encoded[static_cast<std::size_t>(i)] = blankField(table.field(i));
    for (std::size_t k = 0; k < target.size(); ++k) {
        auto i = static_cast<std::size_t>(target[k]);
        encoded[i] =
            encodeField(table.field(target[k]), storage, statement.values[k], table.fileName());
        given[i] = true;
    }
    // Autoincrement fields not given take the next value, which advances.
    std::vector<std::pair<int, std::uint32_t>> autoNext;  // descriptor index, new next value
    const auto& descriptors = table.descriptors();
    {
        int visible = 0;
        for (std::size_t d = 0; d < descriptors.size(); ++d) {
            const auto& desc = descriptors[d];
            if (desc.letter == dbf::kNullFlagsLetter) continue;
            int i = visible++;
            if ((desc.flags & dbf::kFieldFlagAutoIncrement) != dbf::kFieldFlagAutoIncrement ||
                desc.letter != 'I' || given[static_cast<std::size_t>(i)])
                continue;
            auto& e = encoded[static_cast<std::size_t>(i)];
            e.null = false;
            e.bytes.assign(4, '\0');
            dbf::putLe32(reinterpret_cast<std::uint8_t*>(e.bytes.data()), desc.autoNext);
            autoNext.emplace_back(static_cast<int>(d), desc.autoNext + desc.autoStep);
        }
    }

    const auto rl = static_cast<std::size_t>(layout.recordLength);
    std::vector<std::uint8_t> record(rl + 1, 0);
    record[0] = dbf::kRecordLive;
    for (const auto& d : descriptors)
        if (d.letter == dbf::kNullFlagsLetter)
            std::memset(record.data() + d.offset, 0, static_cast<std::size_t>(d.width));
    std::int64_t count = table.storedCount();
    if (count >= 0xFFFFFFFFll)
        throw FoxProError(kErrorFile, table.fileName() + ": the table is full");

    RecordEditor editor(table);
    for (int i = 0; i < fieldCount; ++i)
        editor.place(table.field(i), encoded[static_cast<std::size_t>(i)], record.data());
    editor.finish();
    record[rl] = dbf::kEndOfFile;

    // The new record goes where the records end (over the end-of-file
    // mark); a failure puts the old end back.
    FileSink sink = FileSink::openExisting(path, table.fileName());
    std::uint64_t at =
        static_cast<std::uint64_t>(table.headerLength()) + static_cast<std::uint64_t>(count) * rl;
    std::uint64_t oldSize = sink.size();
    std::vector<std::uint8_t> oldTail;
    if (oldSize > at) {
        oldTail.resize(static_cast<std::size_t>(std::min<std::uint64_t>(oldSize - at, rl + 1)));
        sink.readAt(at, oldTail.data(), oldTail.size());
    }
    try {
        sink.writeAt(at, record.data(), record.size());
        std::uint8_t header[8];
        sink.readAt(0, header, sizeof header);
        putToday(header + dbf::kHeaderUpdateDate);
        dbf::putLe32(header + dbf::kHeaderRecordCount, static_cast<std::uint32_t>(count + 1));
        for (const auto& [d, next] : autoNext) {
            std::uint8_t word[4];
            dbf::putLe32(word, next);
            sink.writeAt(dbf::kHeaderSize + static_cast<std::size_t>(d) * dbf::kDescriptorSize +
                             dbf::kDescriptorAutoNext,
                         word, 4);
        }
        sink.writeAt(0, header, sizeof header);
        sink.close();
    } catch (const FoxProError&) {
        try {
            if (!oldTail.empty()) sink.rewriteAt(at, oldTail.data(), oldTail.size());
            sink.truncate(oldSize);
        } catch (const FoxProError&) {
        }
        throw;
    }
    refreshDeletedList(path, count + 1);
}

}  // namespace quorvel::foxpro
