#pragma once

#include <optional>
#include <string>

#include "compare/text_diff.h"
#include "foxpro/text/text_locale.h"
#include "frame/settings_store.h"
#include "wizard/hex_view.h"
#include "wizard/record_detail.h"
#include "wizard/result_list.h"
#include "wizard/run_model.h"

namespace quorvel::wizard {

// The detail pane of the results and new-table windows: the records of the
// selected line, one field chosen whose whole value is shown below them (a
// line diff for long texts, a hex view for binary data), and whether the
// pane is shown at all, which the settings store keeps.
class DetailModel {
  public:
    DetailModel(const RunModel& run, frame::SettingsStore& store, const foxpro::TextLocale& locale)
        : run_(run), store_(store), locale_(locale) {}
    DetailModel(const DetailModel&) = delete;
    DetailModel& operator=(const DetailModel&) = delete;

    bool paneShown() const;
    void setPaneShown(bool shown);

    // The line at `row` of `list` was selected: its records are read now,
    // and the field shown is the line's own, else the first marked one.
    void select(const ResultList& list, int row);
    void clear();
    const RecordDetail& detail() const { return detail_; }

    // The field whose value is shown (an index in detail().fields), -1 for none.
    int field() const { return field_; }
    void setField(int index);

    enum class ValueKind {
        None,   // no field
        Short,  // both values whole, the words that differ marked
        Lines,  // a line diff (memo or long text)
        Hex     // binary data
    };
    ValueKind valueKind() const;
    // For Lines, Short and Hex: computed once per field.
    const compare::TextDiff& lineDiff();
    compare::WordMarks wordMarks() const;
    const HexDump& hexDump();
    // What stands above the value: "3 lines changed", "12 bytes differ",
    // "" for a short value.
    std::string valueSummary();

  private:
    const DetailField* current() const;

    const RunModel& run_;
    frame::SettingsStore& store_;
    const foxpro::TextLocale locale_;
    RecordDetail detail_;
    int field_ = -1;
    std::optional<compare::TextDiff> diff_;
    std::optional<HexDump> hex_;
};

}  // namespace quorvel::wizard
