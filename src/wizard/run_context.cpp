#include "wizard/run_context.h"

#include "compare/pairing.h"

namespace quorvel::wizard {

namespace {

std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

}  // namespace

std::string sourceText(const data::SourceDescriptor& source) {
    const std::string path = source.dataPath();
    return std::string(source.optionDBC ? "Container " : "Folder ") +
           (path.empty() ? "(none chosen)" : path);
}

std::string tablesText(const RunModel& run) {
    const std::string source2 =
        run.side2Chosen() ? run.side2 : lowerFirst(sourceText(run.source(2)));
    return "Table #1: " + run.Table1Name + " in " + lowerFirst(sourceText(run.source(1))) +
           "; Table #2: " + run.Table2Name + " in " + source2;
}

std::string optionsDescription(const compare::CompareOptions& options) {
    std::string text;
    const auto add = [&](const std::string& piece) { text += (text.empty() ? "" : "; ") + piece; };
    if (!options.ignoredFields.empty()) {
        std::string names;
        for (const auto& name : options.ignoredFields) names += (names.empty() ? "" : ", ") + name;
        add("fields left out: " + names);
    }
    if (options.ignoreTrailingBlanks) add("trailing blanks ignored");
    if (options.ignoreCase) add("case ignored");
    if (!options.tolerance.empty()) add("numbers within " + options.tolerance + " compare equal");
    if (options.structure) add("structure compared");
    return "Options: " + (text.empty() ? std::string("none") : text);
}

std::optional<LinePlace> stepDifference(LinePlace from, int count0, int count1, bool forward) {
    const int counts[2] = {count0, count1};
    const int list = from.list == 1 ? 1 : 0;
    if (forward) {
        if (from.row + 1 < counts[list]) return LinePlace{list, from.row + 1};
        if (list == 0 && count1 > 0) return LinePlace{1, 0};
        return std::nullopt;
    }
    const int row = from.row < 0 ? counts[list] : from.row;
    if (row - 1 >= 0) return LinePlace{list, row - 1};
    if (list == 1 && count0 > 0) return LinePlace{0, count0 - 1};
    return std::nullopt;
}

}  // namespace quorvel::wizard
