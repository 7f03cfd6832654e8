#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "support/python_runner.h"
#include "support/table_builder.h"

namespace quorvel::test {

namespace {
constexpr const char* kPython = "/usr/bin/python3";

std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
}  // namespace

bool pythonCanImport(const std::string& module) {
    const std::string command =
        std::string(kPython) + " -c " + shellQuoted("import " + module) + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string runPython(const std::string& script, bool* ok, const std::vector<std::string>& args) {
    *ok = false;
    TempFolder scratch;
    const std::string path = scratch.file("script.py");
    std::ofstream(path) << script;
    std::string command = std::string(kPython) + " " + shellQuoted(path);
    for (const auto& a : args) command += ' ' + shellQuoted(a);
    command += " 2>&1";
    std::FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) return "";
    std::string out;
    std::array<char, 4096> buf{};
    for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;)
        out.append(buf.data(), n);
    const int status = ::pclose(p);
    *ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return out;
}

}  // namespace quorvel::test
