#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::foxpro {

// One rename inside one folder: file names, not paths.
struct FileMove {
    std::string from;
    std::string to;
};

// The journal of a replacement (table_replacement.h): a hidden file
// "~quorvel-<owner>-<random>.jnl" (temporary_files.h) of lines ending in LF,
// fields parted by TAB:
//
//   quorvel replacement
//   name    T.dbf            the table file whose files are replaced
//   aside   FILE    HIDDEN   a file of the table set aside (none or more)
//   place   HIDDEN  FILE     a new file put in place, the table file last
//   check   HHHHHHHHHHHHHHHH the 64-bit FNV-1a hash of every byte above
//                            (header to the last place line, LFs included),
//                            16 lower-case hex digits
//   end
//
// FILE is a file of T's table set (table_set.h), HIDDEN a hidden name of the
// journal's own writer (the same owner as the journal's name).  It is
// written whole under a new file's hidden name and then renamed, so a
// journal is there whole or not at all; one that is not as written (a
// checksum that does not hold, or none) is never acted on.
struct ReplacementJournal {
    std::string tableName;
    std::vector<FileMove> moves;  // the set-aside ones first
    std::size_t asideCount = 0;
};

// The journal's text, its checksum line included.
std::string replacementJournalText(const ReplacementJournal& journal);

// 64-bit FNV-1a of bytes.
std::uint64_t fnv1a64(std::string_view bytes);

// A journal judged: set when it can be trusted (its checksum holds, it is
// as written above, and every name is a plain file name of its folder: no
// separator of either kind, no "..", no drive, no control character, each
// a file of the named table's set or a hidden name of owner); otherwise
// problem says why not, in words that follow "left alone: NAME (...)".
struct JournalCheck {
    std::optional<ReplacementJournal> journal;
    std::string problem;
};

JournalCheck checkReplacementJournal(std::string_view text, std::string_view owner);

// The same for the journal file at path (a file that cannot be read, is
// no regular file or is far larger than any journal is not trusted).
JournalCheck readReplacementJournal(const std::string& path, std::string_view owner);

}  // namespace quorvel::foxpro
