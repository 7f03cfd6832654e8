#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foxpro/text/text_locale.h"
#include "frame/dialogs.h"
#include "frame/settings_store.h"
#include "wizard/run_model.h"
#include "wizard/start_window_model.h"

class QWidget;

namespace quorvel::ui {

class Form1;
class Form2;
class Form3;
class Form4;
class Merge3Window;
class SummaryWindow;

// What the program hands the windows: the seams, the files next to the
// program and how the program ends.
struct WizardEnvironment {
    frame::Dialogs* dialogs = nullptr;
    frame::SettingsStore* store = nullptr;
    std::string applicationFolder;
    wizard::StartupEnvironment startup;
    foxpro::TextLocale locale = foxpro::TextLocale::c();
    // Ends the program; the default quits the application's event loop.
    std::function<void()> endProgram;
};

// The chain of the wizard's windows.  The start window is made with the
// wizard; the others on first use, then only shown and hidden until the
// program ends.  Also holds the run's model, which the windows' models share
// (sources, table names, differences with their ticks, busy state).
class Wizard {
  public:
    explicit Wizard(WizardEnvironment environment);
    ~Wizard();
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // Runs the start window's load (the start-up sequence) and shows it
    // unless start-up moved on to the table choice.  False when start-up
    // asked for the end of the program (no provider).
    bool start();

    Form1& form1();
    Form2& form2();
    Form3& form3();
    Form4& form4();
    SummaryWindow& summary();  // the whole-source comparison
    Merge3Window& merge3();    // the three-way merge
    bool hasForm2() const { return form2_ != nullptr; }
    bool hasForm3() const { return form3_ != nullptr; }
    bool hasForm4() const { return form4_ != nullptr; }
    bool hasSummary() const { return summary_ != nullptr; }
    bool hasMerge3() const { return merge3_ != nullptr; }

    frame::Dialogs& dialogs() { return *env_.dialogs; }
    frame::SettingsStore& store() { return *env_.store; }
    const std::string& applicationFolder() const { return env_.applicationFolder; }
    const foxpro::TextLocale& locale() const { return env_.locale; }
    const wizard::StartupEnvironment& startupEnvironment() const { return env_.startup; }
    wizard::StartWindowModel& startModel();
    wizard::RunModel& run() { return run_; }

    // Closing any of Form1..Form4, the summary or the three-way merge: every window is hidden at once and the
    // program ends.
    void end();
    bool ending() const { return ending_; }

    // Lets pending window events run (the logic throttles its calls).
    void processEvents();

    // Shows `next` where `current` stands (same place, so the same screen),
    // as the wizard's next or previous step; where current is not shown,
    // next opens where the window system puts it.
    void showInPlaceOf(QWidget& next, const QWidget& current);

  private:
    WizardEnvironment env_;
    wizard::RunModel run_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form2> form2_;
    std::unique_ptr<Form3> form3_;
    std::unique_ptr<Form4> form4_;
    std::unique_ptr<SummaryWindow> summary_;
    std::unique_ptr<Merge3Window> merge3_;
    bool ending_ = false;
};

}  // namespace quorvel::ui
