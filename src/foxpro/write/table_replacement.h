#pragma once

#include <functional>
#include <string>
#include <vector>

#include "foxpro/write/replacement_journal.h"

namespace quorvel::foxpro {

// Puts the new files of a table into folder in place of what is there.
// aside: the files of the table being replaced (its .dbf, memo file,
// index), which go first (the .dbf before the others), under hidden names,
// and are removed at the end.
// place: the new files' hidden names and final names, the table file last:
// the name shows a table only once all of its files are there.  So at every
// moment the name shows the old table whole, no table, or the new table
// whole.  The new files must be on disk already (synced).
//
// With more than one rename a journal (replacement_journal.h) is written
// and synced before the first and removed after the last, so that a later
// write into the folder that finds it after this one was killed can finish
// the job (recoverReplacements).  A rename that fails undoes the ones before and
// throws FoxProError(kErrorFile, "<file>: cannot put the new file in place:
// ...").  No rename replaces a file it does not expect, so a file that
// another program put there meanwhile is not lost.  The caller holds the
// lock of the table's name (name_lock.h).
void replaceFiles(const std::string& folder, const std::string& tableName,
                  const std::vector<std::string>& aside, const std::vector<FileMove>& place);

// Finishes every replacement of folder whose writer is gone (all its new
// files were on disk before its first rename), or undoes it when that
// cannot be done.  Only where this program is about to write into folder:
// a folder that is only read is never changed.  Only journals that can be
// trusted (checkReplacementJournal) of a writer of this machine known to be
// gone are acted on; one of a running writer is passed over, and every
// other (another machine's, an untrusted one, one that could be neither
// finished nor undone) is left as it is and named in the warning returned:
// "FOLDER: replacement journal left alone: NAME (why)", or "" when there is
// none.  Never throws.
std::string recoverReplacements(const std::string& folder);

// Test hook: runs after each rename of a journaled replacement with the
// number done so far, so that a test can stop the writer between two.
void setReplacementHookForTesting(std::function<void(int renamesDone)> hook);

}  // namespace quorvel::foxpro
