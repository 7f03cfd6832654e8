#include "frame/error_report.h"

#include "frame/app_info.h"
#include "frame/printable_text.h"

namespace quorvel::frame {

std::string errorReportText(const std::string& description, const std::string& location, int step) {
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on a long chain of +.
    // The failure text names files, tables and fields: escaped, so that it
    // stays the report's first line.
    std::string text = printableText(description);
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
