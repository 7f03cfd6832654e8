#pragma once

// The one argument parser of quorvel-cli's verbs, with getopt_long's rules:
// options before, between or after the operands; "--" ends the options;
// "-" alone is an operand (standard input or output); long options as
// "--name VALUE" or "--name=VALUE", also shortened to any unambiguous
// prefix; short options bundled ("-zh") and with their value attached
// ("-rFILE") or following ("-r FILE").

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::cli {

struct OptionSpec {
    std::string name;       // long name without "--": "report"
    char letter = 0;        // short name, or 0 for none
    std::string valueName;  // "FILE" for an option that takes a value; empty for a flag
    std::string help;       // what it does, for --help (may hold line breaks)
};

// A command line that broke the rules: an unknown option, a missing or
// unwanted value, the wrong number of operands.  what() says which, in a
// form that follows "quorvel-cli VERB: ".
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Arguments {
  public:
    std::vector<std::string> operands;

    // Whether the option was given (by its long name).
    bool has(const std::string& name) const;
    // The value of its last occurrence, or fallback when it was not given.
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    // The values of every occurrence, in order.
    std::vector<std::string> values(const std::string& name) const;

    void add(const std::string& name, std::string value) {
        given_.emplace_back(name, std::move(value));
    }

  private:
    std::vector<std::pair<std::string, std::string>> given_;  // long name, value ("" for flags)
};

// Parses args (the words after the verb) against the options.  Throws
// UsageError.  The operand count is not checked here.
Arguments parseArguments(const std::vector<std::string>& args,
                         const std::vector<OptionSpec>& options);

// The option list of --help, one option a line (continuation lines of a
// long help indented under it):
//   "  -z, --null          end every line with a NUL byte"
//   "      --report FILE   also write the text report"
std::string optionHelp(const std::vector<OptionSpec>& options);

}  // namespace quorvel::cli
