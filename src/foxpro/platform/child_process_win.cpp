#include <windows.h>

#include <cwchar>

#include "foxpro/platform/child_process.h"
#include "foxpro/platform/wide_path.h"

namespace quorvel::foxpro::platform {

namespace {

// One argument as the C runtime's command-line parser reads it back:
// quoted, with backslashes doubled only before a quote.
std::wstring quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') backslashes = backslashes * 2 + 1;
        out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

}  // namespace

ProgramOutput runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& inputFile) {
    ProgramOutput result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    const std::wstring inputName = inputFile.empty() ? L"NUL" : widePath(inputFile);
    HANDLE input = CreateFileW(inputName.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE errors = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    std::wstring commandLine = quoted(wideFromUtf8(program));
    for (const auto& argument : arguments) commandLine += L" " + quoted(wideFromUtf8(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = writeEnd;
    startup.hStdError = errors;
    PROCESS_INFORMATION process{};
    const bool created = input != INVALID_HANDLE_VALUE &&
                         CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (errors != INVALID_HANDLE_VALUE) CloseHandle(errors);
    if (!created) {
        CloseHandle(readEnd);
        return result;
    }
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
        result.output.append(buffer, n);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.started = true;
    result.status = static_cast<int>(code);
    return result;
}

std::vector<std::string> environmentNames(const std::string& prefix) {
    std::vector<std::string> names;
    wchar_t* block = GetEnvironmentStringsW();
    if (!block) return names;
    // NAME=VALUE strings one after another, an empty one last; a name
    // beginning with '=' is the system's own (a drive's current folder).
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        const auto equals = text.find(L'=', 1);
        if (equals == std::wstring::npos) continue;
        const std::string name = utf8FromWide(std::wstring_view(text).substr(0, equals));
        if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    FreeEnvironmentStringsW(block);
    return names;
}

}  // namespace quorvel::foxpro::platform
