#include "foxpro/table_replacement.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

#include "foxpro/ascii_case.h"
#include "foxpro/atomic_file.h"
#include "foxpro/data_source.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/name_lock.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/folder_entries.h"
#include "foxpro/platform/process_token.h"
#include "foxpro/temporary_files.h"

namespace quorvel::foxpro {

namespace {

std::function<void(int)> gHook;

constexpr const char* kJournalHeader = "quorvel replacement";

// A journal as written: the table's name, then the renames in order, the
// set-aside ones first.  complete: its last line was written (without it
// the writer was killed before its first rename).
struct Journal {
    std::string tableName;
    std::vector<FileMove> moves;
    std::size_t asideCount = 0;
    bool complete = false;
};

std::string journalText(const std::string& tableName, const std::vector<FileMove>& moves,
                        std::size_t asideCount) {
    // Names are free of tabs and line breaks: new names hold no control
    // character, hidden ones are ours.
    std::string text = std::string(kJournalHeader) + "\nname\t" + tableName + "\n";
    for (std::size_t i = 0; i < moves.size(); ++i)
        text += std::string(i < asideCount ? "aside\t" : "place\t") + moves[i].from + "\t" +
                moves[i].to + "\n";
    return text + "end\n";
}

std::optional<Journal> readJournal(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != kJournalHeader) return std::nullopt;
    Journal journal;
    while (std::getline(in, line)) {
        if (line == "end") {
            journal.complete = true;
            break;
        }
        std::istringstream fields(line);
        std::string kind, from, to;
        std::getline(fields, kind, '\t');
        std::getline(fields, from, '\t');
        std::getline(fields, to, '\t');
        if (kind == "name") {
            journal.tableName = from;
        } else if ((kind == "aside" || kind == "place") && !from.empty() && !to.empty()) {
            if (kind == "aside" && journal.moves.size() != journal.asideCount) return std::nullopt;
            journal.moves.push_back({from, to});
            if (kind == "aside") ++journal.asideCount;
        } else {
            return std::nullopt;
        }
    }
    if (journal.tableName.empty()) return std::nullopt;
    return journal;
}

bool exists(const std::string& folder, const std::string& name) {
    return platform::entryExists(folder + "/" + name);
}

std::error_code move(const std::string& folder, const FileMove& m) {
    return platform::moveNoReplace(folder + "/" + m.from, folder + "/" + m.to);
}

// Undoes the first done renames, last first.  Best effort.
void undo(const std::string& folder, const std::vector<FileMove>& moves, std::size_t done) {
    for (std::size_t i = done; i-- > 0;) move(folder, {moves[i].to, moves[i].from});
}

// Whether rename i of a journal was made: a set-aside file exists only once
// its rename made it; a new file has left its hidden name only by its
// rename (nothing else removes a file that a journal names).
bool made(const std::string& folder, const Journal& journal, std::size_t i) {
    const FileMove& m = journal.moves[i];
    return i < journal.asideCount ? exists(folder, m.to)
                                  : !exists(folder, m.from) && exists(folder, m.to);
}

// Makes the renames still to be made.  When one cannot be made (a new file
// has gone missing), the old table is put back instead; the journal stays
// while anything is left half done.
void finish(const std::string& folder, const std::string& journalPath, const Journal& journal) {
    const std::size_t count = journal.moves.size();
    bool forward = true;
    for (std::size_t i = 0; i < count && forward; ++i)
        if (!made(folder, journal, i) && move(folder, journal.moves[i])) forward = false;
    if (forward) {
        platform::syncFolder(folder);
        platform::removeFile(journalPath);
        for (std::size_t i = 0; i < journal.asideCount; ++i)
            platform::removeFile(folder + "/" + journal.moves[i].to);
        return;
    }
    bool undone = true;
    for (std::size_t i = count; i-- > 0;)
        if (made(folder, journal, i) && move(folder, {journal.moves[i].to, journal.moves[i].from}))
            undone = false;
    platform::syncFolder(folder);
    if (undone) platform::removeFile(journalPath);
}

}  // namespace

void setReplacementHookForTesting(std::function<void(int renamesDone)> hook) {
    gHook = std::move(hook);
}

void replaceFiles(const std::string& folder, const std::string& tableName,
                  const std::vector<std::string>& aside, const std::vector<FileMove>& place) {
    auto fail = [](const std::string& name, const std::error_code& error) {
        throw FoxProError(kErrorFile,
                          name + ": cannot put the new file in place: " + error.message());
    };
    // One file replacing at most its own name: one rename, old whole or new whole.
    if (place.size() == 1 && (aside.empty() || (aside.size() == 1 && aside[0] == place[0].to))) {
        const std::string from = folder + "/" + place[0].from;
        const std::string to = folder + "/" + place[0].to;
        if (auto error = aside.empty() ? platform::moveNoReplace(from, to)
                                       : platform::moveReplacing(from, to))
            fail(place[0].to, error);
        platform::syncFolder(folder);
        return;
    }

    // The old table file goes aside first: from then on the name shows no
    // table, whatever happens to the files that belong to it.
    std::vector<std::string> asideOrder = aside;
    std::stable_partition(asideOrder.begin(), asideOrder.end(), [](const std::string& name) {
        return lowerAscii(name).ends_with(".dbf");
    });
    std::vector<FileMove> moves;
    for (const auto& name : asideOrder) moves.push_back({name, temporaryName(kSetAsideSuffix)});
    moves.insert(moves.end(), place.begin(), place.end());
    const std::string journalPath = folder + "/" + temporaryName(kJournalSuffix);
    {
        FileSink journal = FileSink::createNew(journalPath, fileNameOf(journalPath));
        try {
            journal.append(journalText(tableName, moves, aside.size()));
            journal.sync();
            journal.close();
        } catch (...) {
            platform::removeFile(journalPath);
            throw;
        }
    }
    if (auto error = platform::syncFolder(folder)) {
        platform::removeFile(journalPath);
        fail(tableName, error);
    }
    for (std::size_t done = 0; done < moves.size(); ++done) {
        if (auto error = move(folder, moves[done])) {
            undo(folder, moves, done);
            platform::syncFolder(folder);
            platform::removeFile(journalPath);
            fail(done < aside.size() ? moves[done].from : moves[done].to, error);
        }
        if (auto hook = gHook) hook(static_cast<int>(done + 1));
    }
    platform::syncFolder(folder);
    platform::removeFile(journalPath);
    for (std::size_t i = 0; i < aside.size(); ++i) platform::removeFile(folder + "/" + moves[i].to);
}

void recoverReplacements(const std::string& folder) {
    for (const auto& name : platform::folderEntries(folder)) {
        if (!std::string_view(name).starts_with(kTemporaryPrefix) ||
            !name.ends_with(kJournalSuffix))
            continue;
        const auto owner = ownerOfTemporaryName(name);
        if (owner && platform::ownerState(*owner) == platform::OwnerState::Running) continue;
        const std::string path = folder + "/" + name;
        try {
            const auto journal = readJournal(path);
            if (!journal) continue;  // not ours to judge
            // The name's lock: free only when its writer is gone, wherever it ran.
            auto lock = NameLock::take(folder, journal->tableName, AdvisoryLock::Wait::No);
            if (!lock || !platform::entryExists(path)) continue;
            if (!journal->complete) {
                // Killed while writing it: no rename was made yet.
                platform::removeFile(path);
                continue;
            }
            finish(folder, path, *journal);
        } catch (const FoxProError&) {
            // A folder we cannot write: read as it is.
        }
    }
}

std::vector<std::string> filesNamedByJournal(const std::string& journalPath) {
    std::vector<std::string> names;
    if (const auto journal = readJournal(journalPath))
        for (const auto& m : journal->moves) {
            names.push_back(m.from);
            names.push_back(m.to);
        }
    return names;
}

}  // namespace quorvel::foxpro
