// Recovery of a random replacement journal in a scratch folder, as the next
// write into that folder runs it, must never touch a file outside the
// folder.  The scratch folder lies in a parent folder that also holds
// sentinel files (and a sibling folder "out"); it holds an old table "a",
// a table "b", a new table under a hidden name of the journal's writer, a
// subfolder, and a link to a sentinel.  After recovery and clean-up the
// parent's listing and every byte outside the scratch folder must be as
// before; otherwise the target aborts.
//
// Input: a flag byte (1: spoil the checksum, 2: the writer is of another
// machine, 4: the rest is the journal's text as it stands), then pieces
// parted by LF: the table name, then one line each, "a..." an aside line
// and anything else a place line, its two names parted by TAB.  A name
// starting with a digit starts with what the digit stands for (see
// kExpansions): "3dbf" is "a.dbf", "2x.old" a hidden name of the writer,
// "0" "../out/important.txt".

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <string_view>

#include "foxpro/platform/process_token.h"
#include "foxpro/write/replacement_journal.h"
#include "foxpro/write/temporary_files.h"

namespace {

namespace fs = std::filesystem;
using quorvel::foxpro::kTemporaryPrefix;

struct Scratch {
    fs::path parent;
    fs::path folder;  // the scratch folder recovery runs on
    std::string goneOwner;
    std::string foreignOwner = "00000000-1-1";
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(parent, ignored);
    }
};

const Scratch& scratch() {
    static const Scratch s = [] {
        Scratch made;
        made.parent =
            fs::temp_directory_path() / ("journal-fuzz-" + std::to_string(std::random_device{}()));
        fs::remove_all(made.parent);
        fs::create_directories(made.parent / "out");
        made.folder = made.parent / "s";
        // This machine's writer number 1, started at time 1: gone.
        const std::string token = quorvel::foxpro::platform::processToken();
        made.goneOwner = token.substr(0, token.find('-')) + "-1-1";
        for (const char* name : {"important.txt", "out/important.txt", "a.dbf", "keep.fpt"})
            std::ofstream(made.parent / name, std::ios::binary) << "precious " << name;
        return made;
    }();
    return s;
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every entry below folder but skipped (links not followed): its kind and
// bytes (a link's target).
std::map<std::string, std::string> snapshot(const fs::path& folder, const fs::path& skipped) {
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(folder);
         it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& path = it->path();
        if (path == skipped) {
            it.disable_recursion_pending();
            continue;
        }
        const auto status = it->symlink_status();
        std::string value;
        if (fs::is_symlink(status)) {
            value = "link " + fs::read_symlink(path).string();
        } else if (fs::is_regular_file(status)) {
            std::ifstream in(path, std::ios::binary);
            value = "file " + std::string(std::istreambuf_iterator<char>(in), {});
        } else {
            value = "other " + std::to_string(static_cast<int>(status.type()));
        }
        entries[path.string()] = value;
    }
    return entries;
}

std::string expand(std::string_view name, const std::string& owner) {
    if (name.empty() || name[0] < '0' || name[0] > '9') return std::string(name);
    const std::string hidden = std::string(kTemporaryPrefix) + owner + "-";
    const std::string absolute = (scratch().parent / "important.txt").string();
    const std::string kExpansions[] = {
        "../out/important.txt", absolute, hidden, "a.", "../", "b.dbf", "sub/", "..\\", "C:", "/"};
    return kExpansions[name[0] - '0'] + std::string(name.substr(1));
}

std::string journalText(std::string_view input, bool spoil, const std::string& owner) {
    std::string_view pieces[64];
    std::size_t count = 0;
    while (count < 64) {
        const auto at = input.find('\n');
        pieces[count++] = input.substr(0, at);
        if (at == std::string_view::npos) break;
        input.remove_prefix(at + 1);
    }
    quorvel::foxpro::ReplacementJournal journal;
    journal.tableName = expand(pieces[0], owner);
    for (std::size_t i = 1; i < count; ++i) {
        std::string_view line = pieces[i];
        const bool aside = !line.empty() && line[0] == 'a';
        if (!line.empty()) line.remove_prefix(1);
        const auto tab = line.find('\t');
        const std::string from = expand(line.substr(0, tab), owner);
        const std::string to =
            expand(tab == std::string_view::npos ? line : line.substr(tab + 1), owner);
        if (aside) {
            journal.moves.insert(journal.moves.begin() + static_cast<long>(journal.asideCount),
                                 {from, to});
            ++journal.asideCount;
        } else {
            journal.moves.push_back({from, to});
        }
    }
    std::string text = quorvel::foxpro::replacementJournalText(journal);
    if (spoil) text[text.size() - 6] ^= 1;  // a hex digit of the checksum
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const Scratch& s = scratch();
    const std::uint8_t flags = data[0];
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string& owner = (flags & 2) ? s.foreignOwner : s.goneOwner;

    fs::remove_all(s.folder);
    fs::create_directories(s.folder / "sub");
    const std::string hidden = std::string(kTemporaryPrefix) + s.goneOwner + "-";
    writeFile(s.folder / "a.dbf", "old table");
    writeFile(s.folder / "a.fpt", "old memo");
    writeFile(s.folder / "b.dbf", "table b");
    writeFile(s.folder / (hidden + "n.dbf"), "new table");
    writeFile(s.folder / (hidden + "n.fpt"), "new memo");
    writeFile(s.folder / "sub" / "x.dbf", "in a subfolder");
    fs::create_symlink("../important.txt", s.folder / "a.cdx");
    writeFile(s.folder / (std::string(kTemporaryPrefix) + owner + "-fuzzjrnl.jnl"),
              (flags & 4) ? std::string(input) : journalText(input, flags & 1, owner));

    const auto before = snapshot(s.parent, s.folder);
    quorvel::foxpro::removeOrphanedFiles(s.folder.string());
    if (snapshot(s.parent, s.folder) != before) std::abort();
    if (!fs::is_directory(fs::symlink_status(s.folder))) std::abort();
    return 0;
}
