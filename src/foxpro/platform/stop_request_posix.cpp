#include <signal.h>

#include <array>
#include <csignal>

#include "foxpro/platform/stop_request.h"

namespace quorvel::foxpro::platform {

namespace {

volatile std::sig_atomic_t gStop = 0;

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
std::array<struct sigaction, 3> gPrevious{};

extern "C" void requestStop(int) {
    gStop = 1;
}

}  // namespace

StopRequests::StopRequests() {
    gStop = 0;
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], &action, &gPrevious[i]);
}

StopRequests::~StopRequests() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &gPrevious[i], nullptr);
}

bool StopRequests::requested() {
    return gStop != 0;
}

}  // namespace quorvel::foxpro::platform
