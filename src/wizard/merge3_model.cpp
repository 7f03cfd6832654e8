#include "wizard/merge3_model.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "compare/auto_key.h"
#include "data/source_descriptor.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/read/file_names.h"
#include "foxpro/read/table_file.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/text/code_page_name.h"
#include "foxpro/text/text_form.h"
#include "foxpro/write/field_encoder.h"
#include "frame/app_info.h"
#include "frame/error_trap.h"
#include "results/merge3_table.h"

namespace quorvel::wizard {

using compare::MergeSide;

struct Merge3Model::Opened {
    data::SourceDescriptor descriptor;
    std::string table;
    std::unique_ptr<foxpro::DataSource> source;
    std::unique_ptr<foxpro::TableReader> reader;
};

struct Merge3Model::Working {
    explicit Working(Merge3Model& model) : model_(model) {
        model_.working_ = true;
        model_.stopRequested_ = false;
    }
    ~Working() {
        model_.working_ = false;
        if (model_.view.endProgress) model_.view.endProgress();
    }
    Working(const Working&) = delete;
    Working& operator=(const Working&) = delete;

  private:
    Merge3Model& model_;
};

namespace {

constexpr const char* kTableFilter = "FoxPro Tables (*.dbf)|*.dbf;*.DBF|All Files (*.*)|*.*|";

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> keyFieldsOf(const std::string& text) {
    std::vector<std::string> fields;
    std::string part;
    for (char c : text + ",") {
        if (c == ',' || c == ' ' || c == ';') {
            if (!part.empty()) fields.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    return fields;
}

// A value as one line of a list cell.
std::string cellText(const foxpro::Value& value, const foxpro::TextLocale& locale) {
    if (value.isNull()) return ".NULL.";
    std::string text = foxpro::textForm(value, locale);
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    // Fixed-width text is stored padded; the padding says nothing here.
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

const char* sideName(MergeSide side) {
    switch (side) {
        case MergeSide::Base: return "base";
        case MergeSide::Ours: return "ours";
        case MergeSide::Theirs: return "theirs";
        case MergeSide::Given: break;
    }
    return "";
}

}  // namespace

const char* conflictKindText(compare::ConflictKind kind) {
    switch (kind) {
        case compare::ConflictKind::BothChanged: return "both changed";
        case compare::ConflictKind::DeletedAndChanged: return "deleted and changed";
        case compare::ConflictKind::BothAdded: return "both added";
        case compare::ConflictKind::DroppedAndChanged: return "dropped and changed";
    }
    return "";
}

const char* Merge3Model::columnTitle(int column) {
    static const char* const titles[ColumnCount] = {"Key",    "Field", "Base", "Ours",
                                                    "Theirs", "Kind",  "Keep"};
    return column >= 0 && column < ColumnCount ? titles[column] : "";
}

const char* Merge3Model::boxName(int box) {
    static const char* const names[] = {"base", "ours", "theirs", "merged table"};
    return box >= 0 && box <= Output ? names[box] : "";
}

Merge3Model::Merge3Model(RunModel& run, frame::Dialogs& dialogs, const foxpro::TextLocale& locale,
                         frame::SettingsStore& store)
    : run_(run), dialogs_(dialogs), locale_(locale), store_(store) {}

Merge3Model::~Merge3Model() = default;

void Merge3Model::Form_Load() {
    frame::ErrorTrap trap(dialogs_, "Merge3.Form_Load");
    trap.step([&] {
        if (view.setUp) view.setUp();
    });
    trap.step([&] {
        if (view.setPairing) view.setPairing(pairing_);
    });
}

void Merge3Model::startFrom(const std::string& newName) {
    frame::ErrorTrap trap(dialogs_, "Merge3.startFrom");
    trap.step([&] {
        const auto fill = [&](int n, const std::string& text, int codePage) {
            BoxState& box = boxes_[n];
            if (!box.text.empty() && !box.fromRun) return;  // the user's choice
            if (box.text != text && n != Output) forgetRun();
            box = {text, codePage, true};
            if (view.setBoxText) view.setBoxText(n, text);
        };
        const std::string names[2] = {run_.Table1Name, run_.Table2Name};
        std::string oursFolder;
        for (int n : {1, 2}) {
            const data::SourceDescriptor& source = run_.source(n);
            const std::string& table = names[n - 1];
            if (table.empty() || (n == 2 && run_.side2Chosen())) continue;
            std::string text;
            if (source.optionDBC) {
                text = source.dbcPath + "::" + table;
                if (n == 1) oursFolder = foxpro::parentFolder(source.dbcPath);
            } else {
                text = foxpro::joinPath(source.folderText, table + ".dbf");
                try {
                    text = foxpro::DataSource::open(source.folderText)->newTablePath(table);
                } catch (const std::exception&) {
                    // Gone since the run: Run will say so.
                }
                if (n == 1) oursFolder = foxpro::parentFolder(text);
            }
            fill(n == 1 ? Ours : Theirs, text, source.codePage);
        }
        if (!newName.empty() && !oursFolder.empty()) {
            std::string name = newName;
            if (!foxpro::lowerAscii(name).ends_with(".dbf")) name += ".dbf";
            fill(Output, foxpro::joinPath(oursFolder, name), 0);
        }
    });
}

void Merge3Model::boxChange(int box, const std::string& text) {
    if (box < Base || box > Output || boxes_[box].text == text) return;
    boxes_[box] = {text, 0, false};
    if (box != Output) forgetRun();
}

void Merge3Model::browse(int box) {
    frame::ErrorTrap trap(dialogs_, "Merge3.browse");
    trap.step([&] {
        frame::FileDialogRequest request;
        request.filter = kTableFilter;
        request.fileName = boxes_[box].text.find("::") == std::string::npos ? boxes_[box].text : "";
        std::string path;
        if (box == Output) {
            request.title = "Merged table";
            path = dialogs_.saveFileName(request);
        } else {
            request.title = std::string("Table of ") + boxName(box);
            path = dialogs_.openFileName(request);
        }
        if (path.empty()) return;
        boxChange(box, path);
        if (view.setBoxText) view.setBoxText(box, path);
    });
}

void Merge3Model::choosePairing(compare::Pairing by) {
    if (by == pairing_) return;
    pairing_ = by;
    forgetRun();
}

void Merge3Model::keyFieldsChange(const std::string& text) {
    if (text == keyFieldsText_) return;
    keyFieldsText_ = text;
    if (pairing_ == compare::Pairing::Key) forgetRun();
}

void Merge3Model::forgetRun() {
    if (!result_ && !sides_) return;
    result_.reset();
    sides_.reset();
    kept_.clear();
    runOutcome_.clear();
    setOutcome("");
    if (view.conflictsChanged) view.conflictsChanged();
}

void Merge3Model::setOutcome(std::string text) {
    outcome_ = std::move(text);
    if (view.setOutcome) view.setOutcome(outcome_);
}

void Merge3Model::message(const std::string& text) {
    dialogs_.message(text, frame::MessageButtons::Ok, frame::MessageIcon::Exclamation,
                     frame::SetApplicationTitle());
}

bool Merge3Model::open(int box, Opened& opened) {
    const std::string text = trimmed(boxes_[box].text);
    const std::string which = std::string("The ") + boxName(box) + " table";
    if (text.empty()) {
        message("Choose the " + std::string(boxName(box)) +
                " table: a table file, or SOURCE::TABLE for a table of a folder or container.");
        return false;
    }
    std::string sourcePath;
    const auto split = text.rfind("::");
    if (split != std::string::npos) {
        sourcePath = text.substr(0, split);
        opened.table = text.substr(split + 2);
        if (opened.table.empty()) {
            message(which + " " + text + ": no table named after '::'.");
            return false;
        }
    } else {
        const auto kind = foxpro::platform::pathKind(text);
        if (kind == foxpro::platform::PathKind::Missing) {
            message(which + " " + text + ": no such file.");
            return false;
        }
        if (!foxpro::isTableFile(text)) {
            message(which + " " + text +
                    ": no table file; a table of a folder or container is written "
                    "SOURCE::TABLE.");
            return false;
        }
        sourcePath = foxpro::parentFolder(text);
        if (sourcePath.empty()) sourcePath = ".";
        opened.table = foxpro::fileNameOf(text);
        // Named as the table-choice window names it, so that the pair's
        // options saved there apply here.
        if (foxpro::lowerAscii(opened.table).ends_with(".dbf"))
            opened.table.resize(opened.table.size() - 4);
    }
    opened.descriptor.optionDBC =
        foxpro::platform::pathKind(sourcePath) == foxpro::platform::PathKind::RegularFile;
    (opened.descriptor.optionDBC ? opened.descriptor.dbcPath : opened.descriptor.folderText) =
        sourcePath;
    opened.descriptor.codePage = boxes_[box].codePage;
    try {
        opened.source = foxpro::DataSource::open(sourcePath, opened.descriptor.codePage);
        opened.reader = opened.source->openTable(opened.table);
    } catch (const std::exception& e) {
        message(which + " cannot be read: " + e.what());
        return false;
    }
    return true;
}

bool Merge3Model::pairingFor(const Opened* sides, compare::RecordPairing& pairing) {
    if (pairing_ == compare::Pairing::Key) {
        pairing.by = compare::Pairing::Key;
        pairing.keyFields = keyFieldsOf(keyFieldsText_);
        if (pairing.keyFields.empty()) {
            message("Name the key fields, such as ID, or ID, LINE for a key of two fields.");
            return false;
        }
        return true;
    }
    if (pairing_ == compare::Pairing::Auto) {
        try {
            pairing = compare::resolveAutoKey(sides[Ours].descriptor, sides[Theirs].descriptor,
                                              sides[Ours].table, sides[Theirs].table)
                          .pairing;
        } catch (const std::exception& e) {
            message("The table's own key cannot be told: " + std::string(e.what()));
            return false;
        }
        // Without a key of its own a table pairs by content, as on the
        // command line: by position only when asked.
        if (pairing.by != compare::Pairing::Position) return true;
        pairing.note = "content (no primary or candidate key)";
    }
    pairing.by = compare::Pairing::Content;
    return true;
}

void Merge3Model::Options_Click() {
    frame::BusyGuard busy(run_.busy);
    if (!busy) return;
    frame::ErrorTrap trap(dialogs_, "Merge3.Options_Click");
    trap.step([&] {
        auto sides = std::make_unique<Opened[]>(3);
        for (int box : {Ours, Theirs})
            if (!open(box, sides[box])) return;
        std::vector<std::string> fields;
        for (int f = 0; f < sides[Ours].reader->fieldCount(); ++f)
            fields.push_back(sides[Ours].reader->field(f).name);
        OptionsModel options(store_, sides[Ours].table, sides[Theirs].table, fields);
        if (!view.editOptions || !view.editOptions(options)) return;
        if (const std::string problem = options.accept(); !problem.empty()) {
            message(problem);
            return;
        }
        forgetRun();
    });
}

void Merge3Model::Run_Click() {
    frame::BusyGuard busy(run_.busy);
    if (!busy) return;
    frame::ErrorTrap trap(dialogs_, "Merge3.Run_Click");
    forgetRun();
    auto sides = std::make_unique<Opened[]>(3);
    bool opened = true;
    trap.step([&] {
        for (int box : {Base, Ours, Theirs})
            if (!(opened = open(box, sides[box]))) return;
    });
    if (!opened || trap.failures() > 0) return;
    compare::Merge3Options options;
    options.locale = locale_;
    if (!pairingFor(sides.get(), options.pairing)) return;
    std::vector<std::string> fields;
    for (int f = 0; f < sides[Ours].reader->fieldCount(); ++f)
        fields.push_back(sides[Ours].reader->field(f).name);
    options.compare = OptionsModel::saved(store_, sides[Ours].table, sides[Theirs].table);
    OptionsModel::forgetMissingFields(options.compare, fields);

    dialogs_.setPointer(frame::Pointer::Hourglass);
    auto result = std::make_unique<compare::Merge3Result>();
    bool stopped = false;
    {
        Working working(*this);
        compare::CompareCallbacks callbacks;
        callbacks.processEvents = view.processEvents;
        callbacks.counted = [this](std::int64_t done, std::int64_t total) {
            if (view.showProgress) view.showProgress("Merging", done, total);
        };
        trap.step([&] {
            try {
                *result = compare::merge3(*sides[Base].reader, *sides[Ours].reader,
                                          *sides[Theirs].reader, options, callbacks, stopping());
            } catch (const compare::Merge3Stopped&) {
                stopped = true;
                result.reset();
            } catch (const std::invalid_argument& e) {
                dialogs_.setPointer(frame::Pointer::Default);
                message(std::string("The tables cannot be merged: ") + e.what());
                result.reset();
            }
        });
    }
    dialogs_.setPointer(frame::Pointer::Default);
    if (stopped) setOutcome("Stopped: the tables were not merged.");
    if (!result || trap.failures() > 0) return;

    // What merges cleanly, in counts.
    std::int64_t records = 0, added = 0, fromTheirs = 0, fromBase = 0;
    for (const auto& m : result->records) {
        if (!m.kept) continue;
        ++records;
        if (m.record[0] == 0) {
            ++added;
        } else {
            ++fromBase;
            if (m.record[1] != 0) {
                // A field only theirs has takes theirs' values in every
                // record: no change of theirs to count.
                const auto row = result->row(m);
                for (std::size_t f = 0; f < row.size(); ++f) {
                    if (row[f] == MergeSide::Theirs && result->fields[f].index[1] >= 0) {
                        ++fromTheirs;
                        break;
                    }
                }
            }
        }
    }
    const std::int64_t deleted = sides[Base].reader->liveCount() - fromBase;
    std::string text = std::to_string(records) + " records merged: " + std::to_string(added) +
                       " added, " + std::to_string(deleted) + " deleted, " +
                       std::to_string(fromTheirs) + " taking changes of theirs; " +
                       std::to_string(result->conflicts.size()) +
                       (result->conflicts.size() == 1 ? " conflict." : " conflicts.");
    text += " " + compare::pairingDescription(options.pairing) + ".";
    text += tableWarnings(sides.get());
    for (const auto& note : result->notes) text += "\n" + note;
    kept_.assign(result->conflicts.size(), std::nullopt);
    given_.assign(result->conflicts.size(), foxpro::Literal{});
    givenText_.assign(result->conflicts.size(), std::string());
    result_ = std::move(result);
    sides_ = std::move(sides);
    runOutcome_ = text;
    setOutcome(text);
    if (view.conflictsChanged) view.conflictsChanged();
}

std::size_t Merge3Model::conflictCount() const {
    return result_ ? result_->conflicts.size() : 0;
}

std::size_t Merge3Model::openConflicts() const {
    return static_cast<std::size_t>(std::count(kept_.begin(), kept_.end(), std::nullopt));
}

std::optional<MergeSide> Merge3Model::kept(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= kept_.size()) return std::nullopt;
    return kept_[static_cast<std::size_t>(row)];
}

std::string Merge3Model::cell(int row, int column) const {
    if (!result_ || row < 0 || static_cast<std::size_t>(row) >= result_->conflicts.size())
        return {};
    const compare::MergeConflict& c = result_->conflicts[static_cast<std::size_t>(row)];
    switch (column) {
        case Key: {
            if (!c.key.empty()) return c.key;
            if (c.record < 0) return "(every record)";
            // Without a key, the record numbers of base, ours and theirs.
            const auto& m = result_->records[static_cast<std::size_t>(c.record)];
            std::string text = "records ";
            for (int s = 0; s < 3; ++s)
                text += (s ? " / " : "") +
                        (m.record[s] ? std::to_string(m.record[s]) : std::string("-"));
            return text;
        }
        case Field:
            return c.field < 0 ? "(whole record)"
                               : result_->fields[static_cast<std::size_t>(c.field)].info.name;
        case BaseValue:
        case OursValue:
        case TheirsValue: {
            const int s = column - BaseValue;
            if (c.value[s]) return cellText(*c.value[s], locale_);
            if (c.kind == compare::ConflictKind::DroppedAndChanged && c.record < 0)
                return s == 0 ? ""
                       : result_->fields[static_cast<std::size_t>(c.field)].index[s] < 0
                           ? "(dropped)"
                           : "(changed)";
            if (c.record >= 0 && result_->records[static_cast<std::size_t>(c.record)].record[s] == 0)
                return s == 0 ? "(none)" : "(deleted)";
            if (c.field >= 0) return "";
            return s == 0 ? "(as it was)" : "(changed)";
        }
        case Kind:
            return conflictKindText(c.kind);
        case Keep: {
            const auto& side = kept_[static_cast<std::size_t>(row)];
            if (side == MergeSide::Given)
                return "value: " + givenText_[static_cast<std::size_t>(row)];
            return side ? sideName(*side) : "";
        }
        default:
            return {};
    }
}

bool Merge3Model::allowed(std::size_t conflict, MergeSide side) const {
    if (side != MergeSide::Base) return true;
    const compare::MergeConflict& c = result_->conflicts[conflict];
    if (c.record < 0) return false;  // a dropped field: ours or theirs
    if (c.field < 0) return result_->records[static_cast<std::size_t>(c.record)].record[0] != 0;
    return c.value[0].has_value();
}

void Merge3Model::keep(const std::vector<int>& rows, MergeSide side) {
    if (!result_ || run_.busy.active()) return;
    if (rows.empty()) {
        message("Select the conflicts to keep that side in (or press All Ours or All Theirs).");
        return;
    }
    std::size_t refused = 0;
    for (int row : rows) {
        if (row < 0 || static_cast<std::size_t>(row) >= kept_.size()) continue;
        if (allowed(static_cast<std::size_t>(row), side))
            kept_[static_cast<std::size_t>(row)] = side;
        else
            ++refused;
    }
    if (view.conflictsChanged) view.conflictsChanged();
    if (refused > 0)
        message(std::to_string(refused) + (refused == 1 ? " conflict has" : " conflicts have") +
                " nothing of base to keep (a record or field base does not hold): keep ours or "
                "theirs there.");
}

void Merge3Model::giveValue(const std::vector<int>& rows) {
    if (!result_ || run_.busy.active()) return;
    if (rows.size() != 1 || rows[0] < 0 || static_cast<std::size_t>(rows[0]) >= kept_.size()) {
        message("Select the one conflict to type a value for.");
        return;
    }
    const auto row = static_cast<std::size_t>(rows[0]);
    const compare::MergeConflict& c = result_->conflicts[row];
    if (c.record < 0 || c.field < 0) {
        message(std::string(c.record < 0 ? "A dropped field" : "A whole record") +
                " is kept as ours or theirs has it, not as a value.");
        return;
    }
    const foxpro::FieldInfo& field = result_->fields[static_cast<std::size_t>(c.field)].info;
    if (!view.askValue) return;
    const std::string initial =
        kept_[row] == MergeSide::Given ? givenText_[row] : cell(rows[0], OursValue);
    const std::optional<std::string> typed = view.askValue(
        "The value of " + field.name + " (" + field.letter + ") in the merged table:", initial);
    if (!typed) return;
    foxpro::Literal value;
    value.kind = foxpro::Literal::Kind::Text;
    value.text = *typed;
    const std::string upper = foxpro::upperAscii(trimmed(*typed));
    if (upper == ".NULL.") {
        value.kind = foxpro::Literal::Kind::Null;
    } else if (field.letter == 'L' && !upper.empty()) {
        value.kind = foxpro::Literal::Kind::Logical;
        if (upper == "T" || upper == ".T." || upper == "Y" || upper == "TRUE") {
            value.logical = true;
        } else if (!(upper == "F" || upper == ".F." || upper == "N" || upper == "FALSE")) {
            message("The value does not fit " + field.name + ": a logical field takes T or F.");
            return;
        }
    }
    // Checked as writing checks it, into the storage the merged table has.
    const foxpro::TableReader& ours = *sides_[Ours].reader;
    const foxpro::TextStorage storage{ours.layout().codePage, ours.codePageConvertible()};
    try {
        foxpro::encodeField(field, storage, value,
                            "the merged table, conflict " + std::to_string(row + 1));
    } catch (const foxpro::FoxProError& e) {
        message(std::string("The value does not fit: ") + e.what());
        return;
    }
    kept_[row] = MergeSide::Given;
    given_[row] = value;
    givenText_[row] = value.kind == foxpro::Literal::Kind::Null ? ".NULL." : *typed;
    if (view.conflictsChanged) view.conflictsChanged();
}

void Merge3Model::keepAll(MergeSide side) {
    std::vector<int> rows(kept_.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
    keep(rows, side);
}

void Merge3Model::Write_Click() {
    frame::BusyGuard busy(run_.busy);
    if (!busy) return;
    frame::ErrorTrap trap(dialogs_, "Merge3.Write_Click");
    if (!result_) {
        message("Run the merge first: Write makes the table that Run shows.");
        return;
    }
    if (const std::size_t open = openConflicts(); open > 0) {
        message(std::to_string(open) + (open == 1 ? " conflict has" : " conflicts have") +
                " no side kept yet: keep ours, theirs or base for each (or All Ours, All "
                "Theirs) before writing.");
        return;
    }
    const std::string out = trimmed(boxes_[Output].text);
    if (out.empty()) {
        message("Choose the file of the merged table.");
        return;
    }
    trap.step([&] {
        compare::Merge3Result merged = *result_;
        for (std::size_t i = 0; i < kept_.size(); ++i) {
            compare::Resolution resolution;
            resolution.keep = *kept_[i];
            resolution.value = given_[i];
            compare::resolveConflict(merged, i, resolution);
        }
        const std::string folder = foxpro::parentFolder(out);
        const std::string name = foxpro::fileNameOf(out);
        std::unique_ptr<foxpro::DataSource> target;
        try {
            target = foxpro::DataSource::open(folder.empty() ? "." : folder);
        } catch (const std::exception& e) {
            message("The merged table " + out + " cannot be made there: " + e.what());
            return;
        }
        std::vector<std::string> keep;
        for (int s : {Base, Ours, Theirs})
            for (auto& file : sides_[s].source->tableFiles(sides_[s].table))
                keep.push_back(std::move(file));
        const std::string path = target->newTablePath(name);
        for (const auto& file : keep) {
            const auto identity = foxpro::platform::identityOfPath(file);
            if (identity && identity == foxpro::platform::identityOfPath(path)) {
                message("The merged table " + out + " is one of the tables merged: choose another "
                        "name.");
                return;
            }
        }
        bool replace = false;
        if (!target->tableFiles(name).empty()) {
            if (dialogs_.message("A table named " + foxpro::fileNameOf(path) +
                                     " already exists in " + foxpro::parentFolder(path) +
                                     ". Replace it?",
                                 frame::MessageButtons::YesNoDefaultNo, frame::MessageIcon::None,
                                 frame::SetApplicationTitle()) != frame::Answer::Yes)
                return;
            replace = true;
        }
        results::Merge3Inputs inputs;
        for (int s : {Base, Ours, Theirs}) inputs.side[s] = sides_[s].reader.get();
        std::vector<std::string> leftOut;
        dialogs_.setPointer(frame::Pointer::Hourglass);
        try {
            Working working(*this);
            results::MergeCallbacks callbacks;
            callbacks.processEvents = view.processEvents;
            callbacks.progress = [this](std::int64_t done, std::int64_t total) {
                if (view.showProgress) view.showProgress("Writing", done, total);
            };
            callbacks.stopRequested = stopping();
            leftOut = results::writeMergedTable(merged, inputs, *target, name, replace, keep,
                                                sides_[Ours].reader->path(), callbacks);
        } catch (const compare::Merge3Stopped&) {
            dialogs_.setPointer(frame::Pointer::Default);
            setOutcome(runOutcome_ + "\nStopped: " + path + " was not written.");
            return;
        } catch (const std::exception& e) {
            dialogs_.setPointer(frame::Pointer::Default);
            message("The merged table " + out + " was not written: " + e.what());
            return;
        }
        dialogs_.setPointer(frame::Pointer::Default);
        setOutcome(runOutcome_);
        std::int64_t records = 0;
        for (const auto& m : merged.records) records += m.kept ? 1 : 0;
        std::string done = "The merged table " + path + " is written: " + std::to_string(records) +
                           " records, " + std::to_string(kept_.size()) +
                           (kept_.size() == 1 ? " conflict" : " conflicts") + " resolved.";
        for (const auto& text : leftOut) done += "\n" + text;
        dialogs_.message(done, frame::MessageButtons::Ok, frame::MessageIcon::None,
                         frame::SetApplicationTitle());
    });
}

void Merge3Model::Stop_Click() {
    if (working_) stopRequested_ = true;
}

std::function<bool()> Merge3Model::stopping() {
    return [this] { return stopRequested_ || (view.ending && view.ending()); };
}

std::string Merge3Model::tableWarnings(const Opened* sides) const {
    // Told once each, as the command line tells them: one table's warning
    // about a code page that cannot be converted stands for all three.
    std::vector<std::string> lines;
    const auto add = [&lines](std::string line) {
        if (std::find(lines.begin(), lines.end(), line) == lines.end())
            lines.push_back(std::move(line));
    };
    bool codePageTold = false, unmarkedTold = false;
    for (int s : {Base, Ours, Theirs}) {
        const foxpro::TableReader& reader = *sides[s].reader;
        for (const auto& warning : reader.warnings()) {
            if (!reader.codePageConvertible() && warning.find("code page") != std::string::npos) {
                if (codePageTold) continue;
                codePageTold = true;
            }
            add(warning);
        }
        if (reader.unmarkedNonAsciiText() && !unmarkedTold) {
            unmarkedTold = true;
            add(reader.fileName() + ": no code page mark: read as " +
                foxpro::codePageName(reader.layout().codePage));
        }
    }
    std::string text;
    for (const auto& line : lines) text += "\n" + line;
    return text;
}

void Merge3Model::Back_Click() {
    if (run_.busy.active()) return;
    frame::ErrorTrap trap(dialogs_, "Merge3.Back_Click");
    trap.step([&] {
        if (view.showNewTable) view.showNewTable();
        if (view.hide) view.hide();
    });
}

}  // namespace quorvel::wizard
