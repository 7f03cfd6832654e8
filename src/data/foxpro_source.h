#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/source_descriptor.h"
#include "data/string_list.h"
#include "frame/dialogs.h"

namespace quorvel::data {

// The operations of one source, read from the descriptor that the start
// window owns at the moment of the call.  The start window's model offers
// them by source number (GetDBName(n), ...).

// The container path when the source is a container, else "".
std::string GetDBName(const SourceDescriptor& source);

// "" for a container source; else the folder text with '/' appended when it
// does not already end in one (an empty text gives "/").
std::string GetPath(const SourceDescriptor& source);

// True when path names an existing folder; never reports anything.
bool IsFolder(const std::string& path);

// The text of the message shown for a folder source whose folder text is
// not a folder.
std::string invalidFolderMessage(const std::string& folderText);

// True when the source can be used: a container whose file exists, or a
// folder holding at least one table file whose name does not begin with
// "~".  Only looks at the file system.  For a folder text that is not a
// folder it shows invalidFolderMessage (OK, no icon, application title).
// Runs under the error trap "FoxPro.IsValidFoxProConnection".
bool IsValidFoxProConnection(const SourceDescriptor& source, frame::Dialogs& dialogs);

// Fills list with the tables of the source: cleared first, left empty when
// the source is not valid.  Container: through DbcTableReader; folder: the
// "*.dbf" files less their extension.  Runs under the error trap
// "FoxPro.AddTablesToFoxproListbox".
void AddTablesToFoxproListbox(const SourceDescriptor& source, StringList& list,
                              frame::Dialogs& dialogs);

// Every file of a table of the source: the table, its memo file and index,
// and the container's files for a container source.  What the report and
// the new table must never replace.  Empty when the source or the table
// cannot be opened.
std::vector<std::string> SourceTableFiles(const SourceDescriptor& source, const std::string& table);

// Provider check.  createConnection stands for creating the data-access
// connection object and throws (foxpro::FoxProError or other) when it
// cannot; the default creates a foxpro::Connection and checks that the code
// page converters it needs (1252, 437, 850, 1250, 1251) are available.
// A failure numbered 3706 or whose description contains "provider cannot be
// found" shows the provider message (Yes/No) and, on Yes, opens the two
// download pages; any other failure shows nothing.  False on every failure.
bool IsProviderInstalled(frame::Dialogs& dialogs,
                         const std::function<void()>& createConnection = {});

// The seven paragraphs of the provider message, joined by CR LF CR LF.
std::string providerMessage();

inline constexpr const char* kDownloadPage2010 =
    "https://www.quorvel.example/downloads/database-engine-2010";
inline constexpr const char* kDownloadPage2016 =
    "https://www.quorvel.example/downloads/database-engine-2016";

}  // namespace quorvel::data
