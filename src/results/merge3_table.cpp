#include "results/merge3_table.h"

#include <algorithm>
#include <array>
#include <memory>
#include <span>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/source/new_table.h"
#include "foxpro/text/code_page_name.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/table_writer.h"
#include "foxpro/write/temporary_files.h"
#include "frame/event_pace.h"

namespace quorvel::results {

namespace {

using compare::MergeSide;

std::vector<foxpro::FieldToWrite> fieldsOf(const compare::Merge3Result& result,
                                           const Merge3Inputs& inputs) {
    std::vector<foxpro::FieldToWrite> fields;
    for (const auto& f : result.fields) {
        if (f.dropped) continue;
        foxpro::FieldToWrite w;
        w.info = f.info;
        const int by = static_cast<int>(f.definedBy);
        const foxpro::TableReader& reader = *inputs.side[by];
        // The name as the header stores it (a container's long name is
        // for the container), and an autoincrement field's counter as its
        // table had it.
        int visible = 0;
        for (const auto& d : reader.descriptors()) {
            if (d.letter == foxpro::dbf::kNullFlagsLetter || visible++ != f.index[by]) continue;
            w.info.name = d.name;
            if (d.letter == 'I' && (d.flags & foxpro::dbf::kFieldFlagAutoIncrement) ==
                                       foxpro::dbf::kFieldFlagAutoIncrement) {
                w.autoFlag = true;
                std::copy(d.raw.begin() + foxpro::dbf::kDescriptorAutoNext,
                          d.raw.begin() + foxpro::dbf::kDescriptorAutoStep + 1, w.autoIncrement);
            }
        }
        fields.push_back(w);
    }
    return fields;
}

foxpro::TableStyle styleOf(const foxpro::TableReader& ours) {
    foxpro::TableStyle style;
    style.fileType = ours.fileType();
    style.tableFlags = ours.tableFlags();
    style.codePage = ours.layout().codePage;
    style.codePageMark = ours.codePageOrigin() == foxpro::CodePageOrigin::Mark
                             ? ours.codePageMark()
                             : foxpro::dbf::markOfCodePage(style.codePage);
    style.unmarked = ours.codePageOrigin() == foxpro::CodePageOrigin::Default;
    const int block = ours.memoBlockSize();
    if (block > 0 && block < 65536) style.memoBlockSize = static_cast<std::uint16_t>(block);
    return style;
}

// The records, field by field from the side each takes it from: its bytes
// where the definitions agree, else its value converted.
void writeRecords(const compare::Merge3Result& result, const Merge3Inputs& inputs,
                  foxpro::TableWriter& writer, const MergeCallbacks& callbacks = {}) {
    // The caller's progress, events and stop, between records at the one
    // pace; nothing of it per record when there is no caller to tell.
    const bool paced = callbacks.processEvents || callbacks.progress || callbacks.stopRequested;
    frame::EventPace pace;
    std::int64_t written = 0, total = 0;
    if (paced)
        for (const auto& m : result.records) total += m.kept ? 1 : 0;
    const auto between = [&] {
        if (callbacks.progress) callbacks.progress(written, total);
        if (callbacks.processEvents) callbacks.processEvents();
        if (callbacks.stopRequested && callbacks.stopRequested()) throw compare::Merge3Stopped{};
        pace.done();
    };
    if (paced) between();
    std::vector<std::size_t> columns;  // result field of each written field
    for (std::size_t f = 0; f < result.fields.size(); ++f)
        if (!result.fields[f].dropped) columns.push_back(f);
    // Per written field and side: whether its bytes go over as they are.
    std::vector<std::array<bool, 3>> copies(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c)
        for (int s = 0; s < 3; ++s) {
            const int index = result.fields[columns[c]].index[s];
            copies[c][static_cast<std::size_t>(s)] =
                index >= 0 && writer.copies(static_cast<int>(c), *inputs.side[s], index);
        }
    // A record taken whole from a side stored as the new table stores it
    // goes over as its bytes; which rows take every field from one side
    // is settled once per row.
    bool whole[3];
    for (int s = 0; s < 3; ++s)
        whole[s] = columns.size() == result.fields.size() && writer.copiesWhole(*inputs.side[s]);
    const std::size_t fieldCount = result.fields.size();
    const std::size_t rows = fieldCount == 0 ? 1 : result.sourceRows.size() / fieldCount;
    std::vector<int> wholeFrom(rows, -1);  // per row: the side it takes whole, -1 for none
    for (std::size_t row = 0; row < rows && fieldCount > 0; ++row) {
        const auto from = static_cast<std::size_t>(result.sourceRows[row * fieldCount]);
        bool one = from < 3 && whole[from];
        for (std::size_t f = 1; one && f < fieldCount; ++f)
            one = static_cast<std::size_t>(result.sourceRows[row * fieldCount + f]) == from;
        if (one) wholeFrom[row] = static_cast<int>(from);
    }
    if (fieldCount == 0 && whole[0]) wholeFrom[0] = 0;
    // Live record n of a table without deleted records is its stored record n - 1.
    bool plain[3];
    for (int s = 0; s < 3; ++s)
        plain[s] = inputs.side[s]->liveCount() == inputs.side[s]->storedCount();
    auto stored = [&](int s, std::uint32_t n) -> std::span<const std::uint8_t> {
        const foxpro::TableReader& side = *inputs.side[s];
        return side.storedRecord(plain[s] ? std::int64_t{n} - 1 : side.liveIndex(n));
    };
    for (std::size_t r = 0; r < result.records.size(); ++r) {
        const compare::MergedRecord& m = result.records[r];
        if (!m.kept) continue;
        if (paced && pace.due(1)) between();
        ++written;
        const int from = wholeFrom[m.row];
        if (from >= 0 && m.record[from] != 0) {
            writer.appendStored(stored(from, m.record[from]));
            continue;
        }
        std::span<const std::uint8_t> raw[3];
        for (int s = 0; s < 3; ++s)
            if (m.record[s] != 0) raw[s] = stored(s, m.record[s]);
        writer.beginRecord();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::size_t f = columns[c];
            const int field = static_cast<int>(c);
            const MergeSide from = result.from(m, f);
            if (from == MergeSide::Given) {
                const auto at =
                    result.given.find({static_cast<std::int64_t>(r), static_cast<int>(f)});
                if (at != result.given.end())
                    writer.putEncoded(
                        field,
                        foxpro::encodeField(writer.fields()[c], writer.storage(), at->second,
                                            "the resolution of record " + std::to_string(r + 1)));
                continue;  // no value on any side: blank
            }
            const int s = static_cast<int>(from);
            const int index = result.fields[f].index[s];
            if (m.record[s] == 0 || index < 0) continue;
            if (copies[c][static_cast<std::size_t>(s)])
                writer.copy(field, *inputs.side[s], raw[s], index);
            else
                writer.put(field, inputs.side[s]->value(raw[s], index));
        }
        writer.endRecord();
    }
    // Bytes the kernel reads from the maps are checked as a walk checks them.
    for (int s = 0; s < 3; ++s) inputs.side[s]->checkUnchanged();
    if (callbacks.progress) callbacks.progress(written, total);
}

}  // namespace

std::vector<std::string> writeMergedTable(const compare::Merge3Result& result,
                                          const Merge3Inputs& inputs, foxpro::DataSource& target,
                                          const std::string& name, bool replace,
                                          const std::vector<std::string>& keep,
                                          const std::string& oursPath,
                                          const MergeCallbacks& callbacks) {
    foxpro::NewTable table(target, name, replace, keep);
    const std::string hidden = target.folder() + "/" + table.name();
    const foxpro::TableReader& ours = *inputs.side[1];
    {
        const auto fields = fieldsOf(result, inputs);
        const bool dbt =
            foxpro::TableWriter::memoKindOf(fields, styleOf(ours)) == foxpro::dbf::MemoKind::Dbt3;
        if (dbt) table.useDbtMemo();
        foxpro::TableWriter writer(hidden + ".dbf", hidden + (dbt ? ".dbt" : ".fpt"), name, fields,
                                   styleOf(ours));
        writeRecords(result, inputs, writer, callbacks);
        writer.finish();
    }
    // A code page no header mark names goes into a .cpg beside the table.
    const foxpro::TableStyle style = styleOf(ours);
    if (style.codePageMark == 0) {
        foxpro::FileSink cpg = foxpro::FileSink::createNew(hidden + ".cpg", name);
        cpg.append(foxpro::codePageName(style.codePage));
        cpg.sync();
        cpg.close();
    }
    if ((ours.tableFlags() & foxpro::dbf::kTableFlagCdx) && !oursPath.empty())
        table.carryIndexFrom(oursPath, false);
    table.commit();
    std::vector<std::string> messages = table.indexMessages();
    if (!table.scriptNote().empty()) messages.push_back(table.scriptNote());
    return messages;
}

void writeMergedTableOver(const compare::Merge3Result& result, const Merge3Inputs& inputs,
                          const std::string& path, const std::function<void()>& release) {
    const std::string folder = foxpro::parentFolder(path);
    const std::string hidden = folder + "/" + foxpro::temporaryName(".dbf");
    const std::string memo = folder + "/" + foxpro::temporaryName(".fpt");
    try {
        foxpro::TableWriter writer(hidden, memo, foxpro::fileNameOf(path), fieldsOf(result, inputs),
                                   styleOf(*inputs.side[1]));
        if (writer.hasMemo())
            throw foxpro::FoxProError(
                foxpro::kErrorFile,
                foxpro::fileNameOf(path) + ": a table with memo fields cannot be written here");
        writeRecords(result, inputs, writer);
        writer.finish();
    } catch (...) {
        foxpro::platform::removeFile(hidden);
        foxpro::platform::removeFile(memo);
        throw;
    }
    if (release) release();
    if (auto error = foxpro::platform::moveReplacing(hidden, path)) {
        foxpro::platform::removeFile(hidden);
        throw foxpro::FoxProError(
            foxpro::kErrorFile,
            foxpro::fileNameOf(path) + ": cannot put the merge in place: " + error.message());
    }
}

}  // namespace quorvel::results
