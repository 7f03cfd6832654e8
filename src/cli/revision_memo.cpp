#include "cli/revision_memo.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/platform/child_process.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/memo_file.h"
#include "foxpro/read/table_reader.h"

namespace quorvel::cli {

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// "<oid> blob" for a blob that is there; "" for a path the tree lacks
// (git writes "<name> missing").
std::string blobOf(const std::string& line) {
    const auto space = line.find(' ');
    if (space == std::string::npos || line.substr(space + 1) != "blob") return "";
    return line.substr(0, space);
}

std::vector<std::string> nulSeparated(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
        result.push_back(text.substr(start, end - start));
    return result;
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

std::string memoNameOf(const foxpro::TableReader& table, const std::string& tableFileName) {
    const auto* type = foxpro::dbf::fileTypeInfo(table.fileType());
    // As the reader itself does: a dBase III table may carry a .dbt anyway.
    const foxpro::dbf::MemoKind kind = type == nullptr || type->memo == foxpro::dbf::MemoKind::None
                                           ? foxpro::dbf::MemoKind::Dbt3
                                           : type->memo;
    return foxpro::memoFileName(tableFileName, kind);
}

std::vector<std::string> memoCandidates(const std::string& repoPath, const std::string& memoName) {
    const auto slash = repoPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : repoPath.substr(0, slash + 1);
    const auto dot = memoName.rfind('.');
    const std::string stem = memoName.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : memoName.substr(dot);
    std::vector<std::string> names;
    for (const std::string& ext :
         {extension, lowerAscii(extension), foxpro::upperAscii(extension)}) {
        const std::string name = folder + stem + ext;
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

RevisionMemo findRevisionMemo(const std::string& repoPath, const std::string& tableBlob,
                              const std::vector<std::string>& memoNames,
                              const std::string& scratchFolder) {
    RevisionMemo memo;
    // Paths from the top of the working tree, taken as they are (a name
    // may hold '*' or '['), wherever in it the tool was started.
    std::vector<std::string> revList = {"rev-list", "--all", "--"};
    revList.push_back(":(top,literal)" + repoPath);
    for (const auto& name : memoNames) revList.push_back(":(top,literal)" + name);
    const foxpro::platform::ProgramOutput commits = foxpro::platform::runProgram("git", revList);
    if (!commits.started) {
        memo.problem = "git could not be run";
        return memo;
    }
    if (commits.status != 0) {
        memo.problem = "git finds no repository here";
        return memo;
    }
    // The index first (":0:path"), then each commit ("<commit>:path").
    std::vector<std::string> trees = {":0"};
    for (const auto& commit : lines(commits.output))
        if (!commit.empty()) trees.push_back(commit);
    const std::string input = foxpro::joinPath(scratchFolder, "revisions.txt");
    {
        std::ofstream out(input, std::ios::binary);
        for (const auto& tree : trees) {
            out << tree << ':' << repoPath << '\n';
            for (const auto& name : memoNames) out << tree << ':' << name << '\n';
        }
        if (!out) {
            memo.problem = "git's input could not be written";
            return memo;
        }
    }
    const foxpro::platform::ProgramOutput blobs = foxpro::platform::runProgram(
        "git", {"cat-file", "--batch-check=%(objectname) %(objecttype)"}, input);
    const std::vector<std::string> answers = lines(blobs.output);
    const std::size_t perTree = 1 + memoNames.size();
    if (!blobs.started || blobs.status != 0 || answers.size() != trees.size() * perTree) {
        memo.problem = "git could not list the revisions";
        return memo;
    }
    std::set<std::string> memoBlobs;  // "" for a tree without the memo file
    std::string memoName;
    for (std::size_t t = 0; t < trees.size(); ++t) {
        if (blobOf(answers[t * perTree]) != tableBlob) continue;
        std::string found;
        for (std::size_t m = 0; m < memoNames.size() && found.empty(); ++m) {
            found = blobOf(answers[t * perTree + 1 + m]);
            if (!found.empty()) memoName = memoNames[m];
        }
        memoBlobs.insert(found);
    }
    if (memoBlobs.empty()) {
        memo.problem = "no commit and not the index holds this revision of " + repoPath;
        return memo;
    }
    memo.held = true;
    if (memoBlobs.size() > 1) {
        memo.problem =
            "revisions holding these bytes of " + repoPath + " hold different memo files";
        return memo;
    }
    if (memoBlobs.begin()->empty()) {
        memo.problem = "the revision holds no memo file beside " + repoPath;
        return memo;
    }
    const foxpro::platform::ProgramOutput bytes =
        foxpro::platform::runProgram("git", {"cat-file", "blob", *memoBlobs.begin()});
    if (!bytes.started || bytes.status != 0) {
        memo.problem = "git could not give the memo file of " + repoPath;
        return memo;
    }
    memo.known = true;
    memo.bytes = bytes.output;
    memo.name = foxpro::fileNameOf(memoName);
    return memo;
}

RevisionMemo findCopyMemo(const std::string& file, const std::string& memoName,
                          const std::string& scratchFolder) {
    RevisionMemo memo;
    const foxpro::platform::ProgramOutput hash =
        foxpro::platform::runProgram("git", {"hash-object", "--no-filters", "--", file});
    if (!hash.started || hash.status != 0 || hash.output.empty()) {
        memo.problem = hash.started ? "not in a git repository" : "git could not be run";
        return memo;
    }
    const std::string blob = hash.output.substr(0, hash.output.find('\n'));
    const std::string name = foxpro::fileNameOf(file);
    std::set<std::string> paths;
    for (const auto& listing :
         {std::vector<std::string>{"ls-files", "-z", "--full-name", "--", ":(top)"},
          std::vector<std::string>{"ls-tree", "-r", "-z", "--name-only", "--full-tree", "HEAD"}})
        for (const auto& path : nulSeparated(foxpro::platform::runProgram("git", listing).output))
            if (foxpro::fileNameOf(path) == name) paths.insert(path);
    bool found = false;
    for (const auto& path : paths) {
        RevisionMemo atPath =
            findRevisionMemo(path, blob, memoCandidates(path, memoName), scratchFolder);
        if (!atPath.held) continue;
        if (!atPath.known) return atPath;
        if (found && (atPath.bytes != memo.bytes || atPath.name != memo.name)) {
            memo.known = false;
            memo.problem =
                "tables with these bytes at " + path + " and elsewhere hold different memo files";
            return memo;
        }
        memo = std::move(atPath);
        found = true;
    }
    if (!found) memo.problem = "no revision git knows holds these bytes of " + name;
    return memo;
}

}  // namespace quorvel::cli
