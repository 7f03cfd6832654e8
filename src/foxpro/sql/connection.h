#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foxpro/format/value.h"
#include "foxpro/sql/sql.h"

namespace quorvel::foxpro {

class DataSource;  // what an open connection reads from: a folder or a container
class TargetTable;

inline constexpr int kModeReadWrite = 3;

// Stand-in for the outside data-access connection: opened from a connection
// string "Provider=vfpoledb.1;Data Source=...;Collating Sequence=...;", to
// which "Code Page=<number or name>;" may add the code page of every table
// the connection reads and writes (code_page_name.h).
// A data source that is a folder gives its free tables; a .dbc file gives
// the tables of that container.  Source tables are only ever opened for
// reading; only a table that a statement creates or names as its target is
// written.  Failures throw FoxProError.
class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setMode(int mode) { mode_ = mode; }
    int mode() const { return mode_; }

    // Whether SELECT ... INTO TABLE replaces an existing table of the new
    // name (the default) or fails.
    void setReplaceTables(bool replace) { replaceTables_ = replace; }

    // Keys are matched without case; a value may be quoted with '"' so that
    // it can hold ';'.  Another provider than vfpoledb(.1) fails with 3706.
    void open(const std::string& connectionString);
    void close();
    bool isOpen() const { return source_ != nullptr; }

    // Runs one statement of the dialect.  For a statement that returns rows
    // (SELECT COUNT(*), SELECT ...) the result is the first column of the
    // first row; for any other it is null.
    Value execute(const std::string& sql);
    // The same for a statement already parsed: a batch that builds its
    // statements whole need not write and read back their texts.
    Value execute(const Statement& statement);

    // Keeps the table that UPDATE and INSERT statements name `table` (name
    // without case) open, and locked against other writers, from the first
    // such statement until releaseTable() or close(): a batch of statements
    // on one table reads its header and delete flags once, not once each.
    // Only what these statements write changes the table meanwhile.
    // With buffered, the held table takes the statements' writes in memory
    // (target_table.h's bufferWrites()) until finishTable() writes them:
    // for a table that nobody sees until the batch is done, such as the
    // new table of a merge.  Without it each statement is on the file when
    // it returns.
    void holdTable(const std::string& table, bool buffered = false);
    // Writes what a buffered held table kept back (throws FoxProError when
    // that fails) and lets the table go.
    void finishTable();
    // Lets the held table go; what a buffered one kept back is dropped.
    void releaseTable();

    // Table names of the source: file names without extension for a folder
    // (names starting with "~" left out), container order for a .dbc.
    std::vector<std::string> tableNames() const;

    // The open source; throws kErrorObjectClosed when not open.
    DataSource& source() const;

  private:
    int mode_ = kModeReadWrite;
    bool replaceTables_ = true;
    TargetTable& writeTarget(const std::string& table);
    bool namesHeldTable(const std::string& table) const;

    std::unique_ptr<DataSource> source_;
    std::string heldName_;
    bool heldBuffered_ = false;
    std::unique_ptr<TargetTable> held_;
};

}  // namespace quorvel::foxpro
