#pragma once

// The memo file of a table revision that git handed over as a lone
// temporary file: git's temporary copy of a blob has no memo file beside
// it, so git itself is asked which memo blob goes with that table blob.

#include <string>
#include <vector>

namespace quorvel::foxpro {
class TableReader;
}

namespace quorvel::cli {

// The memo file name the one rule gives a table of this reader's type
// stored under tableFileName ("a.dbf" -> "a.fpt", "B.DBF" -> "B.DBT").
std::string memoNameOf(const foxpro::TableReader& table, const std::string& tableFileName);

struct RevisionMemo {
    bool held = false;   // some tree holds the table's bytes at that path
    bool known = false;  // bytes is that revision's memo file
    std::string bytes;
    std::string name;     // its file name in the repository (no folder)
    std::string problem;  // why it is not known, when !known
};

// The memo names a table at repoPath may have in the repository: the one
// rule's name (memoFileName) with its extension in the table's case, in
// lower case and in upper case, each once ("data/a.dbf" -> "data/a.fpt",
// "data/a.FPT").
std::vector<std::string> memoCandidates(const std::string& repoPath, const std::string& memoName);

// Finds, through the git program run in the current folder, every tree that
// holds tableBlob at repoPath (the index and every commit that changed the
// table or its memo) and the memo blob each holds beside it under one of
// memoNames.  Known only when there is at least one such tree and all of
// them hold the same memo blob: where two revisions share the table's bytes
// but not the memo's, which one git meant cannot be told, and no other
// revision's memo is ever taken.  scratchFolder receives git's input.
RevisionMemo findRevisionMemo(const std::string& repoPath, const std::string& tableBlob,
                              const std::vector<std::string>& memoNames,
                              const std::string& scratchFolder);

// The same for a lone copy of a table whose path git does not say (what
// git hands a textconv program: a temporary file under the table's own file
// name): its blob is the file's bytes, and every path of the index and of
// HEAD with that file name is asked.  Known only when each path that holds
// those bytes gives the same memo.
RevisionMemo findCopyMemo(const std::string& file, const std::string& memoName,
                          const std::string& scratchFolder);

}  // namespace quorvel::cli
