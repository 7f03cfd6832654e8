#include "shell/error_report.h"

#include "shell/app_info.h"

namespace quorvel::shell {

std::string errorReportText(const std::string& description, const std::string& location, int step) {
    return description + "\r\n" + kErrorLocationPrefix + location + " " + "at line " +
           std::to_string(step) + "\r\r" + "Please email screenshot of this message to " +
           kSupportAddress;
}

void ReportError(Dialogs& dialogs, const std::string& description, const std::string& location,
                 int step) {
    dialogs.message(errorReportText(description, location, step), MessageButtons::Ok,
                    MessageIcon::Exclamation, "Application Error");
}

}  // namespace quorvel::shell
