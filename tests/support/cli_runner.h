#pragma once

#include <string>
#include <vector>

#include "support/table_builder.h"

namespace quorvel::test {

struct CliRun {
    int status = -1;  // exit status, -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs the built quorvel-cli with the arguments (no shell in between),
// standard output and error going to files in the scratch folder — so not
// to a terminal — and returns what it printed.  `env` entries ("LC_ALL=x")
// replace or extend the test's own environment.  stdoutFile, when given,
// takes standard output instead (/dev/full; `out` is then empty).
CliRun runCli(const std::vector<std::string>& args, const TempFolder& scratch,
              const std::vector<std::string>& env = {}, const std::string& stdoutFile = {});

}  // namespace quorvel::test
