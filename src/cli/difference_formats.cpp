#include "cli/difference_formats.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "cli/csv_output.h"
#include "compare/difference_line.h"

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

void writeNumber(OutputStream& out, std::int64_t n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.write(std::string_view(digits, static_cast<std::size_t>(end - digits)));
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

// A JSON string; returns false when a byte had to be replaced.  Runs that
// need no escape go out as they stand.
template <class Out>
bool writeJsonString(Out& out, std::string_view text) {
    static const char* const kHex = "0123456789abcdef";
    bool exact = true;
    out.put('"');
    std::size_t run = 0;  // start of the bytes not yet written
    const auto escape = [&](std::size_t i, std::string_view replacement, std::size_t length) {
        out.write(text.substr(run, i - run));
        out.write(replacement);
        run = i + length;
    };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8Length(text, i);
            if (length == 0) {
                escape(i, "\xEF\xBF\xBD", 1);  // U+FFFD
                exact = false;
                ++i;
            } else {
                i += length;
            }
            continue;
        }
        switch (c) {
            case '"':
                escape(i, "\\\"", 1);
                break;
            case '\\':
                escape(i, "\\\\", 1);
                break;
            case '\n':
                escape(i, "\\n", 1);
                break;
            case '\r':
                escape(i, "\\r", 1);
                break;
            case '\t':
                escape(i, "\\t", 1);
                break;
            default:
                if (c < 0x20) {
                    const char code[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
                    escape(i, std::string_view(code, sizeof code), 1);
                }
        }
        ++i;
    }
    out.write(text.substr(run));
    out.put('"');
    return exact;
}

// Appends to a string as writeJsonString writes to a stream.
struct StringOut {
    std::string& text;
    void put(char c) { text += c; }
    void write(std::string_view bytes) { text.append(bytes); }
};

void writeJsonNumber(OutputStream& out, const std::optional<std::int64_t>& n) {
    if (n)
        writeNumber(out, *n);
    else
        out.write("null");
}

bool writeJsonText(OutputStream& out, const std::optional<std::string_view>& text) {
    if (!text) {
        out.write("null");
        return true;
    }
    return writeJsonString(out, *text);
}

bool writeJson(OutputStream& out, const char* kind, const Fields& f,
               std::optional<std::string_view> table = std::nullopt) {
    bool exactTable = true;
    if (table) {
        out.write("{\"table\":");
        exactTable = writeJsonText(out, table);
        out.write(",\"kind\":\"");
    } else {
        out.write("{\"kind\":\"");
    }
    out.write(kind);
    out.write("\",\"record1\":");
    writeJsonNumber(out, f.record1);
    out.write(",\"record2\":");
    writeJsonNumber(out, f.record2);
    out.write(",\"field\":");
    bool exact = writeJsonText(out, f.field);
    out.write(",\"old\":");
    exact = writeJsonText(out, f.oldValue) && exact;
    out.write(",\"new\":");
    exact = writeJsonText(out, f.newValue) && exact;
    out.write("}\n");
    return exact && exactTable;
}

void writeCsv(OutputStream& out, const char* kind, const Fields& f, bool safeField, bool safeOld,
              bool safeNew, std::optional<std::string_view> table = std::nullopt) {
    const auto number = [&](const std::optional<std::int64_t>& n) {
        out.put(',');
        if (n) writeNumber(out, *n);
    };
    const auto text = [&](const std::optional<std::string_view>& t, bool safe) {
        writeCsvField(out, t.value_or(std::string_view()), false, safe);
    };
    if (table) {
        writeCsvField(out, *table, true, safeField);
        writeCsvField(out, kind, false);
    } else {
        writeCsvField(out, kind, true);
    }
    number(f.record1);
    number(f.record2);
    text(f.field, safeField);
    text(f.oldValue, safeOld);
    text(f.newValue, safeNew);
    endCsvRecord(out);
}

// Unknown (a table that could not be read): text, so marked to be safe.
bool textAt(const std::vector<bool>& text, int field) {
    return field < 0 || static_cast<std::size_t>(field) >= text.size() ||
           text[static_cast<std::size_t>(field)];
}

// Text of a NUL-terminated line: each backslash as "\\", each NUL as "\0".
void writeNulEscaped(OutputStream& out, std::string_view text) {
    for (std::size_t run = 0;;) {
        const std::size_t special = text.find_first_of(std::string_view("\\\0", 2), run);
        if (special == std::string_view::npos) {
            out.write(text.substr(run));
            return;
        }
        out.write(text.substr(run, special - run));
        out.write(text[special] == '\\' ? "\\\\" : "\\0");
        run = special + 1;
    }
}

}  // namespace

std::string jsonQuoted(std::string_view text) {
    std::string quoted;
    StringOut out{quoted};
    writeJsonString(out, text);
    return quoted;
}

void writeTextLine(OutputStream& out, const compare::Difference& difference, bool nulTerminated) {
    if (!nulTerminated) {
        compare::forEachLinePiece(difference, [&out](std::string_view piece) { out.write(piece); });
        out.put('\n');
        return;
    }
    compare::forEachLinePiece(difference,
                              [&out](std::string_view piece) { writeNulEscaped(out, piece); });
    out.put('\0');
}

void writeTextLine(OutputStream& out, std::string_view line, bool nulTerminated) {
    if (nulTerminated)
        writeNulEscaped(out, line);
    else
        out.write(line);
    out.put(nulTerminated ? '\0' : '\n');
}

bool writeJsonLine(OutputStream& out, const compare::Difference& difference) {
    return writeJson(out, kindName(difference.kind), fieldsOf(difference));
}

bool writeJsonLine(OutputStream& out, const compare::StructureDifference& difference) {
    return writeJson(out, structureKindName(difference.kind), fieldsOf(difference));
}

bool writeJsonLine(OutputStream& out, const compare::Difference& difference,
                   std::string_view table) {
    return writeJson(out, kindName(difference.kind), fieldsOf(difference), table);
}

void writeCsvLine(OutputStream& out, const compare::Difference& difference,
                  std::string_view table) {
    writeCsv(out, kindName(difference.kind), fieldsOf(difference), false, false, false, table);
}

void writeCsvHeader(OutputStream& out) {
    writeCsvRecord(out, {"kind", "record1", "record2", "field", "old", "new"});
}

void writeCsvLine(OutputStream& out, const compare::Difference& difference,
                  const CsvSafety& safety) {
    writeCsv(out, kindName(difference.kind), fieldsOf(difference), safety.on,
             safety.on && textAt(safety.oldIsText, difference.field),
             safety.on && textAt(safety.newIsText, difference.field));
}

void writeCsvLine(OutputStream& out, const compare::StructureDifference& difference,
                  const CsvSafety& safety) {
    writeCsv(out, structureKindName(difference.kind), fieldsOf(difference), safety.on, false,
             false);
}

}  // namespace quorvel::cli
