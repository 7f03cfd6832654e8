#pragma once

// Other processes for tests of what two programs do to one file: a forked
// child running a piece of the test, and a pipe to hand it the turn.

#include <sys/types.h>

#include <functional>
#include <string>

namespace quorvel::test {

// False where a process cannot be forked (Windows): the tests of two
// processes at one file skip there, saying so.
bool canForkChildren();

// Makes a FIFO at path, where two processes meet by name; false where the
// system has none in folders (Windows).
bool makeFifo(const std::string& path);

// Runs body in a forked child, which then ends with _exit: status 0 when
// body returns, 1 when it throws.  body may end the child itself (_exit
// stands for a kill at that point).  Returns the child's process id.
pid_t forkChild(const std::function<void()>& body);

// Waits for the child: its exit status, or -1 when a signal ended it.
int waitChild(pid_t pid);

// A one-way pipe that carries single bytes: a turn handed between two
// processes.  Made before the fork, it works from either side.
class Turn {
  public:
    Turn();
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

    void give(char what = '.');
    // The next byte; '\0' when none came within a minute (a test that would
    // otherwise hang fails instead).
    char take();

  private:
    int fds_[2] = {-1, -1};
};

}  // namespace quorvel::test
