#include "foxpro/source/data_source.h"

#include <algorithm>
#include <filesystem>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/folder_entries.h"
#include "foxpro/platform/path_text.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/temporary_files.h"

namespace quorvel::foxpro {

namespace {

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && equalsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

// A path relative to folder, written with '\' or '/', each component found
// without regard to case; "" when a component is missing.
std::string resolveNoCase(const std::string& folder, std::string relative) {
    std::replace(relative.begin(), relative.end(), '\\', '/');
    std::string current = folder;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t slash = relative.find('/', start);
        const std::string part =
            relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        start = slash == std::string::npos ? relative.size() + 1 : slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            current = joinPath(current, "..");
            continue;
        }
        const std::string found = findFileNoCase(current, part);
        if (found.empty()) return "";
        current = found;
    }
    return current;
}

// Property 0x01 of a container's Table record: the table file's path
// relative to the container.  Entries: LE32 length (header included), two
// bytes, a one-byte id, the value (strings end with NUL).
std::string tablePathProperty(const std::string& blob) {
    constexpr std::size_t kEntryHeader = 7;
    constexpr std::uint8_t kPropertyPath = 0x01;
    const auto* p = reinterpret_cast<const std::uint8_t*>(blob.data());
    std::size_t pos = 0;
    while (pos + kEntryHeader <= blob.size()) {
        const std::size_t len = dbf::le32(p + pos);
        if (len < kEntryHeader || len > blob.size() - pos) break;
        if (p[pos + 6] == kPropertyPath) {
            std::string value = blob.substr(pos + kEntryHeader, len - kEntryHeader);
            if (const auto nul = value.find('\0'); nul != std::string::npos) value.resize(nul);
            return value;
        }
        pos += len;
    }
    return "";
}

}  // namespace

DataSource::~DataSource() = default;

std::unique_ptr<DataSource> DataSource::open(const std::string& path, int codePage) {
    if (path.empty()) throw FoxProError(kErrorFile, "the data source is empty");
    std::unique_ptr<DataSource> source(new DataSource());
    source->path_ = path;
    source->codePage_ = codePage;
    std::string real = path;
    // Windows-style separators in a path typed for the original platform.
    if (platform::pathKind(real) == platform::PathKind::Missing &&
        real.find('\\') != std::string::npos) {
        std::replace(real.begin(), real.end(), '\\', '/');
        while (real.size() > 1 && real.back() == '/') real.pop_back();
    }
    std::error_code error;
    switch (platform::pathKind(real, error)) {
        case platform::PathKind::Folder:
            source->folder_ = real;
            return source;
        case platform::PathKind::Missing:
            if (error) throw FoxProError(kErrorFile, path + ": cannot open: " + error.message());
            throw FoxProError(kErrorFile, path + ": no such file or folder");
        case platform::PathKind::Other:
            throw FoxProError(kErrorFile, platform::notRegularFileText(path));
        case platform::PathKind::RegularFile:
            break;
    }
    source->container_ = true;
    source->folder_ = parentFolder(real);
    source->containerFile_ = real;
    source->path_ = real;
    source->readContainer();
    source->path_ = path;
    return source;
}

void DataSource::readContainer() {
    TableReader dbc(path_);
    const int objectId = dbc.findField("OBJECTID");
    const int parentId = dbc.findField("PARENTID");
    const int objectType = dbc.findField("OBJECTTYPE");
    const int objectName = dbc.findField("OBJECTNAME");
    const int property = dbc.findField("PROPERTY");
    if (objectId < 0 || parentId < 0 || objectType < 0 || objectName < 0)
        throw FoxProError(kErrorFile, dbc.fileName() + ": not a database container");

    struct Pending {
        std::int64_t id;
        std::string name;
        std::string relativePath;
    };
    std::vector<Pending> tables;
    std::vector<std::pair<std::int64_t, std::string>> fields;  // parent id, long name
    for (std::int64_t i = dbc.nextLive(0); i < dbc.storedCount(); i = dbc.nextLive(i + 1)) {
        const auto record = dbc.storedRecord(i);
        const std::string type = trimRight(dbc.value(record, objectType).str());
        if (equalsNoCase(type, "Table")) {
            Pending t{dbc.value(record, objectId).asInteger(),
                      trimRight(dbc.value(record, objectName).str()), ""};
            if (property >= 0) {
                const Value blob = dbc.value(record, property);
                t.relativePath = tablePathProperty(blob.str());
            }
            tables.push_back(std::move(t));
        } else if (equalsNoCase(type, "Field")) {
            fields.emplace_back(dbc.value(record, parentId).asInteger(),
                                trimRight(dbc.value(record, objectName).str()));
        }
    }
    for (auto& t : tables) {
        ContainerTable ct;
        ct.name = t.name;
        const std::string relative = t.relativePath.empty() ? t.name + ".dbf" : t.relativePath;
        ct.path = resolveNoCase(folder_, relative);
        for (const auto& [parent, name] : fields)
            if (parent == t.id) ct.longNames.push_back(name);
        tables_.push_back(std::move(ct));
    }
}

std::vector<std::string> DataSource::tableNames() const {
    std::vector<std::string> names;
    if (container_) {
        for (const auto& t : tables_) names.push_back(t.name);
        return names;
    }
    std::error_code error;
    const std::vector<std::string> entries = platform::folderEntries(folder_, &error);
    if (error)
        throw FoxProError(kErrorFile, path_ + ": cannot list the folder: " + error.message());
    for (const auto& name : entries) {
        if (name.empty() || name[0] == '~' || !endsWithNoCase(name, ".dbf") || name.size() == 4)
            continue;
        if (!platform::namesRegularFile(joinPath(folder_, name))) continue;
        names.push_back(name.substr(0, name.size() - 4));
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = lowerAscii(a), lb = lowerAscii(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

bool DataSource::hasTable(std::string_view name) const {
    try {
        tablePath(name);
        return true;
    } catch (const FoxProError&) {
        return false;
    }
}

const DataSource::ContainerTable* DataSource::containerTable(std::string_view name) const {
    for (const auto& t : tables_)
        if (equalsNoCase(t.name, name) ||
            (endsWithNoCase(name, ".dbf") && equalsNoCase(t.name, name.substr(0, name.size() - 4))))
            return &t;
    return nullptr;
}

bool DataSource::namesContainerTable(std::string_view name) const {
    return containerTable(name) != nullptr;
}

std::string DataSource::tablePath(std::string_view name) const {
    std::string_view bare = name;
    if (container_) {
        if (const ContainerTable* t = containerTable(bare)) {
            if (t->path.empty())
                throw FoxProError(kErrorFile, fileNameOf(path_) + ": the file of table " + t->name +
                                                  " is missing");
            return t->path;
        }
    } else if (!bare.empty() && bare.find('/') == std::string_view::npos) {
        const std::string file =
            endsWithNoCase(bare, ".dbf") ? std::string(bare) : std::string(bare) + ".dbf";
        std::string found = findFileNoCase(folder_, file);
        // A table file of another extension (a form's .scx) is named whole.
        if (found.empty() && bare.find('.') != std::string_view::npos)
            found = findFileNoCase(folder_, bare);
        std::error_code error;
        const platform::PathKind kind =
            found.empty() ? platform::PathKind::Missing : platform::pathKind(found, error);
        if (kind == platform::PathKind::RegularFile) return found;
        if (error)
            throw FoxProError(kErrorFile, fileNameOf(found) + ": cannot open: " + error.message());
        // Left out of the table list, but named: say what it is.
        if (kind != platform::PathKind::Missing)
            throw FoxProError(kErrorFile, platform::notRegularFileText(fileNameOf(found)));
    }
    throw FoxProError(kErrorFile, "no table named " + std::string(name) + " in " + path_);
}

std::unique_ptr<TableReader> DataSource::openTable(std::string_view name) const {
    return std::make_unique<TableReader>(tablePath(name), longFieldNames(name), codePage_);
}

std::vector<std::string> DataSource::longFieldNames(std::string_view tableName) const {
    const ContainerTable* t = containerTable(tableName);
    return t ? t->longNames : std::vector<std::string>{};
}

bool DataSource::isContainerTable(const std::string& path) const {
    if (!container_) return false;
    // The same file by any name; a path to no file yet by its canonical form.
    const auto identity = platform::identityOfPath(path);
    std::error_code ec;
    const auto wanted = std::filesystem::weakly_canonical(platform::pathFromText(path), ec);
    if (ec) return false;
    for (const auto& t : tables_) {
        if (t.path.empty()) continue;
        if (identity && platform::identityOfPath(t.path) == identity) return true;
        const auto have = std::filesystem::weakly_canonical(platform::pathFromText(t.path), ec);
        if (!ec && have == wanted) return true;
    }
    return false;
}

std::string DataSource::newTablePath(std::string_view name) const {
    const std::string file =
        endsWithNoCase(name, ".dbf") ? std::string(name) : std::string(name) + ".dbf";
    std::string found = findFileNoCase(folder_, file);
    return found.empty() ? joinPath(folder_, file) : found;
}

std::vector<std::string> DataSource::tableFiles(std::string_view name) const {
    std::vector<std::string> files;
    auto addNamesake = [&files](const std::string& file) {
        const std::string folder = parentFolder(file);
        const std::string base = fileNameOf(file);
        const std::string stem = base.substr(0, base.rfind('.'));
        for (const auto& entry : listFolder(folder)) {
            const auto dot = entry.rfind('.');
            if (dot != std::string::npos && equalsNoCase(entry.substr(0, dot), stem))
                files.push_back(joinPath(folder, entry));
        }
    };
    try {
        addNamesake(tablePath(name));
    } catch (const FoxProError&) {
        return files;
    }
    if (container_) addNamesake(containerFile_);
    return files;
}

void DataSource::prepareForWriting() {
    if (prepared_) return;
    prepared_ = true;
    if (std::string warning = removeOrphanedFiles(folder_); !warning.empty())
        writeWarnings_.push_back(std::move(warning));
}

void DataSource::releaseHiddenTable(const std::string& name) {
    const auto it = std::find(hidden_.begin(), hidden_.end(), name);
    if (it != hidden_.end()) hidden_.erase(it);
}

bool DataSource::holdsHiddenTable(std::string_view name) const {
    if (endsWithNoCase(name, ".dbf")) name.remove_suffix(4);
    return std::find(hidden_.begin(), hidden_.end(), name) != hidden_.end();
}

}  // namespace quorvel::foxpro
