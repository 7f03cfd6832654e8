#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>

#include "foxpro/platform/console.h"
#include "foxpro/platform/wide_path.h"

namespace quorvel::foxpro::platform {

namespace {
bool isConsole(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}
}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

void prepareStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Fails without a console (output to a file or a pipe), which needs none.
    SetConsoleOutputCP(CP_UTF8);
    // A console given UTF-8 a byte at a time shows each byte of a character
    // as a character of its own: buffered, whole characters reach it.
    static char outBuffer[1 << 16];
    static char errBuffer[1 << 12];
    if (isConsole(STD_OUTPUT_HANDLE)) std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
    if (isConsole(STD_ERROR_HANDLE)) std::setvbuf(stderr, errBuffer, _IOFBF, sizeof errBuffer);
    // The progress line redraws itself with terminal sequences ("\r\033[K"),
    // which a console takes once asked to.
    DWORD mode = 0;
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (GetConsoleMode(err, &mode)) SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

bool standardErrorIsTerminal() {
    return isConsole(STD_ERROR_HANDLE);
}

bool standardOutputIsTerminal() {
    return isConsole(STD_OUTPUT_HANDLE);
}

std::string programFilePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return "";
        if (n < path.size()) return utf8FromWide(std::wstring_view(path.data(), n));
        path.resize(path.size() * 2);
    }
}

}  // namespace quorvel::foxpro::platform
