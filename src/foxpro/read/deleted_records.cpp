#include "foxpro/read/deleted_records.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace quorvel::foxpro {

DeletedRecords::DeletedRecords(std::int64_t storedCount, std::vector<std::uint32_t> deleted)
    : storedCount_(storedCount),
      deleted_(std::make_shared<const std::vector<std::uint32_t>>(std::move(deleted))) {}

DeletedRecords::DeletedRecords(const DeletedRecords& other, std::int64_t storedCount)
    : storedCount_(storedCount), deleted_(other.deleted_) {}

std::int64_t DeletedRecords::liveIndex(std::int64_t n) const {
    if (n <= 0) return -1;
    // Before deleted[k] lie deleted[k] - k live records, a count that never
    // decreases with k; the deleted records before the n-th live one are the
    // first k whose count is below n.
    const auto& deleted = *deleted_;
    std::size_t low = 0, high = deleted.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (static_cast<std::int64_t>(deleted[mid]) - static_cast<std::int64_t>(mid) < n)
            low = mid + 1;
        else
            high = mid;
    }
    const std::int64_t index = n - 1 + static_cast<std::int64_t>(low);
    return index < storedCount_ ? index : -1;
}

namespace {

struct Entry {
    FileStamp stamp;
    std::shared_ptr<const DeletedRecords> records;
    std::uint64_t lastUse = 0;
};

// A few tables are open at a time; the bound only stops a long session
// from gathering lists of tables it no longer reads.
constexpr std::size_t kMaxEntries = 64;

std::mutex gMutex;
std::map<std::pair<std::uint64_t, std::uint64_t>, Entry> gEntries;
std::uint64_t gUses = 0;

std::pair<std::uint64_t, std::uint64_t> keyOf(const FileStamp& stamp) {
    return {stamp.device, stamp.inode};
}

}  // namespace

std::shared_ptr<const DeletedRecords> deletedRecordsOf(
    const FileStamp& stamp, std::int64_t storedCount,
    const std::function<std::vector<std::uint32_t>()>& scan) {
    // A failed fstat gives no identity to keep a list under.
    const bool keep = stamp.inode != 0;
    if (keep) {
        std::lock_guard lock(gMutex);
        auto it = gEntries.find(keyOf(stamp));
        if (it != gEntries.end() && it->second.stamp == stamp &&
            it->second.records->storedCount() == storedCount) {
            it->second.lastUse = ++gUses;
            return it->second.records;
        }
    }
    auto records = std::make_shared<const DeletedRecords>(storedCount, scan());
    if (keep) {
        std::lock_guard lock(gMutex);
        if (gEntries.size() >= kMaxEntries && !gEntries.count(keyOf(stamp))) {
            auto oldest = std::min_element(
                gEntries.begin(), gEntries.end(),
                [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
            gEntries.erase(oldest);
        }
        gEntries.insert_or_assign(keyOf(stamp), Entry{stamp, records, ++gUses});
    }
    return records;
}

void carryDeletedRecords(const FileStamp& before, const FileStamp& after,
                         std::int64_t storedCount) {
    std::lock_guard lock(gMutex);
    auto it = gEntries.find(keyOf(before));
    if (it == gEntries.end()) return;
    Entry& entry = it->second;
    // Only a list that was right before the write is right after it; records
    // can only have been appended (live ones).
    if (!(entry.stamp == before) || keyOf(after) != keyOf(before) ||
        storedCount < entry.records->storedCount()) {
        gEntries.erase(it);
        return;
    }
    if (storedCount != entry.records->storedCount())
        entry.records = std::make_shared<const DeletedRecords>(*entry.records, storedCount);
    entry.stamp = after;
}

void forgetDeletedRecords(const FileStamp& stamp) {
    std::lock_guard lock(gMutex);
    gEntries.erase(keyOf(stamp));
}

}  // namespace quorvel::foxpro
