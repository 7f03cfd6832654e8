#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "foxpro/format/dbf_format.h"

namespace quorvel::foxpro {

namespace platform {
class MappedFile;
}

// A memo's stored content.
struct MemoContent {
    bool present = false;  // false: block 0 / blank reference, no memo
    std::uint32_t block = 0;
    std::uint32_t type = 1;  // .fpt block type (1 text, 0 picture/binary); 1 for .dbt
    std::string data;        // raw bytes as stored, no code-page decoding
};

// Reads memos out of the bytes of one memo file, one class per format
// (fpt_memo.h, dbt_memo.h).  Every block number and length is checked
// against the file size; a failure throws FoxProError(kErrorFile,
// "<name>: <problem>").
class MemoFile {
  public:
    virtual ~MemoFile();
    MemoFile(const MemoFile&) = delete;
    MemoFile& operator=(const MemoFile&) = delete;

    const std::string& name() const { return name_; }
    int blockSize() const { return static_cast<int>(blockSize_); }

    // The memo stored at block (not 0).  A memo file that shrank or was
    // written over since it was mapped throws "<name> changed while it was
    // being read" rather than give what was read.  No memory for its copy
    // throws FoxProError(kErrorOutOfMemory, ...) naming the memo's size.
    MemoContent read(std::uint32_t block) const;

    // The same memo's bytes handed to piece in order, straight from the
    // file, a kReleaseStep or so at a time with each piece's pages given
    // back once it is handled: a memo of many megabytes is decoded with no
    // copy of its bytes.  A piece ends after a byte below '0' (a blank, a
    // line end, most punctuation), which no code page's multi-byte
    // character holds, so that pieces decode one by one (a memo without
    // such a byte comes whole).  Returns the memo's type (.fpt block type).
    // piece also gets the memo's whole length (to reserve room by).
    std::uint32_t readPieces(
        std::uint32_t block,
        const std::function<void(std::string_view piece, std::uint64_t length)>& piece) const;

    // Throws that error when the file changed since it was mapped (nothing
    // for bytes the caller lent).
    void checkUnchanged() const;

  protected:
    // Where a memo lies in the file, its block and length checked against
    // the file: one implementation per format.
    struct Place {
        std::uint32_t type = 1;
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };
    virtual Place locate(std::uint32_t block) const = 0;

    // bytes stay valid as long as owner (or, without one, as long as the
    // caller who lent them wants).
    MemoFile(std::string name, std::span<const std::uint8_t> bytes,
             std::unique_ptr<platform::MappedFile> owner);

    // Called after every memo read: the read is checked against a fault of
    // the map.  Memos are read in no particular order: after every
    // kReleaseStep bytes read, the whole map is given back (pages read
    // again come from the page cache) and the file checked for a change.
    // Bytes the caller lent (no owner) are not ours to drop.
    void readBytes(std::uint64_t length) const;

    // out = length bytes of the file from offset, copied a kReleaseStep at
    // a time with the pages of each piece given back behind it, so that a
    // memo of many megabytes costs its copy and not its map's pages too.
    void copyBytes(std::uint64_t offset, std::uint64_t length, std::string& out) const;

    [[noreturn]] void fail(const std::string& problem) const;
    [[noreturn]] void pastEnd(std::uint32_t block) const;

    std::string name_;
    std::span<const std::uint8_t> bytes_;
    std::unique_ptr<platform::MappedFile> owner_;
    std::uint32_t blockSize_ = 0;

  private:
    mutable std::uint64_t read_ = 0;  // memo bytes read since the last release
};

// The one rule for a table's memo file: the table file's stem with the memo
// kind's extension (".fpt"; ".dbt" for dBase; a container's ".dct"; ".sct",
// ".vct", ".frt", ".lbt", ".mnt", ".pjt" beside ".scx" ... ".pjx"), in the
// letter case of the table's extension ("CUSTOMER.DBF" -> "CUSTOMER.FPT").
std::string memoFileName(const std::string& tableFileName, dbf::MemoKind kind);

// The memo file that stands beside the table at tablePath: memoFileName
// found without regard to letter case ("calls.dbf" beside "calls.FPT"), as
// a full path; "" when there is none.
std::string findMemoFile(const std::string& tablePath, dbf::MemoKind kind);

// The reader of a memo file of the given kind: an .fpt, a dBase IV .dbt, or
// (for any other kind) a dBase III .dbt.  Throws as read() does when the
// file's header is unusable.
std::unique_ptr<MemoFile> openMemoFile(std::string name, dbf::MemoKind kind,
                                       std::span<const std::uint8_t> bytes,
                                       std::unique_ptr<platform::MappedFile> owner);

}  // namespace quorvel::foxpro
