#include "cli/difference_formats.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "cli/cli_common.h"

namespace quorvel::cli {

namespace {

const char* kindName(compare::DifferenceKind kind) {
    switch (kind) {
        case compare::DifferenceKind::Changed:
            return "changed";
        case compare::DifferenceKind::Added:
            return "added";
        case compare::DifferenceKind::Deleted:
            return "deleted";
        case compare::DifferenceKind::MissingField:
            return "missing_field";
    }
    return "changed";
}

// The six fields of a difference; nullopt where the kind has none.
struct Fields {
    std::optional<std::int64_t> record1, record2;
    std::optional<std::string_view> field, oldValue, newValue;
};

Fields fieldsOf(const compare::Difference& d) {
    Fields f;
    if (d.kind != compare::DifferenceKind::Added) f.record1 = d.record1;
    if (d.kind != compare::DifferenceKind::Deleted) f.record2 = d.record2;
    if (d.kind == compare::DifferenceKind::Changed ||
        d.kind == compare::DifferenceKind::MissingField)
        f.field = d.fieldName;
    if (d.kind == compare::DifferenceKind::Changed) {
        if (!d.null1) f.oldValue = d.value1;
        if (!d.null2) f.newValue = d.value2;
    }
    return f;
}

// Length of the well-formed UTF-8 sequence at text[i], or 0 when the byte
// there starts none (stray continuation, overlong form, surrogate, beyond
// U+10FFFF, cut short).
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    return length;
}

// A JSON string; returns false when a byte had to be replaced.
bool appendJsonString(std::string& out, std::string_view text) {
    static const char* const kHex = "0123456789abcdef";
    bool exact = true;
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8Length(text, i);
            if (length == 0) {
                out += "\xEF\xBF\xBD";  // U+FFFD
                exact = false;
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 0xF];
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
    return exact;
}

void appendJsonNumber(std::string& out, const std::optional<std::int64_t>& n) {
    out += n ? std::to_string(*n) : "null";
}

bool appendJsonText(std::string& out, const std::optional<std::string_view>& text) {
    if (!text) {
        out += "null";
        return true;
    }
    return appendJsonString(out, *text);
}

}  // namespace

namespace {

bool appendJson(std::string& out, const char* kind, const Fields& f) {
    out += "{\"kind\":\"";
    out += kind;
    out += "\",\"record1\":";
    appendJsonNumber(out, f.record1);
    out += ",\"record2\":";
    appendJsonNumber(out, f.record2);
    out += ",\"field\":";
    bool exact = appendJsonText(out, f.field);
    out += ",\"old\":";
    exact = appendJsonText(out, f.oldValue) && exact;
    out += ",\"new\":";
    exact = appendJsonText(out, f.newValue) && exact;
    out += "}\n";
    return exact;
}

void appendCsv(std::string& out, const char* kind, const Fields& f) {
    const auto number = [](const std::optional<std::int64_t>& n) {
        return n ? std::to_string(*n) : std::string();
    };
    const auto text = [](const std::optional<std::string_view>& t) {
        return t ? std::string(*t) : std::string();
    };
    out += csvRow({kind, number(f.record1), number(f.record2), text(f.field), text(f.oldValue),
                   text(f.newValue)});
}

const char* structureKindName(compare::StructureKind kind) {
    return kind == compare::StructureKind::OnlyInTable2 ? "field_only_in_table2"
                                                        : "field_definition_changed";
}

Fields fieldsOf(const compare::StructureDifference& d) {
    Fields f;
    f.field = d.field;
    if (d.kind == compare::StructureKind::DefinitionChanged) f.oldValue = d.oldType;
    f.newValue = d.newType;
    return f;
}

}  // namespace

bool appendJsonLine(std::string& out, const compare::Difference& difference) {
    return appendJson(out, kindName(difference.kind), fieldsOf(difference));
}

bool appendJsonLine(std::string& out, const compare::StructureDifference& difference) {
    return appendJson(out, structureKindName(difference.kind), fieldsOf(difference));
}

void appendCsvHeader(std::string& out) {
    out += csvRow({"kind", "record1", "record2", "field", "old", "new"});
}

void appendCsvLine(std::string& out, const compare::Difference& difference) {
    appendCsv(out, kindName(difference.kind), fieldsOf(difference));
}

void appendCsvLine(std::string& out, const compare::StructureDifference& difference) {
    appendCsv(out, structureKindName(difference.kind), fieldsOf(difference));
}

}  // namespace quorvel::cli
