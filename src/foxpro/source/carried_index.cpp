#include "foxpro/source/carried_index.h"

#include <cstdint>
#include <memory>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"

namespace quorvel::foxpro {

namespace {

bool wordStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool wordPart(char c) {
    return wordStart(c) || (c >= '0' && c <= '9');
}

// The free name in the letter case the expression wrote the long one in,
// where the free name is its beginning (as cut names are).
std::string freeNameAsWritten(std::string_view written, const FieldRename& rename) {
    if (written.size() >= rename.freeName.size() &&
        equalsNoCase(written.substr(0, rename.freeName.size()), rename.freeName))
        return std::string(written.substr(0, rename.freeName.size()));
    return rename.freeName;
}

// "INDEX ON key TAG name [FOR ...] [COLLATE ...] [UNIQUE|CANDIDATE] [DESCENDING]".
std::string indexCommand(const TagDefinition& tag) {
    std::string line = "INDEX ON " + tag.keyExpression + " TAG " + tag.name;
    if (!tag.forExpression.empty()) line += " FOR " + tag.forExpression;
    if (!tag.collation.empty() && !equalsNoCase(tag.collation, "MACHINE"))
        line += " COLLATE \"" + upperAscii(tag.collation) + "\"";
    if (tag.candidate) line += " CANDIDATE";
    if (tag.unique) line += " UNIQUE";
    if (tag.descending) line += " DESCENDING";
    return line;
}

std::string scriptText(const std::string& tableName, const std::string& container,
                       const std::vector<TagDefinition>& tags,
                       const std::vector<FieldRename>& renames) {
    std::string s = "* Restores what the free table " + tableName + " could not carry.\n";
    if (!tags.empty()) {
        s += "USE " + tableName + " EXCLUSIVE\n";
        for (const TagDefinition& tag : tags) s += indexCommand(tag) + "\n";
        s += "USE\n";
    }
    if (!renames.empty() && !container.empty()) {
        s += "* The long field names, which only a database container keeps.\n";
        s += "OPEN DATABASE " + container + " EXCLUSIVE\n";
        s += "ADD TABLE " + tableName + " NAME " + tableName + "\n";
        for (const FieldRename& r : renames)
            s += "ALTER TABLE " + tableName + " RENAME COLUMN " + r.freeName + " TO " + r.longName +
                 "\n";
        s += "CLOSE DATABASES\n";
    }
    return s;
}

void setIndexFlag(const std::string& path) {
    FileSink table = FileSink::openExisting(path, fileNameOf(path));
    std::uint8_t flags = 0;
    table.readAt(dbf::kHeaderTableFlags, &flags, 1);
    flags |= dbf::kTableFlagCdx;
    table.writeAt(dbf::kHeaderTableFlags, &flags, 1);
    table.close();
}

}  // namespace

std::vector<FieldRename> renamedFields(const TableReader& table1, const TableReader& copy) {
    std::vector<FieldRename> renames;
    if (table1.fieldCount() != copy.fieldCount()) return renames;
    for (int i = 0; i < table1.fieldCount(); ++i)
        if (!equalsNoCase(table1.field(i).name, copy.field(i).name))
            renames.push_back({table1.field(i).name, copy.field(i).name});
    return renames;
}

std::string renameFieldsIn(std::string_view expression, const std::vector<FieldRename>& renames) {
    std::string out;
    std::size_t i = 0;
    while (i < expression.size()) {
        const char c = expression[i];
        if (c == '"' || c == '\'' || c == '[') {
            const char close = c == '[' ? ']' : c;
            const std::size_t end = expression.find(close, i + 1);
            const std::size_t stop = end == std::string_view::npos ? expression.size() : end + 1;
            out.append(expression.substr(i, stop - i));
            i = stop;
            continue;
        }
        if (!wordStart(c)) {
            out += c;
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < expression.size() && wordPart(expression[end])) ++end;
        const std::string_view word = expression.substr(i, end - i);
        std::size_t next = end;
        while (next < expression.size() && expression[next] == ' ') ++next;
        // A call's name, an operator between points (.NOT.) or the field
        // after an alias's point is no field of this table.
        const bool call = next < expression.size() && expression[next] == '(';
        const bool dotted = (i > 0 && expression[i - 1] == '.') ||
                            (end < expression.size() && expression[end] == '.');
        const FieldRename* rename = nullptr;
        if (!call && !dotted)
            for (const FieldRename& r : renames)
                if (equalsNoCase(word, r.longName)) rename = &r;
        out += rename ? freeNameAsWritten(word, *rename) : std::string(word);
        i = end;
    }
    return out;
}

CarriedIndex carryStructuralIndex(const TableReader& table1, const std::string& copyPath,
                                  const std::string& cdxPath, const std::string& tableName,
                                  const std::string& container, bool alwaysScript) {
    CarriedIndex carried;
    std::vector<TagDefinition> tags;
    std::vector<FieldRename> renames;
    {
        const TableReader copy(copyPath);
        renames = renamedFields(table1, copy);
        const std::string indexPath = findStructuralIndex(table1.path());
        if (!indexPath.empty()) {
            try {
                const CdxReader index(indexPath, &table1);
                for (const IndexTag& tag : index.tags()) {
                    TagDefinition def = TagDefinition::of(tag);
                    def.keyExpression = renameFieldsIn(def.keyExpression, renames);
                    def.forExpression = renameFieldsIn(def.forExpression, renames);
                    tags.push_back(std::move(def));
                }
            } catch (const FoxProError& e) {
                carried.messages.push_back(e.description() + "; " + tableName + " has no index");
            }
        }
        std::unique_ptr<FileSink> sink;
        const IndexBuild build = writeCompoundIndex(copy, tags, [&]() -> FileSink& {
            sink = std::make_unique<FileSink>(FileSink::createNew(cdxPath, fileNameOf(cdxPath)));
            return *sink;
        });
        if (sink) sink->close();
        carried.written = build.fileWritten();
        for (const std::string& line : build.leftOut) carried.messages.push_back(line);
        if (!build.leftOut.empty() || alwaysScript || (!renames.empty() && !container.empty())) {
            std::vector<TagDefinition> restore;
            for (const TagDefinition& tag : tags) {
                bool written = false;
                for (const std::string& name : build.written) written = written || name == tag.name;
                if (alwaysScript || !written) restore.push_back(tag);
            }
            carried.script = scriptText(tableName, container, restore, renames);
        }
    }
    if (carried.written) setIndexFlag(copyPath);
    return carried;
}

}  // namespace quorvel::foxpro
