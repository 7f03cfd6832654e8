#include "wizard/options_model.h"

#include <algorithm>
#include <utility>

#include "compare/field_name.h"
#include "compare/pairing.h"

namespace quorvel::wizard {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Whether names holds name, without regard to case (as fields pair).
bool holdsName(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) {
        return compare::upperFieldName(n) == compare::upperFieldName(name);
    });
}

}  // namespace

OptionsModel::OptionsModel(frame::SettingsStore& store, std::string table1, std::string table2,
                           std::vector<std::string> fields1)
    : fields(std::move(fields1)),
      store_(store),
      table1_(std::move(table1)),
      table2_(std::move(table2)) {
    const compare::CompareOptions options = saved(store_, table1_, table2_);
    for (const auto& field : fields) compared.push_back(!holdsName(options.ignoredFields, field));
    ignoreTrailingBlanks = options.ignoreTrailingBlanks;
    ignoreCase = options.ignoreCase;
    tolerance = options.tolerance;
    structure = options.structure;
}

compare::CompareOptions OptionsModel::options() const {
    compare::CompareOptions options;
    for (std::size_t i = 0; i < fields.size() && i < compared.size(); ++i)
        if (!compared[i]) options.ignoredFields.push_back(fields[i]);
    options.ignoreTrailingBlanks = ignoreTrailingBlanks;
    options.ignoreCase = ignoreCase;
    options.tolerance = compare::toleranceFromText(trimmed(tolerance));
    options.structure = structure;
    return options;
}

std::string OptionsModel::accept() {
    if (!trimmed(tolerance).empty() && compare::toleranceFromText(trimmed(tolerance)).empty())
        return kToleranceMessage;
    store_.SaveSetting(frame::compareOptionsKey(table1_, table2_), compare::optionsText(options()));
    return {};
}

compare::CompareOptions OptionsModel::saved(const frame::SettingsStore& store,
                                            const std::string& table1, const std::string& table2) {
    return compare::optionsFromText(store.GetSetting(frame::compareOptionsKey(table1, table2)));
}

void OptionsModel::forgetMissingFields(compare::CompareOptions& options,
                                       const std::vector<std::string>& fields1) {
    std::erase_if(options.ignoredFields,
                  [&](const std::string& name) { return !holdsName(fields1, name); });
}

std::string structureSummary(const std::vector<compare::StructureDifference>& structure,
                             const std::string& table2) {
    std::string text;
    for (const auto& s : structure) {
        text += text.empty() ? "Structure: " : "; ";
        text += compare::structureLineText(s, table2);
    }
    return text;
}

}  // namespace quorvel::wizard
