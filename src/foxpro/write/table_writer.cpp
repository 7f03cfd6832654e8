#include "foxpro/write/table_writer.h"

#include <algorithm>
#include <cstring>

#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/write_behind.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/last_update.h"
#include "foxpro/write/value_literal.h"

namespace quorvel::foxpro {

namespace {

bool isVarLength(char letter) {
    return letter == 'V' || letter == 'Q';
}

bool memoLetter(char letter) {
    return letter == 'M' || letter == 'G' || letter == 'W' || letter == 'P';
}

// Whether the table may keep an older type: a program that reads only
// that format must still open it.  Memo fields keep it where its memo file
// is one written here: an .fpt (FoxPro 2.x) or a dBase III .dbt.
bool keepsOlderType(const std::vector<FieldToWrite>& fields, std::uint8_t fileType) {
    const dbf::FileTypeInfo* type = dbf::fileTypeInfo(fileType);
    if (type == nullptr || type->visualFoxPro) return false;
    const bool memos = type->memo == dbf::MemoKind::Fpt || type->memo == dbf::MemoKind::Dbt3;
    return std::all_of(fields.begin(), fields.end(), [&](const FieldToWrite& f) {
        const char l = f.info.letter;
        return (l == 'C' || l == 'N' || l == 'F' || l == 'D' || l == 'L' || (l == 'M' && memos)) &&
               !f.info.nullable && !f.info.binary && !f.autoFlag;
    });
}

bool anyMemoField(const std::vector<FieldToWrite>& fields) {
    return std::any_of(fields.begin(), fields.end(),
                       [](const FieldToWrite& f) { return memoLetter(f.info.letter); });
}

}  // namespace

dbf::MemoKind TableWriter::memoKindOf(const std::vector<FieldToWrite>& fields,
                                      const TableStyle& style) {
    if (!anyMemoField(fields)) return dbf::MemoKind::None;
    if (!keepsOlderType(fields, style.fileType)) return dbf::MemoKind::Fpt;
    return dbf::fileTypeInfo(style.fileType)->memo;
}

EncodedField encodeValue(const FieldInfo& field, const TextStorage& storage, const Value& value,
                         const std::string& where) {
    if (value.isNull() && !field.nullable) return blankField(field);
    return encodeField(field, storage, literalOfValue(value), where);
}

TableWriter::TableWriter(const std::string& tablePath, const std::string& memoPath,
                         std::string name, const std::vector<FieldToWrite>& fields,
                         const TableStyle& style)
    : name_(std::move(name)),
      storage_{style.codePage, true},
      codePage_(style.codePage),
      older_(keepsOlderType(fields, style.fileType)) {
    // Offsets in field order, then _NullFlags; bits as Visual FoxPro hands
    // them out: a varlength bit before a null bit, field by field.
    int offset = 1, bits = 0;
    bool anyMemo = false;
    for (const auto& f : fields) {
        FieldInfo info = f.info;
        info.memo = memoLetter(info.letter);
        if (info.memo) info.width = older_ ? dbf::kMemoRefTextWidth : dbf::kMemoRefBinaryWidth;
        anyMemo = anyMemo || info.memo;
        info.offset = offset;
        offset += info.width;
        info.varLengthBit = isVarLength(info.letter) ? bits++ : -1;
        info.nullBit = info.nullable ? bits++ : -1;
        fields_.push_back(info);
    }
    const int nullWidth = (bits + 7) / 8;
    if (nullWidth > 0) nullFlagsOffset_ = offset;
    const int recordLength = offset + nullWidth;
    if (recordLength > 0xFFFF) throw FoxProError(kErrorFile, name_ + ": records too long");

    const std::size_t descriptors = fields_.size() + (nullWidth > 0 ? 1 : 0);
    const std::size_t length = dbf::kHeaderSize + descriptors * dbf::kDescriptorSize + 1 +
                               (older_ ? 0 : dbf::kBacklinkSize);
    if (length > 0xFFFF) throw FoxProError(kErrorFile, name_ + ": too many fields");
    header_.assign(length, 0);
    // Without memo fields an older table is a dBase III one, whatever memo
    // file its type named.
    const dbf::FileTypeInfo* type = dbf::fileTypeInfo(style.fileType);
    header_[dbf::kHeaderFileType] =
        dbf::isVisualFoxPro(style.fileType) ? style.fileType
        : older_
            ? (anyMemo || type->memo == dbf::MemoKind::None ? style.fileType : std::uint8_t{0x03})
            : std::uint8_t{0x30};
    putToday(&header_[dbf::kHeaderUpdateDate]);
    dbf::putLe16(&header_[dbf::kHeaderLength], static_cast<std::uint16_t>(length));
    dbf::putLe16(&header_[dbf::kHeaderRecordLength], static_cast<std::uint16_t>(recordLength));
    std::uint8_t flags =
        style.tableFlags & static_cast<std::uint8_t>(~(dbf::kTableFlagCdx | dbf::kTableFlagMemo |
                                                       dbf::kTableFlagContainer));
    if (anyMemo) flags |= dbf::kTableFlagMemo;
    header_[dbf::kHeaderTableFlags] = older_ ? 0 : flags;
    header_[dbf::kHeaderCodePageMark] = older_ && style.unmarked ? 0 : style.codePageMark;
    std::size_t at = dbf::kHeaderSize;
    auto descriptor = [&](const std::string& fieldName, char letter, int fieldOffset, int width,
                          int decimals, std::uint8_t fieldFlags) {
        std::uint8_t* d = &header_[at];
        std::memcpy(d, fieldName.data(), std::min<std::size_t>(fieldName.size(), 10));
        d[dbf::kDescriptorType] = static_cast<std::uint8_t>(letter);
        // Older types call these bytes reserved; FoxPro 2.x stores the
        // offset there as Visual FoxPro does, and a right one misleads no one.
        dbf::putLe32(d + dbf::kDescriptorOffset, static_cast<std::uint32_t>(fieldOffset));
        d[dbf::kDescriptorLength] = static_cast<std::uint8_t>(width & 0xFF);
        d[dbf::kDescriptorDecimals] =
            static_cast<std::uint8_t>(letter == 'C' && width > 255 ? width >> 8 : decimals);
        d[dbf::kDescriptorFlags] = fieldFlags;
        at += dbf::kDescriptorSize;
        return d;
    };
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const FieldInfo& f = fields_[i];
        std::uint8_t fieldFlags =
            (f.nullable ? dbf::kFieldFlagNullable : 0) | (f.binary ? dbf::kFieldFlagBinary : 0);
        if (fields[i].autoFlag) fieldFlags |= dbf::kFieldFlagAutoIncrement;
        std::uint8_t* d = descriptor(f.name, f.letter, f.offset, f.width, f.decimals, fieldFlags);
        if (fields[i].autoFlag)
            std::memcpy(d + dbf::kDescriptorAutoNext, fields[i].autoIncrement, 5);
    }
    if (nullWidth > 0)
        descriptor(dbf::kNullFlagsName, dbf::kNullFlagsLetter, nullFlagsOffset_, nullWidth, 0,
                   dbf::kFieldFlagSystem | dbf::kFieldFlagBinary);
    header_[at] = dbf::kDescriptorTerminator;

    blank_.assign(static_cast<std::size_t>(recordLength), 0);
    blank_[0] = dbf::kRecordLive;
    record_ = blank_;
    for (std::size_t i = 0; i < fields_.size(); ++i)
        putEncoded(static_cast<int>(i), blankField(fields_[i]));
    blank_ = record_;

    table_ = std::make_unique<FileSink>(FileSink::createNew(tablePath, name_));
    table_->append(header_.data(), header_.size());
    if (anyMemo) {
        memoSink_ = std::make_unique<FileSink>(FileSink::createNew(memoPath, name_));
        memo_ = std::make_unique<MemoWriter>(
            memoKindOf(fields, style) == dbf::MemoKind::Dbt3
                ? MemoWriter::createDbt3(*memoSink_)
                : MemoWriter::createFpt(*memoSink_, style.memoBlockSize));
    }
}

TableWriter::~TableWriter() = default;

std::string TableWriter::where() const {
    return name_ + ", record " + std::to_string(count_ + 1);
}

void TableWriter::setBit(int bit, bool on) {
    if (bit < 0 || nullFlagsOffset_ < 0) return;
    std::uint8_t& byte = record_[static_cast<std::size_t>(nullFlagsOffset_ + bit / 8)];
    const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    byte = on ? (byte | mask) : (byte & ~mask);
}

void TableWriter::beginRecord() {
    record_ = blank_;
}

void TableWriter::put(int field, const Value& value) {
    const FieldInfo& f = fields_[static_cast<std::size_t>(field)];
    putEncoded(field, encodeValue(f, storage_, value, where()));
}

void TableWriter::putEncoded(int field, const EncodedField& e) {
    const FieldInfo& f = fields_[static_cast<std::size_t>(field)];
    setBit(f.nullBit, e.null);
    setBit(f.varLengthBit, e.varShort);
    if (f.memo) {
        std::uint32_t block = 0;
        if (!e.null && !e.memoData.empty() && memo_) block = memo_->add(e.memoData, e.memoType);
        putMemoRef(record_.data() + f.offset, f.width, block);
    } else {
        std::memcpy(record_.data() + f.offset, e.bytes.data(), static_cast<std::size_t>(f.width));
    }
}

bool TableWriter::copies(int field, const TableReader& source, int sourceField) const {
    const FieldInfo& f = fields_[static_cast<std::size_t>(field)];
    const FieldInfo& s = source.field(sourceField);
    const bool text = f.letter == 'C' || f.letter == 'V' || f.letter == 'M';
    return f.letter == s.letter && f.width == s.width && f.decimals == s.decimals &&
           f.nullable == s.nullable && f.binary == s.binary &&
           (older_ || dbf::isVisualFoxPro(source.fileType())) &&
           (!text || source.layout().codePage == codePage_);
}

void TableWriter::copy(int field, const TableReader& source, std::span<const std::uint8_t> record,
                       int sourceField) {
    const FieldInfo& f = fields_[static_cast<std::size_t>(field)];
    const FieldInfo& s = source.field(sourceField);
    const int flags = source.layout().nullFlagsOffset;
    auto bit = [&](int b) {
        return b >= 0 && flags >= 0 &&
               ((record[static_cast<std::size_t>(flags + b / 8)] >> (b % 8)) & 1) != 0;
    };
    const bool null = bit(s.nullBit);
    setBit(f.nullBit, null);
    setBit(f.varLengthBit, bit(s.varLengthBit));
    if (!f.memo) {
        std::memcpy(record_.data() + f.offset, record.data() + s.offset,
                    static_cast<std::size_t>(f.width));
        return;
    }
    std::uint32_t block = 0;
    if (!null && source.memoBlock(record, sourceField) != 0) {
        const MemoContent content = source.memo(record, sourceField);
        if (content.present && !content.data.empty() && memo_)
            block = memo_->add(content.data, content.type);
    }
    putMemoRef(record_.data() + f.offset, f.width, block);
}

bool TableWriter::copiesWhole(const TableReader& source) const {
    const TableLayout& layout = source.layout();
    if (memo_ || layout.recordLength != static_cast<int>(blank_.size()) ||
        layout.nullFlagsOffset != nullFlagsOffset_ || layout.fields.size() != fields_.size())
        return false;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const FieldInfo& f = fields_[i];
        const FieldInfo& s = layout.fields[i];
        if (!copies(static_cast<int>(i), source, static_cast<int>(i)) || f.offset != s.offset ||
            f.nullBit != s.nullBit || f.varLengthBit != s.varLengthBit)
            return false;
    }
    return true;
}

void TableWriter::copyRecord(std::span<const std::uint8_t> record) {
    std::memcpy(record_.data() + 1, record.data() + 1, record_.size() - 1);
}

namespace {

// Records go out once this many pieces or staged bytes are waiting: a few
// large writes instead of one per record.
constexpr std::size_t kMaxPieces = 512;
constexpr std::size_t kMaxStaged = 1u << 20;
// Written pieces are handed to the disk in stretches of this size.
constexpr std::uint64_t kWriteBehind = 8u << 20;

}  // namespace

void TableWriter::counted() {
    if (count_ == 0xFFFFFFFFu) throw FoxProError(kErrorFile, name_ + ": the table is full");
    ++count_;
}

void TableWriter::endRecord() {
    counted();
    if (!pieces_.empty() && !pieces_.back().data &&
        pieces_.back().offset + pieces_.back().size == staged_.size())
        pieces_.back().size += record_.size();
    else
        pieces_.push_back({nullptr, staged_.size(), record_.size()});
    staged_.insert(staged_.end(), record_.begin(), record_.end());
    if (pieces_.size() >= kMaxPieces || staged_.size() >= kMaxStaged) flushPieces();
}

void TableWriter::appendStored(std::span<const std::uint8_t> record) {
    if (record[0] != dbf::kRecordLive) {
        // A live record flagged otherwise is written with the usual flag.
        beginRecord();
        copyRecord(record);
        endRecord();
        return;
    }
    counted();
    if (!pieces_.empty() && pieces_.back().data &&
        pieces_.back().data + pieces_.back().size == record.data())
        pieces_.back().size += record.size();
    else
        pieces_.push_back({record.data(), 0, record.size()});
    if (pieces_.size() >= kMaxPieces) flushPieces();
}

void TableWriter::flushPieces() {
    std::vector<platform::WritePiece> out;
    out.reserve(pieces_.size());
    for (const Piece& p : pieces_)
        out.push_back({p.data ? static_cast<const void*>(p.data)
                              : static_cast<const void*>(staged_.data() + p.offset),
                       p.size});
    if (!out.empty()) table_->appendPieces(out.data(), out.size());
    pieces_.clear();
    staged_.clear();
    // What is written goes on to the disk while the rest is made.
    const std::uint64_t end = table_->appended();
    if (end - writtenBehind_ >= kWriteBehind) {
        platform::startWriting(table_->handle(), writtenBehind_, end - writtenBehind_);
        writtenBehind_ = end;
    }
}

void TableWriter::finish() {
    flushPieces();
    const std::uint8_t eof = dbf::kEndOfFile;
    table_->append(&eof, 1);
    std::uint8_t count[4];
    dbf::putLe32(count, count_);
    table_->writeAt(dbf::kHeaderRecordCount, count, sizeof count);
    table_->sync();
    table_->close();
    if (memo_) {
        memo_->finish();
        memoSink_->sync();
        memoSink_->close();
    }
}

}  // namespace quorvel::foxpro
