#include "foxpro/source/new_table.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/format/table_set.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/folder_entries.h"
#include "foxpro/read/memo_file.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/carried_index.h"
#include "foxpro/source/data_source.h"
#include "foxpro/write/atomic_file.h"
#include "foxpro/write/table_replacement.h"
#include "foxpro/write/temporary_files.h"

namespace quorvel::foxpro {

namespace {

// The longest file name that Linux file systems take (in bytes) and NTFS
// (in UTF-16 units, of which a UTF-8 name never has more than bytes).
constexpr std::size_t kMaxFileName = 255;

[[noreturn]] void refuse(const std::string& name, const std::string& why) {
    throw FoxProError(kErrorInvalidArgument, "cannot create table " + name + ": " + why);
}

// A new table's name becomes a file name: refuse what cannot be one, or
// what would hide it (a leading "~" keeps a table out of every list).
void checkNewTableName(const std::string& name) {
    if (name.empty()) refuse("'" + name + "'", "the name is empty");
    auto no = [&](const std::string& why) { refuse("'" + name + "'", why); };
    if (name.find_first_not_of(' ') == std::string::npos) no("the name is blank");
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) no("the name holds a control character");
        if (std::strchr("/\\:*?\"<>|", c))
            no(std::string("the name holds '") + static_cast<char>(c) +
               "', which a file name cannot");
    }
    if (name == "." || name == "..") no("the name is no file name");
    if (name.front() == '~') no("a name starting with '~' would hide the table");
    if (name.back() == '.' || name.back() == ' ') no("the name ends with a blank or a point");
    if (name.size() + 4 > kMaxFileName) no("the name is too long for a file name");
}

std::string stemOf(const std::string& file) {
    return std::string(stemOfFileName(file));
}

bool isTableFile(const std::string& file) {
    return lowerAscii(file).ends_with(".dbf");
}

bool sameFolder(const std::string& a, const std::string& b) {
    const auto first = platform::identityOfPath(a);
    const auto second = platform::identityOfPath(b);
    return first && second ? first == second : a == b;
}

// "a.fpt", "a.cdx and a.fpt", "a.cdx, a.cpg and a.fpt".
std::string listText(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

}  // namespace

NewTableTarget locateNewTable(const DataSource& source, const std::string& name) {
    if (!source.holdsHiddenTable(name)) checkNewTableName(name);
    // The name selects the container's table in every statement: a free
    // table of that name could never be read back through this source.
    if (source.namesContainerTable(name))
        refuse(name, "the database container " + fileNameOf(source.path()) +
                         " has a table of that name; not replaced");
    std::string path = source.newTablePath(name);
    NewTableTarget target;
    target.folder = parentFolder(path);
    target.tableFile = fileNameOf(path);
    if (!lowerAscii(target.tableFile).ends_with(".dbf")) target.tableFile += ".dbf";
    // The copy is a Visual FoxPro table: its memo file is an .fpt.
    target.memoFile = memoFileName(target.tableFile, dbf::MemoKind::Fpt);
    target.cpgFile =
        stemOf(target.tableFile) + (target.tableFile.ends_with(".DBF") ? ".CPG" : ".cpg");
    target.indexFile = structuralIndexName(target.tableFile);
    return target;
}

std::vector<std::string> existingFilesOf(const NewTableTarget& target) {
    const std::string stem = stemOf(target.tableFile);
    std::vector<std::string> files;
    for (auto& entry : listFolder(target.folder))
        if (isFileOfTableSet(stem, entry)) files.push_back(std::move(entry));
    // In one order whatever the folder's: the table file, other .dbf files, the rest.
    std::sort(files.begin(), files.end());
    std::stable_partition(files.begin(), files.end(), isTableFile);
    const auto table = std::find(files.begin(), files.end(), target.tableFile);
    if (table != files.end()) std::rotate(files.begin(), table, table + 1);
    return files;
}

bool newTableIsTableOf(const NewTableTarget& target, const DataSource& source,
                       const std::string& tableName) {
    const std::string stem = stemOf(target.tableFile);
    const std::string table =
        lowerAscii(tableName).ends_with(".dbf") ? stemOf(tableName) : tableName;
    if (equalsNoCase(stem, table) && sameFolder(source.folder(), target.folder)) return true;
    std::vector<platform::FileIdentity> present;
    for (const auto& file : existingFilesOf(target))
        if (const auto identity = platform::identityOfPath(target.folder + "/" + file))
            present.push_back(*identity);
    for (const auto& file : source.tableFiles(tableName)) {
        if (isFileOfTableSet(stem, fileNameOf(file)) &&
            sameFolder(parentFolder(file), target.folder))
            return true;
        const auto identity = platform::identityOfPath(file);
        if (identity && std::find(present.begin(), present.end(), *identity) != present.end())
            return true;
    }
    return false;
}

void checkNewTable(const DataSource& source, const std::string& name, NewTableTarget& target,
                   bool replace, const std::vector<std::string>& keep) {
    target.existing = existingFilesOf(target);
    // No file of what is there may be a file the writer reads, whatever
    // name or link leads to it.
    for (const auto& file : target.existing) {
        const auto identity = platform::identityOfPath(target.folder + "/" + file);
        if (!identity) continue;
        for (const auto& read : keep)
            if (platform::identityOfPath(read) == identity)
                refuse(name, file + " is " + fileNameOf(read) + ", which it reads from");
    }
    // A FIFO, a device or a folder under a name of the set is never moved
    // aside and removed, whatever the user allowed.
    for (const auto& file : target.existing)
        if (!platform::namesRegularFile(target.folder + "/" + file))
            refuse(name, file + " in " + target.folder + " is not a regular file; not replaced");
    if (target.existing.empty()) return;
    if (!replace) {
        // A table is named by its .dbf; lone files of the set by each name.
        if (target.existing.front() == target.tableFile)
            refuse(name, target.tableFile + " already exists in " + target.folder);
        refuse(name,
               listText(target.existing) +
                   (target.existing.size() == 1 ? " already exists in " : " already exist in ") +
                   target.folder);
    }
    for (const auto& file : target.existing) {
        if (!isTableFile(file)) continue;
        const std::string tablePath = target.folder + "/" + file;
        if (source.isContainerTable(tablePath))
            refuse(name, file + " is a table of the database container " +
                             fileNameOf(source.path()) + "; not replaced");
        std::unique_ptr<TableReader> old;
        try {
            old = std::make_unique<TableReader>(tablePath);
        } catch (const FoxProError& e) {
            refuse(name, file + " exists and is not a readable table (" + e.description() +
                             "); not replaced");
        }
        if (!old->backlink().empty() || (old->tableFlags() & dbf::kTableFlagContainer))
            refuse(name, file + " belongs to a database container; not replaced");
    }
}

NewTable::NewTable(DataSource& source, const std::string& name, bool replace,
                   std::vector<std::string> keep)
    : source_(source), name_(name), replace_(replace), keep_(std::move(keep)) {
    target_ = locateNewTable(source_, name_);
    lock_ = NameLock::take(target_.folder, target_.tableFile, AdvisoryLock::Wait::No);
    if (!lock_) refuse(name_, target_.tableFile + " is being made by another merge or copy");
    source_.prepareForWriting();
    checkNewTable(source_, name_, target_, replace_, keep_);
    hiddenName_ = temporaryName("");
    source_.reserveHiddenTable(hiddenName_);
}

NewTable::~NewTable() {
    source_.releaseHiddenTable(hiddenName_);
    if (committed_) return;
    for (const char* ext : {".dbf", ".fpt", ".dbt", ".cdx", ".cpg"})
        platform::removeFile(target_.folder + "/" + hiddenName_ + ext);
}

void NewTable::useDbtMemo() {
    target_.memoFile = memoFileName(target_.tableFile, dbf::MemoKind::Dbt3);
    memoExtension_ = ".dbt";
}

void NewTable::carryIndexOf(std::string table1Name, bool alwaysScript) {
    table1Name_ = std::move(table1Name);
    alwaysScript_ = alwaysScript;
}

void NewTable::carryIndexFrom(std::string table1Path, bool alwaysScript) {
    table1Path_ = std::move(table1Path);
    alwaysScript_ = alwaysScript;
}

std::string NewTable::buildIndex() {
    if (table1Name_.empty() && table1Path_.empty()) return {};
    const std::string hidden = target_.folder + "/" + hiddenName_;
    platform::removeFile(hidden + ".cdx");
    const auto table1 = table1Path_.empty() ? source_.openTable(table1Name_)
                                            : std::make_unique<TableReader>(table1Path_);
    const std::string container =
        source_.isContainer() && table1Path_.empty() ? fileNameOf(source_.path()) : "";
    CarriedIndex carried =
        carryStructuralIndex(*table1, hidden + ".dbf", hidden + ".cdx", stemOf(target_.tableFile),
                             container, alwaysScript_);
    indexMessages_ = std::move(carried.messages);
    return carried.script;
}

void NewTable::writeScript(const std::string& script) {
    const std::string file =
        stemOf(target_.tableFile) + (target_.tableFile.ends_with(".DBF") ? ".PRG" : ".prg");
    const std::string hidden = target_.folder + "/" + temporaryName(".prg");
    {
        FileSink sink = FileSink::createNew(hidden, file);
        sink.append(script);
        sink.sync();
        sink.close();
    }
    if (auto error = platform::moveReplacing(hidden, target_.folder + "/" + file)) {
        platform::removeFile(hidden);
        throw FoxProError(kErrorFile,
                          file + ": cannot put the new file in place: " + error.message());
    }
    scriptNote_ = (file + ": the FoxPro commands that restore what " + target_.tableFile +
                   " could not carry");
}

void NewTable::commit() {
    const std::string script = buildIndex();
    // The hidden files under the names they take; the table file last.
    const std::pair<const char*, const std::string*> files[] = {{".cpg", &target_.cpgFile},
                                                                {memoExtension_, &target_.memoFile},
                                                                {".cdx", &target_.indexFile},
                                                                {".dbf", &target_.tableFile}};
    std::vector<FileMove> place;
    for (const auto& [ext, finalName] : files) {
        const std::string file = hiddenName_ + ext;
        const std::string path = target_.folder + "/" + file;
        if (!platform::entryExists(path)) continue;
        if (auto error = platform::syncFile(path))
            throw FoxProError(kErrorFile, target_.tableFile + ": cannot write: " + error.message());
        place.push_back({file, *finalName});
    }
    if (place.empty() || place.back().to != target_.tableFile)
        throw FoxProError(kErrorFile, name_ + ": the new table was not made");
    // Again under the name's lock: what is there now is what goes.
    checkNewTable(source_, name_, target_, replace_, keep_);
    replaceFiles(target_.folder, target_.tableFile, target_.existing, place);
    committed_ = true;
    // Beside the table, once it is there: it only helps to restore it.
    if (!script.empty()) writeScript(script);
}

}  // namespace quorvel::foxpro
