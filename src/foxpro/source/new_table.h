#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foxpro/format/dbf_format.h"
#include "foxpro/write/name_lock.h"

namespace quorvel::foxpro {

class DataSource;

// Where a new table goes in a source, and what is there already.
struct NewTableTarget {
    std::string folder;
    std::string tableFile;  // "orders.dbf", or the existing table file's name as spelt
    std::string memoFile;   // the memo file's name beside it ("orders.fpt", ".FPT" by ".DBF")
    std::string cpgFile;    // the code-page file's name beside it ("orders.cpg")
    std::string indexFile;  // the structural index's name beside it ("orders.cdx")
    std::vector<std::string> existing;  // files of the table there now: .dbf, memo, index, .cpg
};

// The target of a new table called name (".dbf" optional): a free table in
// the source's folder (a container's folder for a container source).
// Throws FoxProError(kErrorInvalidArgument, "cannot create table NAME: ...")
// when name cannot be a table's file name; a hidden name ("~...") only when
// the source has it reserved (NewTable).
NewTableTarget locateNewTable(const DataSource& source, const std::string& name);

// The files of target's table that are there now (names in target.folder):
// its .dbf, memo files, index and .cpg, whatever their letter case, the
// table file first.
std::vector<std::string> existingFilesOf(const NewTableTarget& target);

// Whether the new table at target would be the table called tableName of
// source: that name (without case, ".dbf" or not) in the same folder, or
// one of the table's files (DataSource::tableFiles) in the same folder under
// a name of the new table's set (without case), or, where a file of that
// set exists, one of those files whatever name or link leads to it.
bool newTableIsTableOf(const NewTableTarget& target, const DataSource& source,
                       const std::string& tableName);

// Checks that a new table may go to target before anything is written, and
// fills target.existing.  Any file of the set there (a table, or a lone
// memo file, index or .cpg) is replaced only when replace is set, and then
// all of them go: no older index or .cpg stays beside the new table.  Never
// replaced: a file of the set that is not a regular file, a .dbf that is no
// readable free table, and any file that is one of keep (the tables the
// writer reads, with their memo files and containers), compared as files,
// links followed.  Throws FoxProError (kErrorInvalidArgument, "cannot create
// table NAME: ...") otherwise.
void checkNewTable(const DataSource& source, const std::string& name, NewTableTarget& target,
                   bool replace, const std::vector<std::string>& keep);

// A table built by statements (SELECT ... INTO TABLE, then UPDATE and
// INSERT) under a hidden name of the folder where it goes, and put in place
// under its own name only when it is complete: until commit() nobody sees
// it, and an earlier table of that name stays as it was.  Holds the name
// meanwhile, so that a second writer of it fails instead of mixing files.
// Without commit() the destructor removes what was built.  The source must
// outlive it.
class NewTable {
  public:
    // Throws FoxProError: the name is held by another writer ("NAME.dbf is
    // being made by another merge or copy"), or checkNewTable refuses it.
    NewTable(DataSource& source, const std::string& name, bool replace,
             std::vector<std::string> keep);
    ~NewTable();
    NewTable(const NewTable&) = delete;
    NewTable& operator=(const NewTable&) = delete;

    // The hidden name that statements use for the table until commit().
    const std::string& name() const { return hiddenName_; }

    // A dBase III memo file (name() + ".dbt") instead of an .fpt: the
    // table keeps that older type.
    void useDbtMemo();

    // Asks commit() to give the table the structural index of the table
    // called table1Name of the source (carried_index.h), rebuilt from the
    // records the table has then, and a script beside it (NAME.prg) of what
    // could not be carried, or always when alwaysScript.
    void carryIndexOf(std::string table1Name, bool alwaysScript);
    // The same for the table file at table1Path, wherever it lies.
    void carryIndexFrom(std::string table1Path, bool alwaysScript);

    // Puts the table on disk and then in place (table_replacement.h), memo
    // file and index with it, replacing what checkNewTable allowed.  Throws
    // FoxProError; the table is then not in place and nothing was replaced.
    void commit();

    // What carrying the index left out, and the script's line, once
    // commit() has run.
    const std::vector<std::string>& indexMessages() const { return indexMessages_; }
    // The line that tells of the script, "" when none was written.
    const std::string& scriptNote() const { return scriptNote_; }

  private:
    std::string buildIndex();  // the script's text, "" when none
    void writeScript(const std::string& script);

    DataSource& source_;
    std::string name_;
    bool replace_;
    std::vector<std::string> keep_;
    NewTableTarget target_;
    std::optional<NameLock> lock_;
    std::string hiddenName_;
    bool committed_ = false;
    const char* memoExtension_ = ".fpt";  // of the hidden memo file
    std::string table1Name_;              // whose index is carried, "" for none
    std::string table1Path_;              // or the table file whose index is carried
    bool alwaysScript_ = false;
    std::vector<std::string> indexMessages_;
    std::string scriptNote_;
};

}  // namespace quorvel::foxpro
