#include "foxpro/write/memo_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro {

MemoWriter MemoWriter::createFpt(FileSink& sink, std::uint16_t blockSize) {
    if (blockSize == 0) blockSize = dbf::kFptDefaultBlockSize;
    std::uint32_t first =
        static_cast<std::uint32_t>((dbf::kFptHeaderSize + blockSize - 1) / blockSize);
    std::string header(first * blockSize, '\0');
    auto* h = reinterpret_cast<std::uint8_t*>(header.data());
    dbf::putBe32(h + dbf::kFptNextFreeBlock, first);
    dbf::putBe16(h + dbf::kFptBlockSize, blockSize);
    sink.append(header);
    return MemoWriter(sink, dbf::MemoKind::Fpt, blockSize, first, true);
}

MemoWriter MemoWriter::createDbt3(FileSink& sink) {
    // Block 0 is the header: the next free block, and dBase III's version
    // byte at 16.
    std::string header(dbf::kDbtBlockSize, '\0');
    auto* h = reinterpret_cast<std::uint8_t*>(header.data());
    dbf::putLe32(h + dbf::kDbtNextFreeBlock, 1);
    h[16] = 0x03;
    sink.append(header);
    return MemoWriter(sink, dbf::MemoKind::Dbt3, dbf::kDbtBlockSize, 1, true);
}

MemoWriter MemoWriter::openExisting(FileSink& sink, dbf::MemoKind kind) {
    std::uint8_t h[dbf::kFptHeaderSize] = {};
    std::uint64_t size = sink.size();
    if (size < 512) throw FoxProError(kErrorFile, sink.name() + ": memo file header is truncated");
    sink.readAt(0, h, sizeof h);
    std::uint32_t blockSize = 0;
    std::uint32_t next = 0;
    switch (kind) {
        case dbf::MemoKind::Fpt:
            next = dbf::be32(h + dbf::kFptNextFreeBlock);
            blockSize = dbf::be16(h + dbf::kFptBlockSize);
            break;
        case dbf::MemoKind::Dbt3:
            next = dbf::le32(h + dbf::kDbtNextFreeBlock);
            blockSize = dbf::kDbtBlockSize;
            break;
        case dbf::MemoKind::Dbt4:
            next = dbf::le32(h + dbf::kDbtNextFreeBlock);
            blockSize = dbf::le16(h + dbf::kDbt4BlockSize);
            if (blockSize == 0) blockSize = dbf::kDbtBlockSize;
            break;
        case dbf::MemoKind::None:
            throw FoxProError(kErrorFile, sink.name() + ": the table keeps no memo file");
    }
    if (blockSize == 0) throw FoxProError(kErrorFile, sink.name() + ": memo block size is 0");
    // A next free block inside the header, or one left behind by a writer
    // that did not advance it, would overwrite memos: never write below the
    // end of the file.
    std::uint64_t firstFree = (dbf::kFptHeaderSize + blockSize - 1) / blockSize;
    std::uint64_t endBlock = (size + blockSize - 1) / blockSize;
    std::uint64_t start = std::max<std::uint64_t>({next, firstFree, endBlock});
    if (start > 0xFFFFFFFFull) throw FoxProError(kErrorFile, sink.name() + ": memo file is full");
    return MemoWriter(sink, kind, blockSize, static_cast<std::uint32_t>(start), false);
}

void MemoWriter::put(std::uint64_t offset, std::string_view bytes) {
    if (sequential_)
        sink_.append(bytes);
    else
        sink_.writeAt(offset, bytes.data(), bytes.size());
}

std::uint32_t MemoWriter::add(std::string_view data, std::uint32_t type) {
    std::string block;
    switch (kind_) {
        case dbf::MemoKind::Fpt: {
            block.resize(dbf::kFptBlockHeaderSize);
            auto* p = reinterpret_cast<std::uint8_t*>(block.data());
            dbf::putBe32(p, type);
            dbf::putBe32(p + 4, static_cast<std::uint32_t>(data.size()));
            block.append(data);
            break;
        }
        case dbf::MemoKind::Dbt3:
            // dBase III ends a memo with two end-of-file marks.
            block.assign(data);
            block.append("\x1A\x1A");
            break;
        case dbf::MemoKind::Dbt4: {
            block.assign(reinterpret_cast<const char*>(dbf::kDbt4Marker), 4);
            block.resize(dbf::kDbt4BlockHeaderSize);
            dbf::putLe32(reinterpret_cast<std::uint8_t*>(block.data()) + 4,
                         static_cast<std::uint32_t>(data.size() + dbf::kDbt4BlockHeaderSize));
            block.append(data);
            break;
        }
        case dbf::MemoKind::None:
            break;
    }
    std::uint64_t blocks = (block.size() + blockSize_ - 1) / blockSize_;
    if (static_cast<std::uint64_t>(next_) + blocks > 0xFFFFFFFFull)
        throw FoxProError(kErrorFile, sink_.name() + ": memo file is full");
    block.resize(blocks * blockSize_, '\0');
    std::uint32_t at = next_;
    put(static_cast<std::uint64_t>(at) * blockSize_, block);
    next_ = static_cast<std::uint32_t>(at + blocks);
    return at;
}

void MemoWriter::finish() {
    std::uint8_t word[4];
    if (kind_ == dbf::MemoKind::Fpt)
        dbf::putBe32(word, next_);
    else
        dbf::putLe32(word, next_);
    sink_.writeAt(0, word, 4);
}

void putMemoRef(std::uint8_t* field, int width, std::uint32_t block) {
    if (width == dbf::kMemoRefBinaryWidth) {
        dbf::putLe32(field, block);
        return;
    }
    std::memset(field, ' ', static_cast<std::size_t>(width));
    if (block == 0) return;
    std::string digits = std::to_string(block);
    if (digits.size() > static_cast<std::size_t>(width)) digits.erase(0, digits.size() - width);
    std::memcpy(field + width - digits.size(), digits.data(), digits.size());
}

}  // namespace quorvel::foxpro
