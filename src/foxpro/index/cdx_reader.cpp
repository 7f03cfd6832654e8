#include "foxpro/index/cdx_reader.h"

#include <algorithm>
#include <cstring>

#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_format.h"
#include "foxpro/index/key_expression.h"
#include "foxpro/platform/mapped_file.h"
#include "foxpro/read/file_names.h"

namespace quorvel::foxpro {

namespace {

std::string offsetText(std::uint32_t offset) {
    return std::to_string(offset);
}

}  // namespace

// One pass over one tag's nodes: each node is read at most once, so that
// a damaged file whose links form a loop ends with an error.
class CdxReader::Walk {
  public:
    Walk(const CdxReader& reader, const IndexTag& tag)
        : reader_(reader), tag_(tag), visited_(reader.bytes_.size() / cdx::kPageSize, false) {
        const auto kl = static_cast<std::size_t>(tag.keyLength);
        if (tag.keyLength < 1 || tag.keyLength > cdx::kMaxKeyLength ||
            cdx::interiorCapacity(kl) < 1)
            fail("key length " + std::to_string(tag.keyLength) + " does not fit a node");
    }

    [[noreturn]] void fail(const std::string& problem) const {
        reader_.fail("tag " + tag_.name + ": " + problem);
    }

    // The node at offset, checked to be a whole page of the file that this
    // walk has not read yet.
    const std::uint8_t* node(std::uint32_t offset) {
        if (offset % cdx::kPageSize != 0 || offset < cdx::kTagHeaderSize)
            fail("node offset " + offsetText(offset) + " is not a node of the file");
        if (static_cast<std::size_t>(offset) + cdx::kPageSize > reader_.bytes_.size())
            fail("node at offset " + offsetText(offset) + " lies past the end of the file");
        const std::size_t page = offset / cdx::kPageSize;
        if (visited_[page])
            fail("node at offset " + offsetText(offset) +
                 " is reached twice (the tree has a loop)");
        visited_[page] = true;
        return reader_.bytes_.data() + offset;
    }

    static bool isLeaf(const std::uint8_t* n) {
        return (cdx::le16(n + cdx::kNodeAttributes) & cdx::kNodeLeaf) != 0;
    }

    // Entries of an interior node: count, checked to fit the page.
    std::size_t interiorCount(const std::uint8_t* n, std::uint32_t offset) const {
        const std::size_t count = cdx::le16(n + cdx::kNodeKeyCount);
        const std::size_t kl = static_cast<std::size_t>(tag_.keyLength);
        if (count == 0 || count > cdx::interiorCapacity(kl))
            fail("interior node at offset " + offsetText(offset) + " holds " +
                 std::to_string(count) + " keys, which do not fit a node");
        return count;
    }
    const std::uint8_t* interiorEntry(const std::uint8_t* n, std::size_t i) const {
        return n + cdx::kInteriorEntries +
               i * cdx::interiorEntrySize(static_cast<std::size_t>(tag_.keyLength));
    }
    std::uint32_t child(const std::uint8_t* entry) const {
        return cdx::be32(entry + tag_.keyLength + 4);
    }

    // Decodes the keys of a leaf into entries.
    void leaf(const std::uint8_t* n, std::uint32_t offset, std::vector<IndexEntry>& out) const {
        out.clear();
        const std::size_t kl = static_cast<std::size_t>(tag_.keyLength);
        const std::size_t count = cdx::le16(n + cdx::kNodeKeyCount);
        const std::uint32_t recordMask = cdx::le32(n + cdx::kLeafRecordMask);
        const std::uint8_t dupMask = n[cdx::kLeafDupMask];
        const std::uint8_t trailMask = n[cdx::kLeafTrailMask];
        const int recordBits = n[cdx::kLeafRecordBits];
        const int dupBits = n[cdx::kLeafDupBits];
        const int trailBits = n[cdx::kLeafTrailBits];
        const int bytes = n[cdx::kLeafEntryBytes];
        const std::string where = "leaf at offset " + offsetText(offset);
        // Counts have the bits of the key length (1 to 8 for 1 to 240 bytes).
        if (bytes < 1 || bytes > cdx::kMaxEntryBytes || recordBits > 32 || dupBits < 1 ||
            dupBits > 8 || trailBits < 1 || trailBits > 8 ||
            recordBits + dupBits + trailBits > bytes * 8)
            fail(where + " packs its entries in a way that cannot be read");
        if (count * static_cast<std::size_t>(bytes) > cdx::kLeafSpace)
            fail(where + " holds " + std::to_string(count) + " keys, which do not fit a node");
        std::size_t end = cdx::kPageSize;  // new key bytes run backwards from here
        const std::size_t entriesEnd = cdx::kLeafEntries + count * static_cast<std::size_t>(bytes);
        std::string previous;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t e =
                cdx::readEntry(n + cdx::kLeafEntries + i * static_cast<std::size_t>(bytes), bytes);
            const auto record = static_cast<std::uint32_t>(e & recordMask);
            const std::size_t dup = (e >> recordBits) & dupMask;
            const std::size_t trail = (e >> (recordBits + dupBits)) & trailMask;
            if (dup + trail > kl || (i == 0 && dup > 0))
                fail(where + ": key " + std::to_string(i + 1) +
                     " has counts that do not fit the key");
            const std::size_t fresh = kl - dup - trail;
            if (end < entriesEnd + fresh)
                fail(where + ": the bytes of key " + std::to_string(i + 1) +
                     " overrun its entries");
            end -= fresh;
            IndexEntry entry;
            entry.key.reserve(kl);
            entry.key.assign(previous, 0, dup);
            entry.key.append(reinterpret_cast<const char*>(n + end), fresh);
            entry.key.append(trail, static_cast<char>(tag_.fill));
            entry.record = record;
            previous = entry.key;
            out.push_back(std::move(entry));
        }
    }

    // The leaf at the left end of the tree.
    std::uint32_t leftmostLeaf() {
        std::uint32_t offset = tag_.root;
        for (;;) {
            const std::uint8_t* n = node(offset);
            if (isLeaf(n)) {
                // Read again as the first leaf of the sibling walk.
                visited_[offset / cdx::kPageSize] = false;
                return offset;
            }
            interiorCount(n, offset);
            offset = child(interiorEntry(n, 0));
        }
    }

    const CdxReader& reader_;
    const IndexTag& tag_;
    std::vector<bool> visited_;
};

CdxReader::CdxReader(const std::string& path, const TableReader* table)
    : fileName_(fileNameOf(path)) {
    file_ = std::make_unique<platform::MappedFile>(path, fileName_);
    bytes_ = {file_->data(), file_->size()};
    parse(table);
    file_->checkFault();
}

std::unique_ptr<CdxReader> CdxReader::fromBytes(std::string name,
                                                std::span<const std::uint8_t> bytes,
                                                const TableReader* table) {
    std::unique_ptr<CdxReader> reader(new CdxReader());
    reader->fileName_ = std::move(name);
    reader->bytes_ = bytes;
    reader->parse(table);
    return reader;
}

CdxReader::~CdxReader() = default;

void CdxReader::fail(const std::string& problem) const {
    // What looks damaged may be zeros read past a new end of the file.
    if (file_) file_->checkFault();
    throw FoxProError(kErrorFile, fileName_ + ": " + problem);
}

void CdxReader::checkUnchanged() const {
    if (file_) file_->checkUnchanged();
}

IndexTag CdxReader::readTagHeader(std::uint32_t offset, std::string name) const {
    const std::string who = name.empty() ? "the tag directory" : "tag " + name;
    if (offset % cdx::kPageSize != 0 ||
        static_cast<std::size_t>(offset) + cdx::kTagHeaderSize > bytes_.size())
        fail(who + ": its header at offset " + offsetText(offset) +
             " lies past the end of the file");
    const std::uint8_t* h = bytes_.data() + offset;
    IndexTag tag;
    tag.name = std::move(name);
    tag.header = offset;
    tag.root = cdx::le32(h + cdx::kHeaderRoot);
    tag.keyLength = cdx::le16(h + cdx::kHeaderKeyLength);
    tag.options = h[cdx::kHeaderOptions];
    tag.unique = (tag.options & cdx::kOptionUnique) != 0;
    tag.candidate = (tag.options & cdx::kOptionCandidate) != 0;
    tag.hasFor = (tag.options & cdx::kOptionFor) != 0;
    tag.nullKeys = (tag.options & cdx::kOptionNullKeys) != 0;
    tag.descending = cdx::le16(h + cdx::kHeaderDescending) != 0;
    const auto* collation = reinterpret_cast<const char*>(h + cdx::kHeaderCollation);
    tag.collation.assign(collation, strnlen(collation, cdx::kHeaderCollationSize));
    if (equalsNoCase(tag.collation, "MACHINE")) tag.collation.clear();
    // Expressions: NUL-terminated strings at their positions in the pool.
    const auto* pool = reinterpret_cast<const char*>(h + cdx::kHeaderExpressions);
    auto expression = [&](std::size_t position, std::size_t length, const char* what) {
        if (length == 0) return std::string();
        if (position + length > cdx::kExpressionPoolSize)
            fail(who + ": its " + what + " lies outside its header");
        return std::string(pool + position, strnlen(pool + position, length));
    };
    tag.keyExpression = expression(cdx::le16(h + cdx::kHeaderKeyPosition),
                                   cdx::le16(h + cdx::kHeaderKeyExprLength), "key expression");
    tag.forExpression = expression(cdx::le16(h + cdx::kHeaderForPosition),
                                   cdx::le16(h + cdx::kHeaderForLength), "FOR expression");
    return tag;
}

void CdxReader::parse(const TableReader* table) {
    if (bytes_.size() < cdx::kTagHeaderSize + cdx::kPageSize)
        fail("the file is shorter than a compound index's tag directory (" +
             std::to_string(bytes_.size()) + " bytes)");
    if ((bytes_[cdx::kHeaderOptions] & cdx::kOptionCompound) == 0 ||
        cdx::le16(bytes_.data() + cdx::kHeaderKeyLength) != cdx::kTagNameLength)
        fail("no tag directory at the start of the file (not a compound index)");
    IndexTag directory = readTagHeader(0, "");
    directory.name = "directory";
    for (const IndexEntry& e : entries(directory)) {
        std::string name = e.key;
        while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
        if (name.empty()) fail("the tag directory holds a tag without a name");
        tags_.push_back(readTagHeader(e.record, std::move(name)));
    }
    std::sort(tags_.begin(), tags_.end(),
              [](const IndexTag& a, const IndexTag& b) { return a.header < b.header; });
    for (std::size_t i = 1; i < tags_.size(); ++i)
        if (tags_[i].header == tags_[i - 1].header)
            fail("tags " + tags_[i - 1].name + " and " + tags_[i].name + " share one header");
    for (IndexTag& tag : tags_) {
        if (!table) continue;
        try {
            tag.fill = KeyExpression(tag.keyExpression, *table).fill();
        } catch (const FoxProError&) {
            // An expression this system cannot evaluate: its keys read with
            // blanks, the fill of text.
        }
    }
}

const IndexTag* CdxReader::findTag(std::string_view name) const {
    for (const IndexTag& tag : tags_)
        if (equalsNoCase(tag.name, name)) return &tag;
    return nullptr;
}

void CdxReader::walk(const IndexTag& tag,
                     const std::function<bool(const IndexEntry&)>& visit) const {
    Walk w(*this, tag);
    std::vector<IndexEntry> keys;
    std::string last;
    std::uint32_t lastRecord = 0;
    bool first = true;
    for (std::uint32_t offset = w.leftmostLeaf(); offset != cdx::kNoNode;) {
        const std::uint8_t* n = w.node(offset);
        if (!Walk::isLeaf(n))
            w.fail("node at offset " + offsetText(offset) + " beside a leaf is no leaf");
        w.leaf(n, offset, keys);
        if (file_) file_->checkFault();
        for (const IndexEntry& e : keys) {
            // Keys out of order would make every seek wrong.  A descending
            // tag is not checked: it is stored ascending as far as anyone
            // has seen, but nothing promises that.
            if (!first && !tag.descending &&
                (e.key < last || (e.key == last && e.record < lastRecord)))
                w.fail("keys out of order in the leaf at offset " + offsetText(offset));
            first = false;
            last = e.key;
            lastRecord = e.record;
            if (!visit(e)) return;
        }
        offset = cdx::le32(n + cdx::kNodeRight);
    }
    checkUnchanged();
}

std::vector<IndexEntry> CdxReader::entries(const IndexTag& tag) const {
    std::vector<IndexEntry> all;
    walk(tag, [&](const IndexEntry& e) {
        all.push_back(e);
        return true;
    });
    return all;
}

std::optional<IndexEntry> CdxReader::seek(const IndexTag& tag, std::string_view key) const {
    if (tag.descending) {
        // Its order is not checked (walk): looked for key by key.
        std::optional<IndexEntry> found;
        walk(tag, [&](const IndexEntry& e) {
            if (e.key == key) found = e;
            return !found;
        });
        return found;
    }
    Walk w(*this, tag);
    const std::size_t kl = static_cast<std::size_t>(tag.keyLength);
    std::uint32_t offset = tag.root;
    const std::uint8_t* n = w.node(offset);
    // Down the tree: each interior entry holds the last key beneath it.
    while (!Walk::isLeaf(n)) {
        const std::size_t count = w.interiorCount(n, offset);
        std::size_t i = 0;
        while (i < count &&
               std::string_view(reinterpret_cast<const char*>(w.interiorEntry(n, i)), kl) < key)
            ++i;
        if (i == count) return std::nullopt;
        offset = w.child(w.interiorEntry(n, i));
        n = w.node(offset);
    }
    std::vector<IndexEntry> keys;
    for (;;) {
        w.leaf(n, offset, keys);
        if (file_) file_->checkFault();
        for (const IndexEntry& e : keys) {
            if (e.key == key) return e;
            if (std::string_view(e.key) > key) return std::nullopt;
        }
        offset = cdx::le32(n + cdx::kNodeRight);
        if (offset == cdx::kNoNode) return std::nullopt;
        n = w.node(offset);
        if (!Walk::isLeaf(n))
            w.fail("node at offset " + offsetText(offset) + " beside a leaf is no leaf");
    }
}

std::string structuralIndexName(const std::string& tableFileName) {
    const auto dot = tableFileName.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : tableFileName.substr(dot);
    const bool upper = extension.size() > 1 && extension == upperAscii(extension);
    return tableFileName.substr(0, dot) + (upper ? ".CDX" : ".cdx");
}

std::string findStructuralIndex(const std::string& tablePath) {
    return findFileNoCase(parentFolder(tablePath), structuralIndexName(fileNameOf(tablePath)));
}

}  // namespace quorvel::foxpro
