#pragma once

#include <string>

namespace quorvel::shell {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Exclamation };
enum class Answer { Ok, Yes, No };

// Everything the logic shows or asks a person goes through this seam: the
// application passes a Qt implementation, tests a scripted one, the
// command-line tool one that prints to standard error.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal message box; returns the button pressed.
    virtual Answer message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                           const std::string& caption) = 0;
};

}  // namespace quorvel::shell
