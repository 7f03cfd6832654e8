#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "compare/compare_options.h"
#include "compare/difference_list.h"
#include "compare/field_pairing.h"
#include "compare/structure_difference.h"
#include "compare/value_rules.h"
#include "foxpro/sql/recordset.h"
#include "foxpro/text/text_locale.h"

namespace quorvel::compare {

// One field of Table #1 and its partner in Table #2 (field_pairing.h).
struct FieldPair {
    int index1 = 0;
    int index2 = -1;  // -1: Table #2 lacks the field
    int type1 = 0;
    int type2 = 0;
    bool memo = false;
    int offset = 0;  // in the record, for the byte comparison of equal layouts
    int width = 0;
    // Both sides store the field alike (type, width, decimals, flags, code
    // page): equal bytes with equal null and length bits are equal values,
    // so the pair is decoded only when they differ.
    bool byBytes = false;
    int offset2 = 0;
    int nullBit1 = -1;
    int nullBit2 = -1;
    int varBit1 = -1;
    int varBit2 = -1;

    bool missing() const { return index2 < 0; }
    // Whether the field decides if two records are equal: the comparison
    // never compares a field Table #2 lacks, nor binary data of one type.
    bool compared() const {
        return index2 >= 0 && !(type1 == type2 && type1 >= foxpro::kTypeVarBinary);
    }
};

// The two open tables of a comparison, their fields paired, and what is
// compared of one record of each: the record each cursor stands on.  The
// field list is Table #1's.  Copies nothing of the records: values are read
// from the cursors when asked for.  The options' ignored fields are left
// out of every field list but fieldNames1(); values compare by the options'
// rules (ValueRules).  Text whose bytes did not decode cleanly compares by
// its marked text (TableReader::markedText), which equals only text with
// the same undecodable bytes in the same places.
class TablePair {
  public:
    TablePair(const foxpro::Recordset& fieldList, foxpro::Recordset& cursor1,
              foxpro::Recordset& cursor2, const foxpro::TextLocale& locale,
              const CompareOptions& options = {});
    TablePair(const TablePair&) = delete;
    TablePair& operator=(const TablePair&) = delete;

    foxpro::Recordset& cursor1() { return cursor1_; }
    foxpro::Recordset& cursor2() { return cursor2_; }
    const std::vector<FieldPair>& fields() const { return pairs_; }
    // The pairs that decide whether two records are equal.
    std::size_t comparedCount() const { return compared_.size(); }

    // Table #1's field names as it spells them, in column order.
    std::vector<std::string> fieldNames1() const;
    // How the fields of the two tables pair, ignored ones too.
    const FieldPairing& fieldPairing() const { return pairing_; }
    const ValueRules& rules() const { return rules_; }

    // The value of a field of the current record of a side (1 or 2) as the
    // comparison tells values apart: text that did not decode cleanly as
    // its marked text.
    foxpro::Value comparedValue(int side, int index);
    // Whether comparedValue(side, index) would add a warning now (the
    // first value of that field with bytes its code page cannot decode).
    bool wouldWarn(int side, int index);

    // What the comparison has to say besides the differences: the fields
    // paired by the ten characters of a header name (shortenedPairText),
    // then, once per table and field, a value met holding bytes its code
    // page cannot decode: "t2.dbf: record 2, field NAME holds bytes that
    // code page UTF-8 cannot decode; such values are compared by their
    // bytes".
    const std::vector<std::string>& warnings() const { return warnings_; }

    // Adds the Changed differences of the two current records, as record n1
    // of Table #1 and record n2 of Table #2, in Table #1's column order;
    // with missingFieldLines also a Missing-field line for every field that
    // Table #2 lacks, in its place.  Returns the units of work done (one
    // for the pair, one per decoded field).
    int compareCurrent(DifferenceList& out, std::int64_t n1, std::int64_t n2,
                       bool missingFieldLines);

    // compareCurrent for two records given by their stored bytes (records
    // n1 and n2, as a walk that read them itself holds them): the cursors
    // need not stand on them.  For tables without memo fields only.
    int compareStored(DifferenceList& out, std::int64_t n1, std::int64_t n2,
                      std::span<const std::uint8_t> raw1, std::span<const std::uint8_t> raw2,
                      bool missingFieldLines);

    // A Missing-field line (records 0 and 0) for every field that Table #2
    // lacks, in Table #1's column order.
    void addMissingFieldLines(DifferenceList& out) const;

    // The fields of Table #2 that no field of Table #1 pairs with (in Table
    // #2's column order), then the compared pairs whose definitions differ
    // (in Table #1's).
    std::vector<StructureDifference> structureDifferences() const;

    // True when compareCurrent would add no Changed difference.
    bool currentEqual();
    // True when the current records are equal by their stored bytes alone
    // (byBytes() tables without memos): then currentEqual() is true and
    // the two records' currentStoredHash agree.  False says nothing.
    bool currentBytesEqual() const;
    // The same for two records' stored bytes (rawRecord() of Table #1 and
    // of Table #2, current or not).
    bool storedEqual(std::span<const std::uint8_t> raw1, std::span<const std::uint8_t> raw2) const;
    // Whether currentBytesEqual() can be true at all.
    bool bytesDecide() const { return byBytes_ && memos_.empty(); }

    // The hash of the current record of Table #1 (side 1) or Table #2 over
    // the compared fields, so that records equal by currentEqual hash alike.
    std::uint64_t currentHash(int side);

    // Tables of one layout whose fields pair by position: records whose
    // compared bytes agree hold equal values.
    bool byBytes() const { return byBytes_; }
    // For byBytes() tables only: the hash of the current record's compared
    // bytes (and memo contents).  Records of equal hashes are nearly always
    // equal; equal records may still hash apart (a number written with
    // other blanks, say), so a caller looks for those by currentHash.
    // Reads the stored bytes only, which is many times faster.
    std::uint64_t currentStoredHash(int side);
    // currentStoredHash of a record's stored bytes (rawRecord() of the
    // side), for bytesDecide() tables; reads nothing but those bytes, so
    // that two threads may hash at once.
    std::uint64_t storedHash(std::span<const std::uint8_t> raw) const;
    // The same field by field: one hash per compared field appended to out,
    // equal for two values that compare equal.
    void currentFieldHashes(int side, std::vector<std::uint64_t>& out);

  private:
    struct ByteRange {
        int offset;
        int length;
    };

    // How one side's value of a compared field goes into a hash.
    struct HashField {
        int index = 0;
        // Read from its stored bytes, without a Value: a C field (its bytes
        // when they are ASCII, which is their own text, else its decoded
        // text, hashed alike), or an I or Y field on both sides.
        bool raw = false;
        char letter = 'C';
        bool byText = false;     // the two sides differ in type: by text form
        bool byNumber = false;   // ... and both are numbers: by canonicalNumber
        bool textRuled = false;  // its text goes in as the text rules compare it
        bool anyNumber = false;  // a tolerance makes every number hash alike
        int offset = 0;
        int width = 0;
        int nullBit = -1;
    };
    void planHashes();
    template <typename Add>
    void hashRuled(const HashField& f, int side, Add&& add);
    template <typename Add>
    void hashFields(int side, Add&& add);

    // The current record of a side: the cursor's, or the one compareStored
    // was given.
    std::span<const std::uint8_t> sideRecord(int side) const;
    foxpro::Value sideValue(int side, int index) const;
    std::int64_t sidePosition(int side) const;

    void compareField(DifferenceList& out, const FieldPair& pair, std::int64_t n1, std::int64_t n2);
    bool fieldEqual(const FieldPair& pair);
    // Replaces text that did not decode cleanly by its marked text, and
    // warns of the field the first time.
    void markUndecoded(int side, int index, foxpro::Value& value);
    bool comparedEqual(const FieldPair& pair, const foxpro::Value& a, const foxpro::Value& b);
    // A value too large for the memory left: FoxProError naming Table #1's
    // file, the two current records and the field.
    [[noreturn]] void outOfMemory(const FieldPair& pair) const;
    bool valuesEqual(const foxpro::Value& a, int typeA, const foxpro::Value& b, int typeB) const;
    // Consecutive pairs of pairs_; when byBytes, each of them is, and their
    // bytes lie back to back on both sides: one comparison for all.
    struct FieldRun {
        std::size_t first = 0;
        std::size_t count = 0;
        bool byBytes = false;
        bool flags = false;  // some pair has a null or length bit
        int offset1 = 0;
        int offset2 = 0;
        int length = 0;
    };
    // For a byBytes pair or run: whether the stored bytes and flag bits agree.
    bool flagsEqual(const FieldPair& pair, std::span<const std::uint8_t> raw1,
                    std::span<const std::uint8_t> raw2) const;
    bool runEqual(const FieldRun& run, std::span<const std::uint8_t> raw1,
                  std::span<const std::uint8_t> raw2) const;
    // The i-th pair of a run alone, for a run whose bytes differ somewhere.
    bool pairBytesEqual(const FieldRun& run, std::size_t i, std::span<const std::uint8_t> raw1,
                        std::span<const std::uint8_t> raw2) const;
    // For the equal-layout path: every byte range of the compared fields.
    bool rangesEqual(std::span<const std::uint8_t> raw1, std::span<const std::uint8_t> raw2) const;
    void planFieldBytes();
    bool bytesEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, int offset,
                    int length) const;

    // While compareStored runs: its records and their numbers.
    bool given_ = false;
    std::span<const std::uint8_t> givenRecord_[2];
    std::int64_t givenPosition_[2] = {0, 0};

    const foxpro::Recordset& fieldList_;
    foxpro::Recordset& cursor1_;
    foxpro::Recordset& cursor2_;
    const foxpro::TextLocale& locale_;
    ValueRules rules_;
    bool valueRules_ = false;  // values compare by other than the plain rules
    FieldPairing pairing_;
    std::vector<std::string> warnings_;
    std::vector<bool> warned1_;  // per field of each side: warned of undecodable bytes
    std::vector<bool> warned2_;
    std::vector<FieldPair> pairs_;
    std::vector<FieldPair> compared_;
    std::vector<FieldPair> memos_;  // content to compare even when the bytes agree
    // Records of equal layouts whose compared bytes agree hold equal values,
    // memo contents aside: they need no decoding.
    bool byBytes_ = false;
    std::vector<HashField> hash1_;
    std::vector<HashField> hash2_;
    std::vector<ByteRange> ranges_;
    std::vector<FieldRun> runs_;
    int flagsOffset1_ = -1;
    int flagsOffset2_ = -1;
    int nullFlagsOffset_ = -1;
    int nullFlagsWidth_ = 0;
};

}  // namespace quorvel::compare
