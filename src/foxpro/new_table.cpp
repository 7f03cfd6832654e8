#include "foxpro/new_table.h"

#include <cstring>
#include <memory>

#include "foxpro/ascii_case.h"
#include "foxpro/data_source.h"
#include "foxpro/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/memo_file.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/folder_entries.h"
#include "foxpro/table_reader.h"
#include "foxpro/table_replacement.h"
#include "foxpro/temporary_files.h"

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
    const auto dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

// The files of a table called stem in folder: its .dbf, memo files,
// structural index and code-page file, whatever their letter case.
std::vector<std::string> filesOfTable(const std::string& folder, const std::string& stem) {
    std::vector<std::string> files;
    for (auto& entry : listFolder(folder)) {
        const auto dot = entry.rfind('.');
        if (dot == std::string::npos || !equalsNoCase(entry.substr(0, dot), stem)) continue;
        const std::string ext = lowerAscii(entry.substr(dot));
        if (ext == ".dbf" || ext == ".fpt" || ext == ".dbt" || ext == ".cdx" || ext == ".cpg")
            files.push_back(std::move(entry));
    }
    return files;
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
    return target;
}

void checkNewTable(const DataSource& source, const std::string& name, NewTableTarget& target,
                   bool replace, const std::vector<std::string>& keep) {
    target.existing = filesOfTable(target.folder, stemOf(target.tableFile));
    const std::string tablePath = target.folder + "/" + target.tableFile;
    // No file of what is there may be a file the writer reads, whatever
    // name or link leads to it.
    for (const auto& file : target.existing) {
        const auto identity = platform::identityOfPath(target.folder + "/" + file);
        if (!identity) continue;
        for (const auto& read : keep)
            if (platform::identityOfPath(read) == identity)
                refuse(name, file + " is " + fileNameOf(read) + ", which it reads from");
    }
    if (!platform::entryExists(tablePath)) return;
    if (!replace) refuse(name, target.tableFile + " already exists in " + target.folder);
    if (!platform::identityOfPath(tablePath) || !platform::namesRegularFile(tablePath))
        refuse(name, target.tableFile + " exists and is no table file; not replaced");
    if (source.isContainerTable(tablePath))
        refuse(name, target.tableFile + " is a table of the database container " +
                         fileNameOf(source.path()) + "; not replaced");
    std::unique_ptr<TableReader> old;
    try {
        old = std::make_unique<TableReader>(tablePath);
    } catch (const FoxProError& e) {
        refuse(name, target.tableFile + " exists and is not a readable table (" + e.description() +
                         "); not replaced");
    }
    if (!old->backlink().empty() || (old->tableFlags() & dbf::kTableFlagContainer))
        refuse(name, target.tableFile + " belongs to a database container; not replaced");
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
    for (const char* ext : {".dbf", ".fpt", ".cpg"})
        platform::removeFile(target_.folder + "/" + hiddenName_ + ext);
}

void NewTable::commit() {
    // The hidden files under the names they take; the table file last.
    const std::pair<const char*, const std::string*> files[] = {
        {".cpg", &target_.cpgFile}, {".fpt", &target_.memoFile}, {".dbf", &target_.tableFile}};
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
}

}  // namespace quorvel::foxpro
