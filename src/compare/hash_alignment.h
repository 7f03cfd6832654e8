#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace quorvel::compare {

// One pair of a common subsequence: positions (0-based) in the two sequences.
struct Match {
    std::uint32_t index1 = 0;
    std::uint32_t index2 = 0;
    friend bool operator==(const Match&, const Match&) = default;
};

// A long common subsequence of two sequences of record hashes, as matches
// increasing in both positions.  A patience diff: the common prefix and
// suffix, then the hashes that occur once on each side (or equally often
// and rarely, when none does) as anchors along their longest increasing
// run, and the same again between the anchors; a stretch without such
// anchors that still shares hashes gets Myers' diff with a bounded number
// of edits.  The work is bounded by a multiple of the sequences' length,
// so that two sequences with nothing in common (every record changed) or
// in reverse order cost n log n, never n squared: once the budget is spent,
// what is left unaligned stays a stretch of unpaired records.
std::vector<Match> alignHashes(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b);

// A sequence's hashes sorted, with their positions, made once for a
// sequence aligned against several others.
class SortedHashes {
  public:
    explicit SortedHashes(std::span<const std::uint64_t> hashes);
    std::size_t size() const { return sorted_.size(); }
    // Whether no two of the hashes are equal.
    bool distinct() const { return distinct_; }
    // The position of hash, -1 when the sequence lacks it (the first one
    // when it holds it more than once).
    std::int64_t find(std::uint64_t hash) const;

  private:
    std::vector<std::pair<std::uint64_t, std::uint32_t>> sorted_;
    bool distinct_ = true;
    // Where the hashes of each value of their top bits begin in sorted_ (one
    // more at the end): a search reads a few neighbours instead of halving
    // the whole list, each step of which would wait for memory.
    int bucketBits_ = 0;
    std::vector<std::uint32_t> buckets_;
};

// What alignHashes(a, b) gives, with a's hashes sorted before.  When they
// are all distinct and b is a with records changed, inserted or removed
// here and there (each record of b either equal to the next one of a still
// ahead or holding a hash a lacks), every hash the two share occurs once on
// each side and in the same order: those pairs are then the whole
// alignment, found in one walk of both sides in step, without sorting b.
// Anything else (a record of b found earlier in a, hashes a holds twice)
// goes to alignHashes.
std::vector<Match> alignHashes(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b,
                               const SortedHashes& sortedA);

// How far ahead of the walk in step a record is looked for before asking
// whether the other side holds it anywhere.
inline constexpr std::size_t kNearRecords = 64;

// What alignHashes(a, b) gives, for two sequences aligned once: the walk
// above, with the hashes a holds found through a byte per hash instead of a
// sort.  Only when b holds a record a holds elsewhere (or a holds a hash
// twice) is a sorted after all.
std::vector<Match> alignCopies(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b);

// A sequence's hashes as one byte each: a few bits of the hash in a table
// of four slots per hash, the next free slot taken when one is in use.  A
// hash whose bits no slot of its run holds is not in the sequence; one
// whose bits one holds may be (about one in a few hundred that are not).
// Made in one pass, where sorting would take several.
class HashFingerprints {
  public:
    explicit HashFingerprints(std::span<const std::uint64_t> hashes);
    // Whether no two of the hashes are equal (exactly: the few whose bits
    // met others' are checked).
    bool distinct() const { return distinct_; }
    bool mayHold(std::uint64_t hash) const {
        const std::uint8_t mark = markOf(hash);
        for (std::size_t s = slot(hash);; s = (s + 1) & (slots_.size() - 1)) {
            if (slots_[s] == mark) return true;
            if (slots_[s] == 0) return false;
        }
    }

  private:
    // Puts the hash in; whether it may have been in already.
    bool add(std::uint64_t hash);
    std::size_t slot(std::uint64_t hash) const {
        return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
    }
    // Other bits than the slot's, never 0 (a free slot).
    static std::uint8_t markOf(std::uint64_t hash) {
        const auto mark = static_cast<std::uint8_t>((hash * 0xC2B2AE3D27D4EB4Full) >> 56);
        return static_cast<std::uint8_t>(mark + (mark == 0));
    }
    int bits_ = 6;
    std::vector<std::uint8_t> slots_;
    bool distinct_ = true;
};

// Whether some hash of `in` is one of `among` (few, in any order).
bool holdsAny(std::span<const std::uint64_t> in, std::vector<std::uint64_t> among);

}  // namespace quorvel::compare
