#include <windows.h>

#include <cstdint>
#include <mutex>

#include "foxpro/platform/map_guard.h"

namespace quorvel::foxpro::platform {

// Windows refuses to shrink a file while a view of it is mapped, so a fault
// in a guarded view comes from a file server that lost the file or from a
// system that does not refuse (another system's process sharing the file).
// The view is then replaced by zero pages at the same address, for the
// reader to go on to its next look at the flag.

namespace {

struct Entry {
    std::atomic<std::uintptr_t> begin{0};  // 0: free
    std::atomic<std::size_t> length{0};
    std::atomic<std::atomic<bool>*> faulted{nullptr};
    std::atomic<bool> taken{false};
};

constexpr int kEntries = 1024;
Entry gEntries[kEntries];
std::mutex gInstallMutex;
std::mutex gReplaceMutex;

LONG CALLBACK onFault(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if ((record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR &&
         record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) ||
        record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const auto address = static_cast<std::uintptr_t>(record->ExceptionInformation[1]);
    std::lock_guard lock(gReplaceMutex);
    for (auto& entry : gEntries) {
        const std::uintptr_t begin = entry.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin) continue;
        const std::size_t length = entry.length.load(std::memory_order_relaxed);
        if (address - begin >= length) continue;
        auto* faulted = entry.faulted.load(std::memory_order_acquire);
        // Already replaced: the fault is not one of the view's.
        if (faulted && faulted->load(std::memory_order_relaxed)) break;
        void* base = reinterpret_cast<void*>(begin);
        if (!UnmapViewOfFile(base)) break;
        if (!VirtualAlloc(base, length, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY)) break;
        if (faulted) faulted->store(true, std::memory_order_relaxed);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void installHandler() {
    std::lock_guard lock(gInstallMutex);
    static bool installed = false;
    if (installed) return;
    if (AddVectoredExceptionHandler(1, onFault)) installed = true;
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
    std::lock_guard lock(gReplaceMutex);
    Entry& entry = gEntries[index];
    entry.begin.store(0, std::memory_order_release);
    entry.faulted.store(nullptr, std::memory_order_release);
    entry.length.store(0, std::memory_order_relaxed);
    entry.taken.store(false, std::memory_order_release);
}

}  // namespace quorvel::foxpro::platform
