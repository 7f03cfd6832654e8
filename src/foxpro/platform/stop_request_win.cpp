#include <windows.h>

#include <atomic>

#include "foxpro/platform/stop_request.h"

namespace quorvel::foxpro::platform {

namespace {

std::atomic<bool> gStop{false};

BOOL WINAPI requestStop(DWORD event) {
    gStop = true;
    // Closing the console, logging off and shutting down end the process
    // when the handler returns: it waits here, while the work stops at its
    // next line and the program ends on its own (the system allows some
    // seconds).
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

}  // namespace

StopRequests::StopRequests() {
    gStop = false;
    SetConsoleCtrlHandler(requestStop, TRUE);
}

StopRequests::~StopRequests() {
    SetConsoleCtrlHandler(requestStop, FALSE);
}

bool StopRequests::requested() {
    return gStop;
}

}  // namespace quorvel::foxpro::platform
