#include "foxpro/index/cdx_writer.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <optional>

#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_format.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/cdx_tree.h"
#include "foxpro/index/key_expression.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"

namespace quorvel::foxpro {

namespace {

struct TagFailure {
    std::string reason;
};

[[noreturn]] void leaveOut(const std::string& reason) {
    throw TagFailure{reason};
}

void checkName(const std::string& name) {
    auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    bool ok = !name.empty() && name.size() <= cdx::kTagNameLength && letter(name[0]);
    for (char c : name) ok = ok && (letter(c) || (c >= '0' && c <= '9'));
    if (!ok) leaveOut("the name is no tag name (a letter, then letters, digits or _, 10 at most)");
}

// The keys of every record that the FOR clause takes, sorted, ties in
// record order, unique ones kept as the tag asks.
SortedKeys sortedKeys(const TableReader& table, const TagDefinition& def, const KeyExpression& key,
                      const std::optional<KeyExpression>& condition) {
    SortedKeys keys;
    keys.keyLength = static_cast<std::size_t>(key.keyLength());
    std::string one;
    std::string bytes;
    std::vector<std::uint32_t> records;
    const std::int64_t count = table.storedCount();
    for (std::int64_t i = 0; i < count; ++i) {
        const auto record = table.storedRecord(i);
        table.walkedTo(i);
        if (condition && !condition->holds(record)) continue;
        key.key(record, one);
        bytes += one;
        records.push_back(static_cast<std::uint32_t>(i + 1));
    }
    table.checkUnchanged();
    const std::size_t kl = keys.keyLength;
    std::vector<std::uint32_t> order(records.size());
    std::iota(order.begin(), order.end(), 0u);
    const char* base = bytes.data();
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = std::memcmp(base + a * kl, base + b * kl, kl);
        return c != 0 ? c < 0 : a < b;
    });
    keys.bytes.reserve(bytes.size());
    keys.records.reserve(records.size());
    for (std::size_t j = 0; j < order.size(); ++j) {
        const std::string_view k(base + order[j] * kl, kl);
        if (j > 0 && k == std::string_view(base + order[j - 1] * kl, kl)) {
            if (def.candidate)
                leaveOut("records " + std::to_string(records[order[j - 1]]) + " and " +
                         std::to_string(records[order[j]]) +
                         " have the same key, which a candidate key does not allow");
            if (def.unique) continue;
        }
        keys.bytes.append(k);
        keys.records.push_back(records[order[j]]);
    }
    return keys;
}

std::string tagHeader(std::uint32_t root, int keyLength, std::uint8_t options, bool descending,
                      const std::string& keyExpression, const std::string& forExpression) {
    std::string page(cdx::kTagHeaderSize, '\0');
    auto* h = reinterpret_cast<std::uint8_t*>(page.data());
    cdx::putLe32(h + cdx::kHeaderRoot, root);
    cdx::putLe16(h + cdx::kHeaderKeyLength, static_cast<std::uint16_t>(keyLength));
    h[cdx::kHeaderOptions] = options;
    h[cdx::kHeaderSignature] = cdx::kSignature;
    cdx::putLe16(h + cdx::kHeaderDescending, descending ? 1 : 0);
    const auto keySize = static_cast<std::uint16_t>(keyExpression.size() + 1);
    cdx::putLe16(h + cdx::kHeaderKeyPosition, 0);
    cdx::putLe16(h + cdx::kHeaderKeyExprLength, keySize);
    cdx::putLe16(h + cdx::kHeaderForPosition, keySize);
    cdx::putLe16(h + cdx::kHeaderForLength, static_cast<std::uint16_t>(forExpression.size() + 1));
    std::memcpy(h + cdx::kHeaderExpressions, keyExpression.data(), keyExpression.size());
    std::memcpy(h + cdx::kHeaderExpressions + keySize, forExpression.data(), forExpression.size());
    return page;
}

// One tag's header and nodes, for the header at offset.
std::string buildTag(const TableReader& table, const TagDefinition& def, std::uint32_t offset) {
    checkName(def.name);
    if (!def.collation.empty() && !equalsNoCase(def.collation, "MACHINE"))
        leaveOut("collation " + upperAscii(def.collation) + " is not supported");
    if (def.keyExpression.size() + def.forExpression.size() + 2 > cdx::kExpressionPoolSize)
        leaveOut("its expressions are longer than a tag header holds");
    try {
        const KeyExpression key(def.keyExpression, table);
        std::optional<KeyExpression> condition;
        if (!def.forExpression.empty()) condition.emplace(def.forExpression, table, true);
        const SortedKeys keys = sortedKeys(table, def, key, condition);
        std::uint32_t next = offset + cdx::kTagHeaderSize;
        const std::vector<TreePage> pages = buildTree(keys, key.fill(), false, [&](bool) {
            const std::uint32_t at = next;
            next += cdx::kPageSize;
            return at;
        });
        std::uint8_t options = cdx::kTagOptions;
        if (def.unique) options |= cdx::kOptionUnique;
        if (def.candidate) options |= cdx::kOptionCandidate;
        if (condition) options |= cdx::kOptionFor;
        if (key.nullable()) options |= cdx::kOptionNullKeys;
        std::string out = tagHeader(pages.back().offset, key.keyLength(), options, def.descending,
                                    def.keyExpression, def.forExpression);
        for (const TreePage& page : pages) out += page.bytes;
        return out;
    } catch (const FoxProError& e) {
        if (e.number() != kErrorInvalidArgument) throw;
        leaveOut(e.what());
    }
}

}  // namespace

TagDefinition TagDefinition::of(const IndexTag& tag) {
    return TagDefinition{tag.name,      tag.keyExpression, tag.forExpression, tag.unique,
                         tag.candidate, tag.descending,    tag.collation};
}

IndexBuild writeCompoundIndex(const TableReader& table, const std::vector<TagDefinition>& tags,
                              const std::function<FileSink&()>& createFile) {
    IndexBuild build;
    FileSink* sink = nullptr;
    // The directory's header and root come first; they are written last,
    // when the tags' offsets are known.
    std::uint32_t end = cdx::kTagHeaderSize + cdx::kPageSize;
    std::vector<std::pair<std::string, std::uint32_t>> directory;
    for (const TagDefinition& def : tags) {
        const std::string name = upperAscii(def.name);
        std::string bytes;
        try {
            for (const auto& [written, at] : directory)
                if (written == name) leaveOut("a tag of that name is written already");
            bytes = buildTag(table, def, end);
        } catch (const TagFailure& f) {
            build.leftOut.push_back("tag " + def.name + ": " + f.reason);
            continue;
        }
        if (!sink) {
            sink = &createFile();
            sink->append(std::string(end, '\0'));
        }
        sink->append(bytes);
        directory.emplace_back(name, end);
        end += static_cast<std::uint32_t>(bytes.size());
        build.written.push_back(def.name);
    }
    if (!sink) return build;

    std::sort(directory.begin(), directory.end());
    SortedKeys names;
    names.keyLength = cdx::kTagNameLength;
    for (const auto& [name, at] : directory) {
        names.bytes += name + std::string(cdx::kTagNameLength - name.size(), ' ');
        names.records.push_back(at);
    }
    // The directory's root stands right after its header; more nodes (a
    // great many tags) go at the end.
    const std::vector<TreePage> pages = buildTree(names, ' ', true, [&](bool root) {
        if (root) return static_cast<std::uint32_t>(cdx::kTagHeaderSize);
        const std::uint32_t at = end;
        end += cdx::kPageSize;
        return at;
    });
    for (const TreePage& page : pages)
        if (page.offset != cdx::kTagHeaderSize) sink->append(page.bytes);
    std::string head = tagHeader(cdx::kTagHeaderSize, static_cast<int>(cdx::kTagNameLength),
                                 cdx::kDirectoryOptions, false, "", "");
    head += pages.back().bytes;
    sink->writeAt(0, head.data(), head.size());
    return build;
}

IndexBuild writeCompoundIndex(const TableReader& table, const std::vector<TagDefinition>& tags,
                              NewFileSet& files, const std::string& finalName) {
    return writeCompoundIndex(table, tags, [&]() -> FileSink& { return files.create(finalName); });
}

}  // namespace quorvel::foxpro
