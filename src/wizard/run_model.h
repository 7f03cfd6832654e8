#pragma once

#include <functional>
#include <string>
#include <vector>

#include "compare/compare_options.h"
#include "compare/difference_list.h"
#include "compare/pairing.h"
#include "compare/structure_difference.h"
#include "data/source_descriptor.h"
#include "frame/busy.h"
#include "wizard/result_list.h"

namespace quorvel::wizard {

// What one run of the wizard shares between its windows: the two sources
// (the start window edits them), the two table names (the table choice sets
// them), the differences of the last comparison with the two lists over
// them and their ticks (the results and new-table windows show them, the
// report and the merge read them), and one busy state for "a comparison,
// save or merge is running".
class RunModel {
  public:
    RunModel() = default;
    RunModel(const RunModel&) = delete;
    RunModel& operator=(const RunModel&) = delete;

    // Source n (any n other than 1 is source 2).
    data::SourceDescriptor& source(int n) { return sources_[n == 1 ? 0 : 1]; }
    const data::SourceDescriptor& source(int n) const { return sources_[n == 1 ? 0 : 1]; }

    // Source #2 as a database or CSV file: its URI (sqlite:, csv:,
    // postgresql://); "" while source #2 is FoxPro tables.
    std::string side2;
    bool side2Chosen() const { return !side2.empty(); }
    // The column lines of the latest run against such a side, one per
    // paired column ("Column \"PRICE\": 14 equal, 1 differ (...)").
    std::vector<std::string> sideColumns;

    // Names of Table #1 and Table #2 of the latest run.
    std::string Table1Name;
    std::string Table2Name;
    // How the records of the differences shown were paired.
    compare::RecordPairing pairing;
    // The options the run compared under.
    compare::CompareOptions options;
    // The differences shown are one table of a whole-source summary: the
    // results window's "< Back" returns there.
    bool fromSummary = false;
    // The structure differences of the latest run (empty unless asked for).
    std::vector<compare::StructureDifference> structure;

    const compare::DifferenceList& differences() const { return differences_; }
    ResultList& fieldDifferences() { return fieldDifferences_; }  // ListView1 of both windows
    ResultList& addedDeleted() { return addedDeleted_; }          // ListView2 of both windows

    // Takes a comparison's differences and puts each into its list by its
    // kind (Changed and Missing field: field differences; Added and Deleted:
    // added/deleted), in walk order, letting pending events run at the event
    // pace.  The lists hold only these afterwards.
    void showDifferences(compare::DifferenceList differences,
                         const std::function<void()>& processEvents = {});

    // Empties both lists and drops the differences and structure differences.
    void clearDifferences();

    frame::Busy busy;

  private:
    data::SourceDescriptor sources_[2];
    compare::DifferenceList differences_;
    ResultList fieldDifferences_{differences_};
    ResultList addedDeleted_{differences_};
};

}  // namespace quorvel::wizard
