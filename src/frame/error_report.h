#pragma once

#include <string>

#include "frame/dialogs.h"

namespace quorvel::frame {

// The error report's text: the failure text (control characters escaped,
// printable_text.h), CR LF, "in Tablinder2021/08/31."
// + location + " " + "at line " + step, CR CR, and the request to mail a
// screenshot to the support address.
std::string errorReportText(const std::string& description, const std::string& location, int step);

// Shows the error report (exclamation icon, OK, caption "Application
// Error") and returns; it never ends the program.
void ReportError(Dialogs& dialogs, const std::string& description, const std::string& location,
                 int step);

}  // namespace quorvel::frame
