#include "results/source_merge.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

#include "compare/difference_list.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/format/table_set.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/path_text.h"
#include "foxpro/read/file_names.h"
#include "foxpro/source/data_source.h"
#include "foxpro/source/merged_records.h"
#include "foxpro/source/source_copy.h"
#include "foxpro/write/new_folder.h"
#include "results/merge.h"

namespace quorvel::results {

namespace {

using Status = TableMergeOutcome::Status;

bool listed(const std::vector<std::string>& names, const std::string& name) {
    for (const auto& n : names)
        if (foxpro::equalsNoCase(n, name)) return true;
    return false;
}

std::string partnerOf(const std::vector<std::string>& names, const std::string& name) {
    for (const auto& n : names)
        if (foxpro::equalsNoCase(n, name)) return n;
    return "";
}

// The engine's reports, their first lines kept (the rest is for windows).
class KeptReports : public frame::Dialogs {
  public:
    frame::Answer message(const std::string& text, frame::MessageButtons buttons,
                          frame::MessageIcon icon, const std::string&) override {
        if (icon != frame::MessageIcon::None)
            reports.push_back(text.substr(0, text.find_first_of("\r\n")));
        return buttons == frame::MessageButtons::Ok ? frame::Answer::Ok : frame::Answer::No;
    }
    std::vector<std::string> reports;
};

// A name for the one-table merge's result in the copy's folder that no
// table of the copy and no file there has.
std::string scratchTableName(const foxpro::DataSource& copy) {
    const auto entries = foxpro::listFolder(copy.folder());
    for (int n = 1;; ++n) {
        const std::string name = "quorvel_merged_" + std::to_string(n);
        bool taken = copy.namesContainerTable(name);
        for (const auto& entry : entries)
            taken = taken || foxpro::isFileOfTableSet(name, entry) ||
                    foxpro::equalsNoCase(entry, name + ".prg");
        if (!taken) return name;
    }
}

// Whether path is folder or lies inside it, links followed.
bool inside(const std::string& path, const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(foxpro::platform::pathFromText(path), ec);
    if (ec) return false;
    const fs::path f = fs::weakly_canonical(foxpro::platform::pathFromText(folder), ec);
    if (ec) return false;
    const fs::path rel = p.lexically_relative(f);
    return !rel.empty() && *rel.begin() != "..";
}

void removeTableSet(const std::string& folder, const std::string& stem) {
    for (const auto& entry : foxpro::listFolder(folder))
        if (foxpro::isFileOfTableSet(stem, entry) || foxpro::equalsNoCase(entry, stem + ".prg"))
            foxpro::platform::removeFile(foxpro::joinPath(folder, entry));
}

class SourceMerge {
  public:
    SourceMerge(const SourceMergeRequest& request, const SourceMergeCallbacks& callbacks)
        : request_(request), callbacks_(callbacks) {}

    SourceMergeOutcome run() {
        try {
            build();
        } catch (const foxpro::FoxProError& e) {
            outcome_.made = false;
            outcome_.failure = e.description();
        } catch (const std::exception& e) {
            outcome_.made = false;
            outcome_.failure = e.what();
        }
        if (outcome_.stopped) outcome_.failure.clear();
        return outcome_;
    }

  private:
    bool stopRequested() {
        if (!outcome_.stopped && callbacks_.stopRequested && callbacks_.stopRequested())
            outcome_.stopped = true;
        return outcome_.stopped;
    }

    bool wanted(const std::string& name) const {
        return (request_.onlyTables.empty() || listed(request_.onlyTables, name)) &&
               !listed(request_.excludedTables, name);
    }

    void build() {
        const auto source1 =
            foxpro::DataSource::open(request_.source1.dataPath(), request_.source1.codePage);
        const auto source2 =
            foxpro::DataSource::open(request_.source2.dataPath(), request_.source2.codePage);
        const std::vector<std::string> names1 = source1->tableNames();
        const std::vector<std::string> names2 = source2->tableNames();
        if (stopRequested()) return;
        // The sources' folders are only read: the copy goes elsewhere.
        for (const auto* source : {source1.get(), source2.get()})
            if (inside(request_.intoFolder, source->folder()))
                throw foxpro::FoxProError(foxpro::kErrorFile,
                                          request_.intoFolder + ": lies in the folder of " +
                                              source->path() + ", which is only read");
        foxpro::NewFolder folder(request_.intoFolder);
        const std::string copyPath = foxpro::copySourceFiles(*source1, folder.path());
        copy_ = request_.source1;
        (copy_.optionDBC ? copy_.dbcPath : copy_.folderText) = copyPath;
        copySource_ = foxpro::DataSource::open(copyPath, request_.source1.codePage);

        int count = 0, index = 0;
        for (const auto& name : names1) count += wanted(name) ? 1 : 0;
        for (const auto& name : names2) count += wanted(name) && !listed(names1, name) ? 1 : 0;
        for (const auto& name : names1) {
            if (stopRequested()) return;
            TableMergeOutcome t;
            t.name = name;
            if (!wanted(name)) {
                t.status = Status::NotCompared;
            } else {
                if (callbacks_.progress) callbacks_.progress(++index, count, name);
                const std::string name2 = partnerOf(names2, name);
                if (name2.empty())
                    t.status = Status::OnlyInSource1;
                else
                    mergeTable(t, name2);
            }
            if (outcome_.stopped) return;
            done(std::move(t));
        }
        for (const auto& name : names2) {
            if (!wanted(name) || listed(names1, name)) continue;
            if (stopRequested()) return;
            if (callbacks_.progress) callbacks_.progress(++index, count, name);
            TableMergeOutcome t;
            t.name = name;
            t.status = Status::LeftOut;
            if (request_.addNewTables) {
                try {
                    t.notes = foxpro::copyAsFreeTable(*source2, name, copySource_->folder());
                    t.status = Status::AddedAsFree;
                } catch (const foxpro::FoxProError& e) {
                    t.status = Status::Failed;
                    t.message = e.description();
                }
            }
            done(std::move(t));
        }
        if (stopRequested()) return;
        copySource_.reset();
        folder.commit();
        outcome_.made = true;
    }

    void done(TableMergeOutcome t) {
        if (callbacks_.tableDone) callbacks_.tableDone(t);
        outcome_.tables.push_back(std::move(t));
    }

    compare::CompareOptions optionsFor(const std::string& name) const {
        compare::CompareOptions options = request_.options;
        options.ignoredFields.clear();
        for (const auto& field : request_.options.ignoredFields) {
            const auto dot = field.find('.');
            if (dot != std::string::npos && foxpro::equalsNoCase(field.substr(0, dot), name))
                options.ignoredFields.push_back(field.substr(dot + 1));
        }
        return options;
    }

    // The table of the copy against source #2's; when they differ, the
    // one-table merge of the two, whose records the copy's table takes.
    void mergeTable(TableMergeOutcome& t, const std::string& name2) {
        KeptReports dialogs;
        compare::CompareCallbacks compareCallbacks;
        compareCallbacks.processEvents = callbacks_.processEvents;
        const compare::CompareResult result = compare::Compare(
            copy_, request_.source2, t.name, name2, request_.locale, dialogs, compareCallbacks,
            request_.pairing,
            request_.optionsFor ? request_.optionsFor(t.name, name2) : optionsFor(t.name));
        t.pairing = result.pairing;
        for (const auto& w : result.warnings) t.notes.push_back(w);
        for (const auto& duplicate : result.duplicateKeys)
            t.notes.push_back(compare::duplicateKeyText(duplicate));
        if (!result.completed()) {
            t.status = Status::Failed;
            t.message = result.failure;
            return;
        }
        // What the comparison reported and went on from.
        for (auto& report : dialogs.reports) t.notes.push_back(std::move(report));
        dialogs.reports.clear();
        if (result.differences.found() == 0) {
            t.status = Status::Identical;
            return;
        }
        const ListOfKind fieldList(result.differences, compare::LineList::FieldDifferences,
                                   request_.fieldChanges);
        const ListOfKind addedList(result.differences, compare::LineList::AddedDeleted,
                                   request_.addedRecords);
        MergeRequest merge;
        merge.source1 = copy_;
        merge.source2 = request_.source2;
        merge.Table1Name = t.name;
        merge.Table2Name = name2;
        merge.newTableName = scratchTableName(*copySource_);
        MergeCallbacks mergeCallbacks;
        mergeCallbacks.processEvents = callbacks_.processEvents;
        mergeCallbacks.stopRequested = [this] { return stopRequested(); };
        mergeCallbacks.failed = [&t](const std::string& line, const std::string& why) {
            t.failures.push_back(line.empty() ? why : line + ": " + why);
        };
        // What the merge says of the scratch table's index counts only when
        // the table takes the scratch table whole; its script goes with it.
        std::vector<std::string> mergeWarnings;
        mergeCallbacks.warning = [&](const std::string& text) {
            if (text.find(merge.newTableName) == std::string::npos) mergeWarnings.push_back(text);
        };
        const MergeOutcome merged =
            MergeIntoNewTable(merge, fieldList, addedList, dialogs, mergeCallbacks);
        const std::string folder = copySource_->folder();
        if (merged.stopped) {
            removeTableSet(folder, merge.newTableName);
            return;
        }
        if (!merged.tableMade) {
            t.status = Status::Failed;
            t.message = t.failures.empty() ? "the merged table was not made" : t.failures.back();
            removeTableSet(folder, merge.newTableName);
            return;
        }
        try {
            foxpro::TakenRecords taken = foxpro::takeMergedRecords(
                *copySource_, t.name, foxpro::joinPath(folder, merge.newTableName + ".dbf"));
            if (taken.wholeTable)
                for (auto& w : mergeWarnings) t.notes.push_back(std::move(w));
            for (auto& note : taken.messages) t.notes.push_back(std::move(note));
            t.status = Status::Merged;
            t.fieldsUpdated = merged.fieldsUpdated;
            t.recordsAdded = merged.recordsAdded;
            t.linesFailed = merged.linesFailed;
        } catch (const foxpro::FoxProError& e) {
            removeTableSet(folder, merge.newTableName);
            // A table left part way would make the copy a lie: nothing is made.
            if (e.number() != foxpro::kErrorInvalidArgument) throw;
            t.status = Status::Failed;
            t.message = e.description();
        }
        removeTableSet(folder, merge.newTableName);
    }

    const SourceMergeRequest& request_;
    const SourceMergeCallbacks& callbacks_;
    SourceMergeOutcome outcome_;
    data::SourceDescriptor copy_;
    std::unique_ptr<foxpro::DataSource> copySource_;
};

}  // namespace

bool SourceMergeOutcome::someFailed() const {
    for (const auto& t : tables)
        if (t.status == TableMergeOutcome::Status::Failed || t.linesFailed > 0) return true;
    return false;
}

SourceMergeOutcome MergeSources(const SourceMergeRequest& request,
                                const SourceMergeCallbacks& callbacks) {
    const SourceMergeRequest fixed = request;
    return SourceMerge(fixed, callbacks).run();
}

}  // namespace quorvel::results
