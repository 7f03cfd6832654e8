#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "support/cli_runner.h"

extern char** environ;

namespace quorvel::test {

CliRun runCli(const std::vector<std::string>& args, const TempFolder& scratch,
              const std::vector<std::string>& env, const std::string& stdoutFile) {
    const std::string outPath = scratch.file("cli-stdout"), errPath = scratch.file("cli-stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1,
                                     stdoutFile.empty() ? outPath.c_str() : stdoutFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> all = {QUORVEL_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto& own : env) replaced = replaced || own.starts_with(key);
        if (!replaced) environment.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    CliRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, QUORVEL_CLI_PATH, &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = stdoutFile.empty() ? readText(outPath) : std::string();
    run.err = readText(errPath);
    return run;
}

std::optional<CliRun> runCliWithMemoryLimit(const std::vector<std::string>& args,
                                            const TempFolder& scratch, unsigned long long bytes) {
    const std::string outPath = scratch.file("cli-stdout"), errPath = scratch.file("cli-stderr");
    std::vector<std::string> all = {QUORVEL_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
        ::execv(QUORVEL_CLI_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    CliRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readText(outPath);
    run.err = readText(errPath);
    return run;
}

std::optional<CliRun> runCliOnTerminal(const std::vector<std::string>& args,
                                       const TempFolder& scratch) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (master >= 0) ::close(master);
        return std::nullopt;
    }
    const char* name = ::ptsname(master);
    // Held open here too, so that what the tool wrote stays readable after
    // it has exited (the last close of the terminal's side would hang it up).
    const int terminal = name ? ::open(name, O_RDWR | O_NOCTTY) : -1;
    if (terminal < 0) {
        ::close(master);
        return std::nullopt;
    }
    const std::string errPath = scratch.file("cli-stderr");
    std::vector<std::string> all = {QUORVEL_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, terminal, 1);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    CliRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, QUORVEL_CLI_PATH, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        run.out.append(buffer, static_cast<std::size_t>(n));
    ::close(terminal);
    ::close(master);
    run.err = readText(errPath);
    return run;
}

namespace {

// A walk that reads a file by read calls is held at its first read this
// far into the file.
constexpr std::uint64_t kHeldReadOffset = 4u << 20;

// True when address lies in process pid's map of a file called fileName.
bool inMapOf(pid_t pid, std::uint64_t address, const std::string& fileName) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long long begin = 0, end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx", &begin, &end) != 2) continue;
        if (address < begin || address >= end) continue;
        const auto slash = line.rfind('/');
        return slash != std::string::npos && line.substr(slash + 1) == fileName;
    }
    return false;
}

// True when descriptor fd of process pid is open on a file called fileName.
bool fdOf(pid_t pid, std::uint64_t fd, const std::string& fileName) {
    char target[4096];
    const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) return false;
    const std::string path(target, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash != std::string::npos && path.substr(slash + 1) == fileName;
}

}  // namespace

std::optional<HeldCliRun> runCliHeldAtRelease(const std::vector<std::string>& args,
                                              const TempFolder& scratch,
                                              const std::string& fileName,
                                              const std::function<void()>& meanwhile) {
    const std::string outPath = scratch.file("cli-stdout"), errPath = scratch.file("cli-stderr");
    std::vector<std::string> all = {QUORVEL_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(126);
        ::raise(SIGSTOP);
        ::execv(QUORVEL_CLI_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFSTOPPED(status)) return std::nullopt;  // tracing refused
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr,
             PTRACE_O_TRACESYSGOOD | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL);
    HeldCliRun run;
    int signal = 0;
    // Stopped at every system call until the one looked for, then let go
    // untraced (a leak checker, say, cannot work under a tracer).
    while (::ptrace(PTRACE_SYSCALL, pid, nullptr, signal) == 0) {
        signal = 0;
        if (::waitpid(pid, &status, 0) < 0 || WIFEXITED(status) || WIFSIGNALED(status)) break;
        if (WSTOPSIG(status) == (SIGTRAP | 0x80)) {
            __ptrace_syscall_info info{};
            const bool entry = ::ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info) > 0 &&
                               info.op == PTRACE_SYSCALL_INFO_ENTRY;
            const bool release = entry && info.entry.nr == SYS_madvise &&
                                 info.entry.args[2] == MADV_DONTNEED &&
                                 inMapOf(pid, info.entry.args[0], fileName);
            const bool readPast = entry && info.entry.nr == SYS_pread64 &&
                                  info.entry.args[3] >= kHeldReadOffset &&
                                  fdOf(pid, info.entry.args[0], fileName);
            if (release || readPast) {
                meanwhile();
                run.held = true;
                ::ptrace(PTRACE_DETACH, pid, nullptr, 0);
                ::waitpid(pid, &status, 0);
                break;
            }
        } else if (status >> 16 == 0) {
            signal = WSTOPSIG(status);  // a signal for the tool (not the exec event): passed on
        }
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readText(outPath);
    run.err = readText(errPath);
    return run;
}

}  // namespace quorvel::test
