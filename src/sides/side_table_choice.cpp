#include "sides/side_table_choice.h"

#include <algorithm>

#include "foxpro/format/ascii_case.h"
#include "sides/side_stream.h"

namespace quorvel::sides {

namespace {

constexpr std::size_t kCloseNamesTold = 5;

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Letters to insert, delete or replace to turn a into b.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string ownTableName(const std::string& tableOperand) {
    std::string name = tableOperand.substr(tableOperand.find_last_of("/\\") + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::vector<std::string> closeNames(const std::string& name,
                                    const std::vector<std::string>& names) {
    const std::string wanted = lower(name);
    // A few letters off, more for a longer name.
    const std::size_t allowed = std::max<std::size_t>(2, wanted.size() / 3);
    std::vector<std::pair<std::size_t, std::string>> close;
    for (const std::string& candidate : names) {
        const std::string other = lower(candidate);
        const std::size_t distance = editDistance(wanted, other);
        const bool holds = !wanted.empty() && (other.find(wanted) != std::string::npos ||
                                               wanted.find(other) != std::string::npos);
        if (distance <= allowed || holds) close.emplace_back(distance, candidate);
    }
    std::stable_sort(close.begin(), close.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (std::size_t i = 0; i < close.size() && i < kCloseNamesTold; ++i)
        out.push_back(close[i].second);
    return out;
}

std::string sideTableNamed(const SideUri& side, const std::string& name) {
    const std::vector<std::string> names = sideTableNames(side);
    for (const std::string& candidate : names)
        if (foxpro::equalsNoCase(candidate, name)) return candidate;
    std::string message = side.text + " has no table " + name;
    const std::vector<std::string> close = closeNames(name, names);
    for (std::size_t i = 0; i < close.size(); ++i)
        message += (i == 0 ? "; tables of a like name: " : ", ") + close[i];
    if (close.empty()) message += " nor one of a like name";
    throw SideError(message + " (name one with table=NAME in the URI)");
}

}  // namespace quorvel::sides
