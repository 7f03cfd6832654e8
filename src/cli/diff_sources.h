#pragma once

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "frame/dialogs.h"

namespace quorvel::cli {

// The error reports of the engine, kept for standard error instead of boxes.
class CollectingDialogs : public frame::Dialogs {
  public:
    frame::Answer message(const std::string& text, frame::MessageButtons, frame::MessageIcon,
                          const std::string&) override {
        // The report's first line is the failure; the rest is for windows.
        reports.push_back(text.substr(0, text.find_first_of("\r\n")));
        return frame::Answer::Ok;
    }
    std::vector<std::string> reports;
};

// quorvel-cli diff SOURCE1 SOURCE2: every table of SOURCE1 against the
// table of SOURCE2 of the same name (without case), each paired by its own
// key unless --key or --align says otherwise.  Exit status 0 all identical,
// 1 something differs or is in one source only, 2 a table could not be
// compared (the others still are).
int runDiffSources(const Arguments& args);

}  // namespace quorvel::cli
