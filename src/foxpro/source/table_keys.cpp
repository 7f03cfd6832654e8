#include "foxpro/source/table_keys.h"

#include <algorithm>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"

namespace quorvel::foxpro {

namespace {

constexpr std::uint8_t kPropertyPath = 0x01;
constexpr std::uint8_t kPropertyCandidate = 0x11;   // of an Index record: 1 candidate
constexpr std::uint8_t kPropertyPrimaryKey = 0x14;  // of a Table record: its primary tag

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

// One property of a container record's PROPERTY blob: entries of LE32
// length (header included), two bytes, a one-byte id, the value.
bool findProperty(const std::string& blob, std::uint8_t id, std::string& value) {
    constexpr std::size_t kEntryHeader = 7;
    const auto* p = reinterpret_cast<const std::uint8_t*>(blob.data());
    std::size_t pos = 0;
    while (pos + kEntryHeader <= blob.size()) {
        const std::size_t len = dbf::le32(p + pos);
        if (len < kEntryHeader || len > blob.size() - pos) return false;
        if (p[pos + 6] == id) {
            value = blob.substr(pos + kEntryHeader, len - kEntryHeader);
            if (const auto nul = value.find('\0');
                nul != std::string::npos && id != kPropertyCandidate)
                value.resize(nul);
            return true;
        }
        pos += len;
    }
    return false;
}

std::string stemOf(std::string_view fileName) {
    std::string name(fileName);
    std::replace(name.begin(), name.end(), '\\', '/');
    if (const auto slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    if (const auto dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
    return name;
}

// The container's primary key and indexes of the table whose file stem
// (or, lacking a path property, whose name) is tableStem.
void readContainerKeys(const std::string& containerPath, const std::string& tableStem,
                       TableKeys& keys) {
    keys.containerName = fileNameOf(containerPath);
    try {
        TableReader dbc(containerPath);
        const int objectId = dbc.findField("OBJECTID");
        const int parentId = dbc.findField("PARENTID");
        const int objectType = dbc.findField("OBJECTTYPE");
        const int objectName = dbc.findField("OBJECTNAME");
        const int property = dbc.findField("PROPERTY");
        if (objectId < 0 || parentId < 0 || objectType < 0 || objectName < 0 || property < 0)
            throw FoxProError(kErrorFile, dbc.fileName() + ": not a database container");
        std::int64_t tableId = -1;
        struct Index {
            std::int64_t parent;
            ContainerIndex index;
        };
        std::vector<Index> indexes;
        for (std::int64_t i = dbc.nextLive(0); i < dbc.storedCount(); i = dbc.nextLive(i + 1)) {
            const auto record = dbc.storedRecord(i);
            const std::string type = trimRight(dbc.value(record, objectType).str());
            const std::string name = trimRight(dbc.value(record, objectName).str());
            const std::string blob = dbc.value(record, property).str();
            std::string value;
            if (equalsNoCase(type, "Table")) {
                const std::string stem =
                    findProperty(blob, kPropertyPath, value) ? stemOf(value) : name;
                if (tableId >= 0 || !equalsNoCase(stem, tableStem)) continue;
                tableId = dbc.value(record, objectId).asInteger();
                if (findProperty(blob, kPropertyPrimaryKey, value)) keys.primaryTag = value;
            } else if (equalsNoCase(type, "Index")) {
                Index index{dbc.value(record, parentId).asInteger(), {name, false}};
                index.index.candidate = findProperty(blob, kPropertyCandidate, value) &&
                                        !value.empty() && value[0] == '\x01';
                indexes.push_back(std::move(index));
            }
        }
        for (auto& index : indexes)
            if (index.parent == tableId) keys.containerIndexes.push_back(std::move(index.index));
    } catch (const FoxProError& e) {
        keys.primaryTag.clear();
        keys.containerIndexes.clear();
        keys.warnings.push_back(e.description() + "; its keys are not used");
    }
}

// The container a folder table's header links it to, when that exists
// beside the table: its path, else "".
std::string linkedContainer(const TableReader& table, const std::string& tablePath) {
    const std::string link = table.backlink();
    if (link.empty()) return "";
    std::string name(link);
    std::replace(name.begin(), name.end(), '\\', '/');
    if (const auto slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    const std::string found = findFileNoCase(parentFolder(tablePath), name);
    return !found.empty() && platform::namesRegularFile(found) ? found : "";
}

}  // namespace

TableKeys readTableFileKeys(const std::string& tablePath, const std::string& containerPath) {
    TableKeys keys;
    std::string container = containerPath;
    bool structural = true;
    try {
        TableReader table(tablePath);
        if (container.empty()) container = linkedContainer(table, tablePath);
        structural = (table.headerBytes()[28] & 0x01) != 0;
        const std::string index = findStructuralIndex(tablePath);
        if (!index.empty()) {
            keys.indexFile = fileNameOf(index);
            try {
                const CdxReader reader(index, &table);
                keys.tags = reader.tags();
                reader.checkUnchanged();
            } catch (const FoxProError& e) {
                keys.tags.clear();
                keys.warnings.push_back(e.description() + "; its keys are not used");
            }
        } else if (structural) {
            keys.warnings.push_back(fileNameOf(structuralIndexName(tablePath)) +
                                    ": the structural index is missing; its keys are not used");
        }
    } catch (const FoxProError& e) {
        keys.warnings.push_back(e.description());
    }
    if (!container.empty()) readContainerKeys(container, stemOf(fileNameOf(tablePath)), keys);
    return keys;
}

TableKeys readTableKeys(const DataSource& source, std::string_view table) {
    const std::string path = source.tablePath(table);
    return readTableFileKeys(path, source.isContainer() ? source.path() : std::string());
}

}  // namespace quorvel::foxpro
