#pragma once

#include <QString>

#include "compare/text_diff.h"
#include "wizard/hex_view.h"
#include "wizard/record_detail.h"

namespace quorvel::ui {

// The value views of the detail pane as rich text for a text browser.
// Changes carry a sign as well as a colour ("−" removed, "+" added, marked
// words bold and underlined), so that they do not rest on colour alone.

// A line diff with its hunks: the kept lines around each change, line
// numbers of both texts, the changed words marked; at most maxLines lines.
QString lineDiffHtml(const compare::TextDiff& diff, int maxLines = 4000);

// Both values of a short field whole, the words that differ marked; one
// value when only one side has it.
QString shortValueHtml(const wizard::DetailField& field, const compare::WordMarks& marks);

// The hex view: for each row, Table #1's bytes over Table #2's.
QString hexHtml(const wizard::HexDump& dump);

}  // namespace quorvel::ui
