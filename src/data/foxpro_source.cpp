#include "data/foxpro_source.h"

#include <algorithm>
#include <cctype>

#include "data/dbc_table_reader.h"
#include "data/file_services.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/connection.h"
#include "foxpro/text/code_page.h"
#include "frame/app_info.h"
#include "frame/error_trap.h"
#include "frame/window_helpers.h"

namespace quorvel::data {

namespace {

// The names of a folder's table files that count: "*.dbf" files whose name
// does not begin with "~" and whose full path holds "dbf".
template <typename Each>
void forEachTableFile(const std::string& folder, Each&& each) {
    for (const auto& name : ListFiles(folder, "*.dbf")) {
        if (!name.empty() && name[0] == '~') continue;  // editor and temporary copies
        std::string base = folder;
        if (base.empty() || base.back() != '/') base += '/';
        if (foxpro::lowerAscii(base + name).find("dbf") != std::string::npos) each(name);
    }
}

void createDefaultConnection() {
    foxpro::Connection connection;
    connection.setMode(foxpro::kModeReadWrite);
    // The tables' text is converted through these code pages; without them
    // the reading layer could not work, which is a missing provider for us.
    for (int codePage : {1252, 437, 850, 1250, 1251}) {
        if (!foxpro::canConvertCodePage(codePage)) {
            throw foxpro::FoxProError(
                foxpro::kErrorProviderNotFound,
                "Provider cannot be found: no converter for code page " + std::to_string(codePage));
        }
    }
}

}  // namespace

std::string GetDBName(const SourceDescriptor& source) {
    return source.optionDBC ? source.dbcPath : std::string();
}

std::string GetPath(const SourceDescriptor& source) {
    if (source.optionDBC) return {};
    std::string path = source.folderText;
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

bool IsFolder(const std::string& path) {
    return !path.empty() && foxpro::platform::pathKind(path) == foxpro::platform::PathKind::Folder;
}

std::string invalidFolderMessage(const std::string& folderText) {
    return "Free Table Folder " + folderText + " input is not a valid folder. Please correct.";
}

bool IsValidFoxProConnection(const SourceDescriptor& source, frame::Dialogs& dialogs) {
    frame::ErrorTrap trap(dialogs, "FoxPro.IsValidFoxProConnection");
    bool valid = false;
    if (source.optionDBC) {
        trap.step([&] {
            const std::string path = GetDBName(source);
            valid = !path.empty() && frame::FileExists(path) && !IsFolder(path);
        });
        return valid;
    }
    bool folder = false;
    trap.step([&] {
        folder = IsFolder(source.folderText);
        if (!folder) {
            dialogs.message(invalidFolderMessage(source.folderText), frame::MessageButtons::Ok,
                            frame::MessageIcon::None, frame::SetApplicationTitle());
        }
    });
    if (!folder) return false;
    trap.step(
        [&] { forEachTableFile(source.folderText, [&](const std::string&) { valid = true; }); });
    return valid;
}

void AddTablesToFoxproListbox(const SourceDescriptor& source, StringList& list,
                              frame::Dialogs& dialogs) {
    frame::ErrorTrap trap(dialogs, "FoxPro.AddTablesToFoxproListbox");
    trap.step([&] { list.clear(); });
    bool valid = false;
    trap.step([&] { valid = IsValidFoxProConnection(source, dialogs); });
    if (!valid) return;

    if (source.optionDBC) {
        const std::string path = GetDBName(source);
        DbcTableReader reader;
        list.clear();
        int16_t count = 0;
        trap.at(104, [&] { count = reader.TableCount(path); });
        for (int16_t i = 1; i <= count; ++i) {
            trap.at(106, [&] { list.add(reader.TableName(path, i)); });
        }
        return;
    }

    std::string folder = GetPath(source);
    folder.pop_back();  // the separator GetPath added or found
    trap.at(108, [&] {
        forEachTableFile(folder, [&](const std::string& name) {
            // A file named just ".dbf" leaves no name to select the table by.
            if (name.size() > 4) list.add(name.substr(0, name.size() - 4));
        });
    });
}

std::string providerMessage() {
    const char* pieces[] = {
        "Error #3706: Provider cannot be found. It may not be properly installed.",
        "You are getting this error because:",
        "1. Microsoft Access is not installed on your computer.",
        "2. A set of Microsoft components to transfer data is not installed on your computer.",
        "You need to download and install Microsoft Access Database Engine 2010 or 2016 to solve "
        "this problem.",
        "Would you like me to open the Microsoft site now so you can do this?",
    };
    std::string text;
    for (const char* piece : pieces) text += std::string(piece) + "\r\n\r\n";
    return text +
           "(If you have any further questions please email a screenshot of this error "
           "message to " +
           frame::kSupportAddress + ")";
}

std::vector<std::string> SourceTableFiles(const SourceDescriptor& source,
                                          const std::string& table) {
    try {
        return foxpro::DataSource::open(source.dataPath())->tableFiles(table);
    } catch (const foxpro::FoxProError&) {
        return {};
    }
}

bool IsProviderInstalled(frame::Dialogs& dialogs, const std::function<void()>& createConnection) {
    int number = 0;
    std::string description;
    try {
        if (createConnection) {
            createConnection();
        } else {
            createDefaultConnection();
        }
        return true;
    } catch (const foxpro::FoxProError& e) {
        number = e.number();
        description = e.what();
    } catch (const std::exception& e) {
        description = e.what();
    } catch (...) {
    }
    if (number == foxpro::kErrorProviderNotFound ||
        foxpro::lowerAscii(description).find("provider cannot be found") != std::string::npos) {
        const auto answer = dialogs.message(providerMessage(), frame::MessageButtons::YesNo,
                                            frame::MessageIcon::None, frame::SetApplicationTitle());
        if (answer == frame::Answer::Yes) {
            dialogs.openInShell(kDownloadPage2010);
            dialogs.openInShell(kDownloadPage2016);
        }
    }
    return false;
}

}  // namespace quorvel::data
