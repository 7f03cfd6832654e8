#include "support/cli_runner.h"
#include "support/windows_process.h"

namespace quorvel::test {

CliRun runCli(const std::vector<std::string>& args, const TempFolder& scratch,
              const std::vector<std::string>& env, const std::string& stdoutFile) {
    const std::string outPath = scratch.file("cli-stdout"), errPath = scratch.file("cli-stderr");
    CliRun run;
    run.status = runWindowsProcess(QUORVEL_CLI_PATH, args, env,
                                   stdoutFile.empty() ? outPath : stdoutFile, errPath);
    run.out = stdoutFile.empty() ? readText(outPath) : std::string();
    run.err = readText(errPath);
    return run;
}

std::optional<CliRun> runCliWithMemoryLimit(const std::vector<std::string>&, const TempFolder&,
                                            unsigned long long) {
    return std::nullopt;  // no address-space limit to set on a child here
}

std::optional<CliRun> runCliOnTerminal(const std::vector<std::string>&, const TempFolder&) {
    return std::nullopt;  // a console is no pseudo-terminal a test can read
}

std::optional<HeldCliRun> runCliHeldAtRelease(const std::vector<std::string>&, const TempFolder&,
                                              const std::string&, const std::function<void()>&) {
    return std::nullopt;  // no tracing of a child here
}

}  // namespace quorvel::test
