#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foxpro/format/value.h"
#include "foxpro/text/text_locale.h"

namespace quorvel::compare {

// A fast 64-bit hash of a sequence of words and byte strings, eight bytes
// at a time.  Not cryptographic: equal hashes only suggest equal input, and
// the pairings settle every match by comparing the values themselves.
class Hasher {
  public:
    explicit Hasher(std::uint64_t seed = 0) : state_(seed ^ kStart) {}

    void add(std::uint64_t word) { state_ = mix(state_ ^ word, kMultiplier); }
    // Sixteen bytes per multiplication; the length goes in too, so that
    // "ab" and "ab\0" differ.
    void add(std::string_view bytes) {
        const char* p = bytes.data();
        std::size_t n = bytes.size();
        std::uint64_t s = state_ ^ n;
        if (n > 48) {
            // A whole record: three lanes at a time, so that the
            // multiplications do not wait for each other.
            std::uint64_t s1 = s ^ kLane1;
            std::uint64_t s2 = s ^ kLane2;
            for (; n > 48; p += 48, n -= 48) {
                s = mix(load(p, 8) ^ kMultiplier, load(p + 8, 8) ^ s);
                s1 = mix(load(p + 16, 8) ^ kLane1, load(p + 24, 8) ^ s1);
                s2 = mix(load(p + 32, 8) ^ kLane2, load(p + 40, 8) ^ s2);
            }
            s ^= s1 ^ s2;
        }
        for (; n > 16; p += 16, n -= 16) s = mix(load(p, 8) ^ kMultiplier, load(p + 8, 8) ^ s);
        // The last 1..16 bytes as two words, overlapping when fewer.
        const std::uint64_t first = n >= 8 ? load(p, 8) : load(p, n);
        const std::uint64_t last = n >= 8 ? load(p + n - 8, 8) : 0;
        state_ = mix(first ^ kMultiplier, last ^ s ^ kFinal);
    }
    std::uint64_t value() const { return mix(state_, kFinal); }

  private:
    static constexpr std::uint64_t kStart = 0x9E3779B97F4A7C15ull;
    static constexpr std::uint64_t kMultiplier = 0xA0761D6478BD642Full;
    static constexpr std::uint64_t kFinal = 0xE7037ED1A0B428DBull;
    static constexpr std::uint64_t kLane1 = 0x8EBC6AF09C88C6E3ull;
    static constexpr std::uint64_t kLane2 = 0x589965CC75374CC3ull;

    // The high and low halves of a 128-bit product folded together (GCC
    // and Clang's 128-bit integer; __extension__ keeps -Wpedantic quiet).
    __extension__ using Wide = unsigned __int128;
    static std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
        const Wide product = static_cast<Wide>(a) * b;
        return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
    }

    static std::uint64_t load(const char* p, std::size_t n) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, n);
        return word;
    }

    std::uint64_t state_;
};

// The bits of a record's hash (or key hash) that the pairings use: all of
// them, except in tests, which keep a few so that unequal records share
// hashes and every match must be settled by comparing the records.
inline std::uint64_t recordHashMask = ~std::uint64_t{0};
inline std::uint64_t recordHash(const Hasher& hasher) {
    return hasher.value() & recordHashMask;
}

// A record's hash and its position, and a sort of many of them by hash,
// then position: two counting passes over the top bits of the hashes,
// which are evenly spread, then each run of equal top bits on its own; a
// third of the time of a comparison sort for a million.
using HashedRecord = std::pair<std::uint64_t, std::uint32_t>;
void sortByHash(std::vector<HashedRecord>& records);
// The same for hashes that carry the position in their low bits (half the
// memory to move; the hash keeps the high bits).
void sortPacked(std::vector<std::uint64_t>& packed);

// Adds a value as the typed comparison sees it: its kind and its value, so
// that values equal by that comparison (same kind, same value; null equal
// to null) add the same words.  Doubles are added by value (0 and -0 alike,
// every NaN alike).
void addTypedValue(Hasher& hasher, const foxpro::Value& value);
// The same for values read straight from stored bytes, adding what
// addTypedValue adds for the Value they make: text (Text and Bytes), whole
// numbers (Integer, Currency: amount x 10000, Logical), null.
void addTypedText(Hasher& hasher, foxpro::Value::Kind kind, std::string_view text);
void addTypedWhole(Hasher& hasher, foxpro::Value::Kind kind, std::int64_t value);
void addTypedNull(Hasher& hasher);

// How a key field compares: numbers by value across N, F, I, Y and B,
// character data without trailing blanks, dates and datetimes by value (a
// date as its midnight), logicals by truth, binary data byte for byte, and
// null equal to null.  A field whose two sides are of different kinds
// (character against number, say) compares by text form without trailing
// blanks.
enum class KeyKind : std::uint8_t { Number, Text, Time, Logical, Binary };
KeyKind keyKindOf(int typeCode);

// The canonical form of a key value: a letter for its class ('N' number,
// 'S' text, 'D' date and time, 'L' logical, 'B' binary, '0' null) and its
// text, which it returns and puts into text.  Two values are equal as keys
// exactly when both agree.  byText: the field's two sides are of different
// kinds.
char keyPart(const foxpro::Value& value, bool byText, const foxpro::TextLocale& locale,
             std::string& text);

// A key part appended to out: its letter, the text's length (four bytes),
// the text, so that the parts of a key of several fields never run
// together alike.
void appendKeyPart(std::string& out, char letter, std::string_view text);

// A key value as a person reads it in a message: its text form without
// trailing blanks, ".NULL." for null.
std::string keyDisplayText(const foxpro::Value& value, const foxpro::TextLocale& locale);

}  // namespace quorvel::compare
