#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "compare/compare.h"
#include "frame/event_pace.h"

namespace quorvel::compare {

// Drives the caller's progress bar and event loop at a pace set by the
// clock, so that a large table spends its time comparing, not repainting.
class WalkPacer {
  public:
    WalkPacer(const CompareCallbacks& callbacks, int progressStart)
        : callbacks_(callbacks), progressStart_(std::clamp(progressStart, 0, 100)) {}

    // The number of steps the whole walk takes: the records of Table #1 for
    // position pairing.
    void setScale(std::int64_t steps) { scale_ = steps; }

    // Progress at p steps done; Int(p / n x (100 - start)) + start, kept
    // within start..100 when Table #2 is longer than Table #1 and left at
    // start when n is unknown or 0, so the bar never goes backwards.
    int value(std::int64_t p) const {
        if (scale_ <= 0) return progressStart_;
        if (p >= scale_) return 100;
        return static_cast<int>(p * (100 - progressStart_) / scale_) + progressStart_;
    }

    void report(std::int64_t p) const {
        if (callbacks_.progress)
            callbacks_.progress(value(p), "Processing field: " + std::to_string(p));
        if (callbacks_.counted) callbacks_.counted(p, scale_);
    }

    // The whole scale done.
    void finish() const { report(scale_); }

    // Units: a record compared by its bytes counts one, a decoded field one
    // more.
    void work(std::int64_t p, int units) {
        if (!pace_.due(units)) return;
        report(p);
        if (callbacks_.processEvents) callbacks_.processEvents();
        pace_.done();
    }

  private:
    const CompareCallbacks& callbacks_;
    int progressStart_;
    std::int64_t scale_ = 0;
    frame::EventPace pace_;
};

}  // namespace quorvel::compare
