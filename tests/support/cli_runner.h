#pragma once

#include <functional>
#include <optional>
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

// Runs the tool as runCli does (without extra environment) with its
// address space limited to `bytes`, so that large allocations fail in it.
// nullopt where this system has no such limit to set.
std::optional<CliRun> runCliWithMemoryLimit(const std::vector<std::string>& args,
                                            const TempFolder& scratch, unsigned long long bytes);

// Runs the tool as runCli does (without extra environment) with standard
// output on a terminal of its own (a pseudo-terminal, which shows a line
// end as CR LF): `out` is what reached the terminal.  nullopt where this
// system gives a test no terminal.
std::optional<CliRun> runCliOnTerminal(const std::vector<std::string>& args,
                                       const TempFolder& scratch);

// Runs the tool as runCli does (without extra environment), traced: the
// first time it gives back pages of its map of a file called fileName
// (which a walk over a table does every 4 MB), or reads that file 4 MB or
// more into it by a read call on its main thread (a walk by read calls), it
// is held inside that call while `meanwhile` runs, then let go.  So a test can change a file at a
// known point of a read, without timing.  nullopt when this system does
// not let a process trace its child; `held` is false when the tool never
// got there.
struct HeldCliRun : CliRun {
    bool held = false;
};
std::optional<HeldCliRun> runCliHeldAtRelease(const std::vector<std::string>& args,
                                              const TempFolder& scratch,
                                              const std::string& fileName,
                                              const std::function<void()>& meanwhile);

}  // namespace quorvel::test
