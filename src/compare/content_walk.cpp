// Content pairing: a common subsequence of equal records found over record
// hashes, every match confirmed by comparing its two records before the
// stretch in front of it is given its lines.

#include <algorithm>
#include <atomic>
#include <exception>
#include <span>
#include <thread>

#include "compare/hash_alignment.h"
#include "compare/pairing_walks.h"
#include "compare/stretch_pairing.h"
#include "compare/together.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/platform/mapped_file.h"
#include "foxpro/read/table_reader.h"

namespace quorvel::compare {

namespace {

using foxpro::Recordset;

// What hashing found of record i of the two tables: records i equal
// (kSameAt), record i of Table #1 equal to record i - 1 of Table #2
// (kAfter1), or record i of Table #2 to record i - 1 of Table #1.
constexpr std::uint8_t kSameAt = 1;
constexpr std::uint8_t kAfter1 = 2;
constexpr std::uint8_t kAfter2 = 4;

// Tables shorter than this are hashed on one thread.
constexpr std::int64_t kTwoHalvesLeast = std::int64_t{1} << 16;

class ContentWalk {
  public:
    ContentWalk(TablePair& tables, DifferenceList& out, WalkPacer& pacer)
        : tables_(tables), out_(out), pacer_(pacer) {}

    void run() {
        tables_.addMissingFieldLines(out_);
        std::vector<Match> matches;
        {
            // Tables of one layout are aligned by their stored bytes first
            // (no decoding), then what that leaves between two matches by
            // their values.
            std::vector<std::uint64_t> hashes1;
            std::vector<std::uint64_t> hashes2;
            hashTables(hashes1, hashes2);
            count1_ = static_cast<std::int64_t>(hashes1.size());
            count2_ = static_cast<std::int64_t>(hashes2.size());
            matches = alignCopies(hashes1, hashes2);
        }
        // A match whose records differ (equal hashes of unequal records)
        // joins the stretch around it.
        std::int64_t start1 = 1;
        std::int64_t start2 = 1;
        auto take = [&](const Match& m) {
            const std::int64_t n1 = std::int64_t{m.index1} + 1;
            const std::int64_t n2 = std::int64_t{m.index2} + 1;
            if (!foundEqual(m)) {
                tables_.cursor1().moveTo(n1);
                tables_.cursor2().moveTo(n2);
                if (!tables_.currentEqual()) return;
            }
            stretch(start1, n1, start2, n2);
            pacer_.work(done_ += 2, 1);
            start1 = n1 + 1;
            start2 = n2 + 1;
        };
        if (tables_.byBytes()) {
            // What lies between two matches by stored bytes (and before the
            // first, after the last) is aligned by value as the walk comes
            // to it, while its records are at hand for their lines.
            std::int64_t from1 = 1;
            std::int64_t from2 = 1;
            for (const Match& m : matches) {
                for (const Match& v : gapByValue(from1, std::int64_t{m.index1} + 1, from2,
                                                 std::int64_t{m.index2} + 1))
                    take(v);
                take(m);
                from1 = std::int64_t{m.index1} + 2;
                from2 = std::int64_t{m.index2} + 2;
            }
            for (const Match& v : gapByValue(from1, count1_ + 1, from2, count2_ + 1)) take(v);
        } else {
            for (const Match& m : matches) take(m);
        }
        stretch(start1, count1_ + 1, start2, count2_ + 1);
    }

  private:
    Recordset& cursor(int side) { return side == 1 ? tables_.cursor1() : tables_.cursor2(); }

    // The record hashes of both tables, read side by side.  Records whose
    // stored bytes agree are equal and share one hash: at one place
    // (sameAt_), or one place apart, as after one record removed from or
    // inserted into one table (after1_[i]: record i of Table #1 is the
    // record before i of Table #2; after2_[j] the other way).
    void hashTables(std::vector<std::uint64_t>& hashes1, std::vector<std::uint64_t>& hashes2) {
        if (hashInTwoHalves(hashes1, hashes2)) return;
        const bool stored = tables_.byBytes();
        const int units = stored ? 1 : static_cast<int>(tables_.comparedCount());
        Recordset& c1 = tables_.cursor1();
        Recordset& c2 = tables_.cursor2();
        hashes1.reserve(static_cast<std::size_t>(c1.table().storedCount()));
        hashes2.reserve(static_cast<std::size_t>(c2.table().storedCount()));
        auto hash = [&](int side) {
            return stored ? tables_.currentStoredHash(side) : tables_.currentHash(side);
        };
        c1.moveFirst();
        c2.moveFirst();
        // Hashing by values (or memo contents) may warn of undecodable
        // text: one table after the other, so that the warnings keep
        // their order.
        std::span<const std::uint8_t> previous1;
        std::span<const std::uint8_t> previous2;
        for (; tables_.bytesDecide() && !c1.eof() && !c2.eof(); c1.moveNext(), c2.moveNext()) {
            // The records stay mapped while the tables are open.
            const auto raw1 = c1.rawRecord();
            const auto raw2 = c2.rawRecord();
            const bool same = tables_.storedEqual(raw1, raw2);
            const bool after1 = !same && !previous2.empty() && tables_.storedEqual(raw1, previous2);
            // One of the two is enough to save a hash (and nearly always
            // the only one true); a match it misses is confirmed by reading.
            const bool after2 =
                !same && !after1 && !previous1.empty() && tables_.storedEqual(previous1, raw2);
            found_.push_back(static_cast<std::uint8_t>(
                (same ? kSameAt : 0) | (after1 ? kAfter1 : 0) | (after2 ? kAfter2 : 0)));
            const std::uint64_t h1 = after1 ? hashes2.back() : hash(1);
            hashes1.push_back(h1);
            hashes2.push_back(same ? h1 : after2 ? hashes1[hashes1.size() - 2] : hash(2));
            previous1 = raw1;
            previous2 = raw2;
            pacer_.work(++done_, units);
            pacer_.work(++done_, units);
        }
        for (; !c1.eof(); c1.moveNext()) {
            hashes1.push_back(hash(1));
            pacer_.work(++done_, units);
        }
        for (; !c2.eof(); c2.moveNext()) {
            hashes2.push_back(hash(2));
            pacer_.work(++done_, units);
        }
    }

    // hashTables for tables whose stored bytes decide and that hold no
    // deleted record, long enough to pay for a thread: the records side by
    // side in two halves at once, read straight from the maps, each
    // half's pages given back behind it.  False (and nothing kept) when it
    // does not apply; a deleted record is found on the way.
    bool hashInTwoHalves(std::vector<std::uint64_t>& hashes1, std::vector<std::uint64_t>& hashes2) {
        if (!tables_.bytesDecide()) return false;
        const foxpro::TableReader& t1 = tables_.cursor1().table();
        const foxpro::TableReader& t2 = tables_.cursor2().table();
        const std::int64_t count1 = t1.storedCount();
        const std::int64_t count2 = t2.storedCount();
        const std::int64_t both = std::min(count1, count2);
        if (both < kTwoHalvesLeast) return false;
        hashes1.resize(static_cast<std::size_t>(count1));
        hashes2.resize(static_cast<std::size_t>(count2));
        found_.assign(static_cast<std::size_t>(both), 0);
        std::atomic<bool> deleted{false};
        const std::int64_t perStretch = std::max<std::int64_t>(
            1, static_cast<std::int64_t>(foxpro::platform::kReleaseStep) /
                   std::max(t1.layout().recordLength, t2.layout().recordLength));
        // Records [from, to) of both tables, then those of the longer one's
        // [to, tail); the first half, on the caller's thread, paces the walk.
        auto part = [&](std::int64_t from, std::int64_t to, std::int64_t tail, bool pace) {
            for (std::int64_t first = from; first < to && !deleted; first += perStretch) {
                const std::int64_t last = std::min(to, first + perStretch);
                for (std::int64_t i = first; i < last; ++i) {
                    const auto raw1 = t1.storedRecord(i);
                    const auto raw2 = t2.storedRecord(i);
                    if (raw1[0] == foxpro::dbf::kRecordDeleted ||
                        raw2[0] == foxpro::dbf::kRecordDeleted) {
                        deleted = true;
                        return;
                    }
                    const auto at = static_cast<std::size_t>(i);
                    const bool same = tables_.storedEqual(raw1, raw2);
                    const bool after1 =
                        !same && i > 0 && tables_.storedEqual(raw1, t2.storedRecord(i - 1));
                    const bool after2 = !same && !after1 && i > 0 &&
                                        tables_.storedEqual(t1.storedRecord(i - 1), raw2);
                    found_[at] = static_cast<std::uint8_t>(
                        (same ? kSameAt : 0) | (after1 ? kAfter1 : 0) | (after2 ? kAfter2 : 0));
                    // The hash of the record before is this half's own but
                    // at its first record.
                    const std::uint64_t h1 =
                        after1 && i > from ? hashes2[at - 1] : tables_.storedHash(raw1);
                    hashes1[at] = h1;
                    hashes2[at] = same                 ? h1
                                  : after2 && i > from ? hashes1[at - 1]
                                                       : tables_.storedHash(raw2);
                }
                t1.releaseRecords(first - 1, last);
                t2.releaseRecords(first - 1, last);
                if (pace) pacer_.work(done_ + 2 * last, static_cast<int>(2 * (last - first)));
            }
            const foxpro::TableReader& longer = count1 > count2 ? t1 : t2;
            std::vector<std::uint64_t>& hashes = count1 > count2 ? hashes1 : hashes2;
            for (std::int64_t first = to; first < tail && !deleted; first += perStretch) {
                const std::int64_t last = std::min(tail, first + perStretch);
                for (std::int64_t i = first; i < last; ++i) {
                    const auto raw = longer.storedRecord(i);
                    if (raw[0] == foxpro::dbf::kRecordDeleted) {
                        deleted = true;
                        return;
                    }
                    hashes[static_cast<std::size_t>(i)] = tables_.storedHash(raw);
                }
                longer.releaseRecords(first, last);
            }
        };
        const std::int64_t middle = both / 2;
        together([&] { part(0, middle, middle, true); },
                 [&] { part(middle, both, std::max(count1, count2), false); });
        if (deleted) {
            hashes1.clear();
            hashes2.clear();
            found_.clear();
            return false;
        }
        // What a walk by the cursors checks at its end, and what it learns:
        // that neither table holds a deleted record.
        t1.checkUnchanged();
        t2.checkUnchanged();
        t1.adoptDeletedRecords({});
        t2.adoptDeletedRecords({});
        done_ += count1 + count2;
        return true;
    }

    // Whether hashing found the two records of a match equal already.
    bool foundEqual(const Match& m) const {
        const std::size_t i = m.index1;
        const std::size_t j = m.index2;
        if (i == j) return i < found_.size() && (found_[i] & kSameAt);
        if (i == j + 1) return i < found_.size() && (found_[i] & kAfter1);
        if (j == i + 1) return j < found_.size() && (found_[j] & kAfter2);
        return false;
    }

    // The value hashes of records [from, to) of a side.
    std::vector<std::uint64_t> valueHashes(int side, std::int64_t from, std::int64_t to) {
        std::vector<std::uint64_t> hashes;
        for (std::int64_t n = from; n < to; ++n) {
            cursor(side).moveTo(n);
            hashes.push_back(tables_.currentHash(side));
            pacer_.work(done_, static_cast<int>(tables_.comparedCount()));
        }
        return hashes;
    }

    // The matches by value of records [from1, to1) of Table #1 and [from2,
    // to2) of Table #2, which lie between two matches by stored bytes.
    std::vector<Match> gapByValue(std::int64_t from1, std::int64_t to1, std::int64_t from2,
                                  std::int64_t to2) {
        std::vector<Match> matches;
        if (to1 > from1 && to2 > from2) {
            for (const Match& m :
                 alignHashes(valueHashes(1, from1, to1), valueHashes(2, from2, to2)))
                matches.push_back({static_cast<std::uint32_t>(from1 - 1 + m.index1),
                                   static_cast<std::uint32_t>(from2 - 1 + m.index2)});
        }
        return matches;
    }

    // The hashes of the compared fields of records [from, to) of a side.
    std::vector<std::uint64_t> fieldHashes(int side, std::int64_t from, std::int64_t to) {
        std::vector<std::uint64_t> hashes;
        for (std::int64_t n = from; n < to; ++n) {
            cursor(side).moveTo(n);
            tables_.currentFieldHashes(side, hashes);
        }
        return hashes;
    }

    // The lines of the stretch of records [from1, to1) of Table #1 and
    // [from2, to2) of Table #2: each record of Table #1 with its partner's
    // Changed lines or as Deleted, then the Added records of Table #2.
    void stretch(std::int64_t from1, std::int64_t to1, std::int64_t from2, std::int64_t to2) {
        const auto rows1 = static_cast<std::size_t>(to1 - from1);
        const auto rows2 = static_cast<std::size_t>(to2 - from2);
        if (rows1 == 0 && rows2 == 0) return;
        std::vector<Match> pairs;
        if (rows1 > 0 && rows2 > 0) {
            const std::size_t budget =
                std::max(kStretchWorkPerRecord * static_cast<std::size_t>(count1_ + count2_),
                         kStretchLimit * kStretchLimit);
            if (rows1 <= kStretchLimit && rows2 <= kStretchLimit &&
                stretchWork_ + rows1 * rows2 <= budget) {
                stretchWork_ += rows1 * rows2;
                pairs = pairStretch(fieldHashes(1, from1, to1), fieldHashes(2, from2, to2),
                                    tables_.comparedCount());
            } else {
                pairs = pairFirstWithFirst(rows1, rows2);
            }
        }
        std::vector<bool> paired2(rows2, false);
        std::size_t next = 0;
        for (std::size_t i = 0; i < rows1; ++i) {
            const std::int64_t n1 = from1 + static_cast<std::int64_t>(i);
            int units = 1;
            if (next < pairs.size() && pairs[next].index1 == i) {
                const std::int64_t n2 = from2 + pairs[next].index2;
                paired2[pairs[next].index2] = true;
                ++next;
                tables_.cursor1().moveTo(n1);
                tables_.cursor2().moveTo(n2);
                units = tables_.compareCurrent(out_, n1, n2, false);
            } else {
                out_.addDeleted(n1);
            }
            pacer_.work(++done_, units);
        }
        for (std::size_t j = 0; j < rows2; ++j) {
            if (!paired2[j]) out_.addAdded(from2 + static_cast<std::int64_t>(j));
            pacer_.work(++done_, 1);
        }
    }

    TablePair& tables_;
    DifferenceList& out_;
    WalkPacer& pacer_;
    std::int64_t count1_ = 0;
    std::int64_t count2_ = 0;
    std::int64_t done_ = 0;
    // Per record of the shorter table, what hashing found of it (kSameAt...).
    std::vector<std::uint8_t> found_;
    std::size_t stretchWork_ = 0;  // record comparisons of the stretches weighed so far
};

}  // namespace

void walkByContent(TablePair& tables, DifferenceList& out, WalkPacer& pacer) {
    ContentWalk(tables, out, pacer).run();
}

}  // namespace quorvel::compare
