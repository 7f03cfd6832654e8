#pragma once

#include <QPointer>
#include <QWidget>

#include "frame/dialogs.h"

namespace quorvel::ui {

// The dialog seam on Qt: modal message boxes, the file and folder dialogs,
// the desktop's handler for folders and web pages, and the hourglass as an
// application-wide override pointer (so no hover can replace it).
class QtDialogs : public frame::Dialogs {
  public:
    explicit QtDialogs(QWidget* owner = nullptr) : owner_(owner) {}

    // The window that owns the boxes and dialogs shown next.
    void setOwner(QWidget* owner) { owner_ = owner; }
    QWidget* owner() const { return owner_; }

    frame::Answer message(const std::string& text, frame::MessageButtons buttons,
                          frame::MessageIcon icon, const std::string& caption) override;
    std::string openFileName(const frame::FileDialogRequest& request) override;
    std::string saveFileName(const frame::FileDialogRequest& request) override;
    std::string chooseFolder(const std::string& title, const std::string& startFolder) override;
    bool openInShell(const std::string& folderOrAddress) override;
    void setPointer(frame::Pointer pointer) override;

  private:
    QPointer<QWidget> owner_;
};

// Message texts keep the CR LF / CR line breaks of their fixed wording; a
// box shows them as plain line breaks.
std::string displayText(const std::string& text);

}  // namespace quorvel::ui
