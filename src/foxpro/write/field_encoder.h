#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "foxpro/format/field_info.h"
#include "foxpro/format/literal.h"

namespace quorvel::foxpro {

// How a table stores its text: the code page its C, V and M bytes are in,
// and whether the C library can convert it (when not, text is stored byte
// for byte as U+0000..U+00FF, as the reader decodes it).
struct TextStorage {
    int codePage = 1252;
    bool convertible = true;
};

// What one literal becomes in one field, before it is placed in a record.
struct EncodedField {
    bool null = false;
    std::string bytes;      // exactly the field's width (not for memo fields)
    bool varShort = false;  // V/Q: shorter than the width, length in the last byte
    // Memo fields: the memo to store; empty data means "no memo" (block 0).
    std::string memoData;
    std::uint32_t memoType = 1;  // .fpt block type: 1 text, 0 binary
};

// Converts a literal to the field's type: text into C, V, M (encoded into
// the code page); numbers (or number texts) into N, F, I, B, Y; dates and
// datetimes (or ISO texts) into D, T; logicals into L; binary and text into
// Q, G, W, P; NULL only into a nullable field.  An empty text gives the
// field's blank value.  Throws FoxProError(kErrorInvalidArgument) naming
// where (the table and the record: "new.dbf, record 3"), the field and the
// value when the value does not fit: too long, too wide, out of range, not a
// date, a character the code page lacks (never written as '?').
EncodedField encodeField(const FieldInfo& field, const TextStorage& storage, const Literal& value,
                         const std::string& where);
// The same with where asked for only when the value does not fit, so that a
// long batch of statements does not build it for every value.
EncodedField encodeField(const FieldInfo& field, const TextStorage& storage, const Literal& value,
                         const std::function<std::string()>& where);

// Whether bytes, stored in an N or F field of this shape, are exactly what
// encodeField writes for the number they show: blanks, "-" for a number
// below zero, the integer digits without leading zeros ("0" when there are
// none), and "." with every decimal of the field.  Such bytes need not be
// read as a number to be encoded again.
bool isEncodedNumber(const FieldInfo& field, std::string_view bytes);

// Whether bytes, stored in a field of this shape whose null flag is clear,
// are exactly what encodeField writes into the same field for the value
// they read as, so that they can go in as Literal::Kind::Stored: N and F
// as isEncodedNumber; C in ASCII; L "T" or "F"; I and Y any; B finite and
// not -0; D a calendar date, T whole seconds of a day in years 1 to 9999,
// and their blank forms in a field that cannot hold null.  Memos and V, Q
// never.
bool isStoredForm(const FieldInfo& field, std::string_view bytes);

// The value of a field that an INSERT does not list: null when the field is
// nullable, else its blank (blanks for C, N, F, D; zeros for I, B, Y, T; an
// unknown logical; an empty V or Q; no memo).
EncodedField blankField(const FieldInfo& field);

}  // namespace quorvel::foxpro
