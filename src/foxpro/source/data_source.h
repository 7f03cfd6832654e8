#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foxpro/read/file_names.h"

namespace quorvel::foxpro {

class TableReader;

// What an open connection reads from: a folder of free tables or a database
// container (.dbc).  Built by open(), which throws FoxProError when the path
// names nothing usable.  Table names are found without regard to case.
class DataSource {
  public:
    // A folder gives its free tables; a file (whatever its extension) is read
    // as a container.  codePage, when not 0, is the code page of every table
    // the source opens, whatever their headers say (the user's choice).
    // Throws "<path>: no such file or folder" when missing; a damaged
    // container throws the reader's error.
    static std::unique_ptr<DataSource> open(const std::string& path, int codePage = 0);

    ~DataSource();
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;

    bool isContainer() const { return container_; }
    // The chosen code page of the source's tables, 0 when each decides.
    int codePage() const { return codePage_; }
    const std::string& path() const { return path_; }  // as given
    // The folder that holds the tables: the folder itself, or the container's folder.
    const std::string& folder() const { return folder_; }

    // Folder: .dbf file names without extension, names starting with "~"
    // left out, sorted without regard to case.  Container: its tables in
    // container order.
    std::vector<std::string> tableNames() const;

    // The table file of a name (brackets already removed; a ".dbf" suffix is
    // accepted).  Throws FoxProError(kErrorFile, "no table named X in Y").
    std::string tablePath(std::string_view name) const;
    bool hasTable(std::string_view name) const;

    // Opens the named table read-only, with the container's long field names
    // for a container table.
    std::unique_ptr<TableReader> openTable(std::string_view name) const;

    // The container's long field names of a table, in column order; empty for
    // a free table or a table the container holds no field records for.
    std::vector<std::string> longFieldNames(std::string_view tableName) const;

    // True when this is a container that lists a table of that name (a
    // ".dbf" suffix accepted), wherever its file lies or whether it exists.
    // Every statement resolves such a name to the container's table, never
    // to a free table of the same name beside the container.
    bool namesContainerTable(std::string_view name) const;

    // True when the file at path is one of this container's tables (false
    // for every path of a folder source).
    bool isContainerTable(const std::string& path) const;

    // Where a table of this source with the given name is (or would be)
    // stored: folder() + "/" + name + ".dbf", or the existing file's path.
    std::string newTablePath(std::string_view name) const;

    // Every file a table of this source consists of, as paths: its .dbf and
    // whatever lies beside it under the same name (memo file, index), and
    // for a container source the container's files too.  What a writer
    // must never replace.  Empty when there is no such table.
    std::vector<std::string> tableFiles(std::string_view name) const;

    // Before the first write through this source (never when it is only
    // read): finishes the replacements and removes what writers that are
    // gone left in the folder (temporary_files.h).  Once per source.
    void prepareForWriting();
    // What that found and left alone (replacement journals it cannot
    // trust), one text each, for the caller to show as warnings.
    const std::vector<std::string>& writeWarnings() const { return writeWarnings_; }

    // Hidden table names that a NewTable of this source builds its table
    // under: a copy may create a table of such a name, which no statement
    // may otherwise (a leading '~' hides a table).
    void reserveHiddenTable(const std::string& name) { hidden_.push_back(name); }
    void releaseHiddenTable(const std::string& name);
    bool holdsHiddenTable(std::string_view name) const;

  private:
    DataSource() = default;
    void readContainer();

    struct ContainerTable {
        std::string name;  // as the container names it
        std::string path;  // full path of the table file ("" when missing)
        std::vector<std::string> longNames;
    };
    // The container's table of a name (brackets removed, ".dbf" accepted),
    // nullptr when it lists none or this is a folder.
    const ContainerTable* containerTable(std::string_view name) const;

    bool container_ = false;
    int codePage_ = 0;
    std::string path_;
    std::string folder_;
    std::vector<ContainerTable> tables_;  // container only
    std::string containerFile_;           // container only: the file opened
    std::vector<std::string> hidden_;
    bool prepared_ = false;
    std::vector<std::string> writeWarnings_;
};

}  // namespace quorvel::foxpro
