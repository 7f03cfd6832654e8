#pragma once

#include <functional>
#include <string>

#include "frame/dialogs.h"

namespace quorvel::frame {

// Runs a handler as numbered steps (100, 102, 104, ...).  A step that throws
// is reported with the handler's location ("Form2.PushButton3_Click") and
// its number, and the handler goes on with its next step:
//
//   ErrorTrap trap(dialogs, "Form1.PushButton8_Click");
//   trap.step([&] { ... });              // step 100
//   if (!trap.step([&] { ... })) ...     // step 102; false when it failed
class ErrorTrap {
  public:
    ErrorTrap(Dialogs& dialogs, std::string location, int firstStep = 100)
        : dialogs_(dialogs), location_(std::move(location)), next_(firstStep) {}

    // Runs fn as the next step; returns true when it finished without a failure.
    bool step(const std::function<void()>& fn);

    // Reports a failure at the given step without running anything.
    void report(const std::string& description, int stepNumber);

    int nextStep() const { return next_; }
    const std::string& location() const { return location_; }
    Dialogs& dialogs() const { return dialogs_; }
    int failures() const { return failures_; }

  private:
    Dialogs& dialogs_;
    std::string location_;
    int next_;
    int failures_ = 0;
};

}  // namespace quorvel::frame
