#include "support/windows_process.h"

#include <windows.h>

#include <map>

#include "foxpro/platform/wide_path.h"

namespace quorvel::test {

namespace {

using foxpro::platform::wideFromUtf8;

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

HANDLE inheritable(const std::string& path) {
    if (path.empty()) return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(foxpro::platform::widePath(path).c_str(), GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int runWindowsProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& outPath,
                      const std::string& errPath) {
    std::wstring commandLine = quoted(wideFromUtf8(program));
    for (const auto& a : args) commandLine += L" " + quoted(wideFromUtf8(a));

    // The environment block: the test's own, with env's entries in place.
    std::map<std::wstring, std::wstring> variables;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* e = block; *e; e += wcslen(e) + 1) {
            const std::wstring entry = e;
            const auto equals = entry.find(L'=', 1);
            if (equals != std::wstring::npos) variables[entry.substr(0, equals)] = entry;
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& own : env) {
        const std::wstring entry = wideFromUtf8(own);
        variables[entry.substr(0, entry.find(L'='))] = entry;
    }
    std::wstring environment;
    for (const auto& [name, entry] : variables) environment += entry + L'\0';
    environment += L'\0';

    const HANDLE out = inheritable(outPath);
    // One file for both: one handle, so that neither writes over the other.
    const HANDLE err = errPath == outPath ? out : inheritable(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &process);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE && err != out) CloseHandle(err);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

}  // namespace quorvel::test
