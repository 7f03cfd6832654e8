#pragma once

#include <string>
#include <string_view>

namespace quorvel::frame {

// A message's text with every control character shown escaped, so that a
// name read from a file or given by someone (a table, field or new-table
// name) can neither break a message over lines nor send escape sequences
// to a terminal: "\n", "\r", "\t", other C0 controls and DEL as "\x1b",
// C1 controls (U+0080..U+009F) as "\u009b".  Everything else passes as it
// is, bytes that are no UTF-8 included.  Applied where messages leave the
// program: the command-line tool's errors and warnings, and the failure
// text of the error report.
std::string printableText(std::string_view text);

}  // namespace quorvel::frame
