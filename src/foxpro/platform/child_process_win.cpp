#include <windows.h>

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

}  // namespace quorvel::foxpro::platform
