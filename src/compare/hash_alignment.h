#pragma once

#include <cstdint>
#include <span>
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

}  // namespace quorvel::compare
