#include <stdexcept>

#include "support/child_process.h"

namespace quorvel::test {

bool canForkChildren() {
    return false;
}

bool makeFifo(const std::string&) {
    return false;
}

pid_t forkChild(const std::function<void()>&) {
    throw std::logic_error("no fork on Windows: check canForkChildren() first");
}

int waitChild(pid_t) {
    return -1;
}

Turn::Turn() {}
Turn::~Turn() {}
void Turn::give(char) {}
char Turn::take() {
    return '\0';
}

}  // namespace quorvel::test
