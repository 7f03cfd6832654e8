#pragma once

#include <exception>
#include <functional>
#include <string>

#include "frame/dialogs.h"

namespace quorvel::frame {

// The one error trap of the program.  A handler (or a long operation such as
// the comparison or the merge) runs as numbered steps; a step that throws is
// reported with the trap's location ("Form2.PushButton3_Click") and the
// step's number, and the caller goes on with its next step:
//
//   ErrorTrap trap(dialogs, "Form1.PushButton8_Click");
//   trap.step([&] { ... });              // step 100
//   if (!trap.step([&] { ... })) ...     // step 102; false when it failed
//   for (...) trap.at(110, [&] { ... }); // a step that keeps its number
class ErrorTrap {
  public:
    ErrorTrap(Dialogs& dialogs, std::string location, int firstStep = 100)
        : dialogs_(dialogs), location_(std::move(location)), next_(firstStep) {}

    // Runs fn as the next step (100, 102, 104, ...); true when it finished
    // without a failure.
    bool step(const std::function<void()>& fn);

    // Runs fn as step `number`, for a step that keeps its number however
    // often it runs (one line of a loop, one stage of a long operation).
    // The numbering of step() is not touched.
    bool at(int number, const std::function<void()>& fn);

    // Like at(), but a failure is tried again, up to `attempts` runs in all,
    // unless retryable(failure) says that trying again cannot help; only the
    // last failure is reported.
    bool retried(int number, int attempts,
                 const std::function<bool(const std::exception_ptr&)>& retryable,
                 const std::function<void()>& fn);

    // Reports a failure at the given step without running anything.
    void report(const std::string& description, int stepNumber);

    int nextStep() const { return next_; }
    const std::string& location() const { return location_; }
    Dialogs& dialogs() const { return dialogs_; }
    int failures() const { return failures_; }
    // The description of the latest failure ("" before the first).
    const std::string& lastFailure() const { return lastFailure_; }

  private:
    Dialogs& dialogs_;
    std::string location_;
    int next_;
    int failures_ = 0;
    std::string lastFailure_;
};

// The text an error report gives a failure: the exception's what(), or
// "Unknown error" for anything that is no std::exception.
std::string describeFailure(const std::exception_ptr& failure);

}  // namespace quorvel::frame
