#include "cli/csv_output.h"

namespace quorvel::cli {

const OptionSpec& csvSafeOption() {
    static const OptionSpec option{"csv-safe", 0, "",
                                   "write a \"'\" before text values that begin with\n"
                                   "=, +, -, @, a tab or a CR, so that a spreadsheet\n"
                                   "shows them instead of running them as formulas\n"
                                   "(values are then no longer exact)"};
    return option;
}

bool looksLikeFormula(std::string_view text) {
    if (text.empty()) return false;
    switch (text.front()) {
        case '=':
        case '+':
        case '-':
        case '@':
        case '\t':
        case '\r':
            return true;
        default:
            return false;
    }
}

void writeCsvField(OutputStream& out, std::string_view text, bool first, bool formulaSafe) {
    if (!first) out.put(',');
    const bool mark = formulaSafe && looksLikeFormula(text);
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        if (mark) out.put('\'');
        out.write(text);
        return;
    }
    out.put('"');
    if (mark) out.put('\'');
    // Runs between quotes go out as they stand.
    for (std::size_t start = 0;;) {
        const std::size_t quote = text.find('"', start);
        if (quote == std::string_view::npos) {
            out.write(text.substr(start));
            break;
        }
        out.write(text.substr(start, quote + 1 - start));
        out.put('"');
        start = quote + 1;
    }
    out.put('"');
}

void endCsvRecord(OutputStream& out) {
    out.write("\r\n");
}

void writeCsvRecord(OutputStream& out, const std::vector<std::string_view>& fields,
                    bool formulaSafe) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        writeCsvField(out, fields[i], i == 0, formulaSafe);
    endCsvRecord(out);
}

}  // namespace quorvel::cli
