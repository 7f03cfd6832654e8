#include "foxpro/write/temporary_files.h"

#include <random>
#include <set>
#include <vector>

#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/folder_entries.h"
#include "foxpro/platform/process_token.h"
#include "foxpro/read/advisory_lock.h"
#include "foxpro/write/table_replacement.h"

namespace quorvel::foxpro {

std::string temporaryName(std::string_view suffix) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string name(kTemporaryPrefix);
    name += platform::processToken();
    name += '-';
    for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    name += suffix;
    return name;
}

std::optional<std::string> ownerOfTemporaryName(std::string_view name) {
    if (!name.starts_with(kTemporaryPrefix)) return std::nullopt;
    name.remove_prefix(kTemporaryPrefix.size());
    // host-pid-start-random: the owner is what comes before the third '-'.
    std::size_t at = 0;
    for (int dash = 0; dash < 3; ++dash) {
        at = name.find('-', at);
        if (at == std::string_view::npos) return std::nullopt;
        if (dash < 2) ++at;
    }
    return std::string(name.substr(0, at));
}

std::string removeOrphanedFiles(const std::string& folder) {
    std::string warning = recoverReplacements(folder);
    std::vector<std::string> names;
    for (auto& name : platform::folderEntries(folder))
        if (std::string_view(name).starts_with(kTemporaryPrefix)) names.push_back(std::move(name));
    // A journal still there (its writer is running, it could not be finished,
    // or it is not trusted) may need every file its writer left.
    std::set<std::string> journalOwners;
    for (const auto& name : names)
        if (name.ends_with(kJournalSuffix))
            if (auto owner = ownerOfTemporaryName(name)) journalOwners.insert(std::move(*owner));
    for (const auto& name : names) {
        const std::string path = folder + "/" + name;
        if (name.ends_with(kLockSuffix)) {
            // Free when nobody holds it; removed under the lock, as its
            // holders do.
            try {
                auto lock = AdvisoryLock::takePath(path, name, platform::LockMode::Exclusive,
                                                   AdvisoryLock::Wait::No);
                const auto now = platform::identityOfPath(path);
                if (lock && now && *now == lock->identity()) platform::removeFile(path);
            } catch (...) {
            }
            continue;
        }
        if (name.ends_with(kJournalSuffix)) continue;
        const auto owner = ownerOfTemporaryName(name);
        if (owner && !journalOwners.count(*owner) &&
            platform::ownerState(*owner) == platform::OwnerState::Gone)
            platform::removeFile(path);
    }
    return warning;
}

}  // namespace quorvel::foxpro
