#include "cli/cli_common.h"

#include <sys/stat.h>

#include "foxpro/code_page.h"
#include "foxpro/connection.h"
#include "foxpro/recordset.h"
#include "foxpro/table_reader.h"
#include "foxpro/text_form.h"

namespace quorvel::cli {

foxpro::TextLocale localeFromEnvironment() {
    return foxpro::TextLocale::fromEnvironment();
}

std::string csvRow(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out.push_back(',');
        const std::string& f = fields[i];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out += f;
            continue;
        }
        out.push_back('"');
        for (char c : f) {
            if (c == '"') out.push_back('"');
            out.push_back(c);
        }
        out.push_back('"');
    }
    out += "\r\n";
    return out;
}

void writeCsvRow(std::FILE* out, const std::vector<std::string>& fields) {
    const std::string row = csvRow(fields);
    std::fwrite(row.data(), 1, row.size(), out);
}

namespace {
std::string oneLine(std::string text) {
    for (auto& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}
}  // namespace

int failure(const std::string& verb, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "quorvel-cli %s: %s\n", verb.c_str(), oneLine(message).c_str());
    return 2;
}

void warn(const std::string& verb, const std::string& message) {
    std::fprintf(stderr, "quorvel-cli %s: warning: %s\n", verb.c_str(), oneLine(message).c_str());
}

bool helpRequested(const std::vector<std::string>& args, const char* usage) {
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            return true;
        }
    }
    return false;
}

void warnAboutTable(const std::string& verb, const foxpro::TableReader& reader) {
    static bool codePageWarned = false;
    for (const auto& w : reader.warnings()) {
        const bool aboutCodePage =
            !reader.codePageConvertible() && w.find("code page") != std::string::npos;
        if (aboutCodePage) {
            if (codePageWarned) continue;
            codePageWarned = true;
        }
        warn(verb, w);
    }
}

void printRows(foxpro::Connection& connection, const std::string& sql,
               const foxpro::TextLocale& locale) {
    foxpro::Recordset rs;
    rs.open(sql, connection, foxpro::kOpenStatic, foxpro::kLockOptimistic);
    const int n = rs.fieldCount();
    std::vector<std::string> row(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) row[static_cast<std::size_t>(i)] = rs.field(i).name;
    writeCsvRow(stdout, row);
    for (; !rs.eof(); rs.moveNext()) {
        for (int i = 0; i < n; ++i)
            row[static_cast<std::size_t>(i)] = foxpro::textForm(rs.value(i), locale);
        writeCsvRow(stdout, row);
    }
}

data::SourceDescriptor sourceOf(const std::string& argument) {
    struct stat st {};
    data::SourceDescriptor source;
    source.optionDBC = ::stat(argument.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    (source.optionDBC ? source.dbcPath : source.folderText) = argument;
    return source;
}

void openSource(foxpro::Connection& connection, const std::string& source) {
    connection.setMode(foxpro::kModeReadWrite);
    connection.open(data::connectionString(sourceOf(source)));
}

}  // namespace quorvel::cli
