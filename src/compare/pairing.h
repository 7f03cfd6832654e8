#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::compare {

// How the comparison pairs the records of Table #1 with those of Table #2.
enum class Pairing : std::uint8_t {
    Position,  // the n-th record with the n-th, in stored order
    Key,       // records with equal values in the key fields
    Content,   // a longest common subsequence of equal records
    Auto       // the table's own key (auto_key.h), settled before the walk
};

struct RecordPairing {
    Pairing by = Pairing::Position;
    // Key: the key fields, named without regard to case; each must be a
    // field of both tables.
    std::vector<std::string> keyFields;
    // Key: the key's text parts compare without case, or without leading
    // blanks (trailing ones never count), as an index expression says.
    bool keyCaseless = false;
    bool keyTrimsLeading = false;
    // What the pairing line says after "Records paired by " when the key
    // was chosen for the table ("primary key ID (container shop.dbc)").
    std::string note = {};
};

// Content pairing pairs the records of a stretch between two equal records
// by their equal field values when neither side of the stretch holds more
// records than this; a larger stretch pairs its first record with the
// other side's first, and so on.  Comparing every record of one side with
// every record of the other costs limit x limit record comparisons.
inline constexpr std::size_t kStretchLimit = 1000;
// The record comparisons all stretches of one comparison may cost: this
// many per record of the two tables (at least kStretchLimit squared, one
// stretch of the limit's size).  Tables where nearly every record changed
// but every few hundredth would otherwise compare each of a million records
// with hundreds of others; once the budget is spent, the remaining
// stretches pair first with first too.
inline constexpr std::size_t kStretchWorkPerRecord = 16;

// The words that name a pairing in the settings store ("Position", "Key",
// "Content", "Auto"); an unknown word reads as Position.
std::string_view pairingWord(Pairing by);
Pairing pairingFromWord(std::string_view word);

// What the results window says about the lines' pairing:
//   "Records paired by position"
//   "Records paired by key fields: ID, CODE"
//   "Records paired by content"
//   "Records paired by " + note, when the pairing has one
std::string pairingDescription(const RecordPairing& pairing);

// Key field names as one text ("ID,CODE") and back; blanks around names and
// empty names are dropped.
std::string joinKeyFields(const std::vector<std::string>& names);
std::vector<std::string> splitKeyFields(std::string_view text);

// A key value that more than one record of a table holds.
struct DuplicateKey {
    std::string value;        // the key fields' values as text, ", " between them
    std::int64_t count1 = 0;  // records of Table #1 with this value
    std::int64_t count2 = 0;  // records of Table #2 with this value
};

// "Key 17, abc is not unique: 2 records in Table #1, 1 in Table #2"
std::string duplicateKeyText(const DuplicateKey& duplicate);

}  // namespace quorvel::compare
