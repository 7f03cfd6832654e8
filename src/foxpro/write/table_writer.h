#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "foxpro/format/field_info.h"
#include "foxpro/format/value.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/field_encoder.h"
#include "foxpro/write/memo_writer.h"

namespace quorvel::foxpro {

class TableReader;

// How the header of a table written field by field looks: the file type,
// flags and code page of the table it is made after.
struct TableStyle {
    // A Visual FoxPro type, or an older one (dBase III, FoxBASE, FoxPro 2.x)
    // kept when every field is one a dBase III table holds (C, N, F, D, L,
    // no memo, no null); else 0x30.
    std::uint8_t fileType = 0x30;
    std::uint8_t tableFlags = 0;  // the memo flag is set by the fields, the index flag never
    std::uint8_t codePageMark = 0x03;
    bool unmarked = false;  // the table had no mark: an older type written keeps none
    int codePage = 1252;
    std::uint16_t memoBlockSize = dbf::kFptDefaultBlockSize;
};

// One field to write: its definition (name, letter, width, decimals,
// nullable, binary; offsets and bits are the writer's) and, for an
// autoincrement field, its counter.
struct FieldToWrite {
    FieldInfo info;
    std::uint8_t autoIncrement[5] = {0, 0, 0, 0, 0};  // next value (LE32) and step, when flagged
    bool autoFlag = false;
};

// Writes a new free Visual FoxPro table record by record: each record
// starts with every field blank (null where nullable) and takes values
// field by field, as encoded values or copied from a field of the same
// definition of a table that is read; memos go to an .fpt beside it.
// finish() writes the count and the end; until then the files are not a
// table.  Throws FoxProError naming the table, record and field.
class TableWriter {
  public:
    // tablePath and memoPath: files that must not exist yet; name is what
    // messages call the table.  The memo file is of memoKindOf(fields, style).
    TableWriter(const std::string& tablePath, const std::string& memoPath, std::string name,
                const std::vector<FieldToWrite>& fields, const TableStyle& style);
    ~TableWriter();

    // The memo file a table of these fields and style gets: None without
    // memo fields, Dbt3 for a dBase III table that keeps its type, else Fpt.
    static dbf::MemoKind memoKindOf(const std::vector<FieldToWrite>& fields,
                                    const TableStyle& style);

    // The fields as written, offsets and bits set.
    const std::vector<FieldInfo>& fields() const { return fields_; }
    const TextStorage& storage() const { return storage_; }

    void beginRecord();
    // The value into field; null into a field that holds none is its blank.
    void put(int field, const Value& value);
    void putEncoded(int field, const EncodedField& value);
    // Field sourceField of record (stored bytes) of source, whose definition
    // and code page are those of field: its bytes, bits and memo as stored.
    void copy(int field, const TableReader& source, std::span<const std::uint8_t> record,
              int sourceField);
    // Whether copy() may take that field of source for field.
    bool copies(int field, const TableReader& source, int sourceField) const;
    void endRecord();
    // Whether the records of source are this table's records byte for byte
    // (same fields at the same places, no memo), and one of them written so.
    bool copiesWhole(const TableReader& source) const;
    void copyRecord(std::span<const std::uint8_t> record);
    // A whole record of such a source (copiesWhole) written as it is
    // stored, without beginRecord/endRecord: records next to each other in
    // the source go out as one piece.  The bytes must stay where they are
    // until finish().
    void appendStored(std::span<const std::uint8_t> record);

    void finish();
    bool hasMemo() const { return memo_ != nullptr; }

  private:
    std::string where() const;
    void setBit(int bit, bool on);
    void counted();
    void flushPieces();

    // Records not written yet, in order: pieces of a source's stored bytes
    // (data) or of staged_ (data null, at offset).
    struct Piece {
        const std::uint8_t* data = nullptr;
        std::size_t offset = 0;
        std::size_t size = 0;
    };
    std::vector<Piece> pieces_;
    std::vector<std::uint8_t> staged_;
    std::uint64_t writtenBehind_ = 0;  // the disk was asked to take the file up to here

    std::string name_;
    std::vector<FieldInfo> fields_;
    TextStorage storage_;
    int codePage_ = 0;
    int nullFlagsOffset_ = -1;
    bool older_ = false;  // an older type's header: no backlink, no _NullFlags
    std::vector<std::uint8_t> header_;
    std::vector<std::uint8_t> blank_;
    std::vector<std::uint8_t> record_;
    std::unique_ptr<FileSink> table_;
    std::unique_ptr<FileSink> memoSink_;
    std::unique_ptr<MemoWriter> memo_;
    std::uint32_t count_ = 0;
};

// The encoded form of a value for a field, null into a field that holds
// none as its blank.  Throws as encodeField does.
EncodedField encodeValue(const FieldInfo& field, const TextStorage& storage, const Value& value,
                         const std::string& where);

}  // namespace quorvel::foxpro
