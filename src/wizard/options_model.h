#pragma once

#include <string>
#include <vector>

#include "compare/compare_options.h"
#include "compare/structure_difference.h"
#include "frame/settings_store.h"

namespace quorvel::wizard {

// The Options dialog of the table-choice window, for one pair of tables:
// which fields of Table #1 are compared (all ticked unless the store says
// otherwise), the two text rules, the tolerance and whether structure
// differences are shown.  The dialog shows these members, writes back what
// the user chose and calls accept().
class OptionsModel {
  public:
    // Reads the pair's saved options; fields1: Table #1's fields.
    OptionsModel(frame::SettingsStore& store, std::string table1, std::string table2,
                 std::vector<std::string> fields1);

    std::vector<std::string> fields;
    std::vector<bool> compared;  // one per field: ticked, so compared
    bool ignoreTrailingBlanks = false;
    bool ignoreCase = false;
    std::string tolerance;  // as typed; blank for none
    bool structure = false;

    // Checks the choices and saves them for the pair.  Returns "" when they
    // were saved, else the message to show (nothing is saved then).
    std::string accept();

    // The options the choices stand for (the tolerance as typed must be valid).
    compare::CompareOptions options() const;

    // The options saved for a pair of tables (none saved: every option off).
    static compare::CompareOptions saved(const frame::SettingsStore& store,
                                         const std::string& table1, const std::string& table2);

    // Drops the left-out fields that Table #1 (fields1) no longer has: a
    // choice that can no longer be made must not stop a run.
    static void forgetMissingFields(compare::CompareOptions& options,
                                    const std::vector<std::string>& fields1);

  private:
    frame::SettingsStore& store_;
    std::string table1_;
    std::string table2_;
};

// The message of accept() when the tolerance is no number of at least 0.
inline constexpr const char* kToleranceMessage =
    "The tolerance must be a number of at least 0 written with a decimal point, such as 0.05.";

// The results window's short text about the structures: "" without
// structure differences, else "Structure: " and the lines joined by "; ".
std::string structureSummary(const std::vector<compare::StructureDifference>& structure,
                             const std::string& table2);

}  // namespace quorvel::wizard
