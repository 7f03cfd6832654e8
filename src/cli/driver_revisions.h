#pragma once

// The three revisions of a table, its memo file and its structural index
// behind one call of git's merge driver: git hands over base, ours and
// theirs of one path only and merges the other paths on its own, so the
// other files of each revision are asked of git.

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

// The files of a table that git merges path by path.
enum class DriverFile { Table = 0, Memo = 1, Index = 2 };

// "table", "memo file", "index".
const char* driverFileName(DriverFile file);

struct DriverRevision {
    RevisionFile table;
    RevisionFile memo;
    RevisionFile index;  // the structural index (.cdx)
    std::string commit;  // a commit holding it, for the user ("" when none is named)
    RevisionFile& file(DriverFile f) {
        return f == DriverFile::Table ? table : f == DriverFile::Memo ? memo : index;
    }
    const RevisionFile& file(DriverFile f) const {
        return f == DriverFile::Table ? table : f == DriverFile::Memo ? memo : index;
    }
};

struct DriverRevisions {
    bool known = false;
    std::string problem;                 // why not, when !known
    std::string tablePath;               // repository paths of the two files
    std::string memoPath;                // "" when no revision holds a memo file
    std::string indexPath;               // "" when no revision holds an index
    std::array<DriverRevision, 3> side;  // base, ours, theirs
    // Per file, whether git gives it the handed path's merge driver (the
    // same merge attribute), so that it calls this driver for it too where
    // both sides changed it.
    std::array<bool, 3> sharesDriver = {false, false, false};
    std::string& path(DriverFile f) {
        return f == DriverFile::Table ? tablePath : f == DriverFile::Memo ? memoPath : indexPath;
    }
    const std::string& path(DriverFile f) const {
        return f == DriverFile::Table ? tablePath : f == DriverFile::Memo ? memoPath : indexPath;
    }
    bool shares(DriverFile f) const { return sharesDriver[static_cast<std::size_t>(f)]; }
    // Whether some revision holds that file.
    bool anyHolds(DriverFile f) const {
        for (const auto& s : side)
            if (s.file(f).present()) return true;
        return false;
    }
};

// True for a path whose extension is that of a memo file beside a table
// (.fpt, .dbt, .sct, .vct, .frt, .lbt, .mnt, .pjt, without case).
bool isMemoPath(const std::string& path);

// True for a structural index's path (.cdx, without case).
bool isIndexPath(const std::string& path);

// The paths beside path with its stem and each of extensions (".fpt"), in
// the letter case of path's extension, in lower and in upper case, each
// once ("a.CDX", {".dbf"} -> "a.DBF", "a.dbf").
std::vector<std::string> siblingNames(const std::string& path,
                                      const std::vector<std::string>& extensions);

// The table paths a memo file at memoPath may belong to: each table
// extension of its memo extension in the memo's letter case, in lower case
// and in upper case ("a.fpt" -> "a.dbf", "a.DBF").
std::vector<std::string> tableCandidates(const std::string& memoPath);

// repoPath is git's %P, of the file handed, and handedFiles its three
// temporary files (%O %A %B); names are, per other file of the table, the
// repository paths it may have (the first present is taken; none: the
// table has no such file).  Each revision's other files come from the commit git merges where git
// names it: ours from HEAD, theirs from the commit of GITHEAD_<id> (git merge) and base from their
// merge base, or theirs from the commit a rebase or a cherry-pick of several commits applies and
// base from its parent; each taken only when that commit holds the handed bytes at repoPath.
// Otherwise every commit holding the handed bytes at repoPath must hold the same other files (a
// cherry-pick of one commit names none).  Runs git in the current folder; scratchFolder
// receives its input.
DriverRevisions findDriverRevisions(const std::string& repoPath, DriverFile handed,
                                    const std::array<std::string, 3>& handedFiles,
                                    const std::array<std::vector<std::string>, 3>& names,
                                    const std::string& scratchFolder);

}  // namespace quorvel::cli
