#include "compare/stretch_pairing.h"

#include <algorithm>

namespace quorvel::compare {

std::vector<Match> pairStretch(std::span<const std::uint64_t> fields1,
                               std::span<const std::uint64_t> fields2, std::size_t fields) {
    if (fields == 0) return {};
    const std::size_t n = fields1.size() / fields;
    const std::size_t m = fields2.size() / fields;
    // Equal fields of a pair that counts, else 0.
    auto weight = [&](std::size_t i, std::size_t j) {
        const std::uint64_t* a = fields1.data() + i * fields;
        const std::uint64_t* b = fields2.data() + j * fields;
        std::size_t equal = 0;
        for (std::size_t f = 0; f < fields; ++f) equal += a[f] == b[f] ? 1 : 0;
        return equal > 0 && 2 * equal >= fields ? static_cast<std::int32_t>(equal) : 0;
    };
    // best[i][j]: the most equal values the records from i and from j on can
    // hold in pairs.  Filled from the end, so that the pairs are then read
    // from the start and the earlier of two equal choices wins.
    const std::size_t width = m + 1;
    std::vector<std::int32_t> best((n + 1) * width, 0);
    auto at = [&](std::size_t i, std::size_t j) -> std::int32_t& { return best[i * width + j]; };
    // Table #2's hashes field by field, so that one record of Table #1 is
    // counted against all of them a field at a time (a loop the compiler
    // runs several records wide).
    // Thirty-two bits of each hash tell values apart well enough to weigh
    // pairs (the lines come from comparing the values).
    std::vector<std::uint32_t> columns(fields * m);
    for (std::size_t j = 0; j < m; ++j)
        for (std::size_t f = 0; f < fields; ++f)
            columns[f * m + j] = static_cast<std::uint32_t>(fields2[j * fields + f]);
    std::vector<std::uint32_t> equal(m);
    for (std::size_t i = n; i-- > 0;) {
        std::fill(equal.begin(), equal.end(), 0);
        for (std::size_t f = 0; f < fields; ++f) {
            const auto a = static_cast<std::uint32_t>(fields1[i * fields + f]);
            const std::uint32_t* column = columns.data() + f * m;
            for (std::size_t j = 0; j < m; ++j) equal[j] += column[j] == a ? 1u : 0u;
        }
        for (std::size_t j = m; j-- > 0;) {
            std::int32_t value = std::max(at(i + 1, j), at(i, j + 1));
            if (equal[j] > 0 && 2 * equal[j] >= fields)
                value = std::max(value, static_cast<std::int32_t>(equal[j]) + at(i + 1, j + 1));
            at(i, j) = value;
        }
    }
    std::vector<Match> pairs;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n && j < m) {
        const std::int32_t w = weight(i, j);
        if (w > 0 && at(i, j) == w + at(i + 1, j + 1)) {
            pairs.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
            ++i;
            ++j;
        } else if (at(i, j) == at(i + 1, j)) {
            ++i;
        } else {
            ++j;
        }
    }
    return pairs;
}

std::vector<Match> pairFirstWithFirst(std::size_t rows1, std::size_t rows2) {
    std::vector<Match> pairs;
    for (std::size_t k = 0; k < std::min(rows1, rows2); ++k)
        pairs.push_back({static_cast<std::uint32_t>(k), static_cast<std::uint32_t>(k)});
    return pairs;
}

}  // namespace quorvel::compare
