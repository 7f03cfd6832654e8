#include "support/scripted_dialogs.h"

namespace quorvel::test {

namespace {
template <typename T>
bool popFront(std::deque<T>& queue, T& out) {
    if (queue.empty()) return false;
    out = std::move(queue.front());
    queue.pop_front();
    return true;
}
}  // namespace

frame::Answer ScriptedDialogs::message(const std::string& text, frame::MessageButtons buttons,
                                       frame::MessageIcon icon, const std::string& caption) {
    messages.push_back({text, buttons, icon, caption});
    frame::Answer answer;
    if (popFront(answers, answer)) return answer;
    return buttons == frame::MessageButtons::Ok ? frame::Answer::Ok : frame::Answer::No;
}

std::string ScriptedDialogs::openFileName(const frame::FileDialogRequest& request) {
    fileDialogs.push_back({false, request});
    std::string name;
    popFront(fileNames, name);
    return name;
}

std::string ScriptedDialogs::saveFileName(const frame::FileDialogRequest& request) {
    fileDialogs.push_back({true, request});
    std::string name;
    popFront(fileNames, name);
    return name;
}

std::string ScriptedDialogs::chooseFolder(const std::string& title,
                                          const std::string& startFolder) {
    folderDialogs.push_back({title, startFolder});
    std::string folder;
    popFront(folders, folder);
    return folder;
}

bool ScriptedDialogs::openInShell(const std::string& folderOrAddress) {
    opened.push_back(folderOrAddress);
    return shellSucceeds;
}

void ScriptedDialogs::setPointer(frame::Pointer pointer) {
    pointers.push_back(pointer);
    Dialogs::setPointer(pointer);
}

std::vector<std::string> ScriptedDialogs::messageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages) texts.push_back(m.text);
    return texts;
}

std::string ScriptedDialogs::lastMessage() const {
    return messages.empty() ? std::string() : messages.back().text;
}

}  // namespace quorvel::test
