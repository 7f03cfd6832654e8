#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/source_descriptor.h"
#include "data/string_list.h"
#include "frame/dialogs.h"
#include "frame/settings_store.h"
#include "wizard/run_model.h"

namespace quorvel::wizard {

// What the start window (Form1) does for its model.  Every member may be
// left empty; the model then skips that effect.
struct StartWindowView {
    // Puts text into the folder box of source n (Text1 / Text2) without the
    // box's own change signal reaching the model: the model runs the change
    // handling itself (the window may also forward the signal; a text equal
    // to the model's current text is ignored).
    std::function<void(int source, const std::string& text)> setFolderText;
    // Shows the code-page choice of source n (Combo1 / Combo2) as the entry
    // of codePageChoices() whose code page it is, without the box's own
    // change signal reaching the model.
    std::function<void(int source, int codePage)> setCodePage;
    // Puts text into the database-or-CSV line of source 2 (Text3) without
    // its change signal reaching the model.
    std::function<void(const std::string& text)> setSideText;
    // Start-up step 1 when the skin file exists: button-face colours.
    std::function<void()> applySystemColors;
    // Start-up step 3: window caption (the product title) and icon.
    std::function<void(const std::string& caption)> setCaption;
    // Start-up step 4: load the hand pointer for the hover rule.
    std::function<void()> loadHandCursor;
    // The window's pointer (test connection: hourglass, then default).  When
    // empty, the dialog seam's pointer is set.
    std::function<void(frame::Pointer)> setPointer;
    // The table list of source n in the table-choice window (List1 / List2);
    // the table-choice window is created hidden on first access.
    std::function<data::StringList&(int source)> tableList;
    // "Next >" steps 4 and 5: show the table-choice window, hide this one.
    std::function<void()> showTableChoice;
    // Opens Form5 (source 1) / Form6 (source 2) modally.
    std::function<void(int source)> showOptions;
    // Ends the program (missing provider at start-up).
    std::function<void()> quit;
};

// Hooks for start-up that tests decide.
struct StartupEnvironment {
    // An integer from 1 to 100; the home page opens when it is 7.  Default:
    // seeded from the time of day.
    std::function<int()> drawOneToHundred;
    // The provider check; default data::IsProviderInstalled(dialogs).
    std::function<bool(frame::Dialogs&)> providerCheck;
    // Where the samples are copied when the shipped ones cannot be written
    // to (their copies go into Samples and Samples1 there); default
    // frame::userDataFolder().
    std::string userDataFolder;
    // Whether new tables can be made in a folder; default
    // data::isWritableFolder.
    std::function<bool(const std::string&)> folderWritable;
};

// One entry of a source's code-page choice: "Automatic" (code page 0: each
// table says, by its mark, a .cpg file or its text) and the code pages a
// table may be read in.
struct CodePageChoice {
    int codePage;
    std::string caption;  // "Automatic", "1251 (Russian Windows)", "UTF-8"
};
const std::vector<CodePageChoice>& codePageChoices();

// The start window's logic.  It edits the two source descriptors of the
// run, which every other part reads from the run model.
class StartWindowModel {
  public:
    StartWindowModel(RunModel& run, frame::SettingsStore& store, frame::Dialogs& dialogs,
                     std::string applicationFolder, StartupEnvironment environment = {});
    StartWindowModel(const StartWindowModel&) = delete;
    StartWindowModel& operator=(const StartWindowModel&) = delete;

    StartWindowView view;

    // Source n of the run (any n other than 1 is source 2).
    data::SourceDescriptor& source(int n) { return run_.source(n); }
    const data::SourceDescriptor& source(int n) const { return run_.source(n); }
    RunModel& run() { return run_; }
    const std::string& folderText(int n) const { return source(n).folderText; }

    frame::SettingsStore& store() { return store_; }
    frame::Dialogs& dialogs() { return dialogs_; }
    const std::string& applicationFolder() const { return appFolder_; }
    const std::string& applicationTitle() const { return applicationTitle_; }

    // The operations of the sources by number, reading the descriptors now.
    std::string GetDBName(int n) const;
    std::string GetPath(int n) const;
    bool IsValidFoxProConnection(int n);
    void AddTablesToFoxproListbox(int n);

    // The table list of source n: the view's (List1 / List2 of the
    // table-choice window) when it supplies one, else one kept here.
    data::StringList& tableList(int n);

    // Handlers of Form1.
    void Form_Load();           // the start-up sequence
    void PushButton1_Click();   // browse, source 1
    void PushButton3_Click();   // browse, source 2
    void PushButton8_Click();   // test, source 1
    void PushButton6_Click();   // test, source 2
    void PushButton12_Click();  // options, source 1
    void PushButton7_Click();   // options, source 2
    void PushButton5_Click();   // sample, source 1
    void PushButton9_Click();   // sample, source 2
    void PushButton4_Click();   // help
    void PushButton2_Click();   // Next >
    void Text1_Change(const std::string& text);
    void Text2_Change(const std::string& text);
    void Combo1_Click(int codePage);  // code-page choice, source 1
    void Combo2_Click(int codePage);  // code-page choice, source 2
    // Source 2 as a database or CSV file: the chooser for an SQLite or CSV
    // file, and the line that holds its URI (or a PostgreSQL one, typed).
    // A non-empty line makes source 2 that side in place of its folder.
    void PushButton10_Click();
    void Text3_Change(const std::string& text);

    // The shared bodies of the twin handlers.
    void browse(int n);
    void testConnection(int n);
    void showOptions(int n);
    void loadSample(int n);
    void textChange(int n, const std::string& text);
    void codePageChange(int n, int codePage);
    // "Next >" when source 2 is a database or CSV file: its tables into
    // the second list, or a message naming the side and the problem.
    bool listSideTables();

    // Puts text into the folder box of source n: the view shows it and, when
    // it differs from the current text, the change handling runs.
    void putFolderText(int n, const std::string& text);

    // True once the provider check has failed and quit was asked for.
    bool quitRequested() const { return quitRequested_; }

  private:
    void setPointer(frame::Pointer pointer);

    RunModel& run_;
    frame::SettingsStore& store_;
    frame::Dialogs& dialogs_;
    std::string appFolder_;
    StartupEnvironment environment_;
    std::string applicationTitle_;
    data::StringList ownLists_[2];
    bool puttingText_ = false;
    bool quitRequested_ = false;
};

// The logic of the options windows Form5 (source 1) and Form6 (source 2).
// "OK" with a non-empty box also hands the path to the start window at once
// (DBCPathn), so that the choice is used without a restart.
class OptionsWindowModel {
  public:
    OptionsWindowModel(StartWindowModel& start, int source);

    // Form5 or Form6 (for the error locations) and the frame caption.
    std::string formName() const;
    std::string frameCaption() const;
    int sourceNumber() const { return source_; }

    // Shows its text (the window puts it into Text1 without firing the
    // change handling back) and closes the window.
    std::function<void(const std::string& text)> setText;
    std::function<void()> close;

    void Form_Load();                            // Text1 = stored container path
    void Text1_Change(const std::string& text);  // stores it at once
    void PushButton5_Click();                    // "..." file dialog
    void PushButton1_Click();                    // OK
    void PushButton2_Click();                    // Cancel

    const std::string& text() const { return text_; }

  private:
    StartWindowModel& start_;
    int source_;
    std::string text_;
};

}  // namespace quorvel::wizard
