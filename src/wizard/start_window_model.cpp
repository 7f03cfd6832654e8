#include "wizard/start_window_model.h"

#include <chrono>
#include <random>

#include "data/file_services.h"
#include "data/foxpro_source.h"
#include "data/sample_folder.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/code_page_name.h"
#include "frame/app_info.h"
#include "frame/error_trap.h"
#include "frame/window_helpers.h"
#include "wizard/side_run.h"

namespace quorvel::wizard {

namespace {

int index(int n) {
    return n == 1 ? 0 : 1;
}
int number(int n) {
    return n == 1 ? 1 : 2;
}

int drawFromTimeOfDay() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::mt19937 generator(
        static_cast<unsigned>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
    return std::uniform_int_distribution<int>(1, 100)(generator);
}

// The folder in the form the shell opens it: with its trailing separator.
std::string withSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

// The stored choice: a code page number this system can convert, else
// automatic (a store edited by hand, a choice from another system).
int storedCodePage(const std::string& text) {
    const int codePage = text.empty() ? 0 : foxpro::codePageNamed(text);
    return codePage != 0 && foxpro::canConvertCodePage(codePage) ? codePage : 0;
}

}  // namespace

const std::vector<CodePageChoice>& codePageChoices() {
    static const std::vector<CodePageChoice> choices = [] {
        std::vector<CodePageChoice> list{{0, "Automatic"}};
        for (const auto& known : foxpro::knownCodePages()) {
            if (!foxpro::canConvertCodePage(known.codePage)) continue;
            const std::string name = foxpro::codePageName(known.codePage);
            list.push_back({known.codePage, name == known.description
                                                ? name
                                                : name + " (" + known.description + ")"});
        }
        return list;
    }();
    return choices;
}

StartWindowModel::StartWindowModel(RunModel& run, frame::SettingsStore& store,
                                   frame::Dialogs& dialogs, std::string applicationFolder,
                                   StartupEnvironment environment)
    : run_(run),
      store_(store),
      dialogs_(dialogs),
      appFolder_(std::move(applicationFolder)),
      environment_(std::move(environment)),
      applicationTitle_(frame::SetApplicationTitle()) {
    if (!environment_.drawOneToHundred) environment_.drawOneToHundred = drawFromTimeOfDay;
    if (environment_.userDataFolder.empty()) environment_.userDataFolder = frame::userDataFolder();
    if (!environment_.folderWritable) environment_.folderWritable = data::isWritableFolder;
    if (!environment_.providerCheck) {
        environment_.providerCheck = [](frame::Dialogs& d) { return data::IsProviderInstalled(d); };
    }
}

std::string StartWindowModel::GetDBName(int n) const {
    return data::GetDBName(source(n));
}
std::string StartWindowModel::GetPath(int n) const {
    return data::GetPath(source(n));
}

bool StartWindowModel::IsValidFoxProConnection(int n) {
    return data::IsValidFoxProConnection(source(n), dialogs_);
}

data::StringList& StartWindowModel::tableList(int n) {
    return view.tableList ? view.tableList(number(n)) : ownLists_[index(n)];
}

void StartWindowModel::AddTablesToFoxproListbox(int n) {
    data::AddTablesToFoxproListbox(source(n), tableList(n), dialogs_);
}

void StartWindowModel::setPointer(frame::Pointer pointer) {
    if (view.setPointer) {
        view.setPointer(pointer);
    } else {
        dialogs_.setPointer(pointer);
    }
}

void StartWindowModel::Form_Load() {
    frame::ErrorTrap trap(dialogs_, "Form1.Form_Load");
    trap.step([&] {
        if (frame::ApplySkin(appFolder_) && view.applySystemColors) view.applySystemColors();
    });
    trap.step([&] {
        if (environment_.drawOneToHundred() == 7) dialogs_.openInShell(frame::kHomePage);
    });
    trap.step([&] {
        if (view.setCaption) view.setCaption(frame::kProductTitle);
        applicationTitle_ = frame::SetApplicationTitle();
    });
    trap.step([&] {
        if (view.loadHandCursor) view.loadHandCursor();
    });
    trap.step([&] {
        // A non-empty folder runs the change handling as typing would, so a
        // saved folder puts its source back into folder mode (next step).
        source(1).dbcPath = frame::GetStartupSetting(store_, frame::kKeyDBCFile);
        putFolderText(1, frame::GetStartupSetting(store_, frame::kKeyFreeTableFolder));
        source(2).dbcPath = frame::GetStartupSetting(store_, frame::kKeyDBCFile2);
        putFolderText(2, frame::GetStartupSetting(store_, frame::kKeyFreeTableFolder2));
    });
    trap.step([&] {
        for (int n : {1, 2})
            source(n).optionDBC =
                frame::GetStartupSetting(store_, frame::kindKey(n)) != frame::kKindFolder;
    });
    trap.step([&] {
        for (int n : {1, 2}) {
            source(n).codePage =
                storedCodePage(frame::GetStartupSetting(store_, frame::codePageKey(n)));
            if (view.setCodePage) view.setCodePage(n, source(n).codePage);
        }
    });
    bool provider = false;
    trap.step([&] { provider = environment_.providerCheck(dialogs_); });
    if (!provider) {
        quitRequested_ = true;
        if (view.quit) view.quit();
        return;
    }
    trap.step([&] {
        // Source 2 is not tested when source 1 fails.
        if (IsValidFoxProConnection(1) && IsValidFoxProConnection(2)) PushButton2_Click();
    });
}

void StartWindowModel::PushButton1_Click() {
    browse(1);
}
void StartWindowModel::PushButton3_Click() {
    browse(2);
}
void StartWindowModel::PushButton8_Click() {
    testConnection(1);
}
void StartWindowModel::PushButton6_Click() {
    testConnection(2);
}
void StartWindowModel::PushButton12_Click() {
    showOptions(1);
}
void StartWindowModel::PushButton7_Click() {
    showOptions(2);
}
void StartWindowModel::PushButton5_Click() {
    loadSample(1);
}
void StartWindowModel::PushButton9_Click() {
    loadSample(2);
}
void StartWindowModel::Text1_Change(const std::string& text) {
    textChange(1, text);
}
void StartWindowModel::Text2_Change(const std::string& text) {
    textChange(2, text);
}

void StartWindowModel::Combo1_Click(int codePage) {
    codePageChange(1, codePage);
}
void StartWindowModel::Combo2_Click(int codePage) {
    codePageChange(2, codePage);
}

// Saved at once, like every choice of this window; the comparison and the
// merge read it from the source descriptor.
void StartWindowModel::codePageChange(int n, int codePage) {
    frame::ErrorTrap trap(dialogs_, n == 1 ? "Form1.Combo1_Click" : "Form1.Combo2_Click");
    trap.step([&] { source(n).codePage = codePage; });
    trap.step([&] {
        store_.SaveSetting(frame::codePageKey(number(n)),
                           codePage == 0 ? std::string() : std::to_string(codePage));
    });
}

void StartWindowModel::browse(int n) {
    frame::ErrorTrap trap(dialogs_, n == 1 ? "Form1.PushButton1_Click" : "Form1.PushButton3_Click");
    std::string folder;
    trap.step([&] { folder = data::BrowseForFolder(dialogs_, "Please select folder:", ""); });
    trap.step([&] {
        if (!folder.empty()) putFolderText(n, folder);
    });
}

void StartWindowModel::testConnection(int n) {
    frame::ErrorTrap trap(dialogs_, n == 1 ? "Form1.PushButton8_Click" : "Form1.PushButton6_Click");
    trap.step([&] { setPointer(frame::Pointer::Hourglass); });
    trap.step([&] {
        const bool valid = IsValidFoxProConnection(n);
        dialogs_.message(valid ? "Connection successful." : "Could not connect.",
                         frame::MessageButtons::Ok, frame::MessageIcon::None, applicationTitle_);
    });
    trap.step([&] { setPointer(frame::Pointer::Default); });
}

void StartWindowModel::showOptions(int n) {
    frame::ErrorTrap trap(dialogs_,
                          n == 1 ? "Form1.PushButton12_Click" : "Form1.PushButton7_Click");
    trap.step([&] {
        if (view.showOptions) view.showOptions(number(n));
    });
}

void StartWindowModel::loadSample(int n) {
    frame::ErrorTrap trap(dialogs_, n == 1 ? "Form1.PushButton5_Click" : "Form1.PushButton9_Click");
    std::string folder = frame::sampleFolder(appFolder_, number(n));
    trap.step([&] { store_.SaveSetting(frame::kindKey(number(n)), frame::kKindFolder); });
    trap.step([&] { source(n).optionDBC = false; });
    trap.step([&] {
        // An installed program's samples lie in a folder the user cannot
        // write to, where "Create" could not make its table: a copy of
        // them in the user's data is used instead.
        folder = data::usableSampleFolder(
            folder, frame::sampleFolder(environment_.userDataFolder, number(n)),
            environment_.folderWritable);
        putFolderText(n, folder);
    });
    frame::Answer answer = frame::Answer::No;
    trap.step([&] {
        answer = dialogs_.message(
            "Would you like this software to open the folder where these sample files are stored "
            "(so that you can view them before working with them)?",
            frame::MessageButtons::YesNo, frame::MessageIcon::None, applicationTitle_);
    });
    trap.step([&] {
        // The result of the shell call is ignored: nothing to tell the user.
        if (answer == frame::Answer::Yes) dialogs_.openInShell(withSeparator(folder));
    });
}

void StartWindowModel::PushButton4_Click() {
    frame::ErrorTrap trap(dialogs_, "Form1.PushButton4_Click");
    trap.step([&] {
        dialogs_.message(
            std::string("Questions? Please contact Team Velkorn at ") + frame::kContactPage,
            frame::MessageButtons::Ok, frame::MessageIcon::None, applicationTitle_);
    });
}

void StartWindowModel::PushButton2_Click() {
    frame::ErrorTrap trap(dialogs_, "Form1.PushButton2_Click");
    bool valid = false;
    trap.step([&] {
        valid = IsValidFoxProConnection(1);
        if (!valid) {
            dialogs_.message("Database #1 does not appear to be valid.", frame::MessageButtons::Ok,
                             frame::MessageIcon::None, applicationTitle_);
        }
    });
    if (!valid) return;
    if (run_.side2Chosen()) {
        if (!listSideTables()) return;
        trap.step([&] { AddTablesToFoxproListbox(1); });
        trap.step([&] {
            if (view.showTableChoice) view.showTableChoice();
        });
        return;
    }
    valid = false;
    trap.step([&] {
        valid = IsValidFoxProConnection(2);
        if (!valid) {
            dialogs_.message("Database #2 does not appear to be valid.", frame::MessageButtons::Ok,
                             frame::MessageIcon::None, applicationTitle_);
        }
    });
    if (!valid) return;
    trap.step([&] { AddTablesToFoxproListbox(1); });
    trap.step([&] { AddTablesToFoxproListbox(2); });
    trap.step([&] {
        if (view.showTableChoice) view.showTableChoice();
    });
}

bool StartWindowModel::listSideTables() {
    std::vector<std::string> tables;
    try {
        tables = sideTables(run_.side2);
    } catch (const std::exception& e) {
        dialogs_.message(std::string("Database #2 cannot be read: ") + e.what(),
                         frame::MessageButtons::Ok, frame::MessageIcon::Exclamation,
                         applicationTitle_);
        return false;
    }
    if (tables.empty()) {
        dialogs_.message("Database #2 holds no tables: " + run_.side2, frame::MessageButtons::Ok,
                         frame::MessageIcon::Exclamation, applicationTitle_);
        return false;
    }
    data::StringList& list = tableList(2);
    list.clear();
    for (const std::string& table : tables) list.add(table);
    return true;
}

void StartWindowModel::PushButton10_Click() {
    frame::ErrorTrap trap(dialogs_, "Form1.PushButton10_Click");
    std::string name;
    trap.step([&] {
        frame::FileDialogRequest request;
        request.title = "Select Database or CSV File";
        request.filter =
            "SQLite or CSV Files (*.sqlite;*.sqlite3;*.db;*.csv;*.txt)|"
            "*.sqlite;*.sqlite3;*.db;*.csv;*.txt|All Files (*.*)|*.*|";
        request.readOnlyBox = true;
        name = dialogs_.openFileName(request);
    });
    trap.step([&] {
        if (name.empty()) return;
        const std::string uri = sideUriOfFile(name);
        if (view.setSideText) view.setSideText(uri);
        Text3_Change(uri);
    });
}

void StartWindowModel::Text3_Change(const std::string& text) {
    // Blanks around a pasted URI are no part of it.
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    run_.side2 = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

void StartWindowModel::putFolderText(int n, const std::string& text) {
    // Like a text box, setting the text it already holds changes nothing.
    if (text == source(n).folderText) return;
    if (view.setFolderText) {
        puttingText_ = true;
        try {
            view.setFolderText(number(n), text);
        } catch (...) {
            puttingText_ = false;
            throw;
        }
        puttingText_ = false;
    }
    textChange(n, text);
}

void StartWindowModel::textChange(int n, const std::string& text) {
    if (puttingText_) return;  // the box echoing a text that putFolderText handles itself
    source(n).folderText = text;
    store_.SaveSetting(frame::folderKey(number(n)), text);
    if (!text.empty()) {
        store_.SaveSetting(frame::kindKey(number(n)), frame::kKindFolder);
        source(n).optionDBC = false;
    }
}

// Options windows (Form5 / Form6).

OptionsWindowModel::OptionsWindowModel(StartWindowModel& start, int source)
    : start_(start), source_(source == 1 ? 1 : 2) {}

std::string OptionsWindowModel::formName() const {
    return source_ == 1 ? "Form5" : "Form6";
}

std::string OptionsWindowModel::frameCaption() const {
    return source_ == 1 ? "Advanced Option" : "Advanced Option #2";
}

void OptionsWindowModel::Form_Load() {
    frame::ErrorTrap trap(start_.dialogs(), formName() + ".Form_Load");
    trap.step([&] {
        text_ = frame::GetStartupSetting(start_.store(), frame::dbcFileKey(source_));
        if (setText) setText(text_);
    });
}

void OptionsWindowModel::Text1_Change(const std::string& text) {
    text_ = text;
    start_.store().SaveSetting(frame::dbcFileKey(source_), text);
}

void OptionsWindowModel::PushButton5_Click() {
    frame::ErrorTrap trap(start_.dialogs(), formName() + ".PushButton5_Click");
    std::string name;
    trap.step([&] {
        frame::FileDialogRequest request;
        request.title = "Select Foxpro Database";
        request.filter = "Microsoft Database (*.dbc)|*.dbc|";
        request.fileName = "";
        request.readOnlyBox = true;
        name = start_.dialogs().openFileName(request);
    });
    trap.step([&] {
        if (name.empty()) return;
        if (setText) setText(name);
        Text1_Change(name);
    });
}

void OptionsWindowModel::PushButton1_Click() {
    frame::ErrorTrap trap(start_.dialogs(), formName() + ".PushButton1_Click");
    trap.step([&] {
        if (text_.empty()) return;  // nothing chosen: the kind stays as it was
        start_.source(source_).optionDBC = true;
        // Handed over at once, so the chosen container is used without a
        // restart.
        start_.source(source_).dbcPath = text_;
        start_.store().SaveSetting(frame::kindKey(source_), frame::kKindContainer);
    });
    trap.step([&] {
        if (close) close();
    });
}

void OptionsWindowModel::PushButton2_Click() {
    frame::ErrorTrap trap(start_.dialogs(), formName() + ".PushButton2_Click");
    trap.step([&] { start_.store().SaveSetting(frame::kindKey(source_), frame::kKindFolder); });
    trap.step([&] { start_.source(source_).optionDBC = false; });
    trap.step([&] {
        if (close) close();
    });
}

}  // namespace quorvel::wizard
