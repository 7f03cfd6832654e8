#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli/arguments.h"

namespace quorvel::cli {

// A verb of quorvel-cli.  Each verb file registers itself with a static
// VerbRegistration, so that adding a verb touches no other file.  The tool
// parses every verb's command line with the one parser (arguments.h),
// answers -h / --help and "help VERB" from these fields, and turns a usage
// error into a message, the usage line and exit status 2.
struct Verb {
    std::string name;
    std::string summary;   // one line for the tool's help
    std::string operands;  // "SOURCE TABLE", for the usage line
    std::size_t minOperands = 0;
    std::size_t maxOperands = 0;
    std::vector<OptionSpec> options;  // -h / --help is added to every verb
    std::string description;          // --help: what the verb does, before the options
    std::string details;              // --help: after the options (exit status, notes)
    // Runs the verb with its parsed command line.  Returns the exit status:
    // 0 success, 2 any failure (after one line on standard error); verbs may
    // define 1.  May throw UsageError for a combination of arguments that
    // the option table cannot express.
    std::function<int(const Arguments& args)> run;
};

const std::vector<Verb>& verbs();

struct VerbRegistration {
    explicit VerbRegistration(Verb verb);
};

}  // namespace quorvel::cli
