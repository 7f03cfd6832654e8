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

}  // namespace

OptionsModel::OptionsModel(frame::SettingsStore& store, std::string table1, std::string table2,
                           std::vector<std::string> fields1)
    : fields(std::move(fields1)),
      store_(store),
      table1_(std::move(table1)),
      table2_(std::move(table2)) {
    const compare::CompareOptions options = saved(store_, table1_, table2_);
    for (const auto& field : fields) {
        bool ignored = false;
        for (const auto& name : options.ignoredFields)
            ignored = ignored || compare::upperFieldName(name) == compare::upperFieldName(field);
        compared.push_back(!ignored);
    }
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

compare::CompareOptions OptionsModel::saved(const frame::SettingsStore& store,
                                            const std::string& table1, const std::string& table2,
                                            const std::vector<std::string>& fields1) {
    compare::CompareOptions options = saved(store, table1, table2);
    std::erase_if(options.ignoredFields, [&](const std::string& name) {
        return std::none_of(fields1.begin(), fields1.end(), [&](const std::string& field) {
            return compare::upperFieldName(field) == compare::upperFieldName(name);
        });
    });
    return options;
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
