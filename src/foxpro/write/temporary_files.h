#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::foxpro {

// Files being written carry hidden names ('~' keeps them out of every table
// list) that tell who writes them:
//   "~quorvel-<owner>-<random><suffix>"
// owner being the writer's process token (platform/process_token.h).  A
// later run that writes into the folder removes the files of writers that
// are gone (removeOrphanedFiles).
inline constexpr std::string_view kTemporaryPrefix = "~quorvel-";
inline constexpr std::string_view kNewFileSuffix = ".tmp";   // a new file before its rename
inline constexpr std::string_view kSetAsideSuffix = ".old";  // a replaced file, until removed
inline constexpr std::string_view kJournalSuffix = ".jnl";   // a replacement's journal
inline constexpr std::string_view kLockSuffix = ".lck";      // a name's lock (name_lock.h)

// A new name of this process, suffix appended ("" for the stem of a hidden
// table, whose files add ".dbf" and ".fpt").
std::string temporaryName(std::string_view suffix);

// The owner token of a name made by temporaryName, nullopt for any other.
std::optional<std::string> ownerOfTemporaryName(std::string_view name);

// Before this program writes into folder (never for a folder only read):
// finishes the interrupted replacements of folder (table_replacement.h),
// then removes the hidden files whose writer is gone: new and set-aside
// files, hidden tables, and lock files nobody holds.  The files of a writer
// whose journal is still there are left to it.  Returns recovery's warning
// ("" when it has none).  Never throws: what cannot be removed stays.
std::string removeOrphanedFiles(const std::string& folder);

}  // namespace quorvel::foxpro
