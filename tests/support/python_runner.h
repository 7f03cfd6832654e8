#pragma once

#include <string>
#include <vector>

namespace quorvel::test {

// The independent readers (python3-dbf, python3-dbfread) run under
// Debian's Python; tests that need one skip when it is missing.
bool pythonCanImport(const std::string& module);

// Runs the script text with /usr/bin/python3 and the arguments; returns
// what it printed (standard output and error) and sets *ok to whether it
// exited with 0.
std::string runPython(const std::string& script, bool* ok,
                      const std::vector<std::string>& args = {});

}  // namespace quorvel::test
