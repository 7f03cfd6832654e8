#include "foxpro/read/text_guess.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string_view>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/deleted_records.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/code_page.h"

namespace quorvel::foxpro {

namespace {

enum class Verdict { Ascii, Utf8, NotUtf8 };

// A UTF-8 lead byte followed only by continuation bytes up to the end: a
// character cut off by the end of the field.
bool isCutCharacter(std::string_view s, std::size_t i) {
    const auto b0 = static_cast<std::uint8_t>(s[i]);
    const std::size_t need = b0 >= 0xC2 && b0 <= 0xDF   ? 2
                             : b0 >= 0xE0 && b0 <= 0xEF ? 3
                             : b0 >= 0xF0 && b0 <= 0xF4 ? 4
                                                        : 0;
    if (need == 0 || s.size() - i >= need) return false;
    for (std::size_t k = i + 1; k < s.size(); ++k)
        if ((static_cast<std::uint8_t>(s[k]) & 0xC0) != 0x80) return false;
    return true;
}

Verdict verdictOf(std::string_view text, bool cutEndAllowed) {
    Verdict verdict = Verdict::Ascii;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<std::uint8_t>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = utf8CharLength(text, i);
        if (len == 0) {
            if (cutEndAllowed && isCutCharacter(text, i)) return Verdict::Utf8;
            return Verdict::NotUtf8;
        }
        verdict = Verdict::Utf8;
        i += len;
    }
    return verdict;
}

TextGuess scan(const TableReader& table) {
    TextGuess guess;
    bool invalid = false;
    auto look = [&](std::string_view text, bool cutEndAllowed) {
        switch (verdictOf(text, cutEndAllowed)) {
            case Verdict::Ascii:
                break;
            case Verdict::Utf8:
                guess.nonAscii = true;
                break;
            case Verdict::NotUtf8:
                guess.nonAscii = true;
                invalid = true;
                break;
        }
    };
    // Field names as stored (the reader's are decoded already).
    for (const auto& d : table.descriptors()) {
        std::size_t len = 0;
        while (len < 11 && d.raw[len] != 0) ++len;
        look({reinterpret_cast<const char*>(d.raw.data()), len}, false);
    }

    std::size_t budget = kTextGuessBytes;
    bool memosReadable = true;
    for (std::int64_t i = 0; i < table.storedCount() && budget > 0 && !invalid; ++i) {
        const auto record = table.storedRecord(i);
        budget -= std::min(budget, record.size());
        for (int f = 0; f < table.fieldCount() && !invalid; ++f) {
            const FieldInfo& field = table.field(f);
            if (field.letter == 'C' || field.letter == 'V') {
                look(table.storedText(record, f), true);
            } else if (field.letter == 'M' && memosReadable && budget > 0) {
                try {
                    const MemoContent memo = table.memo(record, f);
                    const std::size_t n = std::min(budget, memo.data.size());
                    budget -= n;
                    look(std::string_view(memo.data).substr(0, n), n < memo.data.size());
                } catch (const FoxProError&) {
                    memosReadable = false;  // no memo file, or a damaged one: the records decide
                }
            }
        }
    }
    guess.utf8 = guess.nonAscii && !invalid;
    return guess;
}

struct Entry {
    FileStamp stamp;
    TextGuess guess;
};

// A few tables are open at a time; the bound only stops a long session from
// gathering answers about tables it no longer reads.
constexpr std::size_t kMaxEntries = 64;

}  // namespace

TextGuess guessText(const TableReader& table, const FileStamp* stamp) {
    if (!stamp) return scan(table);
    static std::mutex m;
    static std::map<std::pair<dev_t, ino_t>, Entry> known;
    const std::pair key{stamp->device, stamp->inode};
    {
        std::lock_guard lock(m);
        auto it = known.find(key);
        if (it != known.end() && it->second.stamp == *stamp) return it->second.guess;
    }
    const TextGuess guess = scan(table);
    std::lock_guard lock(m);
    if (known.size() >= kMaxEntries) known.clear();
    known[key] = Entry{*stamp, guess};
    return guess;
}

}  // namespace quorvel::foxpro
