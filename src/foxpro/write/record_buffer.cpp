#include "foxpro/write/record_buffer.h"

#include <algorithm>
#include <cstring>

namespace quorvel::foxpro {

namespace {

// 32 pages of about 1 MB: large pieces for the disk, little memory.
constexpr std::size_t kPagesHeld = 32;

}  // namespace

RecordBuffer::RecordBuffer(FileSink& sink, std::uint64_t firstOffset, std::uint64_t recordLength,
                           std::int64_t fileRecords, std::uint64_t pageBytes)
    : sink_(sink),
      firstOffset_(firstOffset),
      recordLength_(recordLength),
      perPage_(static_cast<std::int64_t>(std::max<std::uint64_t>(1, pageBytes / recordLength))),
      fileRecords_(fileRecords),
      records_(fileRecords) {}

RecordBuffer::Page& RecordBuffer::page(std::int64_t number) {
    if (auto it = pages_.find(number); it != pages_.end()) return it->second;
    // A batch walks the table mostly in order: when the pages held are
    // full, all of them are written and let go at once.
    if (pages_.size() >= kPagesHeld) {
        flush();
        // Their memory serves the next pages: fresh memory would be
        // faulted in page by page again.
        for (auto& [number, held] : pages_) spare_.push_back(std::move(held.bytes));
        pages_.clear();
    }
    Page p;
    if (!spare_.empty()) {
        p.bytes = std::move(spare_.back());
        spare_.pop_back();
    }
    p.bytes.resize(static_cast<std::size_t>(perPage_) * recordLength_);
    const std::int64_t first = number * perPage_;
    p.valid = std::clamp<std::int64_t>(records_ - first, 0, perPage_);
    const std::int64_t onFile = std::clamp<std::int64_t>(fileRecords_ - first, 0, perPage_);
    if (onFile > 0)
        sink_.readAt(firstOffset_ + static_cast<std::uint64_t>(first) * recordLength_,
                     p.bytes.data(), static_cast<std::size_t>(onFile) * recordLength_);
    // What the file does not hold starts as zeros, also in reused memory.
    std::fill(p.bytes.begin() + static_cast<std::ptrdiff_t>(onFile) *
                                    static_cast<std::ptrdiff_t>(recordLength_),
              p.bytes.end(), std::uint8_t{0});
    return pages_.emplace(number, std::move(p)).first->second;
}

std::uint8_t* RecordBuffer::at(std::int64_t index, bool changing) {
    Page& p = page(index / perPage_);
    if (changing) p.dirty = true;
    return p.bytes.data() + static_cast<std::size_t>(index % perPage_) * recordLength_;
}

void RecordBuffer::append(const std::uint8_t* record) {
    const std::int64_t index = records_++;
    Page& p = page(index / perPage_);
    std::memcpy(p.bytes.data() + static_cast<std::size_t>(index % perPage_) * recordLength_, record,
                recordLength_);
    p.valid = index % perPage_ + 1;
    p.dirty = true;
}

void RecordBuffer::flush() {
    for (auto& [number, p] : pages_) {
        if (!p.dirty || p.valid == 0) continue;
        const std::int64_t first = number * perPage_;
        sink_.writeAt(firstOffset_ + static_cast<std::uint64_t>(first) * recordLength_,
                      p.bytes.data(), static_cast<std::size_t>(p.valid) * recordLength_);
        p.dirty = false;
        fileRecords_ = std::max(fileRecords_, first + p.valid);
    }
}

}  // namespace quorvel::foxpro
