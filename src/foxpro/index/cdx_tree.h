#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::foxpro {

// The keys of one tag in their stored order, packed in one buffer.
struct SortedKeys {
    std::size_t keyLength = 0;
    std::string bytes;                   // key i at i * keyLength
    std::vector<std::uint32_t> records;  // record of key i (1-based)

    std::size_t size() const { return records.size(); }
    std::string_view key(std::size_t i) const {
        return std::string_view(bytes).substr(i * keyLength, keyLength);
    }
};

// One node page of a tree and where it goes in the file.
struct TreePage {
    std::uint32_t offset = 0;
    std::string bytes;  // cdx::kPageSize bytes
};

// Builds a compact B-tree bottom-up from keys: leaves packed as full as
// they go, left to right, then each level of interior nodes over the one
// below, siblings linked on every level.  place gives the offset of each
// node in the order they are made (the leaves, then each level up; the
// root last), told whether it is the root.  fill is the byte of trailing
// key bytes; directory marks the tag directory's tree, whose root leaf is
// marked as Visual FoxPro marks it.  Returns the pages in the order made;
// the root is the last one.
std::vector<TreePage> buildTree(const SortedKeys& keys, std::uint8_t fill, bool directory,
                                const std::function<std::uint32_t(bool root)>& place);

}  // namespace quorvel::foxpro
