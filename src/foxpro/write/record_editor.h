#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "foxpro/write/atomic_file.h"
#include "foxpro/write/field_encoder.h"
#include "foxpro/write/memo_writer.h"

namespace quorvel::foxpro {

class TargetTable;

// Puts encoded values into a record of a target table; memo contents go to
// the table's memo file (opened on first use, throws FoxProError "memo file
// not found" when there is none).  finish() completes the memo file.
class RecordEditor {
  public:
    explicit RecordEditor(const TargetTable& table);
    ~RecordEditor();
    RecordEditor(const RecordEditor&) = delete;
    RecordEditor& operator=(const RecordEditor&) = delete;

    void place(const FieldInfo& f, const EncodedField& e, std::uint8_t* record);
    // The same for a value that is not null and already in the field's
    // form (exactly its width, not a memo): what encodeField gives for a
    // Literal::Kind::Stored, without building it.
    void placeBytes(const FieldInfo& f, std::string_view bytes, std::uint8_t* record);
    void finish();

  private:
    MemoWriter& memo();

    const TargetTable& table_;
    std::unique_ptr<FileSink> memoSink_;
    std::unique_ptr<MemoWriter> memo_;
};

}  // namespace quorvel::foxpro
