#pragma once

namespace quorvel::foxpro::platform {

// While one lives, the usual ways of stopping a program from outside
// (Ctrl-C, SIGTERM, SIGHUP; on Windows Ctrl-C, Ctrl-Break and closing the
// console) set a flag instead of ending the process, so that long work can
// stop at a point that leaves nothing half done.  One at a time.
class StopRequests {
  public:
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // True once a stop was asked for since this one was made.
    static bool requested();
};

}  // namespace quorvel::foxpro::platform
