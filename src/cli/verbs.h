#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel::cli {

// A verb of quorvel-cli.  Each verb file registers itself with a static
// VerbRegistration, so that adding a verb touches no other file.
struct Verb {
    std::string name;
    std::string summary;  // one line for the tool's help
    // Arguments after the verb.  Returns the exit status: 0 success, 2 any
    // failure (after one line on standard error); verbs may define 1.
    std::function<int(const std::vector<std::string>& args)> run;
};

const std::vector<Verb>& verbs();

struct VerbRegistration {
    explicit VerbRegistration(Verb verb);
};

}  // namespace quorvel::cli
