#pragma once

#include <string>
#include <vector>

namespace quorvel::frame {

// One entry of a file dialog's filter: what the user reads and the patterns
// (separated by ';') that it stands for.
struct FilterEntry {
    std::string description;
    std::string patterns;
};

// Splits a filter of the form "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"
// into its entries.  A trailing '|' is optional; a description without its
// pattern list is dropped.
std::vector<FilterEntry> parseFileFilter(const std::string& filter);

// The same filter in the toolkit's form "Text Files (*.txt);;All Files (*)":
// each description with its own parenthesised part replaced by the pattern
// list, and "*.*" written as "*" so that names without a dot match too, as
// they do in the form above.
std::string toolkitFileFilter(const std::string& filter);

}  // namespace quorvel::frame
