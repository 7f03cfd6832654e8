#pragma once

#include <deque>
#include <string>
#include <vector>

#include "shell/dialogs.h"

namespace quorvel::test {

// A dialog seam for tests: records every call with what it showed and
// answers from queues.  An empty answer queue gives the "nothing chosen"
// answer (OK for OK boxes, No for Yes/No boxes, "" for file and folder
// dialogs), so a test that forgot to script an answer never blocks.
class ScriptedDialogs : public shell::Dialogs {
  public:
    struct Message {
        std::string text;
        shell::MessageButtons buttons;
        shell::MessageIcon icon;
        std::string caption;
    };
    struct FileDialog {
        bool save;
        shell::FileDialogRequest request;
    };
    struct FolderDialog {
        std::string title;
        std::string startFolder;
    };

    // Queues.
    std::deque<shell::Answer> answers;
    std::deque<std::string> fileNames;  // open and save dialogs
    std::deque<std::string> folders;    // folder dialog
    bool shellSucceeds = true;

    // Records.
    std::vector<Message> messages;
    std::vector<FileDialog> fileDialogs;
    std::vector<FolderDialog> folderDialogs;
    std::vector<std::string> opened;       // openInShell targets
    std::vector<shell::Pointer> pointers;  // every setPointer call

    shell::Answer message(const std::string& text, shell::MessageButtons buttons,
                          shell::MessageIcon icon, const std::string& caption) override;
    std::string openFileName(const shell::FileDialogRequest& request) override;
    std::string saveFileName(const shell::FileDialogRequest& request) override;
    std::string chooseFolder(const std::string& title, const std::string& startFolder) override;
    bool openInShell(const std::string& folderOrAddress) override;
    void setPointer(shell::Pointer pointer) override;

    // Texts of all messages so far, in order.
    std::vector<std::string> messageTexts() const;
    // Text of the last message, "" when none.
    std::string lastMessage() const;
};

}  // namespace quorvel::test
