#pragma once

#include <cstdint>
#include <string_view>

#include "foxpro/format/dbf_format.h"
#include "foxpro/write/atomic_file.h"

namespace quorvel::foxpro {

// Appends memos to a memo file, each at the next free block, and advances
// the header's next free block past them.  Replaced memos are left in place
// as garbage, as FoxPro does.  The sink must outlive the writer.
class MemoWriter {
  public:
    // A new, empty .fpt written sequentially through sink (nothing written yet).
    static MemoWriter createFpt(FileSink& sink, std::uint16_t blockSize);
    // A new, empty dBase III .dbt (512-byte blocks), written the same way.
    static MemoWriter createDbt3(FileSink& sink);
    // The existing memo file of a table of the given memo kind.
    static MemoWriter openExisting(FileSink& sink, dbf::MemoKind kind);

    // Stores one memo; returns its block number (never 0).  type is the .fpt
    // block type (text or binary), ignored by .dbt files.
    std::uint32_t add(std::string_view data, std::uint32_t type);

    // Writes the next free block into the header (and, for a new file, makes
    // sure the header is there).  Call once after the last add().
    void finish();

  private:
    MemoWriter(FileSink& sink, dbf::MemoKind kind, std::uint32_t blockSize, std::uint32_t next,
               bool sequential)
        : sink_(sink), kind_(kind), blockSize_(blockSize), next_(next), sequential_(sequential) {}
    void put(std::uint64_t offset, std::string_view bytes);

    FileSink& sink_;
    dbf::MemoKind kind_;
    std::uint32_t blockSize_;
    std::uint32_t next_;
    bool sequential_;
};

// The memo reference a record stores for a block: 4 bytes little-endian in
// Visual FoxPro (width 4), else 10 ASCII digits right-aligned, blanks for no
// memo.  width is the field's width.
void putMemoRef(std::uint8_t* field, int width, std::uint32_t block);

}  // namespace quorvel::foxpro
