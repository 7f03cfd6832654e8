#pragma once

#include <string>

namespace quorvel::frame {

// True when the last-change time of path can be read; never throws.
bool FileExists(const std::string& path);

// The folder that holds the running program, without a trailing '/'.
std::string applicationFolder();

// Where the files that belong beside the program (samples, hand pointer,
// skin) are found: the program's own folder when they stand there (a build
// folder), else <program folder>/../share/quorvel when that exists (an
// installed program, laid out as the system expects).
std::string applicationFilesFolder(const std::string& programFolder);

// Files next to the program.
std::string handCursorPath(const std::string& appFolder);            // appFolder + "/HAND-M.CUR"
std::string skinPath(const std::string& appFolder);                  // appFolder + "/x/o.cjs"
std::string sampleFolder(const std::string& appFolder, int source);  // "/Samples", "/Samples1"

// The program's folder among the user's data: $XDG_DATA_HOME/quorvel, or
// ~/.local/share/quorvel when that is not set (a relative value is ignored,
// as the base-directory rules ask).
std::string userDataFolder();

// The skin step that this platform can do: true when the skin file exists,
// in which case the start window takes the button-face colours (the only
// step without a skin component).  False: the window keeps its colours.
bool ApplySkin(const std::string& appFolder);

}  // namespace quorvel::frame
