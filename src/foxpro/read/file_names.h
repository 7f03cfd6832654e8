#pragma once

#include <string>
#include <string_view>
#include <vector>

// Names of files in folders, as every reader and writer of the layer finds
// them: real folders hold "calls.dbf" beside "calls.FPT".

namespace quorvel::foxpro {

// The names in folder (platform::folderEntries); none when the folder does
// not exist.  A folder that cannot be listed for another reason (no
// permission, too many files open) throws FoxProError(kErrorFile,
// "<folder>: cannot list the folder: <reason>"): a file that may be there
// is never taken for one that is not.
std::vector<std::string> listFolder(const std::string& folder);

// The full path of the entry of folder whose name equals fileName without
// regard to letter case (an exact match preferred), or "" when there is
// none.  Throws as listFolder does.
// Real folders hold "calls.dbf" beside "calls.FPT" and "CUSTOMER.DBF" for a
// table named "customer".
std::string findFileNoCase(const std::string& folder, std::string_view fileName);

// The folder part of a path ("." when it has none) and the last component.
std::string parentFolder(const std::string& path);
std::string fileNameOf(const std::string& path);

// folder + "/" + name; a root ("/", "C:\\", "C:") takes the name as it is.
std::string joinPath(const std::string& folder, std::string_view name);

}  // namespace quorvel::foxpro
