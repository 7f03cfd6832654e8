#include "foxpro/read/dbt_memo.h"

#include <cstring>

#include "foxpro/platform/mapped_file.h"

namespace quorvel::foxpro {

DbtMemo::DbtMemo(std::string name, std::span<const std::uint8_t> bytes,
                 std::unique_ptr<platform::MappedFile> owner, bool dBase4)
    : MemoFile(std::move(name), bytes, std::move(owner)), dBase4_(dBase4) {
    if (dBase4_) {
        blockSize_ = bytes_.size() >= dbf::kDbt4BlockSize + 2
                         ? dbf::le16(bytes_.data() + dbf::kDbt4BlockSize)
                         : 0;
        if (blockSize_ == 0) blockSize_ = dbf::kDbtBlockSize;
    } else {
        blockSize_ = dbf::kDbtBlockSize;
    }
}

MemoFile::Place DbtMemo::locate(std::uint32_t block) const {
    const std::uint64_t start = static_cast<std::uint64_t>(block) * blockSize_;
    const std::uint64_t size = bytes_.size();
    const std::uint8_t* base = bytes_.data();
    if (start >= size) pastEnd(block);
    Place place;
    if (dBase4_ && size - start >= dbf::kDbt4BlockHeaderSize &&
        std::memcmp(base + start, dbf::kDbt4Marker, 4) == 0) {
        // The length counts the 8-byte block header too.
        const std::uint64_t length = dbf::le32(base + start + 4);
        if (length < dbf::kDbt4BlockHeaderSize || length > size - start)
            fail("memo block " + std::to_string(block) + " gives a length of " +
                 std::to_string(length) + " that does not fit the memo file");
        place.offset = start + dbf::kDbt4BlockHeaderSize;
        place.length = length - dbf::kDbt4BlockHeaderSize;
        return place;
    }
    // dBase III: the memo runs to the first 0x1A (written twice), or to the
    // end of the file when the terminator is missing.
    const auto* begin = base + start;
    const auto* end = static_cast<const std::uint8_t*>(
        std::memchr(begin, dbf::kEndOfFile, static_cast<std::size_t>(size - start)));
    if (!end) end = base + size;
    place.offset = start;
    place.length = static_cast<std::uint64_t>(end - begin);
    return place;
}

}  // namespace quorvel::foxpro
