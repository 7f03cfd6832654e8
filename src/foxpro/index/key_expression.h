#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foxpro/format/field_info.h"

namespace quorvel::foxpro {

class TableReader;

// What a tag's key expression says about pairing records by it: a field
// name, or field names joined by "+", each possibly inside UPPER, LOWER,
// ALLTRIM, LTRIM, RTRIM, TRIM, STR, DTOS, TTOC, BINTOC, PADL or PADR (any
// letter case, blanks anywhere).  UPPER and LOWER mean the key compares
// without case, the trims that it compares without those blanks; the
// others change only the form.
struct KeyClassification {
    bool usable = false;
    std::string reason;               // why not, when not usable ("LEFT() is not a key function")
    std::vector<std::string> fields;  // the key fields in order, as written in the expression
    bool caseless = false;            // UPPER or LOWER
    bool trimsLeading = false;        // ALLTRIM or LTRIM
    bool trimsTrailing = false;       // ALLTRIM, RTRIM or TRIM
};

// Classifies expression.  With layout the fields must exist in it (without
// regard to case) and "+" must join text, not add numbers.
KeyClassification classifyKeyExpression(std::string_view expression,
                                        const TableLayout* layout = nullptr);

// The kind of value a key expression gives, which decides its key bytes.
enum class KeyKind {
    Character,  // the text, blank-padded to the key length
    Number,     // N, F, B, Y: the 8-byte ordered double
    Integer,    // I: 4 bytes big-endian with the sign bit flipped
    Date,       // the ordered double of the Julian day
    DateTime,   // the ordered double of the Julian day and its fraction
    Logical     // "T" or "F"
};

// A key or FOR expression parsed once, for one table, into a list of steps
// that are then run for each record.  The functions: field names, "+" of
// text, UPPER, LOWER, ALLTRIM, LTRIM, RTRIM, TRIM, PADL, PADR, LEFT, RIGHT,
// SUBSTR, STR(n[,len[,dec]]), DTOS, TTOC(t,1), BINTOC(n[,1|2|4]),
// DELETED() (in FOR clauses), NOT / ! / .NOT., .T. and .F.; fields of type
// C, N, F, I, Y, B, D, T and L.  Numeric arguments of the functions are
// literal numbers, PADL/PADR's fill a literal string.
class KeyExpression {
  public:
    // Throws FoxProError(kErrorInvalidArgument, reason) for anything it
    // cannot evaluate as FoxPro does ("function AT() is not supported",
    // "no field PRICE"); reason names no file or tag (the caller does).
    // A FOR clause must give a logical value; a key anything but DELETED().
    KeyExpression(std::string_view text, const TableReader& table, bool forClause = false);
    ~KeyExpression();
    KeyExpression(KeyExpression&&) noexcept;
    KeyExpression& operator=(KeyExpression&&) noexcept;

    KeyKind kind() const { return kind_; }
    // Bytes of every key, the null prefix included.
    int keyLength() const { return keyLength_; }
    // True when a field of the expression may be null: each key then starts
    // with 0x80, and a null key is all zero bytes.
    bool nullable() const { return nullable_; }
    // The byte that pads keys and that leaves use for trailing bytes:
    // blank for text, NUL for the others.
    std::uint8_t fill() const { return kind_ == KeyKind::Character ? 0x20 : 0x00; }

    // The key of one record (bytes as TableReader::storedRecord returns
    // them), written to key (keyLength() bytes).  Throws
    // FoxProError(kErrorInvalidArgument, reason) for a value FoxPro would
    // refuse as well (BINTOC() out of range).
    void key(std::span<const std::uint8_t> record, std::string& out) const;
    // A FOR clause's value for one record (a null is false).
    bool holds(std::span<const std::uint8_t> record) const;

  private:
    struct Program;
    std::unique_ptr<Program> program_;
    KeyKind kind_ = KeyKind::Character;
    int keyLength_ = 0;
    bool nullable_ = false;
};

// The ordered 8-byte form of a double: big-endian, the sign bit set for
// values >= 0 and every bit inverted for negative ones, so that the bytes
// compare as the numbers do.
void orderedDouble(double value, std::uint8_t* out);

}  // namespace quorvel::foxpro
