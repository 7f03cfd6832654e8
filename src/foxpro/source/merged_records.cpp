#include "foxpro/source/merged_records.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_writer.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/temporary_files.h"

namespace quorvel::foxpro {

namespace {

[[noreturn]] void fail(const std::string& name, const std::string& why) {
    throw FoxProError(kErrorFile, "table " + name + ": " + why);
}

// Before anything is changed: the table stays as it was.
[[noreturn]] void refuse(const std::string& name, const std::string& why) {
    throw FoxProError(kErrorInvalidArgument, "table " + name + ": " + why);
}

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Same record layout: every descriptor's type, offset, width, decimals and
// flags (names may differ: the merge cuts long ones).
bool sameLayout(const TableReader& a, const TableReader& b) {
    if (a.fileType() != b.fileType() || a.layout().recordLength != b.layout().recordLength ||
        a.descriptors().size() != b.descriptors().size())
        return false;
    for (std::size_t i = 0; i < a.descriptors().size(); ++i) {
        const auto& x = a.descriptors()[i].raw;
        const auto& y = b.descriptors()[i].raw;
        if (!std::equal(x.begin() + dbf::kDescriptorType, x.begin() + dbf::kDescriptorAutoNext,
                        y.begin() + dbf::kDescriptorType))
            return false;
    }
    return true;
}

void move(const std::string& from, const std::string& to, const std::string& name) {
    if (auto error = platform::moveReplacing(from, to))
        fail(name, "cannot put " + fileNameOf(to) + " in place: " + error.message());
}

// The file of folder called stem + ext without case, "" when none.
std::string fileOfSet(const std::string& folder, const std::string& stem, const char* ext) {
    return findFileNoCase(folder, stem + ext);
}

// The merged table's set under the table's names; files of the table's set
// the merged one has no counterpart for go.
void takeWholeSet(const std::string& tablePath, const std::string& mergedPath,
                  const std::string& name) {
    const std::string folder = parentFolder(tablePath);
    const std::string tableFile = fileNameOf(tablePath);
    const std::string stem = tableFile.substr(0, tableFile.rfind('.'));
    const std::string mergedFile = fileNameOf(mergedPath);
    const std::string mergedStem = mergedFile.substr(0, mergedFile.rfind('.'));
    const bool upper = tableFile.ends_with(".DBF");
    struct Part {
        const char* ext;
        const char* upperExt;
        std::vector<const char*> old;  // the table's files this one stands for
    };
    const Part parts[] = {
        {".fpt", ".FPT", {".fpt", ".dbt"}}, {".cdx", ".CDX", {".cdx"}}, {".cpg", ".CPG", {".cpg"}}};
    for (const Part& part : parts) {
        const std::string from = fileOfSet(folder, mergedStem, part.ext);
        std::string target;
        for (const char* ext : part.old) {
            const std::string existing = fileOfSet(folder, stem, ext);
            if (existing.empty()) continue;
            if (target.empty() && equalsNoCase(fileNameOf(existing).substr(stem.size()), part.ext))
                target = existing;
            else
                platform::removeFile(existing);
        }
        if (from.empty()) {
            if (!target.empty()) platform::removeFile(target);
            continue;
        }
        if (target.empty()) target = joinPath(folder, stem + (upper ? part.upperExt : part.ext));
        move(from, target, name);
    }
    move(mergedPath, tablePath, name);
}

bool linkedToContainer(const TableReader& table) {
    return !table.backlink().empty() || (table.tableFlags() & dbf::kTableFlagContainer);
}

}  // namespace

TakenRecords takeMergedRecords(const DataSource& copy, const std::string& name,
                               const std::string& mergedPath) {
    TakenRecords taken;
    std::vector<std::string>& messages = taken.messages;
    const std::string tablePath = copy.tablePath(name);
    const std::string folder = parentFolder(tablePath);
    std::vector<TagDefinition> tags;
    std::string indexPath;
    std::string memoPath;
    const std::string hidden = joinPath(folder, temporaryName(".dbf"));
    std::string mergedMemo;
    // Files are moved only once no reader holds them: Windows refuses to
    // replace a file that is open.
    {
        std::unique_ptr<TableReader> table = copy.openTable(name);
        std::optional<TableReader> merged(std::in_place, mergedPath);
        if (!sameLayout(*table, *merged)) {
            if (linkedToContainer(*table) || copy.isContainer())
                refuse(name, "the merged records do not have the table's layout");
            merged.reset();
            table.reset();
            takeWholeSet(tablePath, mergedPath, name);
            taken.wholeTable = true;
            return taken;
        }
        indexPath = findStructuralIndex(tablePath);
        if (!indexPath.empty()) {
            try {
                const CdxReader index(indexPath, table.get());
                for (const IndexTag& tag : index.tags()) tags.push_back(TagDefinition::of(tag));
            } catch (const FoxProError& e) {
                messages.push_back(e.description() + "; " + name + " has no index");
            }
        }
        memoPath = table->memoPath();
        if (memoPath.empty() != merged->memoPath().empty())
            refuse(name, "the merged records do not have the table's memo file");

        // The table's own header with the merged count and date, and each
        // autoincrement's next value no lower than the merged table's.
        const auto own = table->headerBytes();
        std::vector<std::uint8_t> header(own.begin(), own.end());
        const auto theirs = merged->headerBytes();
        std::copy(theirs.begin() + dbf::kHeaderUpdateDate,
                  theirs.begin() + dbf::kHeaderUpdateDate + 3,
                  header.begin() + dbf::kHeaderUpdateDate);
        put32(header, dbf::kHeaderRecordCount, static_cast<std::uint32_t>(merged->storedCount()));
        for (std::size_t i = 0; i < table->descriptors().size(); ++i) {
            const std::size_t at = dbf::kHeaderSize + i * dbf::kDescriptorSize;
            const auto& d = table->descriptors()[i];
            if ((d.flags & dbf::kFieldFlagAutoIncrement) == dbf::kFieldFlagAutoIncrement)
                put32(header, at + dbf::kDescriptorAutoNext,
                      std::max(d.autoNext, merged->descriptors()[i].autoNext));
        }
        if (tags.empty())
            header[dbf::kHeaderTableFlags] &= static_cast<std::uint8_t>(~dbf::kTableFlagCdx);
        const std::uint64_t size = static_cast<std::uint64_t>(merged->storedCount()) *
                                   static_cast<std::uint64_t>(merged->layout().recordLength);
        if (size > 0 && !merged->file()) refuse(name, "the merged records cannot be read");
        FileSink sink = FileSink::createNew(hidden, fileNameOf(tablePath));
        try {
            sink.append(header.data(), header.size());
            if (size > 0) sink.appendFromFile(*merged->file(), merged->headerLength(), size);
            const std::uint8_t eof = dbf::kEndOfFile;
            sink.append(&eof, 1);
            sink.sync();
            sink.close();
        } catch (...) {
            platform::removeFile(hidden);
            throw;
        }
        if (!memoPath.empty()) mergedMemo = merged->memoPath();
    }
    if (!mergedMemo.empty()) move(mergedMemo, memoPath, name);
    move(hidden, tablePath, name);
    if (tags.empty()) {
        if (!indexPath.empty()) platform::removeFile(indexPath);
        return taken;
    }
    // The tags over the final records; the table's old index never stays.
    std::unique_ptr<TableReader> table = copy.openTable(name);
    const std::string hiddenIndex = joinPath(folder, temporaryName(".cdx"));
    std::unique_ptr<FileSink> sink;
    const IndexBuild build = writeCompoundIndex(*table, tags, [&]() -> FileSink& {
        sink = std::make_unique<FileSink>(FileSink::createNew(hiddenIndex, fileNameOf(indexPath)));
        return *sink;
    });
    if (sink) {
        sink->sync();
        sink->close();
    }
    table.reset();
    for (const std::string& line : build.leftOut) messages.push_back(name + ": " + line);
    if (build.fileWritten()) {
        move(hiddenIndex, indexPath, name);
    } else {
        platform::removeFile(indexPath);
        FileSink header = FileSink::openExisting(tablePath, fileNameOf(tablePath));
        std::uint8_t flags = 0;
        header.readAt(dbf::kHeaderTableFlags, &flags, 1);
        flags &= static_cast<std::uint8_t>(~dbf::kTableFlagCdx);
        header.writeAt(dbf::kHeaderTableFlags, &flags, 1);
        header.close();
        messages.push_back(name + ": no tag of its index could be rebuilt; it has no index");
    }
    return taken;
}

}  // namespace quorvel::foxpro
