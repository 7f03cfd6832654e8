#pragma once

#include <exception>
#include <thread>

namespace quorvel::compare {

// Runs two pieces of work at once, the second on another thread; the first
// one's failure, else the second's, is thrown once both have ended.  They
// must only read what they share (or share it through atomics).
template <class First, class Second>
void together(const First& first, const Second& second) {
    std::exception_ptr error;
    std::thread other([&] {
        try {
            second();
        } catch (...) {
            error = std::current_exception();
        }
    });
    try {
        first();
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (error) std::rethrow_exception(error);
}

}  // namespace quorvel::compare
