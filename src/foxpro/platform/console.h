#pragma once

#include <string>
#include <vector>

namespace quorvel::foxpro::platform {

// What a command-line program needs of its start and its standard streams.

// The program's arguments (argv[1] on) as UTF-8.  On Windows they are taken
// from the UTF-16 command line, since argv's narrow code page cannot hold
// every name.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Standard output and error pass bytes as they are (no CR added before LF
// on Windows), and a console shows them as UTF-8.
void prepareStandardStreams();

// True when standard error, or standard output, goes to a terminal (a console).
bool standardErrorIsTerminal();
bool standardOutputIsTerminal();

// The path of the running program's file ("" when the system does not say).
std::string programFilePath();

}  // namespace quorvel::foxpro::platform
