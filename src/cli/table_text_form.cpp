#include "cli/table_text_form.h"

#include <algorithm>

#include "compare/structure_difference.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/text_form.h"

namespace quorvel::cli {

namespace {

std::string headerLine(const foxpro::TableReader& table) {
    std::string line = "# code page " + std::to_string(table.layout().codePage) + ";";
    for (int i = 0; i < table.fieldCount(); ++i) {
        const foxpro::FieldInfo& field = table.field(i);
        line += i == 0 ? " " : " | ";
        line += escapedCell(field.name);
        line += " " + compare::fieldTypeText(field);
        if (field.nullable) line += " null";
    }
    return line;
}

void noteOnce(std::vector<std::string>& notes, std::string note) {
    if (std::find(notes.begin(), notes.end(), note) == notes.end())
        notes.push_back(std::move(note));
}

}  // namespace

std::string escapedCell(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
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
            case '\0':
                out += "\\0";
                break;
            case '|':
                out += "\\|";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::vector<std::string> writeTableTextForm(OutputStream& out, const foxpro::TableReader& table,
                                            std::string_view linePrefix) {
    std::vector<std::string> notes;
    // No memo file beside the table: every memo that refers to a block is
    // unknown, which is not the same as empty.
    const bool memoMissing = table.layout().hasMemo() && table.memoPath().empty();
    if (memoMissing) noteOnce(notes, table.fileName() + ": memo file not found");
    const foxpro::TextLocale locale = foxpro::TextLocale::c();
    out.write(linePrefix);
    out.write(headerLine(table));
    out.put('\n');
    std::string scratch;
    for (std::int64_t index = 0; index < table.storedCount(); ++index) {
        const auto record = table.storedRecord(index);
        out.write(linePrefix);
        out.write(table.isDeleted(index) ? "* " : "  ");
        for (int i = 0; i < table.fieldCount(); ++i) {
            if (i > 0) out.write(" | ");
            const foxpro::FieldInfo& field = table.field(i);
            if (field.memo && table.memoBlock(record, i) != 0 && !table.isNull(record, i)) {
                if (memoMissing) {
                    out.write(kMemoNotAvailable);
                    continue;
                }
                try {
                    const foxpro::Value value = table.value(record, i);
                    out.write(escapedCell(foxpro::textFormView(value, locale, scratch)));
                } catch (const foxpro::FoxProError& e) {
                    noteOnce(notes, e.description());
                    out.write(kMemoNotAvailable);
                }
                continue;
            }
            const foxpro::Value value = table.value(record, i);
            if (value.isNull())
                out.write("\\NULL");
            else
                out.write(escapedCell(foxpro::textFormView(value, locale, scratch)));
        }
        out.put('\n');
    }
    return notes;
}

}  // namespace quorvel::cli
