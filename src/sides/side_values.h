#pragma once

// One FoxPro field against one column of a side: both values brought to a
// form of the field's type, FoxPro's type being the authority, so that a
// value the side stores in its own way (a day number, 't', "12.50") is
// equal to the FoxPro value it stands for.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "foxpro/format/field_info.h"
#include "foxpro/format/value.h"
#include "sides/side_stream.h"

namespace quorvel::sides {

// The rules that the options of diff change.
struct SideValueRules {
    // An empty FoxPro value (blank C, V or M, empty D or T) and NULL are equal.
    bool emptyIsNull = false;
    // M and V values compare without trailing blanks too (C always does).
    bool trimBlanks = false;
    // Text compares after this folding (upper case), when set.
    std::function<std::string(std::string_view)> foldCase;
    // Numbers within this difference are equal: a canonical decimal text, "" for none.
    std::string tolerance;
};

// A value in the form the comparison reads: Null, Empty (a blank or empty
// value), Blank (a CSV field left empty: null or empty alike), Invalid (a
// side value that reads as nothing of the field's type, kept as text) or a
// Value whose text is canonical for the type ("12.5", "2020-01-02",
// "2020-01-02 03:04:05", "T", bytes).
struct NormalValue {
    enum class State : std::uint8_t { Null, Empty, Blank, Invalid, Value };
    State state = State::Null;
    std::string text;
    // N and F read from a side's real number: compared within half a unit
    // of the field's last decimal instead of exactly.
    bool approximate = false;
};

// How day numbers of a column were read, counted for its report line.
struct DayNumberCounts {
    std::int64_t julian = 0;  // julian day numbers (2458850.5 for 2020-01-02)
    std::int64_t unix = 0;    // days (or seconds, for T) since 1970-01-01
    std::int64_t seconds = 0; // seconds since 1970-01-01, for a D (strftime('%s'))
};

class FieldColumn {
  public:
    FieldColumn(const foxpro::FieldInfo& field, const SideColumn& column,
                const SideValueRules& rules);

    // value is what the reader gives; trueNull whether the field's null
    // flag is set (the reader gives an empty date as null too).
    NormalValue fox(const foxpro::Value& value, bool trueNull) const;
    // Counts the day numbers it reads (not const for that).
    NormalValue side(const SideCell& cell);
    bool equal(const NormalValue& fox, const NormalValue& side) const;

    // The same form for a key: state and text in one string, numbers of a
    // real column rounded to the field's decimals, so that equal keys of
    // both sides give equal strings.
    std::string foxKey(const foxpro::Value& value, bool trueNull) const;
    std::string sideKey(const SideCell& cell);

    // "N(10,2) as numeric", "D as integer, julian day numbers"
    std::string description() const;
    // The column's declared length when it is a text type shorter than the
    // field's width ("varchar(30)" -> 30), else 0.
    int narrowerLength() const { return narrower_; }
    // Whether a FoxPro text value is longer than narrowerLength() characters.
    bool cut(const foxpro::Value& value) const;

    const foxpro::FieldInfo& field() const { return field_; }
    const SideColumn& column() const { return column_; }

  private:
    enum class Kind : std::uint8_t { Text, Memo, Number, Real, Date, DateTime, Logical, Binary };
    NormalValue normalText(std::string text, bool trimBlanks) const;
    NormalValue sideDay(const SideCell& cell, bool withTime);
    std::string key(const NormalValue& value) const;

    foxpro::FieldInfo field_;
    SideColumn column_;
    const SideValueRules& rules_;
    Kind kind_;
    bool realColumn_;
    int narrower_ = 0;
    DayNumberCounts days_;
};

// A field's definition as the report line writes it: "C(40)", "N(10,2)", "D".
std::string fieldDefinitionText(const foxpro::FieldInfo& field);

}  // namespace quorvel::sides
