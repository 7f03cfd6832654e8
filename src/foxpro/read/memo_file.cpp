#include "foxpro/read/memo_file.h"

#include <algorithm>
#include <new>
#include <string_view>

#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/mapped_file.h"
#include "foxpro/read/dbt_memo.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/fpt_memo.h"

namespace quorvel::foxpro {

std::string memoFileName(const std::string& tableFileName, dbf::MemoKind kind) {
    const auto dot = tableFileName.rfind('.');
    const std::string stem = tableFileName.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : tableFileName.substr(dot);
    // Forms, class libraries, reports, labels, menus and projects are tables
    // whose memo file takes the extension's last letter as "t".
    static constexpr std::string_view kOwnMemo[][2] = {
        {".dbc", ".dct"}, {".scx", ".sct"}, {".vcx", ".vct"}, {".frx", ".frt"},
        {".lbx", ".lbt"}, {".mnx", ".mnt"}, {".pjx", ".pjt"}};
    std::string memo = kind == dbf::MemoKind::Fpt ? ".fpt" : ".dbt";
    for (const auto& [table, own] : kOwnMemo)
        if (equalsNoCase(extension, table)) memo = own;
    const bool upper = extension.size() > 1 && extension == upperAscii(extension);
    return stem + (upper ? upperAscii(memo) : memo);
}

std::string findMemoFile(const std::string& tablePath, dbf::MemoKind kind) {
    return findFileNoCase(parentFolder(tablePath), memoFileName(fileNameOf(tablePath), kind));
}

MemoFile::MemoFile(std::string name, std::span<const std::uint8_t> bytes,
                   std::unique_ptr<platform::MappedFile> owner)
    : name_(std::move(name)), bytes_(bytes), owner_(std::move(owner)) {}

MemoFile::~MemoFile() = default;

void MemoFile::readBytes(std::uint64_t length) const {
    if (!owner_) return;
    owner_->checkFault();
    read_ += length + dbf::kFptBlockHeaderSize;
    if (read_ < platform::kReleaseStep) return;
    owner_->release(0, owner_->size());
    read_ = 0;
    owner_->checkUnchanged();
}

void MemoFile::copyBytes(std::uint64_t offset, std::uint64_t length, std::string& out) const {
    const auto* from = reinterpret_cast<const char*>(bytes_.data() + offset);
    const auto size = static_cast<std::size_t>(length);
    try {
        out.clear();
        out.reserve(size);
    } catch (const std::bad_alloc&) {
        throw FoxProError(kErrorOutOfMemory, name_ + ": not enough memory for a memo of " +
                                                 std::to_string(size) + " bytes");
    }
    if (!owner_ || size <= platform::kReleaseStep) {
        out.assign(from, size);
        return;
    }
    for (std::size_t done = 0; done < size;) {
        const std::size_t piece = std::min(platform::kReleaseStep, size - done);
        out.append(from + done, piece);
        const std::size_t at = static_cast<std::size_t>(offset) + done;
        owner_->release(at, at + piece);
        done += piece;
    }
}

MemoContent MemoFile::read(std::uint32_t block) const {
    const Place place = locate(block);
    MemoContent memo;
    memo.present = true;
    memo.block = block;
    memo.type = place.type;
    copyBytes(place.offset, place.length, memo.data);
    readBytes(place.length);
    return memo;
}

std::uint32_t MemoFile::readPieces(
    std::uint32_t block, const std::function<void(std::string_view, std::uint64_t)>& piece) const {
    const Place place = locate(block);
    const std::string_view all(reinterpret_cast<const char*>(bytes_.data() + place.offset),
                               static_cast<std::size_t>(place.length));
    for (std::size_t done = 0; done < all.size();) {
        std::size_t end = all.size();
        if (end - done > platform::kReleaseStep) {
            // The last byte below '0' in the second half of the step, else
            // the first one after it.
            end = done + platform::kReleaseStep;
            std::size_t cut = end;
            while (cut > done + platform::kReleaseStep / 2 &&
                   static_cast<unsigned char>(all[cut - 1]) >= '0')
                --cut;
            if (cut == done + platform::kReleaseStep / 2)
                while (cut < all.size() && static_cast<unsigned char>(all[cut - 1]) >= '0') ++cut;
            end = cut;
        }
        if (owner_) owner_->checkFault();
        piece(all.substr(done, end - done), place.length);
        if (owner_) {
            const std::size_t at = static_cast<std::size_t>(place.offset) + done;
            owner_->release(at, at + (end - done));
        }
        done = end;
    }
    readBytes(place.length);
    return place.type;
}

void MemoFile::checkUnchanged() const {
    if (owner_) owner_->checkUnchanged();
}

void MemoFile::fail(const std::string& problem) const {
    // What looks damaged may be zeros read past a new end of the file.
    if (owner_) owner_->checkFault();
    throw FoxProError(kErrorFile, name_ + ": " + problem);
}

void MemoFile::pastEnd(std::uint32_t block) const {
    fail("memo block " + std::to_string(block) + " lies past the end of the memo file");
}

std::unique_ptr<MemoFile> openMemoFile(std::string name, dbf::MemoKind kind,
                                       std::span<const std::uint8_t> bytes,
                                       std::unique_ptr<platform::MappedFile> owner) {
    switch (kind) {
        case dbf::MemoKind::Fpt:
            return std::make_unique<FptMemo>(std::move(name), bytes, std::move(owner));
        case dbf::MemoKind::Dbt4:
            return std::make_unique<DbtMemo>(std::move(name), bytes, std::move(owner), true);
        default:
            return std::make_unique<DbtMemo>(std::move(name), bytes, std::move(owner), false);
    }
}

}  // namespace quorvel::foxpro
