#include "cli/arguments.h"

#include <algorithm>

namespace quorvel::cli {

bool Arguments::has(const std::string& name) const {
    return std::any_of(given_.begin(), given_.end(),
                       [&](const auto& option) { return option.first == name; });
}

std::string Arguments::value(const std::string& name, const std::string& fallback) const {
    for (auto it = given_.rbegin(); it != given_.rend(); ++it)
        if (it->first == name) return it->second;
    return fallback;
}

std::vector<std::string> Arguments::values(const std::string& name) const {
    std::vector<std::string> result;
    for (const auto& option : given_)
        if (option.first == name) result.push_back(option.second);
    return result;
}

namespace {

// The option a "--word" names: the exact name, else the only option whose
// name begins with word.
const OptionSpec& longOption(const std::string& word, const std::vector<OptionSpec>& options) {
    if (word.empty()) throw UsageError("unknown option '--'");
    std::vector<const OptionSpec*> candidates;
    for (const auto& option : options) {
        if (option.name == word) return option;
        if (option.name.compare(0, word.size(), word) == 0) candidates.push_back(&option);
    }
    if (candidates.size() == 1) return *candidates.front();
    if (candidates.empty()) throw UsageError("unknown option '--" + word + "'");
    std::string names;
    for (const auto* option : candidates) names += " --" + option->name;
    throw UsageError("option '--" + word + "' is ambiguous; possibilities:" + names);
}

const OptionSpec& shortOption(char letter, const std::vector<OptionSpec>& options) {
    for (const auto& option : options)
        if (option.letter != 0 && option.letter == letter) return option;
    throw UsageError(std::string("unknown option '-") + letter + "'");
}

std::string spelled(const OptionSpec& option) {
    return "--" + option.name;
}

}  // namespace

Arguments parseArguments(const std::vector<std::string>& args,
                         const std::vector<OptionSpec>& options) {
    Arguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            parsed.operands.insert(parsed.operands.end(), args.begin() + static_cast<long>(i) + 1,
                                   args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg[1] == '-') {
            const auto equals = arg.find('=');
            const OptionSpec& option = longOption(arg.substr(2, equals - 2), options);
            if (option.valueName.empty()) {
                if (equals != std::string::npos)
                    throw UsageError("option '" + spelled(option) + "' takes no value");
                parsed.add(option.name, {});
            } else if (equals != std::string::npos) {
                parsed.add(option.name, arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                parsed.add(option.name, args[++i]);
            } else {
                throw UsageError("option '" + spelled(option) + "' needs a value (" +
                                 option.valueName + ")");
            }
            continue;
        }
        // One or more short options; one that takes a value takes the rest
        // of the word, or the next word.
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const OptionSpec& option = shortOption(arg[k], options);
            if (option.valueName.empty()) {
                parsed.add(option.name, {});
                continue;
            }
            if (k + 1 < arg.size()) {
                parsed.add(option.name, arg.substr(k + 1));
            } else if (i + 1 < args.size()) {
                parsed.add(option.name, args[++i]);
            } else {
                throw UsageError(std::string("option '-") + arg[k] + "' needs a value (" +
                                 option.valueName + ")");
            }
            break;
        }
    }
    return parsed;
}

std::string optionHelp(const std::vector<OptionSpec>& options) {
    constexpr std::size_t kHelpColumn = 24;
    std::string out;
    for (const auto& option : options) {
        std::string line = option.letter ? std::string("  -") + option.letter + ", " : "      ";
        line += "--" + option.name;
        if (!option.valueName.empty()) line += " " + option.valueName;
        line += line.size() + 2 <= kHelpColumn ? std::string(kHelpColumn - line.size(), ' ')
                                               : "\n" + std::string(kHelpColumn, ' ');
        std::string help = option.help;
        for (std::size_t at = help.find('\n'); at != std::string::npos;
             at = help.find('\n', at + kHelpColumn + 1))
            help.insert(at + 1, kHelpColumn, ' ');
        out += line + help + "\n";
    }
    return out;
}

}  // namespace quorvel::cli
