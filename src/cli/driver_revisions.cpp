#include "cli/driver_revisions.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "cli/scratch_folder.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/platform/child_process.h"
#include "foxpro/read/file_names.h"

namespace quorvel::cli {

namespace {

namespace platform = foxpro::platform;

const char* const kSideOwners[3] = {"base's ", "ours' ", "theirs' "};

// Memo extensions and the table extension each belongs to.
constexpr std::pair<const char*, const char*> kMemoTables[] = {
    {".fpt", ".dbf"}, {".dbt", ".dbf"}, {".sct", ".scx"}, {".vct", ".vcx"},
    {".frt", ".frx"}, {".lbt", ".lbx"}, {".mnt", ".mnx"}, {".pjt", ".pjx"}};

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string extensionOf(const std::string& path) {
    const std::string name = foxpro::fileNameOf(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) result.push_back(line);
    return result;
}

bool isObjectId(const std::string& text) {
    return (text.size() == 40 || text.size() == 64) &&
           std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Asks git for several objects at once ("HEAD:a.dbf"): each one's blob id,
// "" where the tree has no blob at that path.
std::vector<std::string> blobsOf(const std::vector<std::string>& objects,
                                 const std::string& scratchFolder) {
    const std::string input = foxpro::joinPath(scratchFolder, "objects.txt");
    {
        std::ofstream out(input, std::ios::binary);
        for (const auto& object : objects) out << object << '\n';
        if (!out) throw std::runtime_error("git's input could not be written");
    }
    const platform::ProgramOutput answer = platform::runProgram(
        "git", {"cat-file", "--batch-check=%(objectname) %(objecttype)"}, input);
    if (!answer.started) throw std::runtime_error("git could not be run");
    const std::vector<std::string> got = lines(answer.output);
    if (answer.status != 0 || got.size() != objects.size())
        throw std::runtime_error("git could not list the revisions");
    std::vector<std::string> blobs;
    for (const auto& line : got) {
        const auto space = line.find(' ');
        blobs.push_back(space != std::string::npos && line.substr(space + 1) == "blob"
                            ? line.substr(0, space)
                            : std::string());
    }
    return blobs;
}

std::string blobBytes(const std::string& blob) {
    const platform::ProgramOutput bytes = platform::runProgram("git", {"cat-file", "blob", blob});
    if (!bytes.started || bytes.status != 0)
        throw std::runtime_error("git could not give blob " + blob);
    return bytes.output;
}

// What one tree holds: the file at the handed path and the other files.
struct TreeFiles {
    std::string tree;
    std::string handed;               // blob at repoPath
    std::array<std::string, 3> blob;  // per other file, of the first name present ("" none)
    std::array<std::string, 3> path;
};

std::vector<TreeFiles> filesOf(const std::vector<std::string>& trees, const std::string& repoPath,
                               const std::array<std::vector<std::string>, 3>& names,
                               const std::string& scratchFolder) {
    std::vector<std::string> objects;
    for (const auto& tree : trees) {
        objects.push_back(tree + ":" + repoPath);
        for (const auto& group : names)
            for (const auto& name : group) objects.push_back(tree + ":" + name);
    }
    const std::vector<std::string> blobs = blobsOf(objects, scratchFolder);
    std::vector<TreeFiles> files;
    std::size_t at = 0;
    for (const auto& tree : trees) {
        TreeFiles f;
        f.tree = tree;
        f.handed = blobs[at++];
        for (std::size_t k = 0; k < names.size(); ++k)
            for (const auto& name : names[k]) {
                const std::string& blob = blobs[at++];
                if (f.blob[k].empty() && !blob.empty()) {
                    f.blob[k] = blob;
                    f.path[k] = name;
                }
            }
        files.push_back(std::move(f));
    }
    return files;
}

// The other files of the trees among candidates that hold blob at the
// handed path, when there is at least one and they all hold the same; the
// first such tree is named.
bool agreeingPartner(const std::vector<TreeFiles>& candidates, const std::string& blob,
                     TreeFiles& found) {
    std::set<std::array<std::string, 3>> partners;
    for (const auto& f : candidates) {
        if (f.handed != blob) continue;
        if (partners.empty()) found = f;
        partners.insert(f.blob);
    }
    return partners.size() == 1;
}

std::string commitOf(const std::string& revision) {
    const platform::ProgramOutput commit =
        platform::runProgram("git", {"rev-parse", "--verify", "--quiet", revision + "^{commit}"});
    const std::vector<std::string> got = lines(commit.output);
    return commit.started && commit.status == 0 && got.size() == 1 && isObjectId(got[0])
               ? got[0]
               : std::string();
}

// The commit a running rebase (the last line done) or a cherry-pick of
// several commits (the first line to do) applies; "" when neither runs.
std::string pickedCommit() {
    const std::pair<const char*, bool> lists[] = {{"rebase-merge/done", true},
                                                  {"sequencer/todo", false}};
    for (const auto& [list, last] : lists) {
        const platform::ProgramOutput path =
            platform::runProgram("git", {"rev-parse", "--git-path", list});
        const std::vector<std::string> name = lines(path.output);
        if (!path.started || path.status != 0 || name.size() != 1) continue;
        std::ifstream in(name[0], std::ios::binary);
        std::string line, step;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            step = line;
            if (!last) break;
        }
        std::istringstream words(step);
        std::string command, id;
        words >> command >> id;
        static const std::set<std::string> picks = {"pick", "p",      "reword", "r",     "edit",
                                                    "e",    "squash", "s",      "fixup", "f"};
        if (picks.count(command) && !id.empty()) return commitOf(id);
    }
    return std::string();
}

}  // namespace

const char* driverFileName(DriverFile file) {
    return file == DriverFile::Table ? "table" : file == DriverFile::Memo ? "memo file" : "index";
}

bool isIndexPath(const std::string& path) {
    return lowerAscii(extensionOf(path)) == ".cdx";
}

std::vector<std::string> siblingNames(const std::string& path,
                                      const std::vector<std::string>& extensions) {
    const std::string extension = extensionOf(path);
    const std::string stem = path.substr(0, path.size() - extension.size());
    const bool upper = !extension.empty() && extension.back() >= 'A' && extension.back() <= 'Z';
    std::vector<std::string> names;
    for (const std::string& ext : extensions)
        for (const std::string& spelt :
             {upper ? foxpro::upperAscii(ext) : ext, ext, foxpro::upperAscii(ext)}) {
            const std::string name = stem + spelt;
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        }
    return names;
}

bool isMemoPath(const std::string& path) {
    const std::string extension = lowerAscii(extensionOf(path));
    for (const auto& [memo, table] : kMemoTables)
        if (extension == memo) return true;
    return false;
}

std::vector<std::string> tableCandidates(const std::string& memoPath) {
    const std::string extension = extensionOf(memoPath);
    const std::string stem = memoPath.substr(0, memoPath.size() - extension.size());
    const bool upper = !extension.empty() && extension.back() >= 'A' && extension.back() <= 'Z';
    std::vector<std::string> names;
    for (const auto& [memo, table] : kMemoTables) {
        if (lowerAscii(extension) != memo) continue;
        for (const std::string& ext : {upper ? foxpro::upperAscii(table) : std::string(table),
                                       std::string(table), foxpro::upperAscii(table)}) {
            const std::string name = stem + ext;
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        }
    }
    return names;
}

DriverRevisions findDriverRevisions(const std::string& repoPath, DriverFile handedFile,
                                    const std::array<std::string, 3>& handed,
                                    const std::array<std::vector<std::string>, 3>& names,
                                    const std::string& scratchFolder) {
    DriverRevisions revisions;
    revisions.path(handedFile) = repoPath;
    std::array<std::vector<std::string>, 3> partnerNames = names;
    partnerNames[static_cast<std::size_t>(handedFile)].clear();
    try {
        std::array<std::string, 3> handedBlob;
        for (int s = 0; s < 3; ++s) {
            const platform::ProgramOutput hash = platform::runProgram(
                "git", {"hash-object", "--no-filters", "--", handed[static_cast<std::size_t>(s)]});
            if (!hash.started) throw std::runtime_error("git could not be run");
            if (hash.status != 0 || hash.output.empty())
                throw std::runtime_error("git finds no repository here");
            handedBlob[static_cast<std::size_t>(s)] = hash.output.substr(0, hash.output.find('\n'));
        }

        // The commits git names: HEAD for ours, GITHEAD_<id> for theirs
        // (git merge sets it), their merge base for the base.
        std::array<TreeFiles, 3> found;
        std::array<bool, 3> have = {false, false, false};
        have[1] = agreeingPartner(filesOf({"HEAD"}, repoPath, partnerNames, scratchFolder),
                                  handedBlob[1], found[1]);
        std::vector<std::string> merged;
        for (const auto& name : platform::environmentNames("GITHEAD_"))
            if (isObjectId(name.substr(8))) merged.push_back(name.substr(8));
        if (!merged.empty())
            have[2] = agreeingPartner(filesOf(merged, repoPath, partnerNames, scratchFolder),
                                      handedBlob[2], found[2]);
        if (have[1] && have[2]) {
            const platform::ProgramOutput bases =
                platform::runProgram("git", {"merge-base", "--all", "HEAD", found[2].tree});
            const std::vector<std::string> baseList = lines(bases.output);
            if (bases.started && bases.status == 0 && baseList.size() == 1)
                have[0] = agreeingPartner(filesOf(baseList, repoPath, partnerNames, scratchFolder),
                                          handedBlob[0], found[0]);
        }
        // A rebase or a cherry-pick of several commits applies one commit
        // onto HEAD against that commit's parent; git's own state names it.
        if (have[1] && !have[2]) {
            const std::string picked = pickedCommit();
            if (!picked.empty() &&
                agreeingPartner(filesOf({picked}, repoPath, partnerNames, scratchFolder),
                                handedBlob[2], found[2])) {
                have[2] = true;
                have[0] =
                    agreeingPartner(filesOf({picked + "^"}, repoPath, partnerNames, scratchFolder),
                                    handedBlob[0], found[0]);
                if (have[0]) found[0].tree = commitOf(picked + "^");
            }
        }

        // Otherwise every commit that holds the handed bytes at the path
        // must hold the same partner.
        if (!have[0] || !have[1] || !have[2]) {
            std::vector<std::string> revList = {"rev-list", "--all", "--"};
            revList.push_back(":(top,literal)" + repoPath);
            for (const auto& group : partnerNames)
                for (const auto& name : group) revList.push_back(":(top,literal)" + name);
            const platform::ProgramOutput commits = platform::runProgram("git", revList);
            if (!commits.started || commits.status != 0)
                throw std::runtime_error("git could not list the commits of " + repoPath);
            const std::vector<TreeFiles> all =
                filesOf(lines(commits.output), repoPath, partnerNames, scratchFolder);
            for (int s = 0; s < 3; ++s) {
                if (have[static_cast<std::size_t>(s)]) continue;
                for (std::size_t k = 0; k < 3; ++k) {
                    std::set<std::string> partners;
                    for (const auto& f : all)
                        if (f.handed == handedBlob[static_cast<std::size_t>(s)])
                            partners.insert(f.blob[k]);
                    if (partners.size() > 1)
                        throw std::runtime_error("the commits holding " +
                                                 std::string(kSideOwners[s]) + repoPath +
                                                 " hold different revisions of its " +
                                                 driverFileName(static_cast<DriverFile>(k)));
                }
                if (!agreeingPartner(all, handedBlob[static_cast<std::size_t>(s)],
                                     found[static_cast<std::size_t>(s)]))
                    throw std::runtime_error("no commit holds " + std::string(kSideOwners[s]) +
                                             repoPath);
            }
        }

        for (int s = 0; s < 3; ++s) {
            const TreeFiles& f = found[static_cast<std::size_t>(s)];
            DriverRevision& side = revisions.side[static_cast<std::size_t>(s)];
            side.commit = f.tree == "HEAD" ? "HEAD" : f.tree.substr(0, 12);
            RevisionFile& own = side.file(handedFile);
            own.blob = handedBlob[static_cast<std::size_t>(s)];
            own.bytes = readWholeFile(handed[static_cast<std::size_t>(s)]);
            for (std::size_t k = 0; k < 3; ++k) {
                if (k == static_cast<std::size_t>(handedFile)) continue;
                RevisionFile& other = side.file(static_cast<DriverFile>(k));
                other.blob = f.blob[k];
                if (!f.blob[k].empty()) other.bytes = blobBytes(f.blob[k]);
                std::string& otherPath = revisions.path(static_cast<DriverFile>(k));
                if ((otherPath.empty() || s == 1) && !f.path[k].empty()) otherPath = f.path[k];
            }
        }
        if (revisions.tablePath.empty())
            throw std::runtime_error("no revision holds the table of " + repoPath);
        std::vector<std::string> asked = {"check-attr", "merge", "--"};
        std::vector<std::size_t> kinds;
        for (std::size_t k = 0; k < 3; ++k)
            if (!revisions.path(static_cast<DriverFile>(k)).empty()) {
                asked.push_back(revisions.path(static_cast<DriverFile>(k)));
                kinds.push_back(k);
            }
        const platform::ProgramOutput attributes = platform::runProgram("git", asked);
        const std::vector<std::string> got = lines(attributes.output);
        if (attributes.started && attributes.status == 0 && got.size() == kinds.size()) {
            // "<path>: merge: <value>" for each path.
            const auto value = [](const std::string& line) {
                return line.substr(line.rfind(": ") + 2);
            };
            std::string own;
            for (std::size_t i = 0; i < kinds.size(); ++i)
                if (kinds[i] == static_cast<std::size_t>(handedFile)) own = value(got[i]);
            for (std::size_t i = 0; i < kinds.size(); ++i)
                revisions.sharesDriver[kinds[i]] = value(got[i]) == own;
        }
        revisions.known = true;
    } catch (const std::runtime_error& e) {
        revisions.problem = e.what();
    }
    return revisions;
}

}  // namespace quorvel::cli
