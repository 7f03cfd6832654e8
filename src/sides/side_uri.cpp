#include "sides/side_uri.h"

#include <algorithm>

namespace quorvel::sides {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexDigit(text[i + 1]);
            const int lo = hexDigit(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// "a=1&b=2" as pairs, values percent-decoded.
std::vector<std::pair<std::string, std::string>> queryPairs(std::string_view query,
                                                            const std::string& uri) {
    std::vector<std::pair<std::string, std::string>> pairs;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        if (item.empty()) continue;
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            throw SideError(uri + ": parameter '" + std::string(item) + "' has no value");
        pairs.emplace_back(percentDecoded(item.substr(0, eq)), percentDecoded(item.substr(eq + 1)));
    }
    return pairs;
}

void checkNames(const SideUri& side, std::initializer_list<std::string_view> known) {
    for (const auto& [name, value] : side.parameters)
        if (std::find(known.begin(), known.end(), name) == known.end())
            throw SideError(side.text + ": unknown parameter '" + name + "'");
}

// PATH?QUERY of sqlite: and csv:, with "//" before an absolute path allowed.
void splitFileUri(SideUri& side, std::string_view rest) {
    if (startsWith(rest, "///")) rest.remove_prefix(2);
    const std::size_t q = rest.find('?');
    side.location = percentDecoded(rest.substr(0, q));
    if (side.location.empty()) throw SideError(side.text + ": no file named");
    if (q != std::string_view::npos) side.parameters = queryPairs(rest.substr(q + 1), side.text);
    for (auto it = side.parameters.begin(); it != side.parameters.end();) {
        if (it->first == "table") {
            side.table = it->second;
            it = side.parameters.erase(it);
        } else {
            ++it;
        }
    }
}

void parsePostgres(SideUri& side) {
    const std::string& uri = side.text;
    const std::size_t schemeEnd = uri.find("://") + 3;
    const std::size_t q = uri.find('?');
    const std::string_view authority =
        std::string_view(uri).substr(schemeEnd, uri.find_first_of("/?", schemeEnd) - schemeEnd);
    // A password in the URI would stand in the process list and the shell's history.
    if (const std::size_t at = authority.rfind('@');
        at != std::string_view::npos && authority.substr(0, at).find(':') != std::string_view::npos)
        throw SideError(uri +
                        ": a password never goes on the command line; give it in ~/.pgpass, "
                        "a service file or PGPASSWORD");
    std::string kept = uri.substr(0, q);
    if (q != std::string::npos) {
        std::string query;
        for (auto& [name, value] : queryPairs(std::string_view(uri).substr(q + 1), uri)) {
            if (name == "table") {
                side.table = value;
                continue;
            }
            if (name == "password")
                throw SideError(uri +
                                ": a password never goes on the command line; give it in "
                                "~/.pgpass, a service file or PGPASSWORD");
            // Handed on to libpq as it was written.
            const std::size_t from = uri.find(name + "=", q);
            const std::size_t to = uri.find('&', from);
            query += (query.empty() ? "?" : "&") + uri.substr(from, to - from);
        }
        kept += query;
    }
    side.location = kept;
}

}  // namespace

std::string SideUri::parameter(std::string_view name, std::string fallback) const {
    for (const auto& [n, v] : parameters)
        if (n == name) return v;
    return fallback;
}

bool SideUri::hasParameter(std::string_view name) const {
    for (const auto& p : parameters)
        if (p.first == name) return true;
    return false;
}

bool isSideUri(std::string_view operand) {
    return startsWith(operand, "sqlite:") || startsWith(operand, "csv:") ||
           startsWith(operand, "postgresql://") || startsWith(operand, "postgres://");
}

SideUri parseSideUri(const std::string& operand) {
    SideUri side;
    side.text = operand;
    const std::string_view text = operand;
    if (startsWith(text, "sqlite:")) {
        side.kind = SideKind::Sqlite;
        splitFileUri(side, text.substr(7));
        checkNames(side, {"immutable"});
    } else if (startsWith(text, "csv:")) {
        side.kind = SideKind::Csv;
        splitFileUri(side, text.substr(4));
        checkNames(side, {"delimiter", "encoding", "header", "null"});
        if (side.parameter("delimiter", ",").size() != 1)
            throw SideError(operand + ": delimiter= takes one character");
        const std::string header = side.parameter("header", "yes");
        if (header != "yes" && header != "no")
            throw SideError(operand + ": header= takes yes or no");
    } else if (startsWith(text, "postgresql://") || startsWith(text, "postgres://")) {
        side.kind = SideKind::Postgres;
        parsePostgres(side);
    } else {
        throw SideError(operand + ": not a sqlite:, postgresql:// or csv: URI");
    }
    return side;
}

}  // namespace quorvel::sides
