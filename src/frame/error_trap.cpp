#include "frame/error_trap.h"

#include "frame/error_report.h"

namespace quorvel::frame {

std::string describeFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

bool ErrorTrap::step(const std::function<void()>& fn) {
    const int number = next_;
    next_ += 2;
    return at(number, fn);
}

bool ErrorTrap::at(int number, const std::function<void()>& fn) {
    return retried(number, 1, {}, fn);
}

bool ErrorTrap::retried(int number, int attempts,
                        const std::function<bool(const std::exception_ptr&)>& retryable,
                        const std::function<void()>& fn) {
    std::exception_ptr failure;
    for (int attempt = 0; attempt < attempts || attempt == 0; ++attempt) {
        try {
            fn();
            return true;
        } catch (...) {
            failure = std::current_exception();
        }
        if (retryable && !retryable(failure)) break;
    }
    report(describeFailure(failure), number);
    return false;
}

void ErrorTrap::report(const std::string& description, int stepNumber) {
    ++failures_;
    lastFailure_ = description;
    ReportError(dialogs_, description, location_, stepNumber);
}

}  // namespace quorvel::frame
