#include "wizard/shift_hint.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "compare/auto_key.h"
#include "wizard/line_filter.h"
#include "wizard/record_detail.h"

namespace quorvel::wizard {

namespace {

using compare::DifferenceKind;

// Fewer pairs tell nothing; more values than this are not looked at.
constexpr std::int64_t kMinPairs = 4;
constexpr std::size_t kSampleLines = 20000;

// Record pairs with a Changed line (a pair's lines stand together).
std::int64_t changedPairs(const compare::DifferenceList& differences) {
    std::int64_t pairs = 0, last = -1;
    for (const compare::Difference& d : differences) {
        if (d.kind != DifferenceKind::Changed || d.record1 == last) continue;
        last = d.record1;
        ++pairs;
    }
    return pairs;
}

}  // namespace

std::vector<OfferedPairing> offeredPairings(const RunModel& run) {
    std::vector<OfferedPairing> offers;
    // The tables' own key, when they have one.
    try {
        const compare::AutoKey key =
            compare::resolveAutoKey(run.source(1), run.source(2), run.Table1Name, run.Table2Name);
        if (key.pairing.by == compare::Pairing::Key) {
            OfferedPairing own;
            own.pairing.by = compare::Pairing::Auto;
            own.caption = "Run again paired by the table's own key";
            offers.push_back(std::move(own));
        }
    } catch (const std::exception&) {
        // Tables that cannot be opened now offer what needs no key.
    }
    OfferedPairing content;
    content.pairing.by = compare::Pairing::Content;
    content.caption = "Run again paired by content";
    offers.push_back(std::move(content));
    return offers;
}

std::int64_t recordShift(const compare::DifferenceList& differences, std::int64_t comparedPairs) {
    if (comparedPairs < kMinPairs) return 0;
    if (changedPairs(differences) * 2 <= comparedPairs) return 0;
    // The field changed most often.
    std::vector<std::int64_t> perField(differences.fieldNames().size(), 0);
    for (const compare::Difference& d : differences)
        if (d.kind == DifferenceKind::Changed) ++perField[static_cast<std::size_t>(d.field)];
    const auto most = std::max_element(perField.begin(), perField.end());
    if (most == perField.end() || *most < kMinPairs) return 0;
    const int field = static_cast<int>(most - perField.begin());
    std::unordered_map<std::int64_t, std::string_view> old, now;
    for (const compare::Difference& d : differences) {
        if (d.kind != DifferenceKind::Changed || d.field != field) continue;
        old.emplace(d.record1, d.value1);
        now.emplace(d.record2, d.value2);
        if (now.size() >= kSampleLines) break;
    }
    std::int64_t best = 0;
    std::size_t bestMatches = 0;
    for (std::int64_t k = -kMaxShift; k <= kMaxShift; ++k) {
        if (k == 0) continue;
        std::size_t matches = 0;
        for (const auto& [n, value] : now) {
            const auto at = old.find(n - k);
            if (at != old.end() && at->second == value) ++matches;
        }
        if (matches > bestMatches) best = k, bestMatches = matches;
    }
    return bestMatches * 2 > now.size() ? best : 0;
}

ShiftHint shiftHint(const RunModel& run) {
    ShiftHint hint;
    if (run.pairing.by != compare::Pairing::Position) return hint;
    const compare::DifferenceList& differences = run.differences();
    const std::int64_t changed = changedPairs(differences);
    if (changed < kMinPairs) return hint;
    const std::int64_t count1 = liveRecordCount(run.source(1), run.Table1Name);
    const std::int64_t count2 = liveRecordCount(run.source(2), run.Table2Name);
    if (count1 < 0 || count2 < 0) return hint;
    const std::int64_t compared = std::min(count1, count2);
    const std::int64_t k = recordShift(differences, compared);
    if (k == 0) return hint;
    // Record n of Table #2 is like record n - k of Table #1.
    const std::int64_t n1 = k > 0 ? 1 : 1 - k;
    hint.text = "Most record pairs differ (" + groupedNumber(changed) + " of " +
                groupedNumber(compared) + "), but the records look shifted: record " +
                std::to_string(n1) + " of Table #1 is like record " + std::to_string(n1 + k) +
                " of Table #2, and so on. Records were probably added or deleted, and pairing "
                "by position then compares records that do not belong together.";
    hint.offers = offeredPairings(run);
    return hint;
}

}  // namespace quorvel::wizard
