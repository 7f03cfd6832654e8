#include "shell/qt/qt_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "shell/file_filter.h"

namespace quorvel::shell {

namespace {
QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

bool isWebAddress(const std::string& target) {
    return target.rfind("http://", 0) == 0 || target.rfind("https://", 0) == 0 ||
           target.rfind("mailto:", 0) == 0;
}
}  // namespace

std::string displayText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

Answer QtDialogs::message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                          const std::string& caption) {
    QMessageBox box(
        icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, qs(caption),
        qs(displayText(text)),
        buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
        owner_);
    box.setTextFormat(Qt::PlainText);  // file names and failure texts are never markup
    const int pressed = box.exec();
    if (buttons == MessageButtons::Ok) return Answer::Ok;
    return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::string QtDialogs::openFileName(const FileDialogRequest& request) {
    return QFileDialog::getOpenFileName(owner_, qs(request.title), qs(request.fileName),
                                        qs(toolkitFileFilter(request.filter)))
        .toStdString();
}

std::string QtDialogs::saveFileName(const FileDialogRequest& request) {
    // The caller decides about an existing file, so the dialog does not ask.
    return QFileDialog::getSaveFileName(owner_, qs(request.title), qs(request.fileName),
                                        qs(toolkitFileFilter(request.filter)), nullptr,
                                        QFileDialog::DontConfirmOverwrite)
        .toStdString();
}

std::string QtDialogs::chooseFolder(const std::string& title, const std::string& startFolder) {
    return QFileDialog::getExistingDirectory(owner_, qs(title), qs(startFolder),
                                             QFileDialog::ShowDirsOnly)
        .toStdString();
}

bool QtDialogs::openInShell(const std::string& folderOrAddress) {
    const QUrl url = isWebAddress(folderOrAddress) ? QUrl(qs(folderOrAddress))
                                                   : QUrl::fromLocalFile(qs(folderOrAddress));
    return QDesktopServices::openUrl(url);
}

void QtDialogs::setPointer(Pointer pointer) {
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (pointer == Pointer::Hourglass && !busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (pointer != Pointer::Hourglass) {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }
    Dialogs::setPointer(pointer);
}

}  // namespace quorvel::shell
