#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::foxpro {

class TableReader;

// A field renamed on the way into a free table: the container's long name
// and the ten-character name the free table has.
struct FieldRename {
    std::string longName;
    std::string freeName;
};

// The fields whose names differ between table1 and its copy, by position.
std::vector<FieldRename> renamedFields(const TableReader& table1, const TableReader& copy);

// expression with every field name of renames written as its free name
// ("UPPER(companyname)" -> "UPPER(companynam)"); function names, .NOT.
// style operators and string literals stay as they are.
std::string renameFieldsIn(std::string_view expression, const std::vector<FieldRename>& renames);

// What carrying a table's structural index over to its copy made.
struct CarriedIndex {
    bool written = false;               // the copy's .cdx was written
    std::vector<std::string> messages;  // one per tag left out, and the script's line
    std::string script;                 // the .prg's text, "" when none is needed
};

// Builds the structural index of the copy at copyPath (a free table, its
// records final) as cdxPath, from the tags of table1's structural index
// (none: nothing happens).  The tags are rebuilt from the copy's records
// with its field names; a tag that cannot be built is left out with a
// message, and a script is made that restores what was not carried (tags
// left out, long field names through container), also when wanted
// (alwaysScript, then with every tag).  tableName and container (the
// container file, "" for a free table #1) are as the script names them.
// Sets the copy's index flag when the .cdx is written.  Throws FoxProError
// when a file cannot be written; an index of table1 that cannot be read is
// a message, not a failure.
CarriedIndex carryStructuralIndex(const TableReader& table1, const std::string& copyPath,
                                  const std::string& cdxPath, const std::string& tableName,
                                  const std::string& container, bool alwaysScript);

}  // namespace quorvel::foxpro
