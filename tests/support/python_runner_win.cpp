#include <windows.h>

#include <fstream>

#include "foxpro/platform/path_text.h"
#include "foxpro/platform/wide_path.h"
#include "support/python_runner.h"
#include "support/table_builder.h"
#include "support/windows_process.h"

namespace quorvel::test {

namespace {

// Under Wine, Debian's Python is a program of the machine beneath, reached
// through the drive that maps its root; it reads the Unix names of files.
// Elsewhere there is none, and the tests that need it skip.
using UnixName = char*(CDECL*)(const wchar_t*);

UnixName wineUnixName() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<UnixName>(
                        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
                  : nullptr;
}

constexpr const char* kPython = "Z:\\usr\\bin\\python3";

// A name of an existing file as Python beneath sees it; other text as it is.
std::string forPython(const std::string& arg) {
    const UnixName unixName = wineUnixName();
    const std::wstring wide = foxpro::platform::wideFromUtf8(arg);
    if (!unixName || GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return arg;
    char* name = unixName(wide.c_str());
    if (!name) return arg;
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool pythonHere() {
    return wineUnixName() != nullptr &&
           GetFileAttributesW(foxpro::platform::wideFromUtf8(kPython).c_str()) !=
               INVALID_FILE_ATTRIBUTES;
}

// Wine starts a program of the system beneath without a handle to wait on or
// its standard streams: a wrapper runs the script with its output in a file
// and leaves its exit status in another when it is done.
constexpr const char* kWrapper = R"(import os, runpy, sys, traceback
out, status, script = sys.argv[1:4]
sys.argv = sys.argv[3:]
f = open(out, 'wb', buffering=0)
os.dup2(f.fileno(), 1)
os.dup2(f.fileno(), 2)
code = 0
try:
    runpy.run_path(script, run_name='__main__')
except SystemExit as e:
    code = e.code if isinstance(e.code, int) else (0 if e.code is None else 1)
except BaseException:
    traceback.print_exc()
    code = 1
sys.stdout.flush()
sys.stderr.flush()
with open(status + '.part', 'w') as s:
    s.write(str(code))
os.rename(status + '.part', status)
)";

// Runs the script under Python beneath; its exit status (-1: it never
// finished within two minutes) and its output in *output.
int runWrapped(const std::string& script, const std::vector<std::string>& args,
               std::string* output) {
    TempFolder scratch;
    const std::string wrapper = scratch.file("wrapper.py"), scriptPath = scratch.file("script.py");
    const std::string outPath = scratch.file("out"), statusPath = scratch.file("status");
    std::ofstream(foxpro::platform::pathFromText(wrapper)) << kWrapper;
    std::ofstream(foxpro::platform::pathFromText(scriptPath)) << script;
    std::ofstream(foxpro::platform::pathFromText(outPath)).flush();
    std::vector<std::string> all = {forPython(wrapper), forPython(outPath),
                                    forPython(scratch.path()) + "/status", forPython(scriptPath)};
    for (const auto& a : args) all.push_back(forPython(a));
    if (runWindowsProcess(kPython, all, {}, "", "") < 0) return -1;
    for (int waited = 0; waited < 120000; waited += 20) {
        const std::string status = readText(statusPath);
        if (!status.empty()) {
            if (output) *output = readText(outPath);
            return std::stoi(status);
        }
        Sleep(20);
    }
    return -1;
}

}  // namespace

bool pythonCanImport(const std::string& module) {
    return pythonHere() && runWrapped("import " + module + "\n", {}, nullptr) == 0;
}

std::string runPython(const std::string& script, bool* ok, const std::vector<std::string>& args) {
    *ok = false;
    if (!pythonHere()) return "";
    std::string output;
    *ok = runWrapped(script, args, &output) == 0;
    return output;
}

}  // namespace quorvel::test
