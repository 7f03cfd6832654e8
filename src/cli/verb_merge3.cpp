// quorvel-cli merge3: the three-way merge of an ancestor and two edited
// copies of it, also as git's merge driver.

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_common.h"
#include "cli/difference_formats.h"
#include "cli/driver_result.h"
#include "cli/driver_revisions.h"
#include "cli/json_reader.h"
#include "cli/revision_memo.h"
#include "cli/scratch_folder.h"
#include "cli/table_operands.h"
#include "cli/verbs.h"
#include "compare/auto_key.h"
#include "compare/merge3.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/platform/file_cache.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/text/text_form.h"
#include "foxpro/write/temporary_files.h"
#include "results/merge3_table.h"

namespace quorvel::cli {

namespace {

constexpr const char* kVerb = "merge3";

constexpr const char* kDescription =
    "Merges two edited copies of a table, OURS and THEIRS, against BASE, the table\n"
    "they both started from, into OUT: every change of either side is taken; where\n"
    "both sides changed one value differently, that is a conflict.  Each operand is a\n"
    "table file (customers.dbf) or SOURCE::TABLE, a table of a folder or container.\n"
    "  A value changed on one side only is taken from that side; the same new value\n"
    "on both sides is taken once; different new values: conflict both_changed.\n"
    "  A record added on one side is added (ours' records keep their order, theirs'\n"
    "new ones follow); added on both with one key and equal values, once; with\n"
    "different values: conflict both_added.  Deleted on one side and unchanged on\n"
    "the other: deleted; changed on the other: conflict deleted_and_changed.\n"
    "  A field added on one side is added with its values; dropped on one side and\n"
    "changed on the other: conflict dropped_and_changed.  A type or width change of\n"
    "one side applies when every value fits it.\n"
    "  The comparison options decide which values are equal.  OUT appears whole or\n"
    "not at all, with its memo file and ours' index rebuilt, and has ours' header\n"
    "(file type, flags, code page).\n"
    "  Records pair by content unless --key or --position is given.  As git's merge\n"
    "driver (--git %O %A %B %P) the result replaces %A in one step.  A table with\n"
    "memo fields, its memo file and its index (.cdx) get the same driver: each call\n"
    "merges the files of the three revisions (the others asked of git) and writes\n"
    "its own; the index is ours' rebuilt from the merged records.\n";

constexpr const char* kDetails =
    "Conflicts never resolve silently: --strategy fail (the default) writes nothing\n"
    "and lists them; ours and theirs keep that side in each.  --conflicts FILE\n"
    "writes them as JSON, one object per conflict: kind, key (the key's values;\n"
    "null without --key), field, records (its numbers in base, ours and theirs),\n"
    "base, ours, theirs (values as text, null for null or where a side has none),\n"
    "deleted or dropped (the side that did), and \"resolution\": null.  Set each\n"
    "resolution to \"ours\", \"theirs\", \"base\" or {\"value\": TEXT} (a field's own\n"
    "value; null for null) and give the file back with --resolutions FILE;\n"
    "conflicts left null stay conflicts.\n"
    "git configuration:\n"
    "  git config merge.quorvel.driver 'quorvel-cli merge3 --git %O %A %B %P'\n"
    "  echo '*.dbf merge=quorvel' >> .gitattributes\n"
    "  echo '*.fpt merge=quorvel' >> .gitattributes\n"
    "  echo '*.cdx merge=quorvel' >> .gitattributes\n"
    "and so on for .dbt, .scx and .sct, .vcx and .vct, .frx and .frt, ...  Where git\n"
    "merges the memo file, the index (or the table) without the driver, because one\n"
    "side only changed it, the file written agrees with the one git takes (an index\n"
    "taken must list the merged records' keys), or the merge stops with a conflict\n"
    "saying why (git keeps ours); where the other files' revisions cannot be told,\n"
    "it stops too.\n"
    "Exit status: 0 merged, 1 conflicts left (nothing written), 2 failure.\n";

// One operand: a table file, or SOURCE::TABLE.
struct Operand {
    std::string text;
    std::unique_ptr<foxpro::DataSource> source;
    std::string table;
    std::unique_ptr<foxpro::TableReader> reader;
    data::SourceDescriptor descriptor;
    std::string path;  // the table file
};

// The files of a table OUT that --force is to replace, none of them one of
// the inputs' files, let go of their cached pages on another thread while
// the tables are merged: the new table's pages then take that memory (on
// some systems memory given back to the host costs much more to take
// again), and replacing the old files frees nothing more.  Their bytes
// stay as they are, whatever the merge ends with.
std::jthread forgetReplacedFiles(const std::string& out, const Operand (&sides)[3]) {
    std::vector<foxpro::platform::FileIdentity> inputs;
    for (const auto& side : sides) {
        if (!side.source) return {};
        for (const auto& file : side.source->tableFiles(side.table))
            if (const auto id = foxpro::platform::identityOfPath(file)) inputs.push_back(*id);
    }
    std::vector<std::string> replaced;
    for (auto& name : siblingNames(out, {".dbf", ".fpt", ".dbt", ".cdx"})) {
        const auto id = foxpro::platform::identityOfPath(name);
        if (id && std::find(inputs.begin(), inputs.end(), *id) == inputs.end())
            replaced.push_back(std::move(name));
    }
    if (replaced.empty()) return {};
    return std::jthread([replaced = std::move(replaced)] {
        for (const auto& name : replaced) foxpro::platform::forgetCachedPages(name);
    });
}

Operand openOperand(const std::string& text, int codePage) {
    Operand op;
    op.text = text;
    const auto split = text.rfind("::");
    std::string sourcePath;
    if (split != std::string::npos) {
        sourcePath = text.substr(0, split);
        op.table = text.substr(split + 2);
        if (op.table.empty()) throw std::runtime_error(text + ": no table named after '::'");
    } else if (isTableFile(text)) {
        sourcePath = foxpro::parentFolder(text);
        op.table = foxpro::fileNameOf(text);
    } else if (foxpro::platform::pathKind(text) == foxpro::platform::PathKind::Missing) {
        throw std::runtime_error(text + ": no such file");
    } else {
        throw std::runtime_error(text + ": no table file; a table of a source is written " +
                                 "SOURCE::TABLE");
    }
    op.descriptor = sourceOf(sourcePath, codePage);
    op.source = foxpro::DataSource::open(op.descriptor.dataPath(), codePage);
    op.reader = op.source->openTable(op.table);
    op.path = op.reader->path();
    return op;
}

std::string jsonValue(const std::optional<foxpro::Value>& value) {
    if (!value || value->isNull()) return "null";
    return jsonQuoted(foxpro::textForm(*value, foxpro::TextLocale::c()));
}

std::string fieldName(const compare::Merge3Result& result, const compare::MergeConflict& c) {
    return c.field < 0 ? std::string() : result.fields[static_cast<std::size_t>(c.field)].info.name;
}

// The side that deleted the record, or dropped the field, of a conflict.
const char* missingSide(const compare::Merge3Result& result, const compare::MergeConflict& c) {
    if (c.kind == compare::ConflictKind::DroppedAndChanged)
        return result.fields[static_cast<std::size_t>(c.field)].index[1] < 0 ? "ours" : "theirs";
    return result.records[static_cast<std::size_t>(c.record)].record[1] == 0 ? "ours" : "theirs";
}

// The record numbers of a record's conflict in base, ours and theirs
// (null where a side has none), for finding it without a key.
std::string recordsJson(const compare::Merge3Result& result, const compare::MergeConflict& c) {
    if (c.record < 0) return "null";
    const auto& m = result.records[static_cast<std::size_t>(c.record)];
    std::string out = "[";
    for (int s = 0; s < 3; ++s)
        out += (s ? ", " : "") + (m.record[s] ? std::to_string(m.record[s]) : std::string("null"));
    return out + "]";
}

std::string conflictsJson(const compare::Merge3Result& result, bool byKey) {
    std::string out = "{\"conflicts\": [\n";
    for (std::size_t i = 0; i < result.conflicts.size(); ++i) {
        const auto& c = result.conflicts[i];
        out += "{\"kind\": \"" + std::string(compare::conflictKindName(c.kind)) + "\"";
        out += ", \"key\": " + (byKey && c.record >= 0 ? jsonQuoted(c.key) : std::string("null"));
        out += ", \"field\": " +
               (c.field < 0 ? std::string("null") : jsonQuoted(fieldName(result, c)));
        out += ", \"records\": " + recordsJson(result, c);
        out += ", \"base\": " + jsonValue(c.value[0]);
        out += ", \"ours\": " + jsonValue(c.value[1]);
        out += ", \"theirs\": " + jsonValue(c.value[2]);
        if (c.kind == compare::ConflictKind::DeletedAndChanged)
            out += ", \"deleted\": \"" + std::string(missingSide(result, c)) + "\"";
        if (c.kind == compare::ConflictKind::DroppedAndChanged)
            out += ", \"dropped\": \"" + std::string(missingSide(result, c)) + "\"";
        out += ", \"resolution\": null}";
        out += i + 1 < result.conflicts.size() ? ",\n" : "\n";
    }
    return out + "]}\n";
}

std::string conflictLine(const compare::Merge3Result& result, const compare::MergeConflict& c) {
    std::string line = std::string("conflict ") + compare::conflictKindName(c.kind);
    if (!c.key.empty())
        line += ", key " + c.key;
    else if (c.record >= 0)
        line += ", records " + recordsJson(result, c);
    if (c.field >= 0) line += ", field " + fieldName(result, c);
    if (c.kind == compare::ConflictKind::DeletedAndChanged ||
        c.kind == compare::ConflictKind::DroppedAndChanged)
        return line + " (" +
               (c.kind == compare::ConflictKind::DeletedAndChanged ? "deleted" : "dropped") +
               " by " + missingSide(result, c) + ")";
    return line + ": base " + jsonValue(c.value[0]) + ", ours " + jsonValue(c.value[1]) +
           ", theirs " + jsonValue(c.value[2]);
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Applies the resolutions of FILE, which must list the merge's conflicts
// in their order; returns how many it resolved (their entries are marked).
std::size_t applyResolutions(compare::Merge3Result& result, const std::string& path, bool byKey,
                             std::vector<bool>& resolved) {
    JsonValue doc;
    try {
        doc = parseJson(readWhole(path));
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
    const JsonValue* list = doc.member("conflicts");
    if (!list || list->kind != JsonValue::Kind::Array)
        throw std::runtime_error(path + ": no \"conflicts\" list");
    if (list->items.size() != result.conflicts.size())
        throw std::runtime_error(path + ": lists " + std::to_string(list->items.size()) +
                                 " conflicts; this merge has " +
                                 std::to_string(result.conflicts.size()));
    std::size_t count = 0;
    for (std::size_t i = 0; i < list->items.size(); ++i) {
        const JsonValue& entry = list->items[i];
        const auto& c = result.conflicts[i];
        const std::string where = path + ": conflict " + std::to_string(i + 1);
        const JsonValue* kind = entry.member("kind");
        const JsonValue* field = entry.member("field");
        const JsonValue* key = entry.member("key");
        const bool sameField = c.field < 0 ? (!field || field->kind == JsonValue::Kind::Null)
                                           : (field && field->text == fieldName(result, c));
        const bool sameKey = !byKey || c.record < 0 || (key && key->text == c.key);
        if (!kind || kind->text != compare::conflictKindName(c.kind) || !sameField || !sameKey)
            throw std::runtime_error(where + " is not this merge's " + conflictLine(result, c));
        const JsonValue* r = entry.member("resolution");
        if (!r || r->kind == JsonValue::Kind::Null) continue;
        compare::Resolution resolution;
        if (r->kind == JsonValue::Kind::String && r->text == "ours") {
            resolution.keep = compare::MergeSide::Ours;
        } else if (r->kind == JsonValue::Kind::String && r->text == "theirs") {
            resolution.keep = compare::MergeSide::Theirs;
        } else if (r->kind == JsonValue::Kind::String && r->text == "base") {
            resolution.keep = compare::MergeSide::Base;
        } else if (const JsonValue* v = r->member("value")) {
            resolution.keep = compare::MergeSide::Given;
            if (v->kind == JsonValue::Kind::Null) {
                resolution.value.kind = foxpro::Literal::Kind::Null;
            } else if (v->kind == JsonValue::Kind::String || v->kind == JsonValue::Kind::Number) {
                resolution.value.kind = v->kind == JsonValue::Kind::Number
                                            ? foxpro::Literal::Kind::Number
                                            : foxpro::Literal::Kind::Text;
                resolution.value.text = v->text;
            } else if (v->kind == JsonValue::Kind::Boolean) {
                resolution.value.kind = foxpro::Literal::Kind::Logical;
                resolution.value.logical = v->boolean;
            } else {
                throw std::runtime_error(where +
                                         ": a value is text, a number, true, false or null");
            }
        } else {
            throw std::runtime_error(where +
                                     ": the resolution is \"ours\", \"theirs\", \"base\" or "
                                     "{\"value\": ...}");
        }
        try {
            compare::resolveConflict(result, i, resolution);
        } catch (const std::invalid_argument& e) {
            throw std::runtime_error(where + ": " + e.what());
        }
        resolved[i] = true;
        ++count;
    }
    return count;
}

// git hands a merge driver one file of a table with memo fields or an
// index, the table, its memo file or its index, and merges the other paths
// on its own: the files of the three revisions are laid out as tables
// here, the others asked of git.
struct DriverJob {
    ScratchFolder scratch;
    DriverFile handed = DriverFile::Table;
    DriverRevisions revisions;
    std::array<std::string, 3> tables;  // base, ours, theirs
};

void layOutRevisions(DriverJob& job, const std::vector<std::string>& operands,
                     const std::array<std::vector<std::string>, 3>& names) {
    job.revisions =
        findDriverRevisions(operands[3], job.handed, {operands[0], operands[1], operands[2]}, names,
                            job.scratch.path());
    if (!job.revisions.known) throw std::runtime_error(job.revisions.problem);
    const std::string tableName = foxpro::fileNameOf(job.revisions.tablePath);
    const std::string memoName = foxpro::fileNameOf(job.revisions.memoPath);
    const char* const folders[3] = {"base", "ours", "theirs"};
    for (std::size_t s = 0; s < 3; ++s) {
        const DriverRevision& side = job.revisions.side[s];
        if (!side.table.present())
            throw std::runtime_error(std::string(folders[s]) + " holds no " +
                                     job.revisions.tablePath);
        const std::string folder = foxpro::joinPath(job.scratch.path(), folders[s]);
        std::error_code error;
        if (!std::filesystem::create_directory(folder, error))
            throw std::runtime_error(folder + ": cannot be made");
        job.tables[s] = foxpro::joinPath(folder, tableName);
        writeWholeFile(job.tables[s], side.table.bytes);
        if (side.memo.present())
            writeWholeFile(foxpro::joinPath(folder, memoName), side.memo.bytes);
        if (side.index.present())
            writeWholeFile(foxpro::joinPath(folder, foxpro::structuralIndexName(tableName)),
                           side.index.bytes);
    }
}

// How to merge the revisions of a table that the driver left to the user.
std::string byHand(const DriverJob& job, const std::string& path) {
    const auto& r = job.revisions;
    const std::string table = r.tablePath.empty() ? "the table of " + path : r.tablePath;
    const std::string at =
        r.known ? r.side[0].commit + ", " + r.side[1].commit + " and " + r.side[2].commit
                : "the merge base, ours and theirs";
    const std::string files = !r.memoPath.empty() && !r.indexPath.empty()
                                  ? " with its memo file and index"
                              : !r.indexPath.empty() ? " with its index"
                                                     : " with its memo file";
    return "to merge by hand, check out " + table + files + " at " + at +
           " and run quorvel-cli merge3 BASE OURS THEIRS -o OUT on the three copies";
}

// Writes bytes over the file at path in one step.
void writeOver(const std::string& path, const std::string& bytes) {
    const std::string folder = foxpro::parentFolder(path);
    const std::string hidden =
        foxpro::joinPath(folder.empty() ? "." : folder, foxpro::temporaryName(".tmp"));
    writeWholeFile(hidden, bytes);
    if (auto error = foxpro::platform::moveReplacing(hidden, path)) {
        foxpro::platform::removeFile(hidden);
        throw std::runtime_error(path + ": cannot put the merge in place: " + error.message());
    }
}

int runMerge3(const Arguments& args) {
    const int codePage = codePageOf(args);
    const bool git = args.has("git");
    const std::vector<std::string>& operands = args.operands;
    if (git != (operands.size() == 4))
        throw UsageError(git ? "--git takes %O %A %B %P" : "BASE OURS THEIRS, and -o OUT");
    if (git == args.has("output"))
        throw UsageError(git ? "--git writes over %A; no -o" : "-o OUT is missing");
    const std::string strategy = args.value("strategy", "fail");
    if (strategy != "fail" && strategy != "ours" && strategy != "theirs")
        throw UsageError("--strategy is fail, ours or theirs");

    compare::Merge3Options options;
    options.compare = compareOptionsOf(args);
    options.locale = foxpro::TextLocale::c();
    if (args.has("position") && (args.has("key") || args.has("align")))
        throw UsageError("--position excludes --key and --align");
    options.pairing = pairingOf(args);
    if (!args.has("key") && !args.has("position")) options.pairing.by = compare::Pairing::Content;

    // The scratch copies go after their readers (declared later, closed first).
    std::unique_ptr<DriverJob> job;
    Operand sides[3];
    try {
        const DriverFile handed = !git                       ? DriverFile::Table
                                  : isMemoPath(operands[3])  ? DriverFile::Memo
                                  : isIndexPath(operands[3]) ? DriverFile::Index
                                                             : DriverFile::Table;
        if (handed == DriverFile::Table)
            for (int s = 0; s < 3; ++s)
                sides[s] = openOperand(operands[static_cast<std::size_t>(s)], codePage);
        const Operand* withMemo = nullptr;
        bool withIndex = false;
        for (const auto& side : sides) {
            if (git && !withMemo && side.reader && side.reader->layout().hasMemo())
                withMemo = &side;
            withIndex = withIndex || (git && side.reader &&
                                      (side.reader->tableFlags() & foxpro::dbf::kTableFlagCdx));
        }
        if (handed != DriverFile::Table || withMemo || withIndex) {
            std::array<std::vector<std::string>, 3> names;
            if (handed == DriverFile::Table) {
                if (withMemo)
                    names[1] = memoCandidates(
                        operands[3],
                        memoNameOf(*withMemo->reader, foxpro::fileNameOf(operands[3])));
                names[2] = siblingNames(operands[3], {".cdx"});
            } else if (handed == DriverFile::Memo) {
                names[0] = tableCandidates(operands[3]);
                names[2] = siblingNames(operands[3], {".cdx"});
            } else {
                names[0] = siblingNames(operands[3], {".dbf"});
                names[1] = siblingNames(operands[3], {".fpt", ".dbt"});
            }
            for (auto& side : sides) {
                side.reader.reset();
                side.source.reset();
            }
            job = std::make_unique<DriverJob>();
            job->handed = handed;
            try {
                layOutRevisions(*job, operands, names);
            } catch (const std::runtime_error& e) {
                return failure(kVerb, operands[3] + ": not merged by git's driver: " + e.what() +
                                          "; git keeps ours; " + byHand(*job, operands[3]));
            }
            for (int s = 0; s < 3; ++s)
                sides[s] = openOperand(job->tables[static_cast<std::size_t>(s)], codePage);
        }
    } catch (const std::exception& e) {
        return failure(kVerb, e.what());
    }
    for (const auto& side : sides) warnAboutTable(kVerb, *side.reader);

    std::jthread forgetting;
    try {
        if (!git && args.has("force"))
            forgetting = forgetReplacedFiles(args.value("output"), sides);
    } catch (const std::exception&) {
        // Only a matter of speed: the merge goes on without it.
    }

    compare::Merge3Result result;
    try {
        if (options.pairing.by == compare::Pairing::Auto) {
            const compare::AutoKey key = compare::resolveAutoKey(
                sides[1].descriptor, sides[2].descriptor, sides[1].table, sides[2].table);
            options.pairing = key.pairing;
            // Without a key of its own a table pairs by content: position
            // only when asked.
            if (options.pairing.by == compare::Pairing::Position) {
                options.pairing.by = compare::Pairing::Content;
                options.pairing.note = "content (no primary or candidate key)";
            }
            printMessage(kVerb, compare::pairingDescription(options.pairing));
        }
        result = compare::merge3(*sides[0].reader, *sides[1].reader, *sides[2].reader, options);
    } catch (const std::exception& e) {
        return failure(kVerb, e.what());
    }
    for (const auto& note : result.notes) warn(kVerb, note);
    const bool byKey = options.pairing.by == compare::Pairing::Key;

    if (args.has("conflicts")) {
        try {
            writeTextTo(conflictsJson(result, byKey), args.value("conflicts"),
                        {sides[0].path, sides[1].path, sides[2].path});
        } catch (const std::exception& e) {
            return failure(kVerb, e.what());
        }
    }
    std::vector<bool> resolved(result.conflicts.size(), false);
    if (args.has("resolutions")) {
        try {
            applyResolutions(result, args.value("resolutions"), byKey, resolved);
        } catch (const std::exception& e) {
            return failure(kVerb, e.what());
        }
    }
    std::size_t open = 0;
    for (std::size_t i = 0; i < result.conflicts.size(); ++i) {
        if (resolved[i]) continue;
        if (strategy == "fail") {
            printMessage(kVerb, conflictLine(result, result.conflicts[i]));
            ++open;
        } else {
            compare::Resolution side;
            side.keep = strategy == "ours" ? compare::MergeSide::Ours : compare::MergeSide::Theirs;
            compare::resolveConflict(result, i, side);
        }
    }
    if (open > 0) {
        printMessage(kVerb, std::to_string(open) + (open == 1 ? " conflict" : " conflicts") +
                                "; nothing written (--strategy, --resolutions)");
        if (job) printMessage(kVerb, operands[3] + ": " + byHand(*job, operands[3]));
        return 1;
    }

    if (forgetting.joinable()) forgetting.join();
    results::Merge3Inputs inputs;
    for (int s = 0; s < 3; ++s) inputs.side[s] = sides[s].reader.get();
    std::string out;
    try {
        if (job) {
            out = operands[1];
            const std::string folder = foxpro::joinPath(job->scratch.path(), "merged");
            std::error_code error;
            if (!std::filesystem::create_directory(folder, error))
                throw std::runtime_error(folder + ": cannot be made");
            auto target = foxpro::DataSource::open(folder, codePage);
            const bool oursIndex = job->revisions.side[1].index.present();
            const std::vector<std::string> leftOut =
                results::writeMergedTable(result, inputs, *target, "merged", false, {},
                                          oursIndex ? job->tables[1] : std::string());
            const auto merged = target->openTable("merged");
            std::string bytes, why;
            // An index written without a tag of ours would lose it in a
            // clean merge; the script merge3 -o leaves beside it has no place
            // in a repository.
            if (job->handed == DriverFile::Index && !leftOut.empty())
                why = "the merged index cannot carry all of ours' tags (" + leftOut.front() + ")";
            if (!why.empty() ||
                !driverResult(job->revisions, job->handed,
                              {sides[0].reader.get(), sides[1].reader.get(), sides[2].reader.get()},
                              *merged, bytes, why)) {
                printMessage(kVerb, operands[3] + ": not merged: " + why + "; git keeps ours");
                printMessage(kVerb, operands[3] + ": " + byHand(*job, operands[3]));
                return 1;
            }
            writeOver(out, bytes);
        } else if (git) {
            out = operands[1];
            results::writeMergedTableOver(result, inputs, out, [&] {
                for (auto& side : sides) {
                    side.reader.reset();
                    side.source.reset();
                }
            });
        } else {
            out = args.value("output");
            const std::string folder = foxpro::parentFolder(out);
            auto target = foxpro::DataSource::open(folder.empty() ? "." : folder, codePage);
            std::vector<std::string> keep;
            for (const auto& side : sides)
                for (auto& file : side.source->tableFiles(side.table))
                    keep.push_back(std::move(file));
            for (const auto& text :
                 results::writeMergedTable(result, inputs, *target, foxpro::fileNameOf(out),
                                           args.has("force"), keep, sides[1].path))
                warn(kVerb, text);
        }
    } catch (const std::exception& e) {
        return failure(kVerb, e.what());
    }
    std::int64_t records = 0;
    for (const auto& m : result.records) records += m.kept ? 1 : 0;
    if (!git)
        std::printf("%s: %lld records, %zu conflicts resolved\n", out.c_str(),
                    static_cast<long long>(records), result.conflicts.size());
    return 0;
}

const VerbRegistration registration{{
    kVerb,
    "merge two edited copies of a table against the table they started from",
    "BASE OURS THEIRS -o OUT",
    3,
    4,
    {{"output", 'o', "OUT", "the merged table (a file name; .dbf optional)"},
     {"strategy", 0, "fail|ours|theirs", "what becomes of conflicts (default fail)"},
     {"conflicts", 0, "FILE", "write the conflicts as JSON ('-': standard output)"},
     {"resolutions", 0, "FILE", "resolve conflicts as FILE (--conflicts, edited) says"},
     {"git", 0, "", "git's merge driver: %O %A %B %P, the result over %A"},
     {"force", 0, "", "replace an existing table OUT (with its memo file,\nindex and .cpg)"},
     {"position", 0, "", "pair records by position"},
     keyOption(),
     alignOption(),
     ignoreOption(),
     ignoreTrailingBlanksOption(),
     ignoreCaseOption(),
     toleranceOption(),
     encodingOption()},
    kDescription,
    kDetails,
    runMerge3,
}};

}  // namespace

}  // namespace quorvel::cli
