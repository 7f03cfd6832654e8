#pragma once

#include <string>
#include <vector>

namespace quorvel::foxpro::platform {

// What a program run to its end gave back.
struct ProgramOutput {
    bool started = false;  // false: it could not be run at all (not found, no permission)
    int status = -1;       // its exit status; -1 when it ended by a signal
    std::string output;    // all it wrote to standard output
};

// Runs program (looked up on PATH as a shell would) with arguments, its
// standard input read from inputFile (the null device when empty), its
// standard error thrown away, and waits for it to end.  The caller's
// streams and working folder are left as they are.
ProgramOutput runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& inputFile = {});

// The names of this process's environment variables that begin with
// prefix, in the order the system keeps them (what a program that runs us
// tells us that way, as git does its merged commit).
std::vector<std::string> environmentNames(const std::string& prefix);

}  // namespace quorvel::foxpro::platform
