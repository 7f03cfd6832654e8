#pragma once

// The three revisions of a table AND its memo file behind one call of git's
// merge driver: git hands over base, ours and theirs of one path only (the
// table or the memo file) and merges the other path on its own, so the
// partner of each revision is asked of git.

#include <array>
#include <string>
#include <vector>

namespace quorvel::cli {

// One file of a revision: its blob ("" when the revision has no such file)
// and its bytes.
struct RevisionFile {
    std::string blob;
    std::string bytes;
    bool present() const { return !blob.empty(); }
};

struct DriverRevision {
    RevisionFile table;
    RevisionFile memo;
    std::string commit;  // a commit holding it, for the user ("" when none is named)
};

struct DriverRevisions {
    bool known = false;
    std::string problem;                 // why not, when !known
    std::string tablePath;               // repository paths of the two files
    std::string memoPath;                // "" when no revision holds a memo file
    std::array<DriverRevision, 3> side;  // base, ours, theirs
    // Whether git gives the other file the same merge driver (its merge
    // attribute is the handed path's), so that it calls this driver for it
    // too where both sides changed it.
    bool partnerSharesDriver = false;
};

// True for a path whose extension is that of a memo file beside a table
// (.fpt, .dbt, .sct, .vct, .frt, .lbt, .mnt, .pjt, without case).
bool isMemoPath(const std::string& path);

// The table paths a memo file at memoPath may belong to: each table
// extension of its memo extension in the memo's letter case, in lower case
// and in upper case ("a.fpt" -> "a.dbf", "a.DBF").
std::vector<std::string> tableCandidates(const std::string& memoPath);

// repoPath is git's %P and handed its three temporary files (%O %A %B);
// partnerNames are the repository paths the other file may have (memo
// names for a table, table names for a memo file).  Each revision's
// partner comes from the commit git merges where git names it: ours from
// HEAD, theirs from the commit of GITHEAD_<id> (git merge) and base from
// their merge base, or theirs from the commit a rebase or a cherry-pick of
// several commits applies and base from its parent; each taken only when
// that commit holds the handed bytes at repoPath.  Otherwise every commit
// holding the handed bytes at repoPath must hold one partner (a cherry-pick
// of one commit names none).  Runs git in the current folder; scratchFolder
// receives its input.
DriverRevisions findDriverRevisions(const std::string& repoPath, bool handedIsMemo,
                                    const std::array<std::string, 3>& handed,
                                    const std::vector<std::string>& partnerNames,
                                    const std::string& scratchFolder);

}  // namespace quorvel::cli
