#pragma once

#include <string>
#include <string_view>

namespace quorvel::foxpro::platform {

// "<host>-<pid>-<start>": names this process among all processes of this
// machine, also after its process number is reused (the start time tells
// the two apart), and among machines that share a folder (host is a short
// hash of the host name).  Letters and digits and '-' only.
std::string processToken();

enum class OwnerState {
    Running,
    Gone,    // no such process any more (or a zombie): whatever it left is orphaned
    Unknown  // another machine's process, or a token that cannot be judged
};

OwnerState ownerState(std::string_view token);

}  // namespace quorvel::foxpro::platform
