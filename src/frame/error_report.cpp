#include "frame/error_report.h"

#include "frame/app_info.h"

namespace quorvel::frame {

std::string errorReportText(const std::string& description, const std::string& location, int step) {
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on a long chain of +.
    std::string text = description;
    text.append("\r\n").append(kErrorLocationPrefix).append(location).append(" ");
    text.append("at line ").append(std::to_string(step)).append("\r\r");
    text.append("Please email screenshot of this message to ").append(kSupportAddress);
    return text;
}

void ReportError(Dialogs& dialogs, const std::string& description, const std::string& location,
                 int step) {
    dialogs.message(errorReportText(description, location, step), MessageButtons::Ok,
                    MessageIcon::Exclamation, "Application Error");
}

}  // namespace quorvel::frame
