#include "foxpro/sql/recordset.h"

#include <variant>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/mapped_file.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/connection.h"
#include "foxpro/sql/sql.h"

namespace quorvel::foxpro {

namespace {
const char kItemNotFound[] =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";
const char kClosed[] = "Operation is not allowed when the object is closed.";
const char kNoCurrentRecord[] =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";
}  // namespace

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::open(const std::string& sql, Connection& connection, int /*cursorType*/,
                     int /*lockType*/) {
    // Static and dynamic cursors read alike here: nothing else changes the
    // table while a record set walks it, and locks matter only for writers.
    const Statement statement = parseStatement(sql);
    const auto* select = std::get_if<SelectStatement>(&statement);
    if (!select || select->count || select->intoTable)
        throw FoxProError(kErrorInvalidArgument,
                          "a record set opens only SELECT * FROM a table: " + sql);
    auto reader = connection.source().openTable(select->table);
    reader_ = std::move(reader);
    filtered_ = select->recno.has_value();
    filterPosition_ = filtered_ ? *select->recno : 0;
    filterIndex_ = filtered_ ? reader_->liveIndex(filterPosition_) : -1;
    moveFirst();
}

void Recordset::close() {
    reader_.reset();
}

bool Recordset::isOpen() const {
    return reader_ != nullptr;
}

void Recordset::requireOpen() const {
    if (!reader_) throw FoxProError(kErrorObjectClosed, kClosed);
}

void Recordset::requireRow() const {
    requireOpen();
    if (eof()) throw FoxProError(kErrorNoCurrentRecord, kNoCurrentRecord);
}

void Recordset::moveFirst() {
    requireOpen();
    if (filtered_) {
        current_ = filterIndex_ >= 0 ? filterIndex_ : reader_->storedCount();
        position_ = filterPosition_;
    } else {
        current_ = reader_->nextLive(0);
        position_ = 1;
        walkWhole_ = true;
        walkDeleted_.clear();
        noteSkipped(0);
    }
}

void Recordset::moveNext() {
    requireRow();
    if (filtered_) {
        current_ = reader_->storedCount();
    } else {
        const std::int64_t from = current_ + 1;
        current_ = reader_->nextLive(from);
        if (walkWhole_ && (current_ != from || current_ >= reader_->storedCount()))
            noteSkipped(from);
    }
    ++position_;
}

void Recordset::noteSkipped(std::int64_t from) {
    if (!walkWhole_) return;
    for (std::int64_t i = from; i < current_; ++i)
        walkDeleted_.push_back(static_cast<std::uint32_t>(i));
    if (current_ < reader_->storedCount()) return;
    // A walk from the first record to the end has seen every delete flag
    // (and the file unchanged at its end): a later lookup need not read
    // them again.
    walkWhole_ = false;
    reader_->adoptDeletedRecords(std::move(walkDeleted_));
    walkDeleted_ = {};
}

void Recordset::moveTo(std::int64_t position) {
    requireOpen();
    walkWhole_ = false;
    // A short way from the current row is walked: a lookup reads the delete
    // flags of the whole table the first time.
    constexpr std::int64_t kWalkLimit = 64;
    const std::int64_t stored = reader_->storedCount();
    if (filtered_) {
        current_ = position == filterPosition_ && filterIndex_ >= 0 ? filterIndex_ : stored;
    } else if (position == 1) {
        current_ = reader_->nextLive(0);
    } else if (current_ < stored && position > position_ && position - position_ <= kWalkLimit) {
        for (std::int64_t p = position_; p < position && current_ < stored; ++p)
            current_ = reader_->nextLive(current_ + 1);
    } else if (current_ < stored && position >= 1 && position < position_ &&
               position_ - position <= kWalkLimit) {
        for (std::int64_t p = position_; p > position;) {
            --current_;
            if (!reader_->isDeleted(current_)) --p;
        }
    } else {
        const std::int64_t index = position >= 1 ? reader_->liveIndex(position) : -1;
        // A walk that skips ahead by less than a release step gives back
        // what it passed, as a walk does; a jump further (a lookup in
        // another order) leaves the pages alone, since giving back a range
        // costs more than it saves when the next jump may land in it.
        if (index > current_ && current_ < stored &&
            static_cast<std::size_t>(index - current_) *
                    static_cast<std::size_t>(reader_->layout().recordLength) <=
                platform::kReleaseStep)
            reader_->walkedTo(index);
        current_ = index >= 0 ? index : stored;
    }
    position_ = position;
}

void Recordset::moveToStored(std::int64_t position, std::int64_t index) {
    requireOpen();
    walkWhole_ = false;
    current_ = index;
    position_ = position;
}

bool Recordset::eof() const {
    requireOpen();
    return current_ >= reader_->storedCount();
}

int Recordset::fieldCount() const {
    requireOpen();
    return reader_->fieldCount();
}

const FieldInfo& Recordset::field(int index) const {
    requireOpen();
    if (index < 0 || index >= reader_->fieldCount())
        throw FoxProError(kErrorItemNotFound, kItemNotFound);
    return reader_->field(index);
}

int Recordset::fieldIndex(std::string_view name) const {
    requireOpen();
    const int index = reader_->findField(name);
    if (index < 0) throw FoxProError(kErrorItemNotFound, kItemNotFound);
    return index;
}

Value Recordset::value(int index) const {
    requireOpen();
    if (index < 0 || index >= reader_->fieldCount())
        throw FoxProError(kErrorItemNotFound, kItemNotFound);
    if (current_ >= reader_->storedCount())
        throw FoxProError(kErrorNoCurrentRecord, kNoCurrentRecord);
    return reader_->valueAt(current_, index);
}

Value Recordset::value(std::string_view name) const {
    return value(fieldIndex(name));
}

std::span<const std::uint8_t> Recordset::rawRecord() const {
    requireRow();
    return reader_->storedRecord(current_);
}

const TableLayout& Recordset::layout() const {
    requireOpen();
    return reader_->layout();
}

std::int64_t Recordset::position() const {
    requireRow();
    return position_;
}

const TableReader& Recordset::table() const {
    requireOpen();
    return *reader_;
}

}  // namespace quorvel::foxpro
