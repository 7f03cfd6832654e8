#pragma once

#include <chrono>
#include <functional>

namespace quorvel::frame {

// How long long work (the comparison, filling the lists, the merge) goes on
// between two runs of the window's pending events: often enough for a
// responsive window, rarely enough that a large table is not walked inside
// the event loop.
inline constexpr std::chrono::milliseconds kEventInterval{20};

// Units of cheap work (a record pair compared, a list row filled) between
// two looks at the clock, which costs more than such a unit.
inline constexpr int kUnitsPerClockCheck = 64;

// The one event pace of long work: tells when the next run of pending
// events is due.  The interval counts from the end of the previous run
// (done()), so slow event handling does not make the work yield again at
// once.
class EventPace {
  public:
    EventPace() : last_(std::chrono::steady_clock::now()) {}

    // Counts `units` of work and tells whether the events are due; the
    // clock is read once kUnitsPerClockCheck units have gathered.  Work in
    // large steps (a merge line) passes the default and has the clock read
    // on every call.
    bool due(int units = kUnitsPerClockCheck) {
        units_ += units;
        if (units_ < kUnitsPerClockCheck) return false;
        units_ = 0;
        return std::chrono::steady_clock::now() - last_ >= kEventInterval;
    }
    void done() { last_ = std::chrono::steady_clock::now(); }

    // Runs processEvents (when set) if due(units), then done().
    void pump(const std::function<void()>& processEvents, int units = kUnitsPerClockCheck) {
        if (!processEvents || !due(units)) return;
        processEvents();
        done();
    }

  private:
    std::chrono::steady_clock::time_point last_;
    int units_ = 0;
};

}  // namespace quorvel::frame
