// quorvel-cli diff: the comparison of the wizard, for scripts.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "compare/compare.h"
#include "compare/difference_line.h"
#include "data/foxpro_source.h"
#include "data/source_descriptor.h"
#include "frame/dialogs.h"
#include "results/text_report.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage =
    "Usage: quorvel-cli diff SOURCE1 TABLE1 SOURCE2 TABLE2 [--report FILE] [-z] "
    "[--encoding NAME]\n";

constexpr const char* kHelp =
    "Compares TABLE1 of SOURCE1 with TABLE2 of SOURCE2 record by record and prints\n"
    "one difference line per difference, in comparison order.\n"
    "A SOURCE is a folder of free tables or a .dbc database container.\n"
    "\n"
    "  --report FILE  also write the text report (field differences first, CR LF)\n"
    "  -z             end every line with a NUL byte instead of a line feed\n"
    "  --encoding NAME  read both tables in code page NAME (see below)\n"
    "\n"
    "Exit status: 0 no differences, 1 differences, 2 could not compare.\n\n";

// The error reports of the engine, kept for standard error instead of boxes.
class CollectingDialogs : public frame::Dialogs {
  public:
    frame::Answer message(const std::string& text, frame::MessageButtons, frame::MessageIcon,
                          const std::string&) override {
        // The report's first line is the failure; the rest is for windows.
        reports.push_back(text.substr(0, text.find_first_of("\r\n")));
        return frame::Answer::Ok;
    }
    std::vector<std::string> reports;
};

// Redraws one progress line on a terminal, a few times a second.
class ProgressLine {
  public:
    explicit ProgressLine(bool enabled)
        : enabled_(enabled), start_(Clock::now()), last_(start_ - std::chrono::seconds(1)) {}

    void update(int value, const std::string& text) {
        value_ = value;
        const auto colon = text.rfind(' ');
        done_ = colon == std::string::npos ? 0 : std::stoll(text.substr(colon + 1));
    }

    void draw() {
        if (!enabled_) return;
        const auto now = Clock::now();
        if (now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
        std::fprintf(stderr, "\r\033[K%3d%%  %lld records  %.0f records/s", value_, done_, rate);
        std::fflush(stderr);
        drawn_ = true;
    }

    void erase() {
        if (!drawn_) return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }

  private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    Clock::time_point start_;
    Clock::time_point last_;
    int value_ = 0;
    long long done_ = 0;
    bool drawn_ = false;
};

int fail(const std::string& problem) {
    return failure("diff", problem);
}

int runDiff(std::vector<std::string> args) {
    for (const auto& a : args) {
        if (a != "--help" && a != "-h") continue;
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        std::fputs(kEncodingHelp, stdout);
        return 0;
    }
    std::string encodingError;
    const int codePage = takeEncoding(args, encodingError);
    if (!encodingError.empty()) return fail(encodingError);
    std::vector<std::string> positional;
    std::string reportPath;
    bool haveReport = false;
    bool nulTerminated = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-z" || arg == "--null") {
            nulTerminated = true;
        } else if (arg == "--report") {
            if (i + 1 >= args.size()) return fail("--report needs a file name");
            reportPath = args[++i];
            haveReport = true;
        } else if (arg.rfind("--report=", 0) == 0) {
            reportPath = arg.substr(9);
            haveReport = true;
        } else if (arg == "--") {
            positional.insert(positional.end(), args.begin() + i + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option '" + arg + "' (try --help)");
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 4) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (haveReport && reportPath.empty()) return fail("--report needs a file name");

    const data::SourceDescriptor source1 = sourceOf(positional[0], codePage);
    const data::SourceDescriptor source2 = sourceOf(positional[2], codePage);
    warnAboutTable("diff", data::connectionString(source1), positional[1]);
    warnAboutTable("diff", data::connectionString(source2), positional[3]);
    const foxpro::TextLocale locale = localeFromEnvironment();
    CollectingDialogs dialogs;
    ProgressLine progress(isatty(STDERR_FILENO) == 1);
    compare::CompareCallbacks callbacks;
    callbacks.progress = [&](int value, const std::string& text) { progress.update(value, text); };
    callbacks.processEvents = [&] { progress.draw(); };

    compare::CompareResult result = compare::Compare(source1, source2, positional[1], positional[3],
                                                     locale, dialogs, callbacks);
    progress.erase();
    if (!result.completed()) return fail(result.failure);
    // Failures the walk went on after (a record count that could not be
    // read, say) do not change the lines, but a script should see them.
    for (const auto& report : dialogs.reports) warn("diff", report);
    for (const auto& w : result.warnings) warnOnce("diff", w);

    const char end = nulTerminated ? '\0' : '\n';
    std::string out;
    for (const compare::Difference d : result.differences) {
        compare::appendLineText(out, d);
        out += end;
        if (out.size() >= (1u << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return fail("cannot write the lines to standard output");

    if (haveReport) {
        try {
            std::vector<std::string> sourceFiles = data::SourceTableFiles(source1, positional[1]);
            for (auto& file : data::SourceTableFiles(source2, positional[3]))
                sourceFiles.push_back(std::move(file));
            results::WriteTextFile(results::buildTextReport(result.differences), reportPath,
                                   sourceFiles);
        } catch (const std::exception& e) {
            return fail(e.what());
        }
    }
    return result.differences.empty() ? 0 : 1;
}

const VerbRegistration registration{
    {"diff", "compare two tables and print their difference lines", runDiff}};

}  // namespace

}  // namespace quorvel::cli
