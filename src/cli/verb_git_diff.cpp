// quorvel-cli git-diff: git's external diff program for tables
// (GIT_EXTERNAL_DIFF, or diff.NAME.command with a diff=NAME attribute).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_common.h"
#include "cli/diff_sources.h"
#include "cli/difference_formats.h"
#include "cli/output_stream.h"
#include "cli/revision_memo.h"
#include "cli/scratch_folder.h"
#include "cli/table_text_form.h"
#include "cli/verbs.h"
#include "compare/compare.h"
#include "compare/difference_line.h"
#include "compare/pairing.h"
#include "data/source_descriptor.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"

namespace quorvel::cli {

namespace {

constexpr const char* kDescription =
    "Shows the difference of two revisions of a table the way git asks of an\n"
    "external diff program, with git's seven operands (nine for a rename: then the\n"
    "new path and git's rename note follow).  Set it up with\n"
    "  git config diff.quorvel.command 'quorvel-cli git-diff'\n"
    "and '*.dbf diff=quorvel' (and *.scx, *.vcx, ...) in .gitattributes, or run\n"
    "'GIT_EXTERNAL_DIFF=\"quorvel-cli git-diff\" git diff'.\n"
    "It prints 'diff --quorvel a/PATH b/PATH', '--- a/PATH' and '+++ b/PATH'\n"
    "(/dev/null for a table added or removed), then the difference lines of\n"
    "'quorvel-cli diff --align': records are paired by content unless --key is\n"
    "given.  An added or removed table is shown whole in the form of 'show\n"
    "--textconv', each line after '+' or '-'.  Lines that start with '#' are notes.\n"
    "\n"
    "A side in the working tree (git gives its hash as zeros) reads the memo file\n"
    "beside it.  For a side that git hands over as a temporary file, git is asked\n"
    "for the memo blob that the same trees hold beside that table blob (the index\n"
    "and every commit that changed the table or its memo).  When there is none, or\n"
    "revisions with the same table bytes hold different memo files, the memo\n"
    "values of that side are not available: the memo fields are then not compared,\n"
    "and a note says so; they are never shown empty or from another revision.\n";

constexpr const char* kDetails =
    "Exit status: 0 whatever the tables hold, as git expects of a diff program (a\n"
    "table that cannot be read is told in a note and on standard error); 2 for a\n"
    "usage error.\n";

bool isNullHash(const std::string& hex) {
    if (hex.empty() || hex == ".") return true;
    return hex.find_first_not_of('0') == std::string::npos;
}

// One side of git's diff, as a table the comparison can open.
struct Side {
    bool present = false;
    std::string folder;
    std::string table;
    std::string label;        // "a/PATH", as the header names it
    std::string memoProblem;  // the memo values of this side are not available, and why
};

// The side git names by file and hash.  A working-tree file is read where
// it is; a blob git copied out is copied under its own name into a folder
// of scratch, its memo blob beside it when git can tell which that is.
Side sideOf(const std::string& repoPath, const std::string& file, const std::string& hex,
            const std::string& scratch, const char* name) {
    Side side;
    side.label = std::string(name) + "/" + repoPath;
    if (file == "/dev/null") return side;
    side.present = true;
    if (isNullHash(hex)) {
        side.folder = foxpro::parentFolder(file);
        side.table = foxpro::fileNameOf(file);
        const foxpro::TableReader reader(file);
        if (reader.layout().hasMemo() && reader.memoPath().empty())
            side.memoProblem = "no memo file beside " + file;
        return side;
    }
    side.folder = foxpro::joinPath(scratch, name);
    std::filesystem::create_directory(side.folder);
    side.table = foxpro::fileNameOf(repoPath);
    const std::string copy = foxpro::joinPath(side.folder, side.table);
    std::filesystem::copy_file(file, copy);
    foxpro::TableReader reader(copy);
    if (!reader.layout().hasMemo()) return side;
    const RevisionMemo memo = findRevisionMemo(
        repoPath, hex, memoCandidates(repoPath, memoNameOf(reader, side.table)), scratch);
    if (!memo.known) {
        side.memoProblem = memo.problem;
        return side;
    }
    writeWholeFile(foxpro::joinPath(side.folder, memo.name), memo.bytes);
    return side;
}

std::vector<std::string> memoFieldsOf(const Side& side) {
    std::vector<std::string> names;
    foxpro::TableReader reader(foxpro::joinPath(side.folder, side.table));
    for (int i = 0; i < reader.fieldCount(); ++i)
        if (reader.field(i).memo) names.push_back(reader.field(i).name);
    return names;
}

void note(OutputStream& out, const std::string& text) {
    out.write("# ");
    out.write(escapedCell(text));
    out.put('\n');
}

// A table that only one side has, whole, each line after its mark.
void writeWhole(OutputStream& out, const Side& side, std::string_view mark) {
    foxpro::TableReader reader(foxpro::joinPath(side.folder, side.table));
    if (!side.memoProblem.empty())
        note(out, "memo values of " + side.label + " are not available: " + side.memoProblem);
    writeTableTextForm(out, reader, mark);
}

data::SourceDescriptor folderSource(const std::string& folder, int codePage) {
    data::SourceDescriptor source;
    source.optionDBC = false;
    source.folderText = folder;
    source.codePage = codePage;
    return source;
}

void compareSides(OutputStream& out, const Side& old, const Side& now, const Arguments& args,
                  int codePage) {
    compare::CompareOptions options;
    for (const Side* side : {&old, &now})
        if (!side->memoProblem.empty())
            note(out, "memo values of " + side->label + " are not available: " + side->memoProblem);
    // Memo values one side cannot give are left out of the comparison
    // rather than compared with an unknown.
    if (!old.memoProblem.empty() || !now.memoProblem.empty()) {
        options.ignoredFields = memoFieldsOf(old);
        if (!options.ignoredFields.empty()) {
            std::string list;
            for (const auto& name : options.ignoredFields)
                list += (list.empty() ? "" : ", ") + name;
            note(out, "memo fields not compared: " + list);
        }
    }
    compare::RecordPairing pairing = pairingOf(args);
    if (pairing.by == compare::Pairing::Position) pairing.by = compare::Pairing::Content;
    CollectingDialogs dialogs;
    compare::CompareCallbacks callbacks;
    std::int64_t found = 0;
    callbacks.keepDifferences = false;
    callbacks.differenceFound = [&](const compare::Difference& d) {
        writeTextLine(out, d, false);
        ++found;
    };
    callbacks.structureFound = [&](const std::vector<compare::StructureDifference>& structure) {
        for (const auto& s : structure)
            writeTextLine(out, compare::structureLineText(s, now.table), false);
    };
    options.structure = true;
    const compare::CompareResult result = compare::Compare(
        folderSource(old.folder, codePage), folderSource(now.folder, codePage), old.table,
        now.table, localeFromEnvironment(), dialogs, callbacks, pairing, options);
    if (!result.completed()) {
        note(out, "could not compare: " + result.failure);
        warn("git-diff", result.failure);
        return;
    }
    if (found == 0 && result.structure.empty()) note(out, "no differences in the values");
    if (pairing.by == compare::Pairing::Auto)
        note(out, compare::pairingDescription(result.pairing));
    for (const auto& report : dialogs.reports) warn("git-diff", report);
    for (const auto& w : result.warnings) warnOnce("git-diff", w);
}

int runGitDiff(const Arguments& args) {
    const std::vector<std::string>& op = args.operands;
    if (op.size() != 7 && op.size() != 9)
        throw UsageError("expected git's seven operands (nine for a rename)");
    const std::string oldPath = op[0];
    const std::string newPath = op.size() == 9 ? op[7] : op[0];
    const int codePage = codePageOf(args);
    pairingOf(args);  // a --key without a field is a usage error before any output
    OutputStream out;
    out.write("diff --quorvel a/" + oldPath + " b/" + newPath + "\n");
    out.write(op[1] == "/dev/null" ? std::string("--- /dev/null\n") : "--- a/" + oldPath + "\n");
    out.write(op[4] == "/dev/null" ? std::string("+++ /dev/null\n") : "+++ b/" + newPath + "\n");
    try {
        ScratchFolder scratch;
        const Side old = sideOf(oldPath, op[1], op[2], scratch.path(), "a");
        const Side now = sideOf(newPath, op[4], op[5], scratch.path(), "b");
        if (!old.present && now.present)
            writeWhole(out, now, "+");
        else if (old.present && !now.present)
            writeWhole(out, old, "-");
        else if (old.present)
            compareSides(out, old, now, args, codePage);
    } catch (const std::exception& e) {
        // git stops the whole diff at a failing program: the problem goes
        // into the diff and on standard error, and the next file follows.
        note(out, std::string("could not compare: ") + e.what());
        warn("git-diff", e.what());
    }
    out.flush();
    return 0;
}

const VerbRegistration registration{{
    "git-diff",
    "git's external diff program for tables",
    "PATH OLD-FILE OLD-HEX OLD-MODE NEW-FILE NEW-HEX NEW-MODE",
    7,
    9,
    {keyOption(), encodingOption()},
    kDescription,
    kDetails,
    runGitDiff,
}};

}  // namespace

}  // namespace quorvel::cli
