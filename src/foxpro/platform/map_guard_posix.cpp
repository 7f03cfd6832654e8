#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>

#include "foxpro/platform/map_guard.h"

namespace quorvel::foxpro::platform {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free &&
                  std::atomic<std::uintptr_t>::is_always_lock_free,
              "the signal handler reads the guard's entries without a lock");

// Entries are read by the signal handler, which may take no lock: each is
// filled before its start is published and emptied start first.
struct Entry {
    std::atomic<std::uintptr_t> begin{0};  // 0: free
    std::atomic<std::size_t> length{0};
    std::atomic<std::atomic<bool>*> faulted{nullptr};
    std::atomic<bool> taken{false};
};

// Far more maps than a comparison, a merge or a copy holds at once (two or
// three tables, each with a memo file).
constexpr int kEntries = 1024;
Entry gEntries[kEntries];

std::uintptr_t gPageSize = 0;
struct sigaction gPrevious {};
std::mutex gInstallMutex;

void chainToPrevious(int signal, siginfo_t* info, void* context) {
    if ((gPrevious.sa_flags & SA_SIGINFO) && gPrevious.sa_sigaction) {
        gPrevious.sa_sigaction(signal, info, context);
        return;
    }
    if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
        gPrevious.sa_handler(signal);
        return;
    }
    // The default action: put it back and let the signal come again (it is
    // blocked while this handler runs, and a fault repeats in any case).
    ::sigaction(SIGBUS, &gPrevious, nullptr);
    ::raise(signal);
}

void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (auto& entry : gEntries) {
        const std::uintptr_t begin = entry.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin) continue;
        const std::size_t length = entry.length.load(std::memory_order_relaxed);
        if (address - begin >= length) continue;
        // The file ends before this page: from here to the end of the map
        // reads zeros, so the reader takes no second fault per page before
        // it looks at the flag.
        const std::uintptr_t page = address & ~(gPageSize - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(page), begin + length - page, PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros == MAP_FAILED) break;
        if (auto* faulted = entry.faulted.load(std::memory_order_acquire))
            faulted->store(true, std::memory_order_relaxed);
        return;
    }
    chainToPrevious(signal, info, context);
}

// Installed once, when the first map is guarded, so that a handler
// installed before (a sanitizer's, say) is where foreign faults go.
void installHandler() {
    std::lock_guard lock(gInstallMutex);
    static bool installed = false;
    if (installed) return;
    gPageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction ours {};
    ours.sa_sigaction = onBusError;
    ours.sa_flags = SA_SIGINFO;
    sigemptyset(&ours.sa_mask);
    if (::sigaction(SIGBUS, &ours, &gPrevious) == 0) installed = true;
}

}  // namespace

int guardMap(const void* begin, std::size_t length, std::atomic<bool>* faulted) {
    if (!begin || length == 0) return -1;
    installHandler();
    for (int i = 0; i < kEntries; ++i) {
        Entry& entry = gEntries[i];
        bool expected = false;
        if (!entry.taken.compare_exchange_strong(expected, true)) continue;
        entry.length.store(length, std::memory_order_relaxed);
        entry.faulted.store(faulted, std::memory_order_release);
        entry.begin.store(reinterpret_cast<std::uintptr_t>(begin), std::memory_order_release);
        return i;
    }
    return -1;
}

void unguardMap(int index) {
    if (index < 0 || index >= kEntries) return;
    Entry& entry = gEntries[index];
    entry.begin.store(0, std::memory_order_release);
    entry.faulted.store(nullptr, std::memory_order_release);
    entry.length.store(0, std::memory_order_relaxed);
    entry.taken.store(false, std::memory_order_release);
}

}  // namespace quorvel::foxpro::platform
