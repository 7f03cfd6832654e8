#pragma once

#include <deque>
#include <string>
#include <vector>

#include "frame/dialogs.h"

namespace quorvel::test {

// A dialog seam for tests: records every call with what it showed and
// answers from queues.  An empty answer queue gives the "nothing chosen"
// answer (OK for OK boxes, No for Yes/No boxes, "" for file and folder
// dialogs), so a test that forgot to script an answer never blocks.
class ScriptedDialogs : public frame::Dialogs {
  public:
    struct Message {
        std::string text;
        frame::MessageButtons buttons;
        frame::MessageIcon icon;
        std::string caption;
    };
    struct FileDialog {
        bool save;
        frame::FileDialogRequest request;
    };
    struct FolderDialog {
        std::string title;
        std::string startFolder;
    };

    // Queues.
    std::deque<frame::Answer> answers;
    std::deque<std::string> fileNames;  // open and save dialogs
    std::deque<std::string> folders;    // folder dialog
    bool shellSucceeds = true;

    // Records.
    std::vector<Message> messages;
    std::vector<FileDialog> fileDialogs;
    std::vector<FolderDialog> folderDialogs;
    std::vector<std::string> opened;       // openInShell targets
    std::vector<frame::Pointer> pointers;  // every setPointer call

    frame::Answer message(const std::string& text, frame::MessageButtons buttons,
                          frame::MessageIcon icon, const std::string& caption) override;
    std::string openFileName(const frame::FileDialogRequest& request) override;
    std::string saveFileName(const frame::FileDialogRequest& request) override;
    std::string chooseFolder(const std::string& title, const std::string& startFolder) override;
    bool openInShell(const std::string& folderOrAddress) override;
    void setPointer(frame::Pointer pointer) override;

    // Texts of all messages so far, in order.
    std::vector<std::string> messageTexts() const;
    // Text of the last message, "" when none.
    std::string lastMessage() const;
};

}  // namespace quorvel::test
