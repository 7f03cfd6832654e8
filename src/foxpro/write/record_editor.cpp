#include "foxpro/write/record_editor.h"

#include <cstring>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/file_names.h"
#include "foxpro/write/target_table.h"

namespace quorvel::foxpro {

namespace {

void setBit(std::uint8_t* record, const TableLayout& layout, int bit, bool on) {
    if (bit < 0 || layout.nullFlagsOffset < 0) return;
    std::uint8_t& byte = record[layout.nullFlagsOffset + bit / 8];
    auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    byte = on ? (byte | mask) : (byte & ~mask);
}

}  // namespace

RecordEditor::RecordEditor(const TargetTable& table) : table_(table) {}

RecordEditor::~RecordEditor() = default;

void RecordEditor::place(const FieldInfo& f, const EncodedField& e, std::uint8_t* record) {
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

void RecordEditor::placeBytes(const FieldInfo& f, std::string_view bytes, std::uint8_t* record) {
    const TableLayout& layout = table_.layout();
    setBit(record, layout, f.nullBit, false);
    setBit(record, layout, f.varLengthBit, false);
    std::memcpy(record + f.offset, bytes.data(), static_cast<std::size_t>(f.width));
}

void RecordEditor::finish() {
    if (!memo_) return;
    memo_->finish();
    memoSink_->close();
}

MemoWriter& RecordEditor::memo() {
    if (!memo_) {
        std::string path = table_.memoPath();
        if (path.empty()) throw FoxProError(kErrorFile, table_.name() + ": memo file not found");
        memoSink_ = std::make_unique<FileSink>(FileSink::openExisting(path, fileNameOf(path)));
        memo_ =
            std::make_unique<MemoWriter>(MemoWriter::openExisting(*memoSink_, table_.memoKind()));
    }
    return *memo_;
}

}  // namespace quorvel::foxpro
