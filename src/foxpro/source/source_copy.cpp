#include "foxpro/source/source_copy.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/format/table_set.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/path_text.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/carried_index.h"
#include "foxpro/source/data_source.h"
#include "foxpro/write/atomic_file.h"

namespace quorvel::foxpro {

namespace fs = std::filesystem;

namespace {

fs::path pathOf(const std::string& text) {
    return platform::pathFromText(text);
}

// The files of the table set beside the table file (its memo, index, .cpg).
std::vector<std::string> setOf(const std::string& tableFile) {
    const std::string stem(stemOfFileName(fileNameOf(tableFile)));
    std::vector<std::string> files;
    for (const auto& entry : listFolder(parentFolder(tableFile)))
        if (isFileOfTableSet(stem, entry))
            files.push_back(joinPath(parentFolder(tableFile), entry));
    return files;
}

// The container's own files beside it: stem.dbc (as opened), .dct, .dcx.
std::vector<std::string> containerFiles(const std::string& containerFile) {
    const std::string stem(stemOfFileName(fileNameOf(containerFile)));
    std::vector<std::string> files{containerFile};
    for (const auto& entry : listFolder(parentFolder(containerFile))) {
        const auto dot = entry.rfind('.');
        if (dot == std::string::npos || !equalsNoCase(entry.substr(0, dot), stem)) continue;
        const std::string ext = entry.substr(dot);
        if (equalsNoCase(ext, ".dct") || equalsNoCase(ext, ".dcx"))
            files.push_back(joinPath(parentFolder(containerFile), entry));
    }
    return files;
}

void copyFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::create_directories(pathOf(to).parent_path(), ec);
    if (!ec) fs::copy_file(pathOf(from), pathOf(to), fs::copy_options::none, ec);
    if (ec) throw FoxProError(kErrorFile, fileNameOf(from) + ": cannot copy: " + ec.message());
    // Source files may be read-only; the copy is the user's to change.
    fs::permissions(pathOf(to), fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::add, ec);
}

// path relative to base; throws when it lies outside.
std::string relativeTo(const std::string& base, const std::string& path, const std::string& table) {
    std::error_code ec;
    const fs::path b = fs::weakly_canonical(pathOf(base), ec);
    const fs::path p = fs::weakly_canonical(pathOf(path), ec);
    const fs::path rel = p.lexically_relative(b);
    if (ec || rel.empty() || *rel.begin() == "..")
        throw FoxProError(kErrorFile, "table " + table + ": its file " + path +
                                          " lies outside the folder " + base +
                                          "; the copy could not keep its path");
    return platform::textFromPath(rel);
}

// The table as a free table in folder: its set copied, a container's
// table without its link and with an index of its free field names.
std::vector<std::string> copyFreeSet(const DataSource& source, const TableReader& table,
                                     bool linked, const std::string& folder) {
    const std::string tableFile = fileNameOf(table.path());
    const std::string stem(stemOfFileName(tableFile));
    std::vector<std::string> messages;
    for (const auto& file : setOf(table.path())) {
        // A container's table gets an index of its free field names below.
        if (linked && equalsNoCase(fileNameOf(file), structuralIndexName(tableFile))) continue;
        copyFile(file, joinPath(folder, fileNameOf(file)));
    }
    if (!linked) return messages;
    const std::string copyPath = joinPath(folder, tableFile);
    {
        // No container link and no index until one is written.
        FileSink sink = FileSink::openExisting(copyPath, tableFile);
        std::uint8_t flags = 0;
        sink.readAt(dbf::kHeaderTableFlags, &flags, 1);
        flags &= static_cast<std::uint8_t>(~(dbf::kTableFlagContainer | dbf::kTableFlagCdx));
        sink.writeAt(dbf::kHeaderTableFlags, &flags, 1);
        const std::size_t start =
            dbf::kHeaderSize + table.descriptors().size() * dbf::kDescriptorSize + 1;
        if (dbf::isVisualFoxPro(table.fileType()) &&
            start < static_cast<std::size_t>(table.headerLength())) {
            const std::string zeros(
                std::min<std::size_t>(table.headerLength() - start, dbf::kBacklinkSize), '\0');
            sink.writeAt(start, zeros.data(), zeros.size());
        }
        sink.sync();
        sink.close();
    }
    const std::string container = source.isContainer() ? fileNameOf(source.path()) : "";
    CarriedIndex carried = carryStructuralIndex(
        table, copyPath, joinPath(folder, structuralIndexName(tableFile)), stem, container, false);
    messages = std::move(carried.messages);
    if (!carried.script.empty()) {
        const std::string script = stem + ".prg";
        FileSink sink = FileSink::createNew(joinPath(folder, script), script);
        sink.append(carried.script);
        sink.sync();
        sink.close();
        messages.push_back(script + ": the FoxPro commands that restore what " + tableFile +
                           " could not carry");
    }
    return messages;
}

}  // namespace

std::string copySourceFiles(const DataSource& source, const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> files;  // from, relative to
    auto add = [&](const std::string& file, const std::string& table) {
        const std::string rel = relativeTo(source.folder(), file, table);
        for (const auto& f : files)
            if (f.second == rel) return;
        files.emplace_back(file, rel);
    };
    std::string dataPath = folder;
    if (source.isContainer()) {
        for (const auto& file : containerFiles(source.path())) add(file, fileNameOf(source.path()));
        dataPath = joinPath(folder, fileNameOf(source.path()));
    }
    for (const auto& name : source.tableNames())
        for (const auto& file : setOf(source.tablePath(name))) add(file, name);
    for (const auto& [from, rel] : files) copyFile(from, joinPath(folder, rel));
    return dataPath;
}

std::vector<std::string> copyAsFreeTable(const DataSource& source, const std::string& name,
                                         const std::string& folder) {
    const std::unique_ptr<TableReader> table = source.openTable(name);
    const bool linked = !table->backlink().empty() ||
                        (table->tableFlags() & dbf::kTableFlagContainer) || source.isContainer();
    const std::string tableFile = fileNameOf(table->path());
    const std::string stem(stemOfFileName(tableFile));
    auto ours = [&](const std::string& entry) {
        return isFileOfTableSet(stem, entry) || equalsNoCase(entry, stem + ".prg");
    };
    for (const auto& entry : listFolder(folder))
        if (ours(entry))
            throw FoxProError(kErrorFile, "table " + name + ": " + entry + " is in " + folder +
                                              " already; not copied");
    try {
        return copyFreeSet(source, *table, linked, folder);
    } catch (...) {
        // None of these was there before: a copy that failed leaves none.
        for (const auto& entry : listFolder(folder))
            if (ours(entry)) platform::removeFile(joinPath(folder, entry));
        throw;
    }
}

}  // namespace quorvel::foxpro
