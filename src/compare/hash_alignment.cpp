#include "compare/hash_alignment.h"

#include <algorithm>
#include <utility>

#include "compare/record_hash.h"

namespace quorvel::compare {

namespace {

// The work budget: sorting a stretch costs its length, Myers' diff its
// length per edit.  Enough for dozens of levels of anchors over the whole
// sequences; a pair in reverse order finds one anchor per level and would
// otherwise go on for n levels.
constexpr std::int64_t kBudgetPerHash = 32;
constexpr std::int64_t kBudgetBase = std::int64_t{1} << 20;
// A stretch without a hash that occurs once on each side takes as anchors
// the hashes that occur equally often on both sides, up to this often (two
// copies of a record on each side pair first with first).
constexpr std::size_t kRareCount = 8;
// Myers' diff gives up beyond this many insertions and deletions.
constexpr std::int64_t kMaxEdits = 1000;

struct Range {
    std::uint32_t a0, a1, b0, b1;
};

class Aligner {
  public:
    Aligner(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b)
        : a_(a),
          b_(b),
          budget_(kBudgetPerHash * static_cast<std::int64_t>(a.size() + b.size()) + kBudgetBase),
          partner_(a.size(), 0) {}

    std::vector<Match> run() {
        std::vector<Range> pending{
            {0, static_cast<std::uint32_t>(a_.size()), 0, static_cast<std::uint32_t>(b_.size())}};
        while (!pending.empty()) {
            const Range r = pending.back();
            pending.pop_back();
            align(r, pending);
        }
        // The ranges are done out of order: the matches are read back in
        // the order of the first sequence.
        std::vector<Match> matches;
        for (std::uint32_t i = 0; i < partner_.size(); ++i)
            if (partner_[i] != 0) matches.push_back({i, partner_[i] - 1});
        return matches;
    }

  private:
    void match(std::uint32_t i, std::uint32_t j) { partner_[i] = j + 1; }

    void align(Range r, std::vector<Range>& pending) {
        while (r.a0 < r.a1 && r.b0 < r.b1 && a_[r.a0] == b_[r.b0]) match(r.a0++, r.b0++);
        while (r.a0 < r.a1 && r.b0 < r.b1 && a_[r.a1 - 1] == b_[r.b1 - 1]) match(--r.a1, --r.b1);
        if (r.a0 == r.a1 || r.b0 == r.b1) return;
        const std::int64_t size = std::int64_t{r.a1 - r.a0} + (r.b1 - r.b0);
        if (budget_ < size) return;
        budget_ -= size;

        std::vector<Match> anchors;
        if (!findAnchors(r, anchors)) return;  // nothing in common: one stretch
        if (anchors.empty()) {
            myers(r);
            return;
        }
        std::uint32_t a = r.a0;
        std::uint32_t b = r.b0;
        for (const Match& m : anchors) {
            match(m.index1, m.index2);
            if (m.index1 > a && m.index2 > b) pending.push_back({a, m.index1, b, m.index2});
            a = m.index1 + 1;
            b = m.index2 + 1;
        }
        if (a < r.a1 && b < r.b1) pending.push_back({a, r.a1, b, r.b1});
    }

    // Anchors of the range along their longest increasing run; false when
    // the two sides share no hash at all.
    bool findAnchors(const Range& r, std::vector<Match>& anchors) {
        sorted1_.clear();
        sorted2_.clear();
        // At their full size at once: the first range is the whole of both
        // sequences, and growing by doubling would copy and fault in half
        // as much again.
        sorted1_.reserve(r.a1 - r.a0);
        sorted2_.reserve(r.b1 - r.b0);
        for (std::uint32_t i = r.a0; i < r.a1; ++i) sorted1_.emplace_back(a_[i], i);
        for (std::uint32_t j = r.b0; j < r.b1; ++j) sorted2_.emplace_back(b_[j], j);
        sortByHash(sorted1_);
        sortByHash(sorted2_);

        std::vector<Match> unique;
        std::vector<Match> rare;
        unique.reserve(std::min(sorted1_.size(), sorted2_.size()));
        bool shared = false;
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < sorted1_.size() && j < sorted2_.size()) {
            const std::uint64_t h1 = sorted1_[i].first;
            const std::uint64_t h2 = sorted2_[j].first;
            std::size_t end1 = i;
            std::size_t end2 = j;
            if (h1 <= h2)
                while (end1 < sorted1_.size() && sorted1_[end1].first == h1) ++end1;
            if (h2 <= h1)
                while (end2 < sorted2_.size() && sorted2_[end2].first == h2) ++end2;
            if (h1 == h2) {
                shared = true;
                const std::size_t count = end1 - i;
                if (count == 1 && end2 - j == 1) {
                    unique.push_back({sorted1_[i].second, sorted2_[j].second});
                } else if (count == end2 - j && count <= kRareCount) {
                    for (std::size_t k = 0; k < count; ++k)
                        rare.push_back({sorted1_[i + k].second, sorted2_[j + k].second});
                }
            }
            i = end1;
            j = end2;
        }
        if (!shared) return false;
        std::vector<Match>& candidates = unique.empty() ? rare : unique;
        sortByFirst(candidates, r);
        anchors = longestIncreasing(candidates);
        return true;
    }

    // Candidates of a range in order of index1, which no two share: when
    // they are many, each put in its place (two copies of a table changed
    // here and there make one candidate of nearly every record).
    void sortByFirst(std::vector<Match>& candidates, const Range& r) {
        const std::size_t span = r.a1 - r.a0;
        if (candidates.size() < 1024 || candidates.size() * 8 < span) {
            std::sort(candidates.begin(), candidates.end(),
                      [](const Match& x, const Match& y) { return x.index1 < y.index1; });
            return;
        }
        placed_.assign(span, 0);
        for (const Match& m : candidates) placed_[m.index1 - r.a0] = m.index2 + 1;
        std::size_t k = 0;
        for (std::uint32_t i = 0; i < span; ++i)
            if (placed_[i] != 0) candidates[k++] = {r.a0 + i, placed_[i] - 1};
    }

    // The longest run of candidates (sorted by index1) whose index2 also
    // increases: patience sorting, n log n.
    static std::vector<Match> longestIncreasing(const std::vector<Match>& candidates) {
        std::vector<std::size_t> tails;  // candidate ending the best run of each length
        std::vector<std::size_t> previous(candidates.size());
        for (std::size_t c = 0; c < candidates.size(); ++c) {
            // A candidate beyond the longest run so far (the usual case:
            // the candidates mostly in order on both sides) extends it.
            const auto pos =
                !tails.empty() && candidates[tails.back()].index2 < candidates[c].index2
                    ? tails.end()
                    : std::lower_bound(tails.begin(), tails.end(), candidates[c].index2,
                                       [&](std::size_t t, std::uint32_t value) {
                                           return candidates[t].index2 < value;
                                       });
            previous[c] = pos == tails.begin() ? c : *(pos - 1);
            if (pos == tails.end())
                tails.push_back(c);
            else
                *pos = c;
        }
        std::vector<Match> run;
        if (tails.empty()) return run;
        for (std::size_t c = tails.back();; c = previous[c]) {
            run.push_back(candidates[c]);
            if (previous[c] == c) break;
        }
        std::reverse(run.begin(), run.end());
        return run;
    }

    // Myers' greedy diff over the range, kept only when it needs at most
    // maxEdits insertions and deletions.
    void myers(const Range& r) {
        const int n = static_cast<int>(r.a1 - r.a0);
        const int m = static_cast<int>(r.b1 - r.b0);
        const std::int64_t size = std::int64_t{n} + m;
        const int maxEdits = static_cast<int>(std::min({kMaxEdits, size, budget_ / size}));
        if (maxEdits < 1) return;
        const int offset = maxEdits + 1;
        std::vector<int> v(static_cast<std::size_t>(2 * maxEdits + 3), 0);
        std::vector<std::vector<int>> trace;
        auto at = [&](std::vector<int>& row, int k) -> int& {
            return row[static_cast<std::size_t>(k + offset)];
        };
        for (int d = 0; d <= maxEdits; ++d) {
            trace.push_back(v);
            for (int k = -d; k <= d; k += 2) {
                int x = (k == -d || (k != d && at(v, k - 1) < at(v, k + 1))) ? at(v, k + 1)
                                                                             : at(v, k - 1) + 1;
                int y = x - k;
                while (x < n && y < m && a_[r.a0 + x] == b_[r.b0 + y]) {
                    ++x;
                    ++y;
                }
                at(v, k) = x;
                if (x >= n && y >= m) {
                    budget_ -= size * (d + 1);
                    backtrack(r, trace, n, m, offset);
                    return;
                }
            }
        }
        budget_ -= size * maxEdits;
    }

    void backtrack(const Range& r, std::vector<std::vector<int>>& trace, int x, int y, int offset) {
        for (int d = static_cast<int>(trace.size()) - 1; d >= 0; --d) {
            const std::vector<int>& v = trace[static_cast<std::size_t>(d)];
            auto at = [&](int k) { return v[static_cast<std::size_t>(k + offset)]; };
            const int k = x - y;
            const int previousK = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? k + 1 : k - 1;
            const int previousX = at(previousK);
            const int previousY = previousX - previousK;
            while (x > previousX && y > previousY) {
                --x;
                --y;
                match(r.a0 + static_cast<std::uint32_t>(x), r.b0 + static_cast<std::uint32_t>(y));
            }
            x = previousX;
            y = previousY;
        }
    }

    std::span<const std::uint64_t> a_;
    std::span<const std::uint64_t> b_;
    std::int64_t budget_;
    std::vector<std::uint32_t> partner_;  // per position of a: 1 + its match in b, 0 for none
    std::vector<std::pair<std::uint64_t, std::uint32_t>> sorted1_;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> sorted2_;
    std::vector<std::uint32_t> placed_;  // per position of a range: 1 + a candidate's index2
};

// A set of hashes as one bit per slot: a clear bit says a hash is not in
// it, a set one that it may be.  At least `perHash` slots per hash, and at
// least `least` slots: few false hits, and small enough to stay in the
// cache.
class HashFilter {
  public:
    HashFilter(std::size_t count, std::size_t perHash, std::size_t least = 0) {
        while (bits_ < 40 &&
               ((std::size_t{1} << bits_) < perHash * count || (std::size_t{1} << bits_) < least))
            ++bits_;
        words_.assign(((std::size_t{1} << bits_) + 63) / 64, 0);
    }
    // Sets the hash's bit; whether it was set already.
    bool add(std::uint64_t hash) {
        const std::size_t s = slot(hash);
        std::uint64_t& word = words_[s / 64];
        const std::uint64_t bit = std::uint64_t{1} << (s % 64);
        const bool was = (word & bit) != 0;
        word |= bit;
        return was;
    }
    bool mayHold(std::uint64_t hash) const {
        const std::size_t s = slot(hash);
        return (words_[s / 64] >> (s % 64)) & 1;
    }

  private:
    // The hash mixed first, so that hashes of few bits spread too.
    std::size_t slot(std::uint64_t hash) const {
        return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
    }
    int bits_ = 6;
    std::vector<std::uint64_t> words_;
};

// A filter of a few hashes that every hash of a long sequence is looked up
// in: this many slots at least (128 kB), so that few of them are searched.
constexpr std::size_t kLookupSlots = std::size_t{1} << 20;

void sortUnique(std::vector<std::uint64_t>& hashes) {
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
}

}  // namespace

HashFingerprints::HashFingerprints(std::span<const std::uint64_t> hashes) {
    while (bits_ < 40 && (std::size_t{1} << bits_) < 4 * hashes.size()) ++bits_;
    slots_.assign(std::size_t{1} << bits_, 0);
    // A hash whose bits another one left already may be held twice: those
    // are few, and checked exactly.
    std::vector<std::uint64_t> shared;
    for (const std::uint64_t h : hashes)
        if (add(h)) shared.push_back(h);
    if (shared.empty()) return;
    sortUnique(shared);
    HashFilter sharedFilter(shared.size(), 8, kLookupSlots);
    for (const std::uint64_t h : shared) sharedFilter.add(h);
    std::vector<std::uint64_t> held;
    for (const std::uint64_t h : hashes)
        if (sharedFilter.mayHold(h) && std::binary_search(shared.begin(), shared.end(), h))
            held.push_back(h);
    std::sort(held.begin(), held.end());
    distinct_ = std::adjacent_find(held.begin(), held.end()) == held.end();
}

bool HashFingerprints::add(std::uint64_t hash) {
    const std::uint8_t mark = markOf(hash);
    for (std::size_t s = slot(hash);; s = (s + 1) & (slots_.size() - 1)) {
        if (slots_[s] == mark) return true;
        if (slots_[s] == 0) {
            slots_[s] = mark;
            return false;
        }
    }
}

bool holdsAny(std::span<const std::uint64_t> in, std::vector<std::uint64_t> among) {
    if (among.empty()) return false;
    sortUnique(among);
    HashFilter filter(among.size(), 8, kLookupSlots);
    for (const std::uint64_t h : among) filter.add(h);
    for (const std::uint64_t h : in)
        if (filter.mayHold(h) && std::binary_search(among.begin(), among.end(), h)) return true;
    return false;
}

std::vector<Match> alignHashes(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b) {
    return Aligner(a, b).run();
}

std::vector<Match> alignCopies(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b) {
    if (a.empty() || b.empty()) return {};
    {
        // A record removed or added in one place (or none): the common
        // start and end are the whole alignment, as alignHashes finds it.
        std::size_t start = 0;
        const std::size_t shorter = std::min(a.size(), b.size());
        while (start < shorter && a[start] == b[start]) ++start;
        std::size_t end = 0;
        while (end < shorter - start && a[a.size() - 1 - end] == b[b.size() - 1 - end]) ++end;
        if (start + end == shorter) {
            std::vector<Match> matches;
            matches.reserve(shorter);
            for (std::size_t i = 0; i < start; ++i)
                matches.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(i)});
            for (std::size_t k = end; k > 0; --k)
                matches.push_back({static_cast<std::uint32_t>(a.size() - k),
                                   static_cast<std::uint32_t>(b.size() - k)});
            return matches;
        }
    }
    const HashFingerprints filter(a);
    if (!filter.distinct()) return alignHashes(a, b);
    // The walk of alignHashes(a, b, sortedA), taking every record of b that
    // is neither of the next two of a (nor a little further on) for one a
    // lacks; those the fingerprints may hold are looked for in a
    // afterwards, and one found there means the walk must be made with
    // a's positions.
    std::vector<Match> matches;
    matches.reserve(std::min(a.size(), b.size()));
    std::vector<std::uint64_t> unsure;
    std::size_t i = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
        if (i < a.size() && a[i] == b[j]) {
            matches.push_back({static_cast<std::uint32_t>(i++), static_cast<std::uint32_t>(j)});
        } else if (i + 1 < a.size() && a[i + 1] == b[j]) {
            ++i;
            matches.push_back({static_cast<std::uint32_t>(i++), static_cast<std::uint32_t>(j)});
        } else if (filter.mayHold(b[j])) {
            // Records changed one after another leave the walk behind: the
            // record is looked for a little further on first.
            const std::size_t near = std::min(a.size(), i + kNearRecords);
            std::size_t at = i + 2;
            while (at < near && a[at] != b[j]) ++at;
            if (at < near) {
                i = at;
                matches.push_back({static_cast<std::uint32_t>(i++), static_cast<std::uint32_t>(j)});
            } else {
                unsure.push_back(b[j]);
            }
        }
    }
    if (holdsAny(a, std::move(unsure))) return alignHashes(a, b, SortedHashes(a));
    return matches;
}

SortedHashes::SortedHashes(std::span<const std::uint64_t> hashes) {
    sorted_.reserve(hashes.size());
    for (std::uint32_t i = 0; i < hashes.size(); ++i) sorted_.emplace_back(hashes[i], i);
    sortByHash(sorted_);
    for (std::size_t i = 1; i < sorted_.size() && distinct_; ++i)
        distinct_ = sorted_[i - 1].first != sorted_[i].first;
    // About four hashes to a bucket.
    while (bucketBits_ < 24 && (std::size_t{4} << bucketBits_) < sorted_.size()) ++bucketBits_;
    const std::size_t count = std::size_t{1} << bucketBits_;
    buckets_.assign(count + 1, static_cast<std::uint32_t>(sorted_.size()));
    std::size_t next = 0;  // the first bucket not yet begun
    for (std::size_t i = 0; i < sorted_.size(); ++i) {
        const std::size_t bucket = bucketBits_ == 0 ? 0 : sorted_[i].first >> (64 - bucketBits_);
        while (next <= bucket) buckets_[next++] = static_cast<std::uint32_t>(i);
    }
}

std::int64_t SortedHashes::find(std::uint64_t hash) const {
    const std::size_t bucket = bucketBits_ == 0 ? 0 : hash >> (64 - bucketBits_);
    const auto first = sorted_.begin() + buckets_[bucket];
    const auto last = sorted_.begin() + buckets_[bucket + 1];
    const auto at = std::lower_bound(
        first, last, hash, [](const std::pair<std::uint64_t, std::uint32_t>& x, std::uint64_t h) {
            return x.first < h;
        });
    return at != last && at->first == hash ? std::int64_t{at->second} : -1;
}

std::vector<Match> alignHashes(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b,
                               const SortedHashes& sortedA) {
    if (!sortedA.distinct() || sortedA.size() != a.size()) return alignHashes(a, b);
    // Every record of b pairs with the record of a holding its hash, found
    // at or after the last pair's, or holds a hash a lacks; then the pairs
    // are every hash shared, each once on both sides and in order, and the
    // patience diff anchors on all of them and finds nothing between.
    std::vector<Match> matches;
    matches.reserve(std::min(a.size(), b.size()));
    std::size_t i = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
        if (i < a.size() && a[i] == b[j]) {
            matches.push_back({static_cast<std::uint32_t>(i++), static_cast<std::uint32_t>(j)});
            continue;
        }
        // One record of a removed from b: no need to look it up.
        if (i + 1 < a.size() && a[i + 1] == b[j]) {
            ++i;
            matches.push_back({static_cast<std::uint32_t>(i++), static_cast<std::uint32_t>(j)});
            continue;
        }
        const std::int64_t at = sortedA.find(b[j]);
        if (at < 0) continue;  // changed or inserted in b
        if (at < static_cast<std::int64_t>(i)) return alignHashes(a, b);  // moved back
        i = static_cast<std::size_t>(at);
        matches.push_back({static_cast<std::uint32_t>(i++), static_cast<std::uint32_t>(j)});
    }
    return matches;
}

}  // namespace quorvel::compare
