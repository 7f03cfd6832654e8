#pragma once

#include <cstddef>

namespace quorvel::foxpro {

class TableReader;
namespace platform {
struct FileStamp;
}

// How much of a table's text the guess looks at: enough to decide, little
// enough to cost nothing next to reading the table.
inline constexpr std::size_t kTextGuessBytes = 4u << 20;

// What the text of a table says about its code page, for a table whose
// header names none.
struct TextGuess {
    bool nonAscii = false;  // the text looked at holds bytes above 0x7F
    bool utf8 = false;      // ... and every one of them is part of valid UTF-8
};

// Looks at the field names and at the C, V and M text of the first records
// (deleted ones too), at most kTextGuessBytes of it.  A multi-byte
// character cut off by the end of a full field counts as UTF-8: writers
// that cut text to the field's width in bytes leave such ends.  Memos that
// cannot be read are passed over.  With a stamp, the answer is kept for the
// process while the file keeps that stamp.  Never throws.
TextGuess guessText(const TableReader& table, const platform::FileStamp* stamp);

}  // namespace quorvel::foxpro
