#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compare/hash_alignment.h"

namespace quorvel::compare {

// Pairs the records of a stretch between two equal records: rows1 records
// of Table #1 with rows2 of Table #2, one with one and in order (no two
// pairs cross), so that the pairs hold as many equal field values as
// possible.  A pair counts only when at least half of its compared fields
// are equal; records left without a partner are Deleted or Added.  Each
// record is given as the hashes of its compared fields, `fields` per record
// (fields1[i * fields + f]); equal hashes count as equal values.  When two
// pairings hold equally many equal values, the earlier pairs win.  Costs
// rows1 x rows2 x fields: the caller keeps stretches within kStretchLimit.
// Matches are positions within the stretch.
std::vector<Match> pairStretch(std::span<const std::uint64_t> fields1,
                               std::span<const std::uint64_t> fields2, std::size_t fields);

// A stretch too large for pairStretch: its first record with the other
// side's first, and so on.
std::vector<Match> pairFirstWithFirst(std::size_t rows1, std::size_t rows2);

}  // namespace quorvel::compare
