#pragma once

#include <string>
#include <vector>

namespace quorvel::test {

// Runs program with the arguments (quoted for the C runtime's parser), its
// standard output and error going to the files given ("" for none), the
// test's environment changed by env ("NAME=value"); the exit status, -1 when
// it could not be started.
int runWindowsProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& outPath,
                      const std::string& errPath);

}  // namespace quorvel::test
