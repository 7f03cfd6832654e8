#include "foxpro/sql/write_statements.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/source/new_table.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/field_encoder.h"
#include "foxpro/write/last_update.h"
#include "foxpro/write/name_lock.h"
#include "foxpro/write/record_editor.h"
#include "foxpro/write/table_copier.h"
#include "foxpro/write/target_table.h"

namespace quorvel::foxpro {

namespace {

bool exists(const std::string& path) {
    return platform::entryExists(path);
}

// The free table a write statement names.  For a container source it is a
// free table in the container's folder (where the copy puts new tables);
// a table of the container itself is never written.  A name the container
// lists is its table, as for every statement, even where a free table of
// that name lies beside the container.
std::string writeTargetPath(DataSource& source, const std::string& name) {
    source.prepareForWriting();
    if (source.namesContainerTable(name))
        throw FoxProError(kErrorInvalidArgument, name + ": belongs to the database container " +
                                                     fileNameOf(source.path()) +
                                                     " and is not written");
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

}  // namespace

// ---------------------------------------------------------------------------

void executeCopy(DataSource& source, const SelectStatement& statement, bool replace) {
    if (!statement.intoTable || statement.count)
        throw FoxProError(kErrorInvalidArgument, "unsupported statement: a copy needs INTO TABLE");
    const std::string& name = *statement.intoTable;
    NewTableTarget target = locateNewTable(source, name);
    std::unique_ptr<TableReader> table = source.openTable(statement.table);
    TableCopier copier(*table, statement.recno);
    // A code page that no header mark can name is said by a .cpg file.
    const std::string cpgText = copier.cpgText();

    if (source.holdsHiddenTable(name)) {
        // A NewTable's table: written under its hidden name, which only the
        // NewTable puts in place (and removes when it is not).
        const std::string tablePath = target.folder + "/" + target.tableFile;
        const std::string memoPath = target.folder + "/" + target.memoFile;
        const std::string cpgPath = target.folder + "/" + target.cpgFile;
        FileSink tableSink = FileSink::createNew(tablePath, target.tableFile);
        try {
            std::optional<FileSink> memoSink;
            if (copier.hasMemo()) memoSink.emplace(FileSink::createNew(memoPath, target.memoFile));
            if (!cpgText.empty()) {
                FileSink cpg = FileSink::createNew(cpgPath, target.cpgFile);
                cpg.append(cpgText + "\r\n");
                cpg.close();
            }
            copier.write(tableSink, memoSink ? &*memoSink : nullptr);
            if (memoSink) memoSink->close();
            tableSink.close();
        } catch (...) {
            for (const auto& path : {tablePath, memoPath, cpgPath}) platform::removeFile(path);
            throw;
        }
        return;
    }

    // The name is held from the check to the rename, so that what the check
    // saw is what the rename replaces.
    const auto lock = NameLock::take(target.folder, target.tableFile, AdvisoryLock::Wait::Yes);
    source.prepareForWriting();
    checkNewTable(source, name, target, replace, source.tableFiles(statement.table));
    NewFileSet files(target.folder);
    FileSink& tableSink = files.create(target.tableFile);
    FileSink* memoSink = copier.hasMemo() ? &files.create(target.memoFile) : nullptr;
    if (!cpgText.empty()) files.create(target.cpgFile).append(cpgText + "\r\n");
    copier.write(tableSink, memoSink);
    files.commit(target.existing);
}

std::unique_ptr<TargetTable> openWriteTarget(DataSource& source, const std::string& table) {
    return std::make_unique<TargetTable>(writeTargetPath(source, table), source.codePage());
}

void executeUpdate(DataSource& source, const UpdateStatement& statement) {
    executeUpdate(*openWriteTarget(source, statement.table), statement);
}

void executeInsert(DataSource& source, const InsertStatement& statement) {
    executeInsert(*openWriteTarget(source, statement.table), statement);
}

void executeUpdate(TargetTable& table, const UpdateStatement& statement) {
    const TableReader& header = table.header();
    int fieldIndex = findTargetField(header, statement.field);
    if (fieldIndex < 0)
        throw FoxProError(kErrorItemNotFound, table.name() + ": no field named " + statement.field);
    std::int64_t index = table.liveIndex(statement.recno);
    if (index < 0)
        throw FoxProError(kErrorNoCurrentRecord,
                          table.name() + ": no record " + std::to_string(statement.recno));
    const FieldInfo& field = header.field(fieldIndex);
    const Literal& literal = statement.value;
    // Bytes already in the field's form, into a held record: placed where
    // the buffer holds it, neither encoded nor copied out and back.
    if (table.buffered() && literal.kind == Literal::Kind::Stored && !field.memo &&
        literal.text.size() == static_cast<std::size_t>(field.width)) {
        RecordEditor(table).placeBytes(field, literal.text, table.heldRecord(index));
        table.touchDate();
        return;
    }
    EncodedField value = encodeField(field, table.textStorage(), statement.value, [&] {
        return table.name() + ", record " + std::to_string(statement.recno);
    });

    std::vector<std::uint8_t>& record = table.readRecordInto(index);
    RecordEditor editor(table);
    editor.place(field, value, record.data());
    editor.finish();
    table.writeRecord(index, record);
    table.touchDate();
    table.keepDeletedList(table.storedCount());
}

void executeInsert(TargetTable& table, const InsertStatement& statement) {
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
    const auto where = [&] {
        return table.name() + ", new record " + std::to_string(table.liveCount() + 1);
    };
    std::vector<EncodedField> encoded(static_cast<std::size_t>(fieldCount));
    std::vector<bool> given(static_cast<std::size_t>(fieldCount), false);
    // Values already in their field's form are placed as they are, later.
    std::vector<const std::string*> stored(static_cast<std::size_t>(fieldCount), nullptr);
    for (std::size_t k = 0; k < target.size(); ++k) {
        auto i = static_cast<std::size_t>(target[k]);
        const FieldInfo& field = header.field(target[k]);
        const Literal& value = statement.values[k];
        if (value.kind == Literal::Kind::Stored && !field.memo &&
            value.text.size() == static_cast<std::size_t>(field.width))
            stored[i] = &value.text;
        else
            encoded[i] = encodeField(field, storage, value, where);
        given[i] = true;
    }
    for (int i = 0; i < fieldCount; ++i)
        if (!given[static_cast<std::size_t>(i)])
            encoded[static_cast<std::size_t>(i)] = blankField(header.field(i));
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
    for (int i = 0; i < fieldCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (stored[at])
            editor.placeBytes(header.field(i), *stored[at], record.data());
        else
            editor.place(header.field(i), encoded[at], record.data());
    }
    editor.finish();
    record[rl] = dbf::kEndOfFile;

    std::uint8_t head[8];
    std::memcpy(head, header.headerBytes().data(), sizeof head);
    putToday(head + dbf::kHeaderUpdateDate);
    dbf::putLe32(head + dbf::kHeaderRecordCount, static_cast<std::uint32_t>(count + 1));
    std::uint64_t at = table.recordOffset(count);
    std::uint64_t oldSize = table.fileSize();
    if (table.buffered()) {
        table.appendRecord(record.data());
        table.appended(head, autoNext, std::max<std::uint64_t>(oldSize, at + record.size()));
        return;
    }

    // The new record goes where the records end (over the end-of-file
    // mark); a failure puts the old end back.
    FileSink& sink = table.sink();
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
    table.appended(head, autoNext, std::max<std::uint64_t>(oldSize, at + record.size()));
    table.keepDeletedList(count + 1);
}

}  // namespace quorvel::foxpro
