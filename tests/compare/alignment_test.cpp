// The pieces of content pairing on plain numbers: the common subsequence of
// two hash sequences, the pairing inside a stretch, the sort by hash.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>

#include "compare/hash_alignment.h"
#include "compare/record_hash.h"
#include "compare/stretch_pairing.h"

namespace quorvel::compare {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The length of a longest common subsequence, by the textbook table.
std::size_t lcsLength(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) {
    std::vector<std::vector<std::size_t>> t(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = a.size(); i-- > 0;)
        for (std::size_t j = b.size(); j-- > 0;)
            t[i][j] = a[i] == b[j] ? t[i + 1][j + 1] + 1 : std::max(t[i + 1][j], t[i][j + 1]);
    return t[0][0];
}

// Matches must pair equal hashes and increase on both sides.
void expectCommonSubsequence(const std::vector<std::uint64_t>& a,
                             const std::vector<std::uint64_t>& b, const std::vector<Match>& m) {
    for (std::size_t k = 0; k < m.size(); ++k) {
        ASSERT_LT(m[k].index1, a.size());
        ASSERT_LT(m[k].index2, b.size());
        EXPECT_EQ(a[m[k].index1], b[m[k].index2]);
        if (k > 0) {
            EXPECT_GT(m[k].index1, m[k - 1].index1);
            EXPECT_GT(m[k].index2, m[k - 1].index2);
        }
    }
}

TEST(AlignHashesTest, EditedSequencesOfDistinctRecordsAlignAsLongAsPossible) {
    // Distinct records edited here and there (removed, inserted, changed,
    // moved): the alignment is a longest common subsequence.
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        std::vector<std::uint64_t> a(rng() % 60);
        std::iota(a.begin(), a.end(), 1000);
        std::vector<std::uint64_t> b = a;
        for (int edits = static_cast<int>(rng() % 6); edits > 0 && !b.empty(); --edits) {
            const std::size_t at = rng() % b.size();
            switch (rng() % 4) {
                case 0:
                    b.erase(b.begin() + static_cast<std::ptrdiff_t>(at));
                    break;
                case 1:
                    b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), 5000 + rng() % 100);
                    break;
                case 2:
                    b[at] = 9000 + rng() % 100;
                    break;
                default:
                    std::rotate(b.begin() + static_cast<std::ptrdiff_t>(at),
                                b.begin() + static_cast<std::ptrdiff_t>(at) + 1, b.end());
            }
        }
        const std::vector<Match> m = alignHashes(a, b);
        expectCommonSubsequence(a, b, m);
        EXPECT_EQ(m.size(), lcsLength(a, b));
    }
}

TEST(AlignHashesTest, RepeatedRecordsStillAlign) {
    // No record occurs once on each side: pairs of copies anchor, and
    // Myers' diff aligns what has no anchor.
    const std::vector<std::uint64_t> a = {1, 7, 8, 7, 8, 3};
    const std::vector<std::uint64_t> b = {2, 7, 8, 7, 8, 4};
    EXPECT_THAT(alignHashes(a, b), ElementsAre(Match{1, 1}, Match{2, 2}, Match{3, 3}, Match{4, 4}));
    const std::vector<std::uint64_t> c = {5, 6, 5, 6, 5};
    const std::vector<std::uint64_t> d = {6, 5, 6, 5, 6};
    const std::vector<Match> m = alignHashes(c, d);
    expectCommonSubsequence(c, d, m);
    EXPECT_EQ(m.size(), lcsLength(c, d));
}

TEST(AlignHashesTest, NothingInCommonOrReversedEndsWithAValidAlignment) {
    // Sizes at which work growing with the square of the length would not
    // end within the test's time.
    constexpr std::uint64_t kCount = 400000;
    std::vector<std::uint64_t> a(kCount);
    std::iota(a.begin(), a.end(), 1);
    std::vector<std::uint64_t> changed(kCount);
    std::iota(changed.begin(), changed.end(), kCount + 1);
    std::vector<std::uint64_t> reversed(a.rbegin(), a.rend());
    EXPECT_THAT(alignHashes(a, changed), IsEmpty());
    const std::vector<Match> m = alignHashes(a, reversed);
    expectCommonSubsequence(a, reversed, m);
    EXPECT_FALSE(m.empty());
}

TEST(AlignHashesTest, LongCopyChangedHereAndThereMatchesEveryUnchangedRecord) {
    // Thousands of candidates: every 10th record changed, three inserted
    // in the middle.
    constexpr std::uint32_t kCount = 3000;
    std::vector<std::uint64_t> a(kCount);
    std::iota(a.begin(), a.end(), 1);
    std::vector<std::uint64_t> b;
    std::vector<Match> expected;
    for (std::uint32_t i = 0; i < kCount; ++i) {
        if (i == kCount / 2)
            for (std::uint64_t extra : {90001, 90002, 90003}) b.push_back(extra);
        if (i % 10 == 5) {
            b.push_back(100000 + i);
        } else {
            expected.push_back({i, static_cast<std::uint32_t>(b.size())});
            b.push_back(a[i]);
        }
    }
    EXPECT_EQ(alignHashes(a, b), expected);
}

// Field hashes of records, one row per record.
std::vector<std::uint64_t> rows(std::initializer_list<std::vector<std::uint64_t>> records) {
    std::vector<std::uint64_t> out;
    for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
    return out;
}

// The walk in step with a sorted first side must give exactly what the
// general alignment gives, on the edits it takes (changes, removals,
// inserts) and on those it must hand back (a record moved back, a hash
// held twice).
TEST(AlignHashesTest, WithTheFirstSideSortedGivesTheSameAlignment) {
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        std::vector<std::uint64_t> a(200 + random() % 200);
        std::iota(a.begin(), a.end(), std::uint64_t{1});
        if (round % 5 == 4) a[random() % a.size()] = a[random() % a.size()];
        std::vector<std::uint64_t> b;
        for (std::uint64_t hash : a) {
            const unsigned roll = random() % 100;
            if (roll < 3) continue;  // removed
            if (roll < 6)
                b.push_back(1000000 + random() % 1000);  // changed
            else
                b.push_back(hash);
            if (roll == 99) b.push_back(2000000 + random() % 1000);  // inserted
        }
        if (round % 7 == 6 && b.size() > 20)
            std::rotate(b.begin() + 5, b.begin() + 15, b.begin() + 20);
        if (round % 11 == 10 && b.size() > 50) b.push_back(b[b.size() / 2]);  // one held twice
        const SortedHashes sorted(a);
        const std::vector<Match> general = alignHashes(a, b);
        EXPECT_EQ(alignHashes(a, b, sorted), general) << "round " << round;
        EXPECT_EQ(alignCopies(a, b), general) << "round " << round;
        // Hashes spread over 64 bits share the filter's slots less often
        // than small numbers do: both ways through it.
        auto spread = [](std::vector<std::uint64_t> v) {
            for (std::uint64_t& h : v) h = h * 0xD6E8FEB86659FD93ull + 0x9E37ull;
            return v;
        };
        EXPECT_EQ(alignCopies(spread(a), spread(b)), general) << "round " << round;
    }
    // A hash held twice in the first side pairs where the general
    // alignment puts it, not with the first one the walk meets.
    const std::vector<std::uint64_t> twice{5, 5, 2, 5, 1, 5};
    const std::vector<std::uint64_t> edited{100, 5, 2};
    EXPECT_EQ(alignCopies(twice, edited), alignHashes(twice, edited));
    // Larger tables, where a few records removed together or moved far
    // back must be found through the filter's hits.
    for (int round = 0; round < 6; ++round) {
        std::vector<std::uint64_t> a(50000);
        for (std::size_t i = 0; i < a.size(); ++i) a[i] = random() * 0x100000001ull + i;
        std::vector<std::uint64_t> b(a);
        for (int k = 0; k < 200; ++k) b[random() % b.size()] = random() | (std::uint64_t{1} << 63);
        if (round % 2 == 1) b.erase(b.begin() + 1000, b.begin() + 1005);
        if (round % 3 == 2) b.insert(b.begin() + 100, a[40000]);
        if (round == 5) a[30000] = a[20000];
        EXPECT_EQ(alignCopies(a, b), alignHashes(a, b)) << "large round " << round;
    }
}

// Hashes over the whole range, so that every bucket of the lookup is used
// (those above hold only small ones), the smallest and largest and one
// held twice among them: each is found at its first position, a hash
// next to one that is not there is not found.
TEST(SortedHashesTest, FindsEachHashAtItsFirstPositionAndNothingElse) {
    std::mt19937_64 rng(5);
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{3000}, std::size_t{70000}}) {
        std::vector<std::uint64_t> hashes(size);
        for (auto& h : hashes) h = rng();
        if (size > 10) {
            hashes[0] = 0;
            hashes[size / 2] = hashes[3];
            hashes.back() = ~std::uint64_t{0};
        }
        std::map<std::uint64_t, std::int64_t> first;
        for (std::size_t i = 0; i < size; ++i) first.try_emplace(hashes[i], i);
        const SortedHashes sorted(hashes);
        EXPECT_EQ(sorted.distinct(), first.size() == size) << size;
        for (const auto& [hash, at] : first) {
            ASSERT_EQ(sorted.find(hash), at) << size;
            if (!first.contains(hash + 1)) {
                ASSERT_EQ(sorted.find(hash + 1), -1) << size;
            }
        }
        if (size == 0) {
            EXPECT_EQ(sorted.find(7), -1);
        }
    }
}

TEST(PairStretchTest, PairsInOrderForTheMostEqualValuesAndOnlyWhenHalfAgree) {
    // Record 0 of Table #1 looks most like record 1 of Table #2; record 1
    // agrees with nothing in half its fields: Deleted.
    EXPECT_THAT(pairStretch(rows({{1, 2, 3, 4}, {5, 6, 7, 8}}),
                            rows({{9, 9, 9, 4}, {1, 2, 3, 9}, {5, 9, 9, 9}}), 4),
                ElementsAre(Match{0, 1}));
    // Two ways to pair that hold as many equal values: the earlier pair wins.
    EXPECT_THAT(pairStretch(rows({{1, 2}}), rows({{1, 9}, {9, 2}}), 2), ElementsAre(Match{0, 0}));
    // Crossing pairs are not allowed: the better of the two is kept.
    EXPECT_THAT(pairStretch(rows({{1, 2, 3}, {4, 5, 6}}), rows({{4, 5, 6}, {1, 2, 9}}), 3),
                ElementsAre(Match{1, 0}));
    EXPECT_THAT(pairFirstWithFirst(3, 2), ElementsAre(Match{0, 0}, Match{1, 1}));
}

TEST(SortByHashTest, OrdersByHashThenPosition) {
    std::mt19937_64 rng(3);
    for (const std::size_t size : {std::size_t{10}, std::size_t{100000}}) {
        std::vector<HashedRecord> records;
        for (std::uint32_t i = 0; i < size; ++i)
            records.emplace_back(i % 7 == 0 ? 42 : rng() >> (i % 3 == 0 ? 40 : 0), i);
        std::vector<HashedRecord> expected = records;
        std::sort(expected.begin(), expected.end());
        sortByHash(records);
        EXPECT_EQ(records, expected);
    }
}

// The fingerprints hold every hash, few others, and tell a hash held
// twice, wherever its two places: the walks in step trust both.
TEST(HashFingerprintsTest, HoldEveryHashAndSeeOneHeldTwice) {
    std::mt19937_64 rng(11);
    for (const std::size_t size : {std::size_t{5}, std::size_t{70000}}) {
        std::vector<std::uint64_t> hashes(size);
        for (auto& h : hashes) h = rng();
        const HashFingerprints all(hashes);
        EXPECT_TRUE(all.distinct()) << size;
        std::size_t missed = 0, strangers = 0;
        for (const std::uint64_t h : hashes) missed += all.mayHold(h) ? 0 : 1;
        for (std::size_t k = 0; k < size; ++k) strangers += all.mayHold(rng()) ? 1 : 0;
        EXPECT_EQ(missed, 0u) << size;
        EXPECT_LE(strangers, size / 50) << size;
        for (const std::size_t from : {std::size_t{0}, size / 3, size - 2}) {
            std::vector<std::uint64_t> twice(hashes);
            twice[size - 1] = twice[from];
            EXPECT_FALSE(HashFingerprints(twice).distinct()) << size << " " << from;
        }
    }
}

}  // namespace
}  // namespace quorvel::compare
