// The command-line conventions every verb shares: one parser (options in any
// place, "--", -h / --help, help VERB), usage errors on standard error with
// exit status 2, "-" for standard output, and a failed write to standard
// output as exit status 2.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_runner.h"
#include "support/table_builder.h"

namespace {

using quorvel::test::Cell;
using quorvel::test::CliRun;
using quorvel::test::TableBuilder;
using quorvel::test::TempFolder;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::vector<std::string> kVerbs = {"diff", "merge", "show", "sql", "tables"};

class ConventionsTest : public ::testing::Test {
  protected:
    // In the scratch folder, so that relative names can start with '-'.
    void SetUp() override {
        home_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        // "-one" and "-two": folders whose names read like options.
        for (const auto& folder : {one(), two()}) std::filesystem::create_directory(folder);
        TableBuilder t1(0x30), t2(0x30);
        t1.field("NAME", 'C', 3).record({Cell::text("Ann")});
        t2.field("NAME", 'C', 3).record({Cell::text("Bob")});
        t1.write(one() + "/t.dbf");
        t2.write(two() + "/t.dbf");
    }

    void TearDown() override { std::filesystem::current_path(home_); }

    static std::string one() { return "-one"; }
    static std::string two() { return "-two"; }

    CliRun cli(const std::vector<std::string>& args, const std::string& stdoutFile = {}) {
        return quorvel::test::runCli(args, dir_, {}, stdoutFile);
    }

    // Arguments that make each verb succeed, with its options placed before,
    // between and after the operands.
    std::vector<std::vector<std::string>> goodRuns() const {
        const std::string a = dir_.file("a"), b = dir_.file("b");
        std::filesystem::create_directory(a);
        std::filesystem::create_directory(b);
        std::filesystem::copy(dir_.file(one()) + "/t.dbf", a + "/t.dbf",
                              std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy(dir_.file(two()) + "/t.dbf", b + "/t.dbf",
                              std::filesystem::copy_options::overwrite_existing);
        return {{"diff", "--format", "csv", a, "t", b, "t"},
                {"diff", a, "t", "-z", b, "t"},
                {"diff", a, "t", b, "t", "--format=json"},
                {"merge", a, "t", "--changes-only", b, "t", "made"},
                {"show", a, "t", "--localized"},
                {"sql", "--localized", a, "SELECT COUNT(*) FROM [t]"},
                {"tables", a}};
    }

    TempFolder dir_;
    std::filesystem::path home_;
};

TEST_F(ConventionsTest, OptionsGoAnywhereAndDoubleDashEndsThem) {
    for (const auto& args : goodRuns()) {
        const CliRun r = cli(args);
        EXPECT_LE(r.status, 1) << args[0] << ": " << r.err;
        EXPECT_EQ(r.err, "") << args[0];
    }
    // After "--", names that start with '-' are operands.
    CliRun r = cli({"diff", "--format", "csv", "--", one(), "t", two(), "t"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "kind,record1,record2,field,old,new\r\nchanged,1,1,NAME,Ann,Bob\r\n");
    r = cli({"tables", "--", one()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "t\n");
    // Before it, they are options: an unknown one.
    r = cli({"tables", one()});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, StartsWith("quorvel-cli tables: unknown option '-o'\n"));
}

TEST_F(ConventionsTest, HelpOnEveryVerbInEveryPlace) {
    const CliRun tool = cli({"--help"});
    EXPECT_EQ(tool.status, 0);
    for (const auto& verb : kVerbs) {
        EXPECT_THAT(tool.out, HasSubstr("  " + verb + " ")) << verb;
        const CliRun viaHelp = cli({"help", verb});
        EXPECT_EQ(viaHelp.status, 0) << verb;
        EXPECT_THAT(viaHelp.out, StartsWith("Usage: quorvel-cli " + verb + " [OPTION]..."));
        EXPECT_THAT(viaHelp.out, HasSubstr("  -h, --help"));
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{verb, "-h"}, {verb, "x", "--help"}, {verb, "--he"}}) {
            const CliRun r = cli(args);
            EXPECT_EQ(r.status, 0) << verb;
            EXPECT_EQ(r.out, viaHelp.out) << verb;
            EXPECT_EQ(r.err, "") << verb;
        }
    }
}

TEST_F(ConventionsTest, UsageErrorsPrintUsageOnStandardErrorAndExitTwo) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    std::vector<Case> cases = {
        {{}, "quorvel-cli: missing verb"},
        {{"frobnicate"}, "quorvel-cli: unknown verb 'frobnicate'"},
        {{"--bogus"}, "quorvel-cli: unknown option '--bogus'"},
        {{"help", "frobnicate"}, "quorvel-cli: unknown verb 'frobnicate'"},
        {{"diff", "--format", "xml", "a", "t", "b", "t"},
         "quorvel-cli diff: --format: 'xml' is not one of text, json, csv"},
        {{"diff", "a", "t", "b", "t", "--report"},
         "quorvel-cli diff: option '--report' needs a value (FILE)"},
        {{"diff", "-z", "--format", "json", "a", "t", "b", "t"},
         "quorvel-cli diff: -z goes with --format text only"},
        {{"diff", "--null=yes", "a", "t", "b", "t"},
         "quorvel-cli diff: option '--null' takes no value"},
        {{"merge", "a", "t", "b", "t", "new", "--changes-only", "--added-only"},
         "quorvel-cli merge: --changes-only and --added-only exclude each other"},
        // The short option that merge once took for a table name.
        {{"merge", "-f", "a", "t", "b", "t", "new"}, "quorvel-cli merge: unknown option '-f'"},
        {{"show", "a"}, "quorvel-cli show: missing operand: expected SOURCE TABLE"},
        {{"sql", "a", "SELECT * FROM t", "extra"},
         "quorvel-cli sql: too many operands: expected SOURCE STATEMENT"},
    };
    for (const auto& verb : kVerbs) cases.push_back({{verb, "--nope"}, "unknown option '--nope'"});
    for (const Case& c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_THAT(r.err, HasSubstr(c.message + "\n"));
        EXPECT_THAT(r.err, HasSubstr("Usage: quorvel-cli ")) << c.message;
    }
}

TEST_F(ConventionsTest, VersionComesFromTheProject) {
    const CliRun r = cli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("quorvel-cli ") + QUORVEL_VERSION + "\n");
}

TEST_F(ConventionsTest, DashWritesTheReportToStandardOutput) {
    const CliRun r = cli({"diff", "--report", "-", "--", one(), "t", two(), "t"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "Record 1, Field \"NAME\" has changed from \"Ann\" to \"Bob\"\r\n");
    EXPECT_FALSE(std::filesystem::exists("-"));
}

TEST_F(ConventionsTest, AFullStandardOutputIsExitTwoOnEveryVerb) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::vector<std::vector<std::string>> runs = goodRuns();
    runs.push_back({"--help"});
    runs.push_back({"help", "diff"});
    runs.push_back({"--version"});
    for (const auto& args : runs) {
        const CliRun r = cli(args, "/dev/full");
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_THAT(r.err, HasSubstr("cannot write to standard output")) << args[0];
    }
}

}  // namespace
