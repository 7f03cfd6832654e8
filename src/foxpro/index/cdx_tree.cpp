#include "foxpro/index/cdx_tree.h"

#include <algorithm>

#include "foxpro/index/cdx_format.h"

namespace quorvel::foxpro {

namespace {

// An entry of a level: the key, its record and (above the leaves) the node
// beneath it.
struct LevelEntry {
    std::string_view key;
    std::uint32_t record = 0;
    std::uint32_t child = 0;
};

// How one key is stored in a leaf after the key before it.
struct Packed {
    std::size_t dup = 0;
    std::size_t trail = 0;
    std::size_t fresh = 0;
};

Packed packKey(std::string_view key, std::string_view previous, std::uint8_t fill) {
    Packed p;
    while (p.trail < key.size() && static_cast<std::uint8_t>(key[key.size() - 1 - p.trail]) == fill)
        ++p.trail;
    // The trail is taken first: a key equal to the one before it still
    // stores its trailing fill as trail (seen).
    const std::size_t limit = std::min(previous.size(), key.size() - p.trail);
    while (p.dup < limit && key[p.dup] == previous[p.dup]) ++p.dup;
    p.fresh = key.size() - p.dup - p.trail;
    return p;
}

std::uint8_t* bytesOf(std::string& s) {
    return reinterpret_cast<std::uint8_t*>(s.data());
}

void putLinks(std::string& page, std::uint16_t attributes, std::size_t count, std::uint32_t left,
              std::uint32_t right) {
    std::uint8_t* p = bytesOf(page);
    cdx::putLe16(p + cdx::kNodeAttributes, attributes);
    cdx::putLe16(p + cdx::kNodeKeyCount, static_cast<std::uint16_t>(count));
    cdx::putLe32(p + cdx::kNodeLeft, left);
    cdx::putLe32(p + cdx::kNodeRight, right);
}

// A leaf's keys [first, last).
std::string leafPage(const std::vector<LevelEntry>& entries, std::size_t first, std::size_t last,
                     std::size_t keyLength, std::uint8_t fill) {
    std::uint32_t highest = 0;
    for (std::size_t i = first; i < last; ++i) highest = std::max(highest, entries[i].record);
    const cdx::LeafPacking packing = cdx::leafPacking(keyLength, highest);
    std::string page(cdx::kPageSize, '\0');
    std::uint8_t* p = bytesOf(page);
    std::size_t end = cdx::kPageSize;
    std::string_view previous;
    for (std::size_t i = first; i < last; ++i) {
        const Packed k = packKey(entries[i].key, previous, fill);
        end -= k.fresh;
        std::copy_n(entries[i].key.data() + k.dup, k.fresh, page.data() + end);
        cdx::writeEntry(
            p + cdx::kLeafEntries + (i - first) * static_cast<std::size_t>(packing.entryBytes),
            packing.entryBytes, packing.pack(entries[i].record, k.dup, k.trail));
        previous = entries[i].key;
    }
    const std::size_t used =
        (last - first) * static_cast<std::size_t>(packing.entryBytes) + (cdx::kPageSize - end);
    cdx::putLe16(p + cdx::kLeafFree, static_cast<std::uint16_t>(cdx::kLeafSpace - used));
    cdx::putLe32(p + cdx::kLeafRecordMask, packing.recordMask());
    p[cdx::kLeafDupMask] = p[cdx::kLeafTrailMask] = packing.countMask();
    p[cdx::kLeafRecordBits] = static_cast<std::uint8_t>(packing.recordBits);
    p[cdx::kLeafDupBits] = p[cdx::kLeafTrailBits] = static_cast<std::uint8_t>(packing.countBits);
    p[cdx::kLeafEntryBytes] = static_cast<std::uint8_t>(packing.entryBytes);
    return page;
}

// Where each leaf ends: as many keys as fit, the entry width growing with
// the highest record number the leaf holds.
std::vector<std::size_t> leafBreaks(const std::vector<LevelEntry>& entries, std::size_t keyLength,
                                    std::uint8_t fill) {
    std::vector<std::size_t> ends;
    std::size_t count = 0, keyBytes = 0;
    std::uint32_t highest = 0;
    std::string_view previous;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Packed k = packKey(entries[i].key, count == 0 ? std::string_view() : previous, fill);
        const std::uint32_t high = std::max(highest, entries[i].record);
        const auto width = static_cast<std::size_t>(cdx::leafPacking(keyLength, high).entryBytes);
        if (count > 0 && (count + 1) * width + keyBytes + k.fresh > cdx::kLeafSpace) {
            ends.push_back(i);
            count = keyBytes = 0;
            highest = 0;
            k = packKey(entries[i].key, std::string_view(), fill);
        }
        ++count;
        keyBytes += k.fresh;
        highest = std::max(highest, entries[i].record);
        previous = entries[i].key;
    }
    ends.push_back(entries.size());
    return ends;
}

}  // namespace

std::vector<TreePage> buildTree(const SortedKeys& keys, std::uint8_t fill, bool directory,
                                const std::function<std::uint32_t(bool root)>& place) {
    const std::size_t kl = keys.keyLength;
    std::vector<LevelEntry> level(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) level[i] = {keys.key(i), keys.records[i], 0};
    std::vector<TreePage> pages;
    bool leaves = true;
    for (;;) {
        // Where the nodes of this level end.
        std::vector<std::size_t> ends;
        if (leaves) {
            ends = leafBreaks(level, kl, fill);
        } else {
            const std::size_t capacity = cdx::interiorCapacity(kl);
            for (std::size_t e = capacity; e < level.size(); e += capacity) ends.push_back(e);
            ends.push_back(level.size());
        }
        const bool root = ends.size() == 1;
        std::vector<std::uint32_t> offsets;
        for (std::size_t i = 0; i < ends.size(); ++i) offsets.push_back(place(root));
        std::vector<LevelEntry> above;
        std::size_t first = 0;
        for (std::size_t i = 0; i < ends.size(); ++i) {
            const std::size_t last = ends[i];
            TreePage page{offsets[i], {}};
            const std::uint32_t left = i == 0 ? cdx::kNoNode : offsets[i - 1];
            const std::uint32_t right = i + 1 == ends.size() ? cdx::kNoNode : offsets[i + 1];
            if (leaves) {
                page.bytes = leafPage(level, first, last, kl, fill);
                const std::uint16_t attributes =
                    !root       ? cdx::kNodeLeaf
                    : directory ? static_cast<std::uint16_t>(cdx::kNodeRoot | cdx::kNodeLeaf)
                                : cdx::kNodeTagRootLeaf;
                putLinks(page.bytes, attributes, last - first, left, right);
            } else {
                page.bytes.assign(cdx::kPageSize, '\0');
                std::uint8_t* p = bytesOf(page.bytes);
                for (std::size_t j = first; j < last; ++j) {
                    std::uint8_t* e =
                        p + cdx::kInteriorEntries + (j - first) * cdx::interiorEntrySize(kl);
                    std::copy_n(level[j].key.data(), kl, e);
                    cdx::putBe32(e + kl, level[j].record);
                    cdx::putBe32(e + kl + 4, level[j].child);
                }
                putLinks(page.bytes, root ? cdx::kNodeRoot : cdx::kNodeInterior, last - first, left,
                         right);
            }
            // The node stands above as its last key.
            if (last > first)
                above.push_back({level[last - 1].key, level[last - 1].record, offsets[i]});
            pages.push_back(std::move(page));
            first = last;
        }
        if (root) return pages;
        level = std::move(above);
        leaves = false;
    }
}

}  // namespace quorvel::foxpro
