#include "data/source_descriptor.h"

namespace quorvel::data {

namespace {

// True when the connection string's parser would not give value back as it
// stands: it trims blanks and tabs at either end, ends a value at ';' and
// reads a leading '"' as the start of a quoted value.
bool needsQuotes(const std::string& value) {
    if (value.empty()) return false;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return blank(value.front()) || blank(value.back()) ||
           value.find_first_of(";\"") != std::string::npos;
}

}  // namespace

std::string connectionString(const std::string& dataSource, bool isContainer, int codePage) {
    std::string source;
    if (needsQuotes(dataSource)) {
        source.reserve(dataSource.size() + 4);
        source += '"';
        for (char c : dataSource) {
            if (c == '"') source += '"';  // a doubled quote stands for one
            source += c;
        }
        source += '"';
    } else {
        source = dataSource;
    }
    return "Provider=vfpoledb.1;Data Source=" + source +
           (isContainer ? ";Collating Sequence=machine;" : ";Collating Sequence=general;") +
           (codePage != 0 ? "Code Page=" + std::to_string(codePage) + ";" : std::string());
}

}  // namespace quorvel::data
