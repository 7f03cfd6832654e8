#include "wizard/run_model.h"

#include "frame/event_pace.h"

namespace quorvel::wizard {

void RunModel::showDifferences(compare::DifferenceList differences,
                               const std::function<void()>& processEvents) {
    // The lists are empty here in practice (the results window's "< Back",
    // the only way to a new run, empties them); a list whose rows pointed
    // into the differences given up must not survive them in any case.
    clearDifferences();
    differences_ = std::move(differences);
    frame::EventPace pace;
    for (std::size_t i = 0; i < differences_.size(); ++i) {
        if (pace.due(1) && processEvents) {
            fieldDifferences_.flush();
            addedDeleted_.flush();
            processEvents();
            pace.done();
        }
        const compare::LineList list = compare::listOf(differences_[i].kind);
        (list == compare::LineList::AddedDeleted ? addedDeleted_ : fieldDifferences_).append(i);
    }
    fieldDifferences_.flush();
    addedDeleted_.flush();
}

void RunModel::clearDifferences() {
    fieldDifferences_.clear();
    addedDeleted_.clear();
    differences_.clear();
    structure.clear();
    sideColumns.clear();
}

}  // namespace quorvel::wizard
