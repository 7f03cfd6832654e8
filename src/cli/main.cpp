#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/verbs.h"

namespace quorvel::cli {

namespace {
std::vector<Verb>& registry() {
    static std::vector<Verb> all;
    return all;
}
}  // namespace

const std::vector<Verb>& verbs() { return registry(); }

VerbRegistration::VerbRegistration(Verb verb) { registry().push_back(std::move(verb)); }

}  // namespace quorvel::cli

namespace {

void printHelp(std::FILE* out) {
    std::fputs(
        "Usage: quorvel-cli VERB [ARGS...]\n"
        "Compares FoxPro tables, shows them, and builds tables from their differences.\n"
        "A SOURCE is a folder of free tables or a .dbc database container.\n\nVerbs:\n",
        out);
    for (const auto& verb : quorvel::cli::verbs())
        std::fprintf(out, "  %-8s %s\n", verb.name.c_str(), verb.summary.c_str());
    std::fputs("\nRun 'quorvel-cli VERB --help' for a verb's arguments.\n", out);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp(stdout);
        return args.empty() ? 2 : 0;
    }
    for (const auto& verb : quorvel::cli::verbs()) {
        if (verb.name == args[0]) return verb.run({args.begin() + 1, args.end()});
    }
    std::fprintf(stderr, "quorvel-cli: unknown verb '%s' (try --help)\n", args[0].c_str());
    return 2;
}
