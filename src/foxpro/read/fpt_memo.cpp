#include "foxpro/read/fpt_memo.h"

#include "foxpro/platform/mapped_file.h"

namespace quorvel::foxpro {

FptMemo::FptMemo(std::string name, std::span<const std::uint8_t> bytes,
                 std::unique_ptr<platform::MappedFile> owner)
    : MemoFile(std::move(name), bytes, std::move(owner)) {
    if (bytes_.size() < dbf::kFptHeaderSize)
        fail("memo file header is truncated (" + std::to_string(bytes_.size()) + " bytes)");
    blockSize_ = dbf::be16(bytes_.data() + dbf::kFptBlockSize);
    if (blockSize_ == 0) fail("memo file gives a block size of 0");
}

MemoFile::Place FptMemo::locate(std::uint32_t block) const {
    const std::uint64_t start = static_cast<std::uint64_t>(block) * blockSize_;
    const std::uint64_t size = bytes_.size();
    const std::uint8_t* base = bytes_.data();
    if (start < dbf::kFptHeaderSize)
        fail("memo block " + std::to_string(block) + " lies inside the memo file header");
    if (start + dbf::kFptBlockHeaderSize > size) pastEnd(block);
    Place place;
    place.type = dbf::be32(base + start);
    place.length = dbf::be32(base + start + 4);
    if (place.length > size - start - dbf::kFptBlockHeaderSize)
        fail("memo block " + std::to_string(block) + " holds " + std::to_string(place.length) +
             " bytes but the memo file ends before them");
    place.offset = start + dbf::kFptBlockHeaderSize;
    return place;
}

}  // namespace quorvel::foxpro
