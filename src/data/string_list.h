#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel::data {

// A plain, unsorted list of texts (a list box's content) that a window can
// mirror: entries keep the order in which they are added.  The listeners let
// a view follow the list without the logic knowing any toolkit.
class StringList {
  public:
    void clear();
    void add(const std::string& text);

    int size() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }
    const std::string& at(int index) const { return items_.at(static_cast<size_t>(index)); }
    const std::vector<std::string>& items() const { return items_; }

    std::function<void()> onCleared;                             // after clear()
    std::function<void(int index, const std::string&)> onAdded;  // after add()

  private:
    std::vector<std::string> items_;
};

}  // namespace quorvel::data
