#pragma once

namespace quorvel::frame {

// Whether long work (a comparison, a save, a merge) is running.  Long work
// lets window events run, so that a handler can be entered while work is
// under way; a handler that would start work of its own, or change what the
// running work reads, takes a BusyGuard first and does nothing when it
// cannot have one.
class Busy {
  public:
    bool active() const { return active_; }

  private:
    friend class BusyGuard;
    bool active_ = false;
};

// Marks the work busy for its lifetime, unless other work already did:
//
//   frame::BusyGuard guard(run.busy);
//   if (!guard) return;  // a comparison, save or merge is running
class BusyGuard {
  public:
    explicit BusyGuard(Busy& busy) : busy_(busy), owner_(!busy.active_) { busy_.active_ = true; }
    ~BusyGuard() {
        if (owner_) busy_.active_ = false;
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

    explicit operator bool() const { return owner_; }

  private:
    Busy& busy_;
    bool owner_;
};

}  // namespace quorvel::frame
