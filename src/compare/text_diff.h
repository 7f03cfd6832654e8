#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::compare {

// The line diff of two texts (a memo's old and new value), with the words
// that changed within a changed line marked: what a person reads to judge a
// change in 40 KB of program text.  Lines are compared without their line
// ends ("\r\n", "\n" or a lone "\r"), so that a memo stored with CR LF
// against one with LF shows its real changes; line ends that differ are
// told apart (endsDiffer, lineEndsDiffer).
//
// The diff is Myers' O(ND) algorithm in linear space (the middle snake,
// divided and conquered).  Past a cost bound, which grows with the square
// root of the texts' length, a search takes the furthest reaching path
// found so far: the diff is then still a correct script from one text to
// the other, only perhaps not the shortest (approximate).

// Bytes [begin, begin + length) of a line.
struct TextSpan {
    std::size_t begin = 0;
    std::size_t length = 0;
    friend bool operator==(const TextSpan&, const TextSpan&) = default;
};

enum class DiffLineKind : std::uint8_t {
    Kept,     // in both texts
    Removed,  // only in the old text
    Added     // only in the new text
};

struct DiffLine {
    DiffLineKind kind = DiffLineKind::Kept;
    // The line without its line end, and its line end ("" for a last line
    // without one); views into the texts given.
    std::string_view text;
    std::string_view end;
    // 1-based line numbers in the old and new text; 0 where the line is not
    // in that text.
    std::int64_t line1 = 0;
    std::int64_t line2 = 0;
    // Kept: the other text ends this line otherwise (CR LF against LF).
    bool endsDiffer = false;
    // Removed and Added lines paired with a partner of the same change (the
    // k-th removed line with the k-th added one): the words that differ.
    std::vector<TextSpan> marks;
};

struct TextDiff {
    // Every line of both texts, in diff order: kept lines once, each change
    // as its removed lines, then its added lines.
    std::vector<DiffLine> lines;
    // Lines changed: per change, the larger of its removed and added counts.
    std::int64_t changed = 0;
    std::int64_t removed = 0;
    std::int64_t added = 0;
    // Some kept line ends otherwise in the two texts.
    bool lineEndsDiffer = false;
    // The cost bound cut the search short somewhere (see above).
    bool approximate = false;
};

// Splits text into lines: each with its line end, the last one without
// when the text does not end in one.  An empty text has no lines.
struct TextLine {
    std::string_view text;
    std::string_view end;
};
std::vector<TextLine> splitLines(std::string_view text);

TextDiff diffLines(std::string_view oldText, std::string_view newText);

// Whether two values of a field read better as a line diff than whole:
// either holds a line end or is longer than kLongText bytes.  (A memo's
// values always do; a caller that knows the field's type says so.)
inline constexpr std::size_t kLongText = 120;
bool wantsLineDiff(std::string_view oldText, std::string_view newText);

// The words of two versions of one line that differ: words (letters,
// digits, '_' and any non-ASCII byte), runs of blanks and single other
// characters are diffed as units; adjacent marked units are joined.
struct WordMarks {
    std::vector<TextSpan> old;
    std::vector<TextSpan> now;
};
WordMarks diffWords(std::string_view oldLine, std::string_view newLine);

// "1 line changed", "12 lines changed"; "Only the line ends differ" when
// that is all; "; the line ends differ too" added when both.
std::string changeSummary(const TextDiff& diff);

// Stretches of a diff to show with `context` kept lines around each change:
// lines [first, first + count) of diff.lines, after `skipped` kept lines
// not shown since the previous stretch.  An unchanged diff gives none.
struct DiffHunk {
    std::size_t first = 0;
    std::size_t count = 0;
    std::size_t skipped = 0;
};
std::vector<DiffHunk> diffHunks(const TextDiff& diff, std::size_t context = 3);

// The unified-diff form of a hunk: "@@ -12,3 +12,4 @@", then one line per
// diff line, " ", "-" or "+" before its text; every line begins with indent
// and ends with "\n".
void appendUnifiedHunk(std::string& out, const TextDiff& diff, const DiffHunk& hunk,
                       std::string_view indent);

}  // namespace quorvel::compare
