#include "foxpro/read/lookup_pages.h"

#include <algorithm>

#include "foxpro/platform/mapped_file.h"
#include "foxpro/read/table_reader.h"

namespace quorvel::foxpro {

namespace {

// Stretches read again after they were given back before the order is
// taken for none at all.
constexpr int kComeBackLimit = 8;

}  // namespace

LookupPages::LookupPages(const TableReader& table, int kept) : table_(table), kept_(kept) {
    const std::int64_t count = table.storedCount();
    if (count <= 0 || table.file() == nullptr) {
        givingBack_ = false;
        return;
    }
    base_ = table.storedRecord(0).data();
    const auto length = static_cast<std::size_t>(table.layout().recordLength);
    perStretch_ = std::max<std::size_t>(1, platform::kReleaseStep / length);
    stretchBytes_ = perStretch_ * length;
    const std::size_t stretches = (static_cast<std::size_t>(count) + perStretch_ - 1) / perStretch_;
    // A table of no more stretches than are kept has nothing to give back.
    if (stretches <= static_cast<std::size_t>(kept_)) {
        givingBack_ = false;
        return;
    }
    lastRead_.assign(stretches, 0);
    givenBack_.assign(stretches, false);
}

void LookupPages::enter(std::size_t stretch) {
    current_ = stretch;
    if (!givingBack_ || stretch >= lastRead_.size()) return;
    if (lastRead_[stretch] == 0) {
        if (givenBack_[stretch] && ++comeBack_ > kComeBackLimit) {
            givingBack_ = false;
            return;
        }
        ++mapped_;
    }
    lastRead_[stretch] = ++clock_;
    if (mapped_ <= kept_) return;
    std::size_t oldest = stretch;
    for (std::size_t s = 0; s < lastRead_.size(); ++s)
        if (lastRead_[s] != 0 && lastRead_[s] < lastRead_[oldest]) oldest = s;
    const auto first = static_cast<std::int64_t>(oldest * perStretch_);
    table_.releaseRecords(first, first + static_cast<std::int64_t>(perStretch_));
    lastRead_[oldest] = 0;
    givenBack_[oldest] = true;
    --mapped_;
}

}  // namespace quorvel::foxpro
