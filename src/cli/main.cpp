#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_common.h"
#include "cli/table_operands.h"
#include "cli/verbs.h"
#include "foxpro/platform/console.h"
#include "frame/app_info.h"
#include "frame/printable_text.h"

namespace quorvel::cli {

namespace {
std::vector<Verb>& registry() {
    static std::vector<Verb> all;
    return all;
}
}  // namespace

const std::vector<Verb>& verbs() {
    return registry();
}

VerbRegistration::VerbRegistration(Verb verb) {
    registry().push_back(std::move(verb));
}

}  // namespace quorvel::cli

namespace {

using quorvel::cli::Verb;

const quorvel::cli::OptionSpec kHelpOption{"help", 'h', "", "show this help and exit"};

void printToolUsage(std::FILE* out) {
    std::fputs(
        "Usage: quorvel-cli VERB [OPTION]... OPERAND...\n"
        "       quorvel-cli help [VERB]\n"
        "       quorvel-cli --version\n",
        out);
}

void printToolHelp() {
    printToolUsage(stdout);
    std::fputs(
        "Compares FoxPro tables, shows them, and builds tables from their differences.\n"
        "A SOURCE is a folder of free tables or a .dbc database container.  Where a\n"
        "verb takes SOURCE TABLE, one operand naming a table file (orders.dbf, form.scx)\n"
        "may stand for both.\n\nVerbs:\n",
        stdout);
    for (const auto& verb : quorvel::cli::verbs())
        std::printf("  %-8s %s\n", verb.name.c_str(), verb.summary.c_str());
    std::fputs(
        "\nOptions go before or after the operands; '--' ends them.\n"
        "Run 'quorvel-cli help VERB' for a verb's operands and options.\n",
        stdout);
}

std::vector<quorvel::cli::OptionSpec> optionsOf(const Verb& verb) {
    std::vector<quorvel::cli::OptionSpec> options = verb.options;
    options.push_back(kHelpOption);
    return options;
}

void printVerbUsage(const Verb& verb, std::FILE* out) {
    std::fprintf(out, "Usage: quorvel-cli %s [OPTION]... %s\n", verb.name.c_str(),
                 verb.operands.c_str());
}

void printVerbHelp(const Verb& verb) {
    printVerbUsage(verb, stdout);
    std::fputs(verb.description.c_str(), stdout);
    std::fputs("\nOptions:\n", stdout);
    std::fputs(quorvel::cli::optionHelp(optionsOf(verb)).c_str(), stdout);
    if (!verb.details.empty()) {
        std::fputs("\n", stdout);
        std::fputs(verb.details.c_str(), stdout);
    }
}

// A usage error: what was wrong, the usage line and where help is, all on
// standard error; exit status 2.
int usageError(const Verb* verb, const std::string& problem) {
    std::fflush(stdout);
    const std::string who = verb ? "quorvel-cli " + verb->name : "quorvel-cli";
    std::fprintf(stderr, "%s: %s\n", who.c_str(), quorvel::frame::printableText(problem).c_str());
    if (verb) {
        printVerbUsage(*verb, stderr);
        std::fprintf(stderr, "Try 'quorvel-cli help %s' for more information.\n",
                     verb->name.c_str());
    } else {
        printToolUsage(stderr);
        std::fputs("Try 'quorvel-cli --help' for more information.\n", stderr);
    }
    return 2;
}

const Verb* findVerb(const std::string& name) {
    for (const auto& verb : quorvel::cli::verbs())
        if (verb.name == name) return &verb;
    return nullptr;
}

std::string operandProblem(const Verb& verb, std::size_t given) {
    if (given < verb.minOperands) return "missing operand: expected " + verb.operands;
    return "too many operands: expected " + verb.operands;
}

int runVerb(const Verb& verb, const std::vector<std::string>& args) {
    quorvel::cli::Arguments parsed;
    try {
        parsed = quorvel::cli::parseArguments(args, optionsOf(verb));
        if (parsed.has("help")) {
            printVerbHelp(verb);
            return 0;
        }
        parsed.operands = quorvel::cli::expandTableOperands(verb.operands, parsed.operands);
        const std::size_t n = parsed.operands.size();
        if (n < verb.minOperands || n > verb.maxOperands)
            return usageError(&verb, operandProblem(verb, n));
        return verb.run(parsed);
    } catch (const quorvel::cli::UsageError& e) {
        return usageError(&verb, e.what());
    } catch (const std::exception& e) {
        // What a verb did not catch itself (a code page that could not be
        // loaded while the options were read, memory run out): one line.
        return quorvel::cli::failure(verb.name, e.what());
    }
}

int runTool(const std::vector<std::string>& args) {
    if (args.empty()) return usageError(nullptr, "missing verb");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h") {
        printToolHelp();
        return 0;
    }
    if (first == "--version") {
        std::printf("quorvel-cli %s\n", quorvel::frame::kVersion);
        return 0;
    }
    if (first == "help") {
        if (args.size() == 1) {
            printToolHelp();
            return 0;
        }
        const Verb* verb = findVerb(args[1]);
        if (verb == nullptr || args.size() > 2)
            return usageError(nullptr,
                              verb ? "help takes one verb" : "unknown verb '" + args[1] + "'");
        printVerbHelp(*verb);
        return 0;
    }
    if (const Verb* verb = findVerb(first)) return runVerb(*verb, {args.begin() + 1, args.end()});
    if (first.size() > 1 && first[0] == '-')
        return usageError(nullptr, "unknown option '" + first + "'");
    return usageError(nullptr, "unknown verb '" + first + "'");
}

// Whatever a verb printed must have reached standard output: a full disk or
// a device that refuses the bytes turns any outcome into failure.
int closeStandardOutput(const std::string& who, int status) {
    errno = 0;
    const bool failed = std::ferror(stdout) != 0;
    if (std::fclose(stdout) == 0 && !failed) return status;
    const int error = errno;
    std::fprintf(stderr, "%s: cannot write to standard output%s%s\n", who.c_str(),
                 error ? ": " : "", error ? std::strerror(error) : "");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    quorvel::foxpro::platform::prepareStandardStreams();
    const std::vector<std::string> args =
        quorvel::foxpro::platform::commandLineArguments(argc, argv);
    const int status = runTool(args);
    const Verb* verb = args.empty() ? nullptr : findVerb(args[0]);
    return closeStandardOutput(verb ? "quorvel-cli " + verb->name : "quorvel-cli", status);
}
