#include "compare/text_diff.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace quorvel::compare {

namespace {

using Index = std::ptrdiff_t;
constexpr Index kFar = PTRDIFF_MAX;

// A line longer than this is marked whole rather than diffed word by word:
// its words would cost more than they tell.
constexpr std::size_t kWordDiffLimit = std::size_t{1} << 18;

// Which elements of two sequences of ids are not part of a common
// subsequence: changed1 for the old, changed2 for the new one.  The divide
// and conquer of the middle snake, with the cost bound of the header.
class SequenceDiff {
  public:
    SequenceDiff(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b)
        : a_(a), b_(b), changed1(a.size(), 0), changed2(b.size(), 0) {
        const std::size_t diagonals = a.size() + b.size() + 3;
        forward_.resize(diagonals);
        backward_.resize(diagonals);
        offset_ = static_cast<Index>(b.size()) + 1;
        // About the square root of the diagonals, and never below 1024, so
        // that texts with up to about 2,000 changed lines get their
        // shortest diff.
        for (std::size_t d = diagonals; d != 0; d >>= 2) tooExpensive_ <<= 1;
        tooExpensive_ = std::max<Index>(tooExpensive_, 1024);
        run();
    }

  private:
    const std::vector<std::uint32_t>& a_;
    const std::vector<std::uint32_t>& b_;

  public:
    std::vector<std::uint8_t> changed1;
    std::vector<std::uint8_t> changed2;
    bool approximate = false;

  private:
    struct Split {
        Index x, y;
        bool loMinimal, hiMinimal;
    };

    void run() {
        struct Task {
            Index xoff, xlim, yoff, ylim;
            bool minimal;
        };
        // A stack of its own: the halves of a long diff nest deeply.
        std::vector<Task> tasks{
            {0, static_cast<Index>(a_.size()), 0, static_cast<Index>(b_.size()), false}};
        while (!tasks.empty()) {
            Task t = tasks.back();
            tasks.pop_back();
            while (t.xoff < t.xlim && t.yoff < t.ylim && a_[t.xoff] == b_[t.yoff])
                ++t.xoff, ++t.yoff;
            while (t.xlim > t.xoff && t.ylim > t.yoff && a_[t.xlim - 1] == b_[t.ylim - 1])
                --t.xlim, --t.ylim;
            if (t.xoff == t.xlim) {
                std::fill(changed2.begin() + t.yoff, changed2.begin() + t.ylim, 1);
            } else if (t.yoff == t.ylim) {
                std::fill(changed1.begin() + t.xoff, changed1.begin() + t.xlim, 1);
            } else {
                const Split s = split(t.xoff, t.xlim, t.yoff, t.ylim, t.minimal);
                tasks.push_back({s.x, t.xlim, s.y, t.ylim, s.hiMinimal});
                tasks.push_back({t.xoff, s.x, t.yoff, s.y, s.loMinimal});
            }
        }
    }

    // The middle of an edit path from (xoff, yoff) to (xlim, ylim), found by
    // searching forward from the start and backward from the end, a step
    // of cost at a time, until the two searches meet on a diagonal.
    Split split(Index xoff, Index xlim, Index yoff, Index ylim, bool findMinimal) {
        Index* const fd = forward_.data() + offset_;
        Index* const bd = backward_.data() + offset_;
        const Index dmin = xoff - ylim;
        const Index dmax = xlim - yoff;
        const Index fmid = xoff - yoff;
        const Index bmid = xlim - ylim;
        Index fmin = fmid, fmax = fmid, bmin = bmid, bmax = bmid;
        const bool odd = ((fmid - bmid) & 1) != 0;
        fd[fmid] = xoff;
        bd[bmid] = xlim;
        for (Index cost = 1;; ++cost) {
            if (fmin > dmin)
                fd[--fmin - 1] = -1;
            else
                ++fmin;
            if (fmax < dmax)
                fd[++fmax + 1] = -1;
            else
                --fmax;
            for (Index d = fmax; d >= fmin; d -= 2) {
                const Index low = fd[d - 1], high = fd[d + 1];
                Index x = low >= high ? low + 1 : high;
                Index y = x - d;
                while (x < xlim && y < ylim && a_[x] == b_[y]) ++x, ++y;
                fd[d] = x;
                if (odd && bmin <= d && d <= bmax && bd[d] <= x) return {x, y, true, true};
            }
            if (bmin > dmin)
                bd[--bmin - 1] = kFar;
            else
                ++bmin;
            if (bmax < dmax)
                bd[++bmax + 1] = kFar;
            else
                --bmax;
            for (Index d = bmax; d >= bmin; d -= 2) {
                const Index low = bd[d - 1], high = bd[d + 1];
                Index x = low < high ? low : high - 1;
                Index y = x - d;
                while (x > xoff && y > yoff && a_[x - 1] == b_[y - 1]) --x, --y;
                bd[d] = x;
                if (!odd && fmin <= d && d <= fmax && x <= fd[d]) return {x, y, true, true};
            }
            if (findMinimal || cost < tooExpensive_) continue;
            // Too costly: split where one search got furthest.  The half it
            // searched is then diffed exactly (its cost is below the bound).
            approximate = true;
            Index forwardSum = -1, forwardX = xoff;
            for (Index d = fmax; d >= fmin; d -= 2) {
                Index x = std::min(fd[d], xlim);
                Index y = x - d;
                if (ylim < y) x = ylim + d, y = ylim;
                if (forwardSum < x + y) forwardSum = x + y, forwardX = x;
            }
            Index backwardSum = kFar, backwardX = xlim;
            for (Index d = bmax; d >= bmin; d -= 2) {
                Index x = std::max(xoff, bd[d]);
                Index y = x - d;
                if (y < yoff) x = yoff + d, y = yoff;
                if (x + y < backwardSum) backwardSum = x + y, backwardX = x;
            }
            if ((xlim + ylim) - backwardSum < forwardSum - (xoff + yoff))
                return {forwardX, forwardSum - forwardX, true, false};
            return {backwardX, backwardSum - backwardX, false, true};
        }
    }

    std::vector<Index> forward_;
    std::vector<Index> backward_;
    Index offset_ = 0;
    Index tooExpensive_ = 1;
};

// Gives equal pieces of text equal ids.
class Interner {
  public:
    std::uint32_t id(std::string_view piece) {
        const auto [at, added] = ids_.try_emplace(piece, static_cast<std::uint32_t>(ids_.size()));
        return at->second;
    }

  private:
    std::unordered_map<std::string_view, std::uint32_t> ids_;
};

bool wordByte(unsigned char c) {
    return c >= 0x80 || c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z');
}

bool blankByte(unsigned char c) {
    return c == ' ' || c == '\t';
}

std::vector<TextSpan> wordUnits(std::string_view line) {
    std::vector<TextSpan> units;
    for (std::size_t i = 0; i < line.size();) {
        const auto c = static_cast<unsigned char>(line[i]);
        std::size_t j = i + 1;
        if (wordByte(c)) {
            while (j < line.size() && wordByte(static_cast<unsigned char>(line[j]))) ++j;
        } else if (blankByte(c)) {
            while (j < line.size() && blankByte(static_cast<unsigned char>(line[j]))) ++j;
        }
        units.push_back({i, j - i});
        i = j;
    }
    return units;
}

// The changed units as spans, neighbours joined.
std::vector<TextSpan> markedSpans(const std::vector<TextSpan>& units,
                                  const std::vector<std::uint8_t>& changed) {
    std::vector<TextSpan> marks;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (!changed[i]) continue;
        if (!marks.empty() && marks.back().begin + marks.back().length == units[i].begin)
            marks.back().length += units[i].length;
        else
            marks.push_back(units[i]);
    }
    return marks;
}

}  // namespace

std::vector<TextLine> splitLines(std::string_view text) {
    std::vector<TextLine> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t at = text.find_first_of("\r\n", start);
        if (at == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        const std::size_t endLength =
            text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
        lines.push_back({text.substr(start, at - start), text.substr(at, endLength)});
        start = at + endLength;
    }
    return lines;
}

WordMarks diffWords(std::string_view oldLine, std::string_view newLine) {
    WordMarks marks;
    if (oldLine == newLine) return marks;
    if (oldLine.size() > kWordDiffLimit || newLine.size() > kWordDiffLimit) {
        if (!oldLine.empty()) marks.old.push_back({0, oldLine.size()});
        if (!newLine.empty()) marks.now.push_back({0, newLine.size()});
        return marks;
    }
    const std::vector<TextSpan> units1 = wordUnits(oldLine);
    const std::vector<TextSpan> units2 = wordUnits(newLine);
    Interner interner;
    std::vector<std::uint32_t> ids1, ids2;
    ids1.reserve(units1.size());
    ids2.reserve(units2.size());
    for (const auto& u : units1) ids1.push_back(interner.id(oldLine.substr(u.begin, u.length)));
    for (const auto& u : units2) ids2.push_back(interner.id(newLine.substr(u.begin, u.length)));
    const SequenceDiff diff(ids1, ids2);
    marks.old = markedSpans(units1, diff.changed1);
    marks.now = markedSpans(units2, diff.changed2);
    return marks;
}

TextDiff diffLines(std::string_view oldText, std::string_view newText) {
    const std::vector<TextLine> lines1 = splitLines(oldText);
    const std::vector<TextLine> lines2 = splitLines(newText);
    Interner interner;
    std::vector<std::uint32_t> ids1, ids2;
    ids1.reserve(lines1.size());
    ids2.reserve(lines2.size());
    for (const auto& line : lines1) ids1.push_back(interner.id(line.text));
    for (const auto& line : lines2) ids2.push_back(interner.id(line.text));
    const SequenceDiff sequence(ids1, ids2);

    TextDiff diff;
    diff.approximate = sequence.approximate;
    diff.lines.reserve(std::max(lines1.size(), lines2.size()));
    const std::size_t n = lines1.size(), m = lines2.size();
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && !sequence.changed1[i] && !sequence.changed2[j]) {
            DiffLine kept;
            kept.text = lines1[i].text;
            kept.end = lines1[i].end;
            kept.line1 = static_cast<std::int64_t>(i + 1);
            kept.line2 = static_cast<std::int64_t>(j + 1);
            kept.endsDiffer = lines1[i].end != lines2[j].end;
            diff.lineEndsDiffer = diff.lineEndsDiffer || kept.endsDiffer;
            diff.lines.push_back(kept);
            ++i, ++j;
            continue;
        }
        const std::size_t from1 = i, from2 = j;
        while (i < n && sequence.changed1[i]) ++i;
        while (j < m && sequence.changed2[j]) ++j;
        const std::size_t removed = i - from1, added = j - from2;
        const std::size_t first = diff.lines.size();
        for (std::size_t k = from1; k < i; ++k) {
            DiffLine line;
            line.kind = DiffLineKind::Removed;
            line.text = lines1[k].text;
            line.end = lines1[k].end;
            line.line1 = static_cast<std::int64_t>(k + 1);
            diff.lines.push_back(line);
        }
        for (std::size_t k = from2; k < j; ++k) {
            DiffLine line;
            line.kind = DiffLineKind::Added;
            line.text = lines2[k].text;
            line.end = lines2[k].end;
            line.line2 = static_cast<std::int64_t>(k + 1);
            diff.lines.push_back(line);
        }
        for (std::size_t k = 0; k < std::min(removed, added); ++k) {
            DiffLine& before = diff.lines[first + k];
            DiffLine& after = diff.lines[first + removed + k];
            WordMarks marks = diffWords(before.text, after.text);
            before.marks = std::move(marks.old);
            after.marks = std::move(marks.now);
        }
        diff.removed += static_cast<std::int64_t>(removed);
        diff.added += static_cast<std::int64_t>(added);
        diff.changed += static_cast<std::int64_t>(std::max(removed, added));
    }
    return diff;
}

bool wantsLineDiff(std::string_view oldText, std::string_view newText) {
    for (const std::string_view text : {oldText, newText})
        if (text.size() > kLongText || text.find_first_of("\r\n") != std::string_view::npos)
            return true;
    return false;
}

std::string changeSummary(const TextDiff& diff) {
    if (diff.changed == 0)
        return diff.lineEndsDiffer ? "Only the line ends differ" : "No lines changed";
    std::string text =
        std::to_string(diff.changed) + (diff.changed == 1 ? " line" : " lines") + " changed";
    if (diff.lineEndsDiffer) text += "; the line ends differ too";
    return text;
}

std::vector<DiffHunk> diffHunks(const TextDiff& diff, std::size_t context) {
    std::vector<DiffHunk> hunks;
    const std::size_t n = diff.lines.size();
    std::size_t shownEnd = 0;  // lines before this are in a hunk or skipped
    for (std::size_t i = 0; i < n; ++i) {
        if (diff.lines[i].kind == DiffLineKind::Kept) continue;
        std::size_t last = i;
        // The change and every change within twice the context after it.
        for (std::size_t k = i + 1; k < n && k <= last + 2 * context + 1; ++k)
            if (diff.lines[k].kind != DiffLineKind::Kept) last = k;
        const std::size_t from = i >= context ? std::max(i - context, shownEnd) : shownEnd;
        const std::size_t to = std::min(n, last + context + 1);
        hunks.push_back({from, to - from, from - shownEnd});
        shownEnd = to;
        i = to - 1;
    }
    return hunks;
}

void appendUnifiedHunk(std::string& out, const TextDiff& diff, const DiffHunk& hunk,
                       std::string_view indent) {
    std::int64_t start1 = 0, start2 = 0, count1 = 0, count2 = 0;
    std::int64_t before1 = 0, before2 = 0;  // the line numbers just before the hunk
    for (std::size_t k = 0; k < hunk.first; ++k) {
        if (diff.lines[k].line1 != 0) before1 = diff.lines[k].line1;
        if (diff.lines[k].line2 != 0) before2 = diff.lines[k].line2;
    }
    for (std::size_t k = hunk.first; k < hunk.first + hunk.count; ++k) {
        const DiffLine& line = diff.lines[k];
        if (line.line1 != 0) {
            if (count1++ == 0) start1 = line.line1;
        }
        if (line.line2 != 0) {
            if (count2++ == 0) start2 = line.line2;
        }
    }
    // As unified diffs write an empty side: the line before it.
    if (count1 == 0) start1 = before1;
    if (count2 == 0) start2 = before2;
    out += indent;
    out += "@@ -" + std::to_string(start1) + "," + std::to_string(count1) + " +" +
           std::to_string(start2) + "," + std::to_string(count2) + " @@\n";
    for (std::size_t k = hunk.first; k < hunk.first + hunk.count; ++k) {
        const DiffLine& line = diff.lines[k];
        out += indent;
        out += line.kind == DiffLineKind::Kept      ? ' '
               : line.kind == DiffLineKind::Removed ? '-'
                                                    : '+';
        out += line.text;
        out += '\n';
    }
}

}  // namespace quorvel::compare
