#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compare/difference_list.h"
#include "compare/pairing.h"
#include "wizard/run_model.h"

namespace quorvel::wizard {

// A pairing the results window offers to run the comparison again with.
struct OfferedPairing {
    compare::RecordPairing pairing;
    std::string caption;  // the button's: "Run again paired by content"
};

// The pairings offered for a run paired by position whose records look
// shifted, in the order of their buttons: pairing by content, which finds
// inserted and deleted records by itself.  Every way of pairing that can be
// offered without asking anything goes into this list (a table's own key,
// once it can be found, is one).
std::vector<OfferedPairing> offeredPairings(const RunModel& run);

// How far Table #2's records stand from their partners in Table #1 when a
// position pairing found most of its compared pairs changed: k when record
// n of Table #2 holds, for most pairs, what record n - k of Table #1 holds
// in the field changed most often (|k| up to kMaxShift); 0 when the records
// do not look shifted.  comparedPairs: the pairs both tables have.
inline constexpr std::int64_t kMaxShift = 5;
std::int64_t recordShift(const compare::DifferenceList& differences, std::int64_t comparedPairs);

struct ShiftHint {
    std::string text;  // "" when there is nothing to say
    std::vector<OfferedPairing> offers;
};

// The results window's hint for the run: "Most record pairs differ (9,120
// of 10,000), but the records look shifted: record 1 of Table #1 is like
// record 2 of Table #2. ..." with the offers; no hint for other pairings.
// Reads the two tables' record counts.
ShiftHint shiftHint(const RunModel& run);

}  // namespace quorvel::wizard
