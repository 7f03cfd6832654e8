#pragma once

#include <string>

namespace quorvel::frame {

// YesNoDefaultNo: a question whose safe answer is No (Enter gives No).
enum class MessageButtons { Ok, YesNo, YesNoDefaultNo };
enum class MessageIcon { None, Exclamation };
enum class Answer { Ok, Yes, No };

// The pointer of the active window: the hourglass marks work in progress and
// hides the hover rule's hand until the work sets the default pointer again.
enum class Pointer { Default, Hourglass, Hand };

// What an open or save file dialog is asked to show.
struct FileDialogRequest {
    std::string title;
    // Filter in the pairs form "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|":
    // description, pattern list, description, pattern list, ...
    std::string filter;
    std::string fileName;      // preset file name ("" = none)
    bool readOnlyBox = false;  // open dialog: the read-only check box preset
};

// Everything the logic shows or asks a person goes through this seam: the
// application passes a Qt implementation, tests a scripted one, the
// command-line tool one that prints to standard error.
//
// Only message() must be implemented; the others default to "cancelled" /
// "nothing opened" so that a seam for a tool without windows stays small.
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A modal message box; returns the button pressed.
    virtual Answer message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                           const std::string& caption) = 0;

    // The open-file dialog: the chosen file's full path, "" on cancel.
    virtual std::string openFileName(const FileDialogRequest& /*request*/) { return {}; }

    // The save-file dialog: the chosen file's full path, "" on cancel.  It
    // asks nothing about an existing file (the caller decides).
    virtual std::string saveFileName(const FileDialogRequest& /*request*/) { return {}; }

    // The folder dialog (only folders can be chosen), opened on startFolder
    // when that is not empty: the chosen folder as the toolkit returns it,
    // "" on cancel.  BrowseForFolder normalises the result.
    virtual std::string chooseFolder(const std::string& /*title*/,
                                     const std::string& /*startFolder*/) {
        return {};
    }

    // Opens a folder in the file manager or a web page (http/https address)
    // in the browser, without waiting.  Returns false when nothing could be
    // started; callers that the system lets ignore the result may do so.
    virtual bool openInShell(const std::string& /*folderOrAddress*/) { return false; }

    // Sets the pointer of the active window.
    virtual void setPointer(Pointer pointer) { pointer_ = pointer; }
    virtual Pointer pointer() const { return pointer_; }

  private:
    Pointer pointer_ = Pointer::Default;
};

}  // namespace quorvel::frame
