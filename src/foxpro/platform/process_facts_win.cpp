#include <windows.h>

#include "foxpro/platform/process_facts.h"
#include "foxpro/platform/wide_path.h"

namespace quorvel::foxpro::platform {

std::string hostName() {
    wchar_t name[256] = {};
    DWORD size = 255;
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return "";
    return utf8FromWide(std::wstring_view(name, size));
}

std::uint64_t currentProcessId() {
    return GetCurrentProcessId();
}

namespace {

// The creation time of an open process, in 100 ns ticks since 1601.
std::uint64_t creationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

std::uint64_t processStartTime(std::uint64_t id) {
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (!process) return 0;
    const std::uint64_t start = creationTime(process);
    CloseHandle(process);
    return start;
}

ProcessLife processLife(std::uint64_t id, std::uint64_t start) {
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (!process) {
        // No such process id any more; a process of another user says "denied".
        return GetLastError() == ERROR_INVALID_PARAMETER ? ProcessLife::Gone : ProcessLife::Unknown;
    }
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    const std::uint64_t created = creationTime(process);
    CloseHandle(process);
    if (created == 0) return ProcessLife::Unknown;
    return running && created == start ? ProcessLife::Running : ProcessLife::Gone;
}

}  // namespace quorvel::foxpro::platform
