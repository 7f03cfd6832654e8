#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "frame/file_filter.h"

namespace quorvel::ui {

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

frame::Answer QtDialogs::message(const std::string& text, frame::MessageButtons buttons,
                                 frame::MessageIcon icon, const std::string& caption) {
    QMessageBox box(
        icon == frame::MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
        qs(caption), qs(displayText(text)),
        buttons == frame::MessageButtons::Ok ? QMessageBox::Ok : QMessageBox::Yes | QMessageBox::No,
        owner_);
    box.setTextFormat(Qt::PlainText);  // file names and failure texts are never markup
    if (buttons == frame::MessageButtons::YesNoDefaultNo) box.setDefaultButton(QMessageBox::No);
    const int pressed = box.exec();
    if (buttons == frame::MessageButtons::Ok) return frame::Answer::Ok;
    return pressed == QMessageBox::Yes ? frame::Answer::Yes : frame::Answer::No;
}

std::string QtDialogs::openFileName(const frame::FileDialogRequest& request) {
    return QFileDialog::getOpenFileName(owner_, qs(request.title), qs(request.fileName),
                                        qs(frame::toolkitFileFilter(request.filter)))
        .toStdString();
}

std::string QtDialogs::saveFileName(const frame::FileDialogRequest& request) {
    // The caller decides about an existing file, so the dialog does not ask.
    return QFileDialog::getSaveFileName(owner_, qs(request.title), qs(request.fileName),
                                        qs(frame::toolkitFileFilter(request.filter)), nullptr,
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

void QtDialogs::setPointer(frame::Pointer pointer) {
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (pointer == frame::Pointer::Hourglass && !busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (pointer != frame::Pointer::Hourglass) {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }
    frame::Dialogs::setPointer(pointer);
}

}  // namespace quorvel::ui
