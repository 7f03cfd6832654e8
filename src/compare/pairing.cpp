#include "compare/pairing.h"

#include "foxpro/format/ascii_case.h"

namespace quorvel::compare {

std::string_view pairingWord(Pairing by) {
    switch (by) {
        case Pairing::Key:
            return "Key";
        case Pairing::Content:
            return "Content";
        case Pairing::Auto:
            return "Auto";
        case Pairing::Position:
            break;
    }
    return "Position";
}

Pairing pairingFromWord(std::string_view word) {
    if (foxpro::equalsNoCase(word, "Key")) return Pairing::Key;
    if (foxpro::equalsNoCase(word, "Content")) return Pairing::Content;
    if (foxpro::equalsNoCase(word, "Auto")) return Pairing::Auto;
    return Pairing::Position;
}

std::string pairingDescription(const RecordPairing& pairing) {
    if (!pairing.note.empty()) return "Records paired by " + pairing.note;
    switch (pairing.by) {
        case Pairing::Auto:
            return "Records paired by the table's own key";
        case Pairing::Key: {
            std::string text = "Records paired by key fields: ";
            for (std::size_t i = 0; i < pairing.keyFields.size(); ++i) {
                if (i > 0) text += ", ";
                text += pairing.keyFields[i];
            }
            return text;
        }
        case Pairing::Content:
            return "Records paired by content";
        case Pairing::Position:
            break;
    }
    return "Records paired by position";
}

std::string joinKeyFields(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        if (!text.empty()) text += ',';
        text += name;
    }
    return text;
}

std::vector<std::string> splitKeyFields(std::string_view text) {
    std::vector<std::string> names;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view name = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        if (!name.empty()) names.emplace_back(name);
    }
    return names;
}

std::string duplicateKeyText(const DuplicateKey& duplicate) {
    std::string text = "Key ";
    text += duplicate.value;
    text += " is not unique: ";
    text += std::to_string(duplicate.count1);
    text += duplicate.count1 == 1 ? " record in Table #1, " : " records in Table #1, ";
    text += std::to_string(duplicate.count2);
    text += " in Table #2";
    return text;
}

}  // namespace quorvel::compare
