#include "foxpro/write/replacement_journal.h"

#include <cstdio>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/table_set.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_reader.h"
#include "foxpro/write/temporary_files.h"

namespace quorvel::foxpro {

namespace {

constexpr std::string_view kHeader = "quorvel replacement";
constexpr std::string_view kCheckLine = "check\t";
constexpr std::string_view kEndLine = "end\n";
// A journal names a handful of files; anything far larger is not one.
constexpr std::int64_t kMaxJournalSize = 64 * 1024;

std::string hexText(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

// Whether name can only mean a file in the journal's own folder.
bool isPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const unsigned char c : name)
        // ':' makes "C:x" a path on a drive and "x:y" a stream on Windows.
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
    return true;
}

bool isOwnHiddenName(std::string_view name, std::string_view owner) {
    const auto nameOwner = ownerOfTemporaryName(name);
    return nameOwner && *nameOwner == owner;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

}  // namespace

std::uint64_t fnv1a64(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::string replacementJournalText(const ReplacementJournal& journal) {
    std::string text = std::string(kHeader) + "\nname\t" + journal.tableName + "\n";
    for (std::size_t i = 0; i < journal.moves.size(); ++i)
        text += std::string(i < journal.asideCount ? "aside\t" : "place\t") +
                journal.moves[i].from + "\t" + journal.moves[i].to + "\n";
    return text + std::string(kCheckLine) + hexText(fnv1a64(text)) + "\n" + std::string(kEndLine);
}

JournalCheck checkReplacementJournal(std::string_view text, std::string_view owner) {
    JournalCheck result;
    auto fail = [&result](std::string problem) {
        result.problem = std::move(problem);
        return result;
    };
    // The content counts only once it is known to be what was written.
    const std::size_t checkAt = text.rfind(std::string("\n") + std::string(kCheckLine));
    if (checkAt == std::string_view::npos) return fail("it has no checksum");
    const std::string_view body = text.substr(0, checkAt + 1);
    if (text.substr(checkAt + 1) !=
        std::string(kCheckLine) + hexText(fnv1a64(body)) + "\n" + std::string(kEndLine))
        return fail("its checksum does not hold");

    std::vector<std::string_view> lines = split(body, '\n');
    lines.pop_back();  // what follows the last LF: nothing
    if (lines[0] != kHeader) return fail("it is no replacement journal");
    if (lines.size() < 2 || !lines[1].starts_with("name\t")) return fail("it names no table");
    ReplacementJournal journal;
    journal.tableName = std::string(lines[1].substr(5));
    const std::string_view table = journal.tableName;
    if (!isPlainFileName(table))
        return fail("it names " + quoted(table) + ", which is no file of this folder");
    if (table.size() <= 4 || !equalsNoCase(table.substr(table.size() - 4), ".dbf"))
        return fail("it names " + quoted(table) + ", which is no table file");
    const std::string_view stem = stemOfFileName(table);

    for (std::size_t i = 2; i < lines.size(); ++i) {
        const std::vector<std::string_view> fields = split(lines[i], '\t');
        const bool aside = fields[0] == "aside";
        if (fields.size() != 3 || (!aside && fields[0] != "place"))
            return fail("line " + std::to_string(i + 1) + " is no rename");
        if (aside && journal.moves.size() != journal.asideCount)
            return fail("it sets a file aside after putting one in place");
        // aside: a file of the table to a hidden name; place: the reverse.
        const std::string_view file = aside ? fields[1] : fields[2];
        const std::string_view hidden = aside ? fields[2] : fields[1];
        for (const std::string_view name : {file, hidden})
            if (!isPlainFileName(name))
                return fail("it names " + quoted(name) + ", which is no file of this folder");
        if (!isFileOfTableSet(stem, file))
            return fail("it names " + quoted(file) + ", which is no file of table " +
                        journal.tableName);
        if (!isOwnHiddenName(hidden, owner))
            return fail("it names " + quoted(hidden) + ", which is no hidden file of its writer");
        journal.moves.push_back({std::string(fields[1]), std::string(fields[2])});
        if (aside) ++journal.asideCount;
    }
    if (journal.moves.size() == journal.asideCount) return fail("it puts no file in place");
    result.journal = std::move(journal);
    return result;
}

JournalCheck readReplacementJournal(const std::string& path, std::string_view owner) {
    std::string text;
    try {
        const platform::FileReader file(path, path.substr(path.rfind('/') + 1));
        if (file.stamp().size > kMaxJournalSize) return {std::nullopt, "it is too large"};
        text.resize(static_cast<std::size_t>(file.stamp().size));
        text.resize(file.readAt(0, text.data(), text.size()));
    } catch (const FoxProError& e) {
        return {std::nullopt, "it cannot be read: " + e.description()};
    }
    return checkReplacementJournal(text, owner);
}

}  // namespace quorvel::foxpro
