#pragma once

// Helpers shared by the write-side tests: a folder source with a
// connection, and tables read back as text rows.

#include <string>
#include <vector>

#include "foxpro/sql/connection.h"
#include "support/table_builder.h"

namespace quorvel::foxpro::writetest {

// Every live record of a table file as the text forms of its values (null
// as "<null>").
std::vector<std::vector<std::string>> readRows(const std::string& dbfPath);

// The folder's file names, sorted.
std::vector<std::string> listFolder(const std::string& folder);

// Runs sql through a connection of its own to folder: the message of its
// failure, "" when it succeeds.
std::string runOnNewConnection(const std::string& folder, const std::string& sql);

class FolderSource {
  public:
    FolderSource();
    const test::TempFolder& dir() const { return dir_; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    Connection& connection();
    void execute(const std::string& sql) { connection().execute(sql); }
    // The message of the statement's failure ("" when it succeeds).
    std::string failure(const std::string& sql);

  private:
    test::TempFolder dir_;
    Connection connection_;
};

}  // namespace quorvel::foxpro::writetest
