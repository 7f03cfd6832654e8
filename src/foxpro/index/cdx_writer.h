#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel::foxpro {

class FileSink;
class NewFileSet;
class TableReader;
struct IndexTag;

// A tag to build: what its header holds.
struct TagDefinition {
    std::string name;
    std::string keyExpression;
    std::string forExpression;  // "" when none
    bool unique = false;
    bool candidate = false;
    bool descending = false;
    std::string collation;  // "" (or "MACHINE") for machine order, the only one built

    // The definition of a tag an index holds.
    static TagDefinition of(const IndexTag& tag);
};

// What a build made of the tags it was given.
struct IndexBuild {
    std::vector<std::string> written;  // names of the tags written, in order
    // One line per tag left out, saying why:
    // "tag COMPNAME: collation GENERAL is not supported".
    std::vector<std::string> leftOut;
    bool fileWritten() const { return !written.empty(); }
};

// Builds a structural compound index of table as Visual FoxPro writes one:
// the tag directory, then per tag its header and a compact B-tree in
// 512-byte nodes made bottom-up from its sorted keys.  Every stored record
// has a key, deleted ones too, unless the tag's FOR clause leaves it out;
// equal keys stand in record order; a unique tag keeps the first record
// of each key; a candidate tag whose keys are not unique is left out.  The
// keys are stored ascending in every tag (a descending one is read
// backwards).  Tags that cannot be built are left out with the reason;
// createFile is called once, when the first tag has been built, and the
// file is written through the sink it returns (an empty new file), so that
// no file is made when no tag can be.  Throws FoxProError when the table
// cannot be read or the file cannot be written.
IndexBuild writeCompoundIndex(const TableReader& table, const std::vector<TagDefinition>& tags,
                              const std::function<FileSink&()>& createFile);

// The same, the file being finalName of files: written now under its
// hidden name and put in place with the other new files by files.commit().
// Nothing is added to files when no tag can be built.
IndexBuild writeCompoundIndex(const TableReader& table, const std::vector<TagDefinition>& tags,
                              NewFileSet& files, const std::string& finalName);

}  // namespace quorvel::foxpro
