#include "data/string_list.h"

namespace quorvel::data {

void StringList::clear() {
    items_.clear();
    if (onCleared) onCleared();
}

void StringList::add(const std::string& text) {
    items_.push_back(text);
    if (onAdded) onAdded(static_cast<int>(items_.size()) - 1, items_.back());
}

}  // namespace quorvel::data
