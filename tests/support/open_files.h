#pragma once

// The process's file handles used up, for tests of what an open that fails
// for want of one reports: every handle the process may still open is
// taken (on a null device) while one of these lives.

#include <vector>

namespace quorvel::test {

class OpenFilesUsedUp {
  public:
    // Leaves `spare` handles free.
    explicit OpenFilesUsedUp(int spare = 0);
    ~OpenFilesUsedUp();
    OpenFilesUsedUp(const OpenFilesUsedUp&) = delete;
    OpenFilesUsedUp& operator=(const OpenFilesUsedUp&) = delete;

    // False where a process has no small limit on its handles to reach
    // (Windows): the tests skip there, saying so.
    bool active() const { return !handles_.empty(); }
    // Gives back all handles taken.
    void release();

  private:
    std::vector<int> handles_;
    unsigned long long savedLimit_ = 0;
};

}  // namespace quorvel::test
