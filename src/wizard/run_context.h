#pragma once

#include <optional>
#include <string>

#include "compare/compare_options.h"
#include "data/source_descriptor.h"
#include "wizard/run_model.h"

namespace quorvel::wizard {

// What the windows say about the run they show, so that a user can trust
// which tables the lines are about.

// "Folder /data/shop" or "Container /data/shop.dbc" ("(none chosen)" for
// an empty path).
std::string sourceText(const data::SourceDescriptor& source);

// "Table #1: customers in folder /data/shop; Table #2: customers in
// container /data/old.dbc"
std::string tablesText(const RunModel& run);

// "Options: none", or the options in force: "Options: fields left out:
// NOTE, STAMP; trailing blanks ignored; case ignored; numbers within 0.05
// compare equal; structure compared".
std::string optionsDescription(const compare::CompareOptions& options);

// F8 and Shift+F8: the line after (or before) a line of the two lists (list
// 0 the field differences, 1 the added/deleted records), going on into the
// other list at the end of one; from no line (row -1) the first (or last)
// line of that list.  nullopt past the last (or first) line of both.
struct LinePlace {
    int list = 0;
    int row = -1;
    friend bool operator==(const LinePlace&, const LinePlace&) = default;
};
std::optional<LinePlace> stepDifference(LinePlace from, int count0, int count1, bool forward);

}  // namespace quorvel::wizard
