#pragma once

#include <optional>
#include <string>

#include "foxpro/format/field_info.h"
#include "foxpro/format/literal.h"
#include "foxpro/format/value.h"

namespace quorvel::results {

// A value written as a literal of the statements' dialect for a field of the
// given type, so that the field receives exactly that value: 'text' (an
// apostrophe doubled), numbers with "." and as many digits as they need,
// {^2020-12-31}, {^2020-12-31 13:02:03}, True/False, 0h<hex>, NULL.
// A value of another type is converted when nothing is lost (an integer into
// a character field, the text "12.5" into a numeric field, a date into a
// datetime); otherwise throws std::invalid_argument naming the field and the
// value.
std::string sqlLiteral(const foxpro::Value& value, const foxpro::FieldInfo& target);

// The same for a value read from field source: a field that cannot hold
// null reads its blank value (blank number, date, logical) as null, and
// such a null, or any null bound for a field that cannot hold one, is
// written as '' - the target field's blank value - instead of NULL, which
// that field would refuse.
std::string sqlLiteral(const foxpro::Value& value, const foxpro::FieldInfo& source,
                       const foxpro::FieldInfo& target);

// The literal sqlLiteral(value, source, target) writes, as the statement
// parser reads it back: what a statement handed over whole, without its
// text, carries.  nullopt when that text would not read back as one
// literal (a date outside the calendar), so that the caller sends the text
// and gets the parser's own answer.  Throws as sqlLiteral does.
std::optional<foxpro::Literal> parsedLiteral(const foxpro::Value& value,
                                             const foxpro::FieldInfo& source,
                                             const foxpro::FieldInfo& target);

// bytesLiteral(bytes) as the parser reads it back.
foxpro::Literal parsedBytesLiteral(std::string bytes);

// Bytes as the dialect's binary literal (0h<hex>), which a text field
// stores as they are.
std::string bytesLiteral(const std::string& bytes);

// A text between apostrophes, each apostrophe inside doubled.
std::string quotedText(const std::string& text);

// A number as the dialect writes it: "." as the decimal point, no grouping.
// Doubles are written with the fewest digits that read back to the same
// double.  Throws std::invalid_argument for values that are not numbers.
std::string numberText(const foxpro::Value& value);

}  // namespace quorvel::results
