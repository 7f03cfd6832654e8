#include "frame/error_trap.h"

#include <exception>

#include "frame/error_report.h"

namespace quorvel::frame {

bool ErrorTrap::step(const std::function<void()>& fn) {
    const int number = next_;
    next_ += 2;
    try {
        fn();
        return true;
    } catch (const std::exception& e) {
        report(e.what(), number);
    } catch (...) {
        report("Unknown error", number);
    }
    return false;
}

void ErrorTrap::report(const std::string& description, int stepNumber) {
    ++failures_;
    ReportError(dialogs_, description, location_, stepNumber);
}

}  // namespace quorvel::frame
