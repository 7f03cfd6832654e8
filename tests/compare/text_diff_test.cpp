// The line diff of memo values: known cases, the shortest diff on small
// random texts (against a plain LCS table), and long texts.

#include "compare/text_diff.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvel::compare {
namespace {

using ::testing::ElementsAre;

// The diff as "+x", "-x", " x" lines.
std::vector<std::string> script(const TextDiff& diff) {
    std::vector<std::string> out;
    for (const auto& line : diff.lines) {
        const char sign = line.kind == DiffLineKind::Kept      ? ' '
                          : line.kind == DiffLineKind::Removed ? '-'
                                                               : '+';
        out.push_back(sign + std::string(line.text));
    }
    return out;
}

// The texts of the marked spans of a line.
std::vector<std::string> marked(const DiffLine& line) {
    std::vector<std::string> out;
    for (const auto& m : line.marks) out.emplace_back(line.text.substr(m.begin, m.length));
    return out;
}

// What the diff says each text was, lines joined by "\n".
std::string side(const TextDiff& diff, DiffLineKind drop) {
    std::string text;
    for (const auto& line : diff.lines)
        if (line.kind != drop) text += std::string(line.text) + "\n";
    return text;
}

TEST(TextDiffTest, InsertionDeletionAndAChangedWord) {
    const TextDiff inserted = diffLines("a\nb\nc\n", "a\nb\nX\nc\n");
    EXPECT_THAT(script(inserted), ElementsAre(" a", " b", "+X", " c"));
    EXPECT_EQ(inserted.changed, 1);
    EXPECT_EQ(inserted.added, 1);
    EXPECT_EQ(inserted.removed, 0);
    EXPECT_EQ(inserted.lines[2].line2, 3);
    EXPECT_EQ(inserted.lines[3].line1, 3);
    EXPECT_EQ(inserted.lines[3].line2, 4);

    const TextDiff deleted = diffLines("a\nb\nc", "a\nc");
    EXPECT_THAT(script(deleted), ElementsAre(" a", "-b", " c"));
    EXPECT_EQ(deleted.changed, 1);
    EXPECT_EQ(changeSummary(deleted), "1 line changed");

    const TextDiff word = diffLines("PROCEDURE init\n  THIS.nCount = 10\nENDPROC\n",
                                    "PROCEDURE init\n  THIS.nCount = 12\nENDPROC\n");
    ASSERT_THAT(script(word), ElementsAre(" PROCEDURE init", "-  THIS.nCount = 10",
                                          "+  THIS.nCount = 12", " ENDPROC"));
    EXPECT_THAT(marked(word.lines[1]), ElementsAre("10"));
    EXPECT_THAT(marked(word.lines[2]), ElementsAre("12"));
    EXPECT_EQ(word.changed, 1);
    EXPECT_FALSE(word.approximate);
}

TEST(TextDiffTest, MovedBlockIsRemovedInOnePlaceAndAddedInTheOther) {
    const TextDiff moved = diffLines("A\nB\nC\nD\nE\n", "A\nD\nE\nB\nC\n");
    int kept = 0;
    for (const auto& line : moved.lines) kept += line.kind == DiffLineKind::Kept ? 1 : 0;
    EXPECT_EQ(kept, 3);
    EXPECT_EQ(moved.removed, 2);
    EXPECT_EQ(moved.added, 2);
    EXPECT_EQ(side(moved, DiffLineKind::Added), "A\nB\nC\nD\nE\n");
    EXPECT_EQ(side(moved, DiffLineKind::Removed), "A\nD\nE\nB\nC\n");
}

TEST(TextDiffTest, LineEndsAreComparedApart) {
    const TextDiff ends = diffLines("one\r\ntwo\r\n", "one\ntwo\n");
    EXPECT_THAT(script(ends), ElementsAre(" one", " two"));
    EXPECT_TRUE(ends.lineEndsDiffer);
    EXPECT_TRUE(ends.lines[0].endsDiffer);
    EXPECT_EQ(ends.changed, 0);
    EXPECT_EQ(changeSummary(ends), "Only the line ends differ");
    EXPECT_TRUE(diffHunks(ends).empty());

    const TextDiff both = diffLines("one\r\ntwo\r\nthree", "one\ntwo!\nthree");
    EXPECT_THAT(script(both), ElementsAre(" one", "-two", "+two!", " three"));
    EXPECT_EQ(changeSummary(both), "1 line changed; the line ends differ too");
    // The last line without an end against one with an end.
    EXPECT_TRUE(diffLines("x", "x\n").lineEndsDiffer);
    // A lone CR ends a line too (old Macintosh memos).
    EXPECT_EQ(splitLines("a\rb\r\nc").size(), 3u);
    EXPECT_EQ(splitLines("").size(), 0u);
}

TEST(TextDiffTest, WordsOfALineAreMarkedAsUnits) {
    const WordMarks marks =
        diffWords("SELECT name FROM customers", "SELECT name, city FROM clients");
    std::vector<std::string> old, now;
    for (const auto& m : marks.old)
        old.push_back(std::string("SELECT name FROM customers").substr(m.begin, m.length));
    for (const auto& m : marks.now)
        now.push_back(std::string("SELECT name, city FROM clients").substr(m.begin, m.length));
    EXPECT_THAT(old, ElementsAre("customers"));
    EXPECT_THAT(now, ElementsAre(", city", "clients"));
    EXPECT_TRUE(diffWords("same", "same").old.empty());
    // Non-ASCII letters stay inside their word.
    const WordMarks accents = diffWords("caf\xC3\xA9 noir", "caf\xC3\xA8 noir");
    ASSERT_EQ(accents.old.size(), 1u);
    EXPECT_EQ(accents.old[0], (TextSpan{0, 5}));
}

// The number of kept lines is the longest common subsequence, for many
// small random texts over a small alphabet (many repeats, as code has).
TEST(TextDiffTest, SmallTextsGetTheShortestDiff) {
    std::mt19937 random(28);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> a, b;
        std::string textA, textB;
        const int n = static_cast<int>(random() % 30), m = static_cast<int>(random() % 30);
        for (int i = 0; i < n; ++i)
            a.push_back(std::string(1, static_cast<char>('a' + random() % 4)));
        for (int i = 0; i < m; ++i)
            b.push_back(std::string(1, static_cast<char>('a' + random() % 4)));
        for (const auto& s : a) textA += s + "\n";
        for (const auto& s : b) textB += s + "\n";
        std::vector<std::vector<int>> lcs(n + 1, std::vector<int>(m + 1, 0));
        for (int i = n - 1; i >= 0; --i)
            for (int j = m - 1; j >= 0; --j)
                lcs[i][j] =
                    a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
        const TextDiff diff = diffLines(textA, textB);
        int kept = 0;
        for (const auto& line : diff.lines) kept += line.kind == DiffLineKind::Kept ? 1 : 0;
        ASSERT_EQ(kept, lcs[0][0]) << textA << "--\n" << textB;
        ASSERT_EQ(side(diff, DiffLineKind::Added), textA);
        ASSERT_EQ(side(diff, DiffLineKind::Removed), textB);
    }
}

TEST(TextDiffTest, LongTextsAndHunks) {
    std::string before, after;
    for (int i = 1; i <= 100000; ++i) {
        const std::string line = "   line " + std::to_string(i) + " of the method\r\n";
        before += line;
        after +=
            i == 10 || i == 50000 || i == 50002 ? "   changed " + std::to_string(i) + "\r\n" : line;
    }
    const TextDiff diff = diffLines(before, after);
    EXPECT_EQ(diff.changed, 3);
    EXPECT_FALSE(diff.approximate);
    const std::vector<DiffHunk> hunks = diffHunks(diff, 3);
    ASSERT_EQ(hunks.size(), 2u);
    EXPECT_EQ(hunks[0].first, 6u);
    EXPECT_EQ(hunks[0].skipped, 6u);
    std::string out;
    appendUnifiedHunk(out, diff, hunks[0], "    ");
    EXPECT_EQ(out,
              "    @@ -7,7 +7,7 @@\n"
              "        line 7 of the method\n"
              "        line 8 of the method\n"
              "        line 9 of the method\n"
              "    -   line 10 of the method\n"
              "    +   changed 10\n"
              "        line 11 of the method\n"
              "        line 12 of the method\n"
              "        line 13 of the method\n");

    // Nothing in common over 20,000 lines each: past the bound, yet a
    // script from one text to the other.
    std::string x, y;
    for (int i = 0; i < 20000; ++i) {
        x += "x" + std::to_string(i * 7 % 20000) + "\n";
        y += "x" + std::to_string(i * 13 % 20000 + 1) + "\n";
    }
    const TextDiff far = diffLines(x, y);
    EXPECT_EQ(side(far, DiffLineKind::Added), x);
    EXPECT_EQ(side(far, DiffLineKind::Removed), y);
}

}  // namespace
}  // namespace quorvel::compare
