#pragma once

#include <chrono>

namespace quorvel::frame {

// How long long work (the comparison, the merge) goes on between two runs
// of the window's pending events: often enough for a responsive window,
// rarely enough that a large table is not walked inside the event loop.
inline constexpr std::chrono::milliseconds kEventInterval{20};

// Tells when the next run of pending events is due.  The interval counts
// from the end of the previous run (done()), so slow event handling does
// not make the work yield again at once.
class EventPace {
  public:
    EventPace() : last_(std::chrono::steady_clock::now()) {}

    bool due() const { return std::chrono::steady_clock::now() - last_ >= kEventInterval; }
    void done() { last_ = std::chrono::steady_clock::now(); }

  private:
    std::chrono::steady_clock::time_point last_;
};

}  // namespace quorvel::frame
