#include "foxpro/write/table_replacement.h"

#include <algorithm>

#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/folder_entries.h"
#include "foxpro/platform/process_token.h"
#include "foxpro/read/file_names.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/name_lock.h"
#include "foxpro/write/temporary_files.h"

namespace quorvel::foxpro {

namespace {

std::function<void(int)> gHook;

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
bool made(const std::string& folder, const ReplacementJournal& journal, std::size_t i) {
    const FileMove& m = journal.moves[i];
    return i < journal.asideCount ? exists(folder, m.to)
                                  : !exists(folder, m.from) && exists(folder, m.to);
}

// Makes the renames still to be made.  When one cannot be made (a new file
// has gone missing), the old table is put back instead; the journal stays
// while anything is left half done (false).
bool finish(const std::string& folder, const std::string& journalPath,
            const ReplacementJournal& journal) {
    const std::size_t count = journal.moves.size();
    bool forward = true;
    for (std::size_t i = 0; i < count && forward; ++i)
        if (!made(folder, journal, i) && move(folder, journal.moves[i])) forward = false;
    if (forward) {
        platform::syncFolder(folder);
        platform::removeFile(journalPath);
        for (std::size_t i = 0; i < journal.asideCount; ++i)
            platform::removeFile(folder + "/" + journal.moves[i].to);
        return true;
    }
    bool undone = true;
    for (std::size_t i = count; i-- > 0;)
        if (made(folder, journal, i) && move(folder, {journal.moves[i].to, journal.moves[i].from}))
            undone = false;
    platform::syncFolder(folder);
    if (undone) platform::removeFile(journalPath);
    return undone;
}

// Writes the journal whole under a new file's hidden name, then gives it its
// name: a journal is there whole or not at all.
void writeJournal(const std::string& folder, const std::string& journalPath,
                  const std::string& text) {
    const std::string newPath = folder + "/" + temporaryName(kNewFileSuffix);
    FileSink journal = FileSink::createNew(newPath, fileNameOf(journalPath));
    try {
        journal.append(text);
        journal.sync();
        journal.close();
        if (auto error = platform::moveNoReplace(newPath, journalPath))
            throw FoxProError(kErrorFile,
                              fileNameOf(journalPath) + ": cannot write: " + error.message());
    } catch (...) {
        platform::removeFile(newPath);
        throw;
    }
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
    writeJournal(folder, journalPath, replacementJournalText({tableName, moves, aside.size()}));
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

std::string recoverReplacements(const std::string& folder) {
    std::vector<std::string> names = platform::folderEntries(folder);
    std::sort(names.begin(), names.end());  // the warning in an order of its own
    std::vector<std::string> leftAlone;
    for (const auto& name : names) {
        if (!std::string_view(name).starts_with(kTemporaryPrefix) ||
            !name.ends_with(kJournalSuffix))
            continue;
        const auto owner = ownerOfTemporaryName(name);
        const auto state = owner ? platform::ownerState(*owner) : platform::OwnerState::Unknown;
        if (state == platform::OwnerState::Running) continue;  // at work now
        if (state == platform::OwnerState::Unknown) {
            // Maybe at work on another machine that shares the folder.
            leftAlone.push_back(name + " (its writer is on another computer or cannot be judged)");
            continue;
        }
        const std::string path = folder + "/" + name;
        const JournalCheck check = readReplacementJournal(path, *owner);
        if (!check.journal) {
            leftAlone.push_back(name + " (" + check.problem + ")");
            continue;
        }
        try {
            // The name's lock: free only when its writer is gone, wherever it ran.
            auto lock = NameLock::take(folder, check.journal->tableName, AdvisoryLock::Wait::No);
            if (!lock || !platform::entryExists(path)) continue;
            if (!finish(folder, path, *check.journal))
                leftAlone.push_back(name + " (its renames could be neither finished nor undone)");
        } catch (const FoxProError& e) {
            leftAlone.push_back(name + " (" + e.description() + ")");
        }
    }
    if (leftAlone.empty()) return "";
    std::string warning = folder + (leftAlone.size() == 1 ? ": replacement journal left alone: "
                                                          : ": replacement journals left alone: ");
    for (std::size_t i = 0; i < leftAlone.size(); ++i) warning += (i ? "; " : "") + leftAlone[i];
    return warning;
}

}  // namespace quorvel::foxpro
