#include "compare/field_pairing.h"

#include <algorithm>
#include <cstddef>

#include "compare/field_name.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/text/code_page.h"

namespace quorvel::compare {

namespace {

// How many characters a header keeps of a field name.
constexpr std::size_t kHeaderNameCharacters = 10;

// The first ten characters of an upper-case name (a byte that is not UTF-8
// counts as one); "" for a name of ten or fewer, which nothing shortens.
std::string shortened(const std::string& upper) {
    std::size_t at = 0;
    for (std::size_t n = 0; n < kHeaderNameCharacters && at < upper.size(); ++n)
        at += std::max<std::size_t>(1, foxpro::utf8CharLength(upper, at));
    return at < upper.size() ? upper.substr(0, at) : std::string();
}

std::vector<std::string> upperNames(const std::vector<std::string>& names) {
    std::vector<std::string> upper;
    for (const auto& name : names) upper.push_back(upperFieldName(name));
    return upper;
}

// What stands for a field's ten characters: the name its header stores when
// known and other than its name, else its name cut.
std::vector<std::string> shortNames(const std::vector<std::string>& upper,
                                    const std::vector<std::string>& stored) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < upper.size(); ++i) {
        const std::string header = i < stored.size() ? upperFieldName(stored[i]) : std::string();
        out.push_back(!header.empty() && header != upper[i] ? header : shortened(upper[i]));
    }
    return out;
}

int firstNamed(const std::vector<std::string>& upper, const std::string& name) {
    const auto it = std::find(upper.begin(), upper.end(), name);
    return it == upper.end() ? -1 : static_cast<int>(it - upper.begin());
}

}  // namespace

FieldPairing pairFieldNames(const std::vector<std::string>& names1,
                            const std::vector<std::string>& names2,
                            const std::vector<std::string>& stored1,
                            const std::vector<std::string>& stored2) {
    const std::vector<std::string> upper1 = upperNames(names1);
    const std::vector<std::string> upper2 = upperNames(names2);
    FieldPairing pairing;
    pairing.partner1.assign(upper1.size(), -1);
    pairing.partner2.assign(upper2.size(), -1);
    for (std::size_t i = 0; i < upper1.size(); ++i) {
        // The k-th of a name: the first of that name still free.
        for (std::size_t j = 0; j < upper2.size(); ++j) {
            if (pairing.partner2[j] >= 0 || upper2[j] != upper1[i]) continue;
            pairing.partner1[i] = static_cast<int>(j);
            pairing.partner2[j] = static_cast<int>(i);
            break;
        }
    }
    // The pairs the ten characters allow between fields still free, made
    // only where each of the two has no other.
    const std::vector<std::string> shorts1 = shortNames(upper1, stored1);
    const std::vector<std::string> short2 = shortNames(upper2, stored2);
    std::vector<std::pair<int, int>> candidates;
    for (std::size_t i = 0; i < upper1.size(); ++i) {
        if (pairing.partner1[i] >= 0) continue;
        const std::string& short1 = shorts1[i];
        for (std::size_t j = 0; j < upper2.size(); ++j) {
            if (pairing.partner2[j] >= 0) continue;
            if ((!short1.empty() && short1 == upper2[j]) ||
                (!short2[j].empty() && short2[j] == upper1[i]))
                candidates.emplace_back(static_cast<int>(i), static_cast<int>(j));
        }
    }
    for (const auto& [i, j] : candidates) {
        const auto alone = [&](auto side, int index) {
            return std::count_if(candidates.begin(), candidates.end(),
                                 [&](const auto& c) { return side(c) == index; }) == 1;
        };
        if (!alone([](const auto& c) { return c.first; }, i) ||
            !alone([](const auto& c) { return c.second; }, j))
            continue;
        pairing.partner1[static_cast<std::size_t>(i)] = j;
        pairing.partner2[static_cast<std::size_t>(j)] = i;
        pairing.shortened.emplace_back(i, j);
    }
    return pairing;
}

std::vector<std::string> fieldNames(const foxpro::Recordset& table) {
    std::vector<std::string> names;
    for (int i = 0; i < table.fieldCount(); ++i) names.push_back(table.field(i).name);
    return names;
}

std::vector<std::string> storedFieldNames(const foxpro::Recordset& table) {
    std::vector<std::string> names;
    for (int i = 0; i < table.fieldCount(); ++i) names.push_back(table.field(i).storedName);
    return names;
}

FieldPairing pairTableFields(const foxpro::Recordset& table1, const foxpro::Recordset& table2) {
    return pairFieldNames(fieldNames(table1), fieldNames(table2), storedFieldNames(table1),
                          storedFieldNames(table2));
}

std::string shortenedPairText(std::string_view name1, std::string_view name2) {
    std::string text = "Field \"";
    text += name1;
    text += "\" compared with \"";
    text += name2;
    text += '"';
    return text;
}

int pickField1(const FieldPairing& pairing, const std::vector<std::string>& names1,
               const std::vector<std::string>& names2, std::string_view name) {
    const std::string upper = upperFieldName(name);
    const int i = firstNamed(upperNames(names1), upper);
    if (i >= 0) return i;
    const int j = firstNamed(upperNames(names2), upper);
    return j >= 0 ? pairing.partner2[static_cast<std::size_t>(j)] : -1;
}

}  // namespace quorvel::compare
