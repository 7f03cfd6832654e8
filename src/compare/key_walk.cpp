// Key pairing: while the two tables hold equal keys at equal places (two
// copies of one table, changed here and there) their records pair in place;
// where they part, keys that rise on both sides pair as a merge in key order
// (a record removed or added); the records after that are grouped by the
// hash of their key values; a
// group of one record on each side is a pair (its keys compared when the
// pair is compared), a larger group is settled by reading the key values of
// its records.

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "compare/case_fold.h"
#include "compare/field_pairing.h"
#include "compare/pairing_walks.h"
#include "compare/record_hash.h"
#include "foxpro/read/lookup_pages.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/code_page.h"

namespace quorvel::compare {

namespace {

using foxpro::Recordset;

// Where one side's key field lies in the stored record, for a key read
// from its bytes.
struct StoredKey {
    int offset = 0;
    int width = 0;
    int nullBit = -1;
};

struct KeyField {
    int index1 = -1;
    int index2 = -1;
    bool byText = false;  // the two sides are of different kinds
    // Read from the stored bytes, without decoding: I or Y on both sides,
    // or C on both (its bytes when they are ASCII, which is their own text,
    // trailing blanks dropped, written as appendKeyText writes the text).
    bool stored = false;
    bool text = false;
    bool fold = false;  // with --ignore-case: text parts in upper case
    StoredKey stored1;
    StoredKey stored2;
};

// A strict total order of key texts (appendKeyPart's form), equal exactly
// when the texts are, that follows the usual order of the keys tables are
// kept in: stored whole numbers by value, numbers and dates of digits alone
// by value, other texts byte for byte.
int partOrder(char letter, std::string_view a, std::string_view b) {
    if (letter == 'R' && a.size() == b.size() && (a.size() == 4 || a.size() == 8)) {
        // The stored bytes of an I or Y field: little-endian, signed.
        std::int64_t x = 0;
        std::int64_t y = 0;
        if (a.size() == 4) {
            std::int32_t x4 = 0;
            std::int32_t y4 = 0;
            std::memcpy(&x4, a.data(), 4);
            std::memcpy(&y4, b.data(), 4);
            x = x4;
            y = y4;
        } else {
            std::memcpy(&x, a.data(), 8);
            std::memcpy(&y, b.data(), 8);
        }
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (letter == 'N' || letter == 'D') {
        // Digits alone, without a leading zero, come first, shorter first.
        auto digits = [](std::string_view t) {
            return !t.empty() && (t.size() == 1 || t[0] != '0') &&
                   std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
        };
        const bool da = digits(a);
        const bool db = digits(b);
        if (da != db) return da ? -1 : 1;
        if (da && a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    }
    const int order = a.compare(b);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

int keyOrder(std::string_view a, std::string_view b) {
    // One I field, the usual key: its two numbers at once.
    static constexpr std::string_view kWhole4("R\x04\0\0\0", 5);
    if (a.size() == 9 && b.size() == 9 && a.starts_with(kWhole4) && b.starts_with(kWhole4)) {
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::memcpy(&x, a.data() + 5, 4);
        std::memcpy(&y, b.data() + 5, 4);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    auto take = [](std::string_view& t, char& letter, std::string_view& text) {
        letter = t[0];
        std::uint32_t size = 0;
        for (int i = 0; i < 4; ++i)
            size |= std::uint32_t{static_cast<unsigned char>(t[static_cast<std::size_t>(1 + i)])}
                    << (8 * i);
        text = t.substr(5, size);
        t.remove_prefix(5 + size);
    };
    while (!a.empty() && !b.empty()) {
        char la = 0;
        char lb = 0;
        std::string_view ta;
        std::string_view tb;
        take(a, la, ta);
        take(b, lb, tb);
        if (la != lb) return la < lb ? -1 : 1;
        if (const int order = partOrder(la, ta, tb); order != 0) return order;
    }
    return a.empty() ? (b.empty() ? 0 : -1) : 1;
}

class KeyWalk {
  public:
    KeyWalk(TablePair& tables, const foxpro::TextLocale& locale, DifferenceList& out,
            WalkPacer& pacer)
        : tables_(tables), locale_(locale), out_(out), pacer_(pacer) {}

    void resolve(const RecordPairing& pairing, const std::string& table1,
                 const std::string& table2) {
        const std::vector<std::string>& names = pairing.keyFields;
        trimLeading_ = pairing.keyTrimsLeading;
        if (names.empty()) throw std::invalid_argument("no key field given");
        const std::vector<std::string> names1 = fieldNames(tables_.cursor1());
        const std::vector<std::string> names2 = fieldNames(tables_.cursor2());
        const FieldPairing& fields = tables_.fieldPairing();
        for (const auto& name : names) {
            KeyField key;
            key.index1 = pickField1(fields, names1, names2, name);
            if (key.index1 < 0)
                throw std::invalid_argument("key field " + name + " not found in Table #1 (" +
                                            table1 + ")");
            key.index2 = fields.partner1[static_cast<std::size_t>(key.index1)];
            if (key.index2 < 0)
                throw std::invalid_argument("key field " + name + " not found in Table #2 (" +
                                            table2 + ")");
            const foxpro::FieldInfo& f1 = tables_.cursor1().field(key.index1);
            const foxpro::FieldInfo& f2 = tables_.cursor2().field(key.index2);
            key.byText = keyKindOf(f1.typeCode) != keyKindOf(f2.typeCode);
            key.fold = (pairing.keyCaseless && (f1.letter == 'C' || f2.letter == 'C')) ||
                       (tables_.rules().foldsCase() && (tables_.rules().textRuled(f1.typeCode) ||
                                                        tables_.rules().textRuled(f2.typeCode)));
            key.text = f1.letter == 'C';
            key.stored = f1.letter == f2.letter &&
                         (f1.letter == 'I' || f1.letter == 'Y' || f1.letter == 'C');
            key.stored1 = {f1.offset, f1.width, f1.nullBit};
            key.stored2 = {f2.offset, f2.width, f2.nullBit};
            keys_.push_back(key);
        }
        const KeyField& only = keys_.front();
        whole_ = keys_.size() == 1 && only.stored && !only.text &&
                 tables_.cursor1().field(only.index1).letter == 'I' && only.stored1.width == 4 &&
                 only.stored2.width == 4 && only.stored1.nullBit < 0 && only.stored2.nullBit < 0;
    }

    void run(std::vector<DuplicateKey>& duplicates) {
        tables_.addMissingFieldLines(out_);
        // Key hashes carry the record's position in their low bits: half the
        // memory to sort.  Two keys whose hashes then agree are told apart
        // by their values as any two of equal hashes are.
        const std::int64_t most = std::max(tables_.cursor1().table().storedCount(),
                                           tables_.cursor2().table().storedCount());
        while (positionBits_ < 32 && (std::int64_t{1} << positionBits_) < most) ++positionBits_;
        std::vector<std::uint64_t> rest1;
        std::vector<std::uint64_t> rest2;
        walkInStep(rest1, rest2);
        std::vector<std::uint64_t> common = inStepShared();
        sortPacked(common);
        sortPacked(rest1);
        sortPacked(rest2);
        group(common, rest1, rest2);
        std::vector<std::uint64_t>().swap(common);
        std::vector<std::uint64_t>().swap(rest1);
        std::vector<std::uint64_t>().swap(rest2);
        std::stable_sort(duplicates_.begin(), duplicates_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& d : duplicates_) duplicates.push_back(std::move(d.second));
        compareRest();
    }

  private:
    Recordset& cursor(int side) { return side == 1 ? tables_.cursor1() : tables_.cursor2(); }

    // One key field's part of the current record of a side, as keyPart
    // gives it: its letter and its text, which lies in the record's bytes
    // or in scratch.
    std::pair<char, std::string_view> keyFieldPart(int side, const KeyField& key,
                                                   std::string& scratch) {
        Recordset& c = cursor(side);
        if (key.stored) {
            const auto raw = c.rawRecord();
            const StoredKey& at = side == 1 ? key.stored1 : key.stored2;
            const int nullFlags = c.layout().nullFlagsOffset;
            if (at.nullBit >= 0 &&
                ((raw[static_cast<std::size_t>(nullFlags + at.nullBit / 8)] >> (at.nullBit % 8)) &
                 1))
                return {'0', std::string_view()};
            std::string_view bytes(reinterpret_cast<const char*>(raw.data()) + at.offset,
                                   static_cast<std::size_t>(at.width));
            if (!key.text) return {'R', bytes};  // I or Y: the number's stored bytes
            if (foxpro::isAscii(bytes)) {
                while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
                if (trimLeading_)
                    while (!bytes.empty() && bytes.front() == ' ') bytes.remove_prefix(1);
                if (!key.fold) return {'S', bytes};
                scratch = upperText(bytes);
                return {'S', std::string_view(scratch)};
            }
        }
        const int index = side == 1 ? key.index1 : key.index2;
        if (holdWarnings_ &&
            std::string_view("CVM").find(cursor(side).field(index).letter) !=
                std::string_view::npos &&
            tables_.wouldWarn(side, index)) {
            warningAhead_ = true;
            return {'0', std::string_view()};
        }
        const char letter =
            keyPart(tables_.comparedValue(side, index), key.byText, locale_, scratch);
        if (key.fold && letter == 'S') scratch = upperText(scratch);
        if (trimLeading_ && letter == 'S')
            scratch.erase(0, std::min(scratch.size(), scratch.find_first_not_of(' ')));
        return {letter, std::string_view(scratch)};
    }

    // The key parts of the current record of a side, each to
    // part(letter, text).
    template <typename Part>
    void keyParts(int side, Part&& part) {
        for (const KeyField& key : keys_) {
            const auto [letter, text] = keyFieldPart(side, key, scratch1_);
            part(letter, text);
        }
    }

    // Whether the current records of the two sides hold equal keys.
    bool keysEqual() {
        for (const KeyField& key : keys_)
            if (keyFieldPart(1, key, scratch1_) != keyFieldPart(2, key, scratch2_)) return false;
        return true;
    }

    // The canonical key text of the current record of a side: equal for
    // two records exactly when their keys are.
    void keyText(int side, std::string& text) {
        text.clear();
        keyParts(side,
                 [&](char letter, std::string_view part) { appendKeyPart(text, letter, part); });
    }

    // Every key hash is one of its canonical text (keyText), wherever the
    // record was read.
    static std::uint64_t textHash(std::string_view text) {
        Hasher hasher;
        hasher.add(text);
        return recordHash(hasher);
    }

    std::uint64_t keyHash(int side) {
        keyText(side, hashText_);
        return textHash(hashText_);
    }

    std::string displayText(int side) {
        std::string text;
        for (const KeyField& key : keys_) {
            if (!text.empty()) text += ", ";
            text +=
                keyDisplayText(cursor(side).value(side == 1 ? key.index1 : key.index2), locale_);
        }
        return text;
    }

    // Whether the key text of the current record of a side is `text`, read
    // part by part without writing it.
    bool keyTextIs(int side, std::string_view text) {
        for (const KeyField& key : keys_) {
            const auto [letter, part] = keyFieldPart(side, key, scratch2_);
            if (text.size() < 5 + part.size() || text[0] != letter) return false;
            std::uint32_t size = 0;
            for (int i = 0; i < 4; ++i)
                size |=
                    std::uint32_t{static_cast<unsigned char>(text[static_cast<std::size_t>(1 + i)])}
                    << (8 * i);
            if (size != part.size() || text.substr(5, size) != part) return false;
            text.remove_prefix(5 + size);
        }
        return text.empty();
    }

    std::uint64_t positionMask() const { return (std::uint64_t{1} << positionBits_) - 1; }
    std::uint32_t positionOf(std::uint64_t packed) const {
        return static_cast<std::uint32_t>(packed & positionMask());
    }

    // Reads both tables side by side.  While the keys at one position
    // agree (one table changed here and there, or both in key order) the
    // records there pair with each other whatever else the tables hold: a
    // key's occurrences before that point stand at the same places on both
    // sides, so its k-th record pairs with its k-th.  Those pairs are
    // compared at once and hashed only when they must be (inStepShared).
    // Where the keys part, keys that still rise strictly on both sides
    // are walked as a merge (mergeInOrder); the records after that go to
    // rest1 and rest2 as key hashes, each with its record's number
    // (0-based) in the low bits.
    void walkInStep(std::vector<std::uint64_t>& rest1, std::vector<std::uint64_t>& rest2) {
        Recordset& c1 = tables_.cursor1();
        Recordset& c2 = tables_.cursor2();
        c1.moveFirst();
        c2.moveFirst();
        const std::uint32_t n = whole_ ? walkSame<true>() : walkSame<false>();
        inStep_ = n;
        walked1_ = n;
        std::uint32_t n1 = n;
        std::uint32_t n2 = n;
        const auto count = [](Recordset& c) {
            return static_cast<std::size_t>(std::max<std::int64_t>(0, c.table().storedCount()));
        };
        if (!c1.eof() && !c2.eof()) {
            // The records at n hold different keys.
            partner1_.assign(count(c1), 0);
            settled1_.assign(count(c1), false);
            same1_.assign(count(c1), false);
            paired2_.assign(count(c2), false);
            keyText(1, key1_);
            keyText(2, key2_);
            if (rising_ && whole_)
                mergeWhole(n1, n2, rest1, rest2);
            else if (rising_)
                mergeInOrder(n1, n2, rest1, rest2);
        }
        const auto left = [&](Recordset& c, std::uint32_t at) {
            return count(c) - std::min<std::size_t>(count(c), at);
        };
        rest1.reserve(rest1.size() + left(c1, n1));
        rest2.reserve(rest2.size() + left(c2, n2));
        // Side by side, Table #1's record first at equal places, as the
        // warnings of undecodable keys come.
        while (!c1.eof() || !c2.eof()) {
            if (!c1.eof() && (c2.eof() || n1 <= n2)) {
                keyText(1, key1_);
                rest(1, n1++, key1_, rest1);
                c1.moveNext();
            } else {
                keyText(2, key2_);
                rest(2, n2++, key2_, rest2);
                c2.moveNext();
            }
        }
        count1_ = n1;
        count2_ = n2;
    }

    // The records of equal keys at equal places from the start of both
    // tables, compared at once; their count.  Whole: the key is one I field
    // never null on either side, read as its number.
    template <bool Whole>
    std::uint32_t walkSame() {
        Recordset& c1 = tables_.cursor1();
        Recordset& c2 = tables_.cursor2();
        std::uint32_t n = 0;
        std::int32_t first = 0;
        std::int32_t previous = 0;
        for (; !c1.eof() && !c2.eof(); ++n) {
            // Keys that rise strictly are unique among the in-step records:
            // no hash needed to find their duplicates there.
            if constexpr (Whole) {
                const std::int32_t key = whole(1);
                if (key != whole(2)) break;
                if (rising_ && n > 0 && previous >= key) rising_ = false;
                if (n == 0) first = key;
                previous = key;
            } else {
                keyText(1, key1_);
                if (!keyTextIs(2, key1_)) break;
                if (rising_ && n > 0 && keyOrder(lastKey_, key1_) >= 0) rising_ = false;
                if (n == 0) firstKey_ = key1_;
                std::swap(lastKey_, key1_);
            }
            pacer_.work(done_ += 2, 1);
            const int units =
                tables_.compareCurrent(out_, std::int64_t{n} + 1, std::int64_t{n} + 1, false);
            pacer_.work(done_ += 2, units);
            c1.moveNext();
            c2.moveNext();
        }
        if constexpr (Whole) {
            if (n > 0) {
                wholeText(first, firstKey_);
                wholeText(previous, lastKey_);
            }
        }
        return n;
    }

    std::int32_t whole(int side) {
        const StoredKey& at = side == 1 ? keys_[0].stored1 : keys_[0].stored2;
        std::int32_t key = 0;
        std::memcpy(&key, cursor(side).rawRecord().data() + at.offset, 4);
        return key;
    }

    // The key text (keyText's) of an I field's number.
    static void wholeText(std::int32_t key, std::string& text) {
        char bytes[4];
        std::memcpy(bytes, &key, 4);
        text.clear();
        appendKeyPart(text, 'R', std::string_view(bytes, 4));
    }

    // mergeInOrder for a key of one I field never null (walkSame's Whole).
    void mergeWhole(std::uint32_t& n1, std::uint32_t& n2, std::vector<std::uint64_t>& rest1,
                    std::vector<std::uint64_t>& rest2) {
        Recordset& c1 = tables_.cursor1();
        Recordset& c2 = tables_.cursor2();
        std::int32_t key1 = whole(1);
        std::int32_t key2 = whole(2);
        if (n1 == 0) firstKey_ = key1_;
        std::int32_t last1 = 0;
        if (n1 > 0) {
            std::memcpy(&last1, lastKey_.data() + 5, 4);
            if (last1 >= key1 || last1 >= key2) return;
        }
        std::int32_t last2 = last1;
        std::string text;
        const std::uint32_t start1 = n1;
        for (;;) {
            if (key1 == key2) {
                pairCurrent(n1, n2);
            } else if (key1 < key2) {
                wholeText(key1, text);
                pushRest(n1, text, rest1);
            } else {
                wholeText(key2, text);
                pushRest(n2, text, rest2);
            }
            const bool step1 = key1 <= key2;
            const bool step2 = key2 <= key1;
            if (step1) {
                last1 = key1;
                c1.moveNext();
                walked1_ = ++n1;
            }
            if (step2) {
                last2 = key2;
                c2.moveNext();
                ++n2;
            }
            if (c1.eof() || c2.eof()) break;
            if (step1 && (key1 = whole(1)) <= last1) break;
            if (step2 && (key2 = whole(2)) <= last2) break;
        }
        if (n1 > start1) wholeText(last1, lastKey_);
    }

    // From the first place where the keys part (records n1 and n2, their
    // key texts in key1_ and key2_), while the keys of each side rise
    // strictly: a merge of the two in key order.  Each key is then held at
    // most once by each side, so equal keys are a pair (whose record
    // bytes, when they agree, need no second look); a record whose key
    // the other side passed without holding it goes to the rest, where a
    // later record of that key (after the keys stop rising) finds it.
    // Table #1's records [0, walked1_) are those walked so, their keys
    // rising from firstKey_ to lastKey_.
    void mergeInOrder(std::uint32_t& n1, std::uint32_t& n2, std::vector<std::uint64_t>& rest1,
                      std::vector<std::uint64_t>& rest2) {
        Recordset& c1 = tables_.cursor1();
        Recordset& c2 = tables_.cursor2();
        if (n1 == 0) firstKey_ = key1_;
        std::string last2 = lastKey_;
        if (n1 > 0 && (keyOrder(lastKey_, key1_) >= 0 || keyOrder(lastKey_, key2_) >= 0)) return;
        for (;;) {
            const int order = keyOrder(key1_, key2_);
            if (order == 0) {
                pairCurrent(n1, n2);
            } else if (order < 0) {
                pushRest(n1, key1_, rest1);
            } else {
                pushRest(n2, key2_, rest2);
            }
            if (order <= 0) {
                std::swap(lastKey_, key1_);
                c1.moveNext();
                walked1_ = ++n1;
            }
            if (order >= 0) {
                std::swap(last2, key2_);
                c2.moveNext();
                ++n2;
            }
            if (c1.eof() || c2.eof()) return;
            // A key whose reading would warn ends the merge before it is
            // read: the warnings keep the order of a walk side by side,
            // which the rest's walk gives them.
            holdWarnings_ = true;
            if (order <= 0) keyText(1, key1_);
            if (order >= 0 && !warningAhead_) keyText(2, key2_);
            holdWarnings_ = false;
            if (warningAhead_) return;
            if (order <= 0 && keyOrder(lastKey_, key1_) >= 0) return;
            if (order >= 0 && keyOrder(last2, key2_) >= 0) return;
        }
    }

    // Records n1 and n2, the cursors' current ones, hold one key: a pair
    // settled at once (equal bytes need no second look later).
    void pairCurrent(std::uint32_t n1, std::uint32_t n2) {
        partner1_[n1] = n2 + 1;
        settled1_[n1] = true;
        same1_[n1] = tables_.currentBytesEqual();
        paired2_[n2] = true;
        ++matched_;
        pacer_.work(done_ += 2, 1);
    }

    void pushRest(std::uint32_t record, const std::string& key, std::vector<std::uint64_t>& into) {
        into.push_back((textHash(key) & ~positionMask()) | record);
        pacer_.work(++done_, 1);
    }

    // A record after the walk in step and in order, of key text `key`: its
    // key hash to `into`; a candidate for holding a key of the records
    // paired there when it lies within the range of their rising keys.
    void rest(int side, std::uint32_t record, const std::string& key,
              std::vector<std::uint64_t>& into) {
        pushRest(record, key, into);
        if (!rising_ || inStep_ + matched_ == 0 || tooMany_) return;
        if (keyOrder(key, firstKey_) < 0 || keyOrder(key, lastKey_) > 0) return;
        if (candidates_.size() >= std::size_t{walked1_} / 64 + 1024) {
            // Searching would cost more than hashing the in-step records.
            tooMany_ = true;
            std::vector<std::pair<int, std::uint32_t>>().swap(candidates_);
            return;
        }
        candidates_.emplace_back(side, record);
    }

    // Whether record n (0-based) of Table #1, walked in step or in order,
    // has its partner already.
    bool pairedEarly(std::uint32_t n) const {
        return n < inStep_ || (n < partner1_.size() && partner1_[n] != 0);
    }

    // The records paired in step or in order whose keys the rest of either
    // table holds too, as key hashes with their Table #1 record numbers:
    // all of them, unless their keys rise strictly, when only those the
    // candidates name.
    std::vector<std::uint64_t> inStepShared() {
        std::vector<std::uint64_t> shared;
        if (inStep_ + matched_ == 0) return shared;
        Recordset& c1 = tables_.cursor1();
        if (!rising_ || tooMany_) {
            shared.reserve(inStep_ + matched_);
            std::uint32_t n = 0;
            for (c1.moveFirst(); n < walked1_; c1.moveNext(), ++n)
                if (pairedEarly(n)) shared.push_back((keyHash(1) & ~positionMask()) | n);
            return shared;
        }
        std::vector<std::uint32_t> found;
        for (const auto& [side, record] : candidates_) {
            cursor(side).moveTo(std::int64_t{record} + 1);
            keyText(side, key2_);
            // The walked keys of Table #1 rise: a binary search over them.
            std::uint32_t low = 0;
            std::uint32_t high = walked1_;
            while (low < high) {
                const std::uint32_t middle = low + (high - low) / 2;
                c1.moveTo(std::int64_t{middle} + 1);
                keyText(1, key1_);
                const int order = keyOrder(key1_, key2_);
                if (order == 0) {
                    // One without its partner is in the rest already.
                    if (pairedEarly(middle)) found.push_back(middle);
                    break;
                }
                if (order < 0)
                    low = middle + 1;
                else
                    high = middle;
            }
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        for (const std::uint32_t n : found) {
            c1.moveTo(std::int64_t{n} + 1);
            shared.push_back((keyHash(1) & ~positionMask()) | n);
        }
        return shared;
    }

    // Groups the records by key hash: the in-step start (common, one entry
    // for a pair already made) and the rest of each table, each sorted.
    void group(const std::vector<std::uint64_t>& common, const std::vector<std::uint64_t>& rest1,
               const std::vector<std::uint64_t>& rest2) {
        // Pairs made in order stay; those made in step are not listed.
        partner1_.resize(count1_, 0);
        settled1_.resize(count1_, false);
        same1_.resize(count1_, false);
        paired2_.resize(count2_, false);
        const std::uint64_t high = ~positionMask();
        std::size_t i = 0;
        std::size_t j1 = 0;
        std::size_t j2 = 0;
        while (i < common.size() || j1 < rest1.size() || j2 < rest2.size()) {
            std::uint64_t h = ~std::uint64_t{0};
            if (i < common.size()) h = std::min(h, common[i] & high);
            if (j1 < rest1.size()) h = std::min(h, rest1[j1] & high);
            if (j2 < rest2.size()) h = std::min(h, rest2[j2] & high);
            auto end = [&](const std::vector<std::uint64_t>& list, std::size_t at) {
                while (at < list.size() && (list[at] & high) == h) ++at;
                return at;
            };
            const std::size_t endCommon = end(common, i);
            const std::size_t end1 = end(rest1, j1);
            const std::size_t end2 = end(rest2, j2);
            const std::size_t inCommon = endCommon - i;
            if (inCommon + end1 - j1 <= 1 && inCommon + end2 - j2 <= 1) {
                // Unique on both sides: paired in step already, a pair whose
                // keys are compared when the pair is, or a record without
                // partner.
                if (end1 > j1 && end2 > j2)
                    pair(positionOf(rest1[j1]), positionOf(rest2[j2]), false);
            } else {
                settle({common.data() + i, inCommon}, {rest1.data() + j1, end1 - j1},
                       {rest2.data() + j2, end2 - j2});
            }
            i = endCommon;
            j1 = end1;
            j2 = end2;
        }
    }

    void pair(std::uint32_t record1, std::uint32_t record2, bool settled) {
        partner1_[record1] = record2 + 1;
        settled1_[record1] = settled;
        paired2_[record2] = true;
    }

    // A group of records whose key hashes agree, more than one on a side:
    // their key values are read and compared; the k-th record of a value in
    // the rest of Table #1 pairs with the k-th of that value in the rest of
    // Table #2 (the in-step pairs hold as many of it on both sides), and a
    // value held more than once on a side is a duplicate.  The records come
    // in stored order.
    void settle(std::span<const std::uint64_t> common, std::span<const std::uint64_t> members1,
                std::span<const std::uint64_t> members2) {
        struct Value {
            std::string key;
            std::string display;
            std::int64_t first = -1;  // where Table #1, else Table #2, first holds it
            std::int64_t inStep = 0;  // pairs of it made in step
            std::vector<std::uint32_t> records1;
            std::vector<std::uint32_t> records2;
        };
        std::vector<Value> values;  // nearly always one: more only on a hash collision
        std::string text;
        auto place = [&](int side, std::uint32_t record, bool paired) {
            cursor(side).moveTo(std::int64_t{record} + 1);
            keyText(side, text);
            auto it = std::find_if(values.begin(), values.end(),
                                   [&](const Value& v) { return v.key == text; });
            if (it == values.end()) {
                values.push_back({text, displayText(side), -1, 0, {}, {}});
                it = values.end() - 1;
            }
            if (it->first < 0)
                it->first = side == 1 ? std::int64_t{record} : std::int64_t{count1_} + record;
            if (paired)
                ++it->inStep;
            else
                (side == 1 ? it->records1 : it->records2).push_back(record);
        };
        for (const std::uint64_t m : common) place(1, positionOf(m), true);
        for (const std::uint64_t m : members1) place(1, positionOf(m), false);
        for (const std::uint64_t m : members2) place(2, positionOf(m), false);
        for (Value& v : values) {
            const std::size_t paired = std::min(v.records1.size(), v.records2.size());
            for (std::size_t k = 0; k < paired; ++k) pair(v.records1[k], v.records2[k], true);
            const std::int64_t count1 = v.inStep + static_cast<std::int64_t>(v.records1.size());
            const std::int64_t count2 = v.inStep + static_cast<std::int64_t>(v.records2.size());
            if (count1 <= 1 && count2 <= 1) continue;
            duplicates_.emplace_back(v.first, DuplicateKey{std::move(v.display), count1, count2});
        }
    }

    // The records of Table #1 after the in-step start, each with its
    // partner's Changed lines or as Deleted, then the Added records of
    // Table #2 in its order.
    void compareRest() {
        Recordset& c1 = tables_.cursor1();
        Recordset& c2 = tables_.cursor2();
        // Partners come in Table #1's order: Table #2 is read in another.
        foxpro::LookupPages pages2(c2.table());
        for (std::int64_t n1 = std::int64_t{inStep_} + 1; n1 <= count1_; ++n1) {
            const auto index = static_cast<std::size_t>(n1 - 1);
            std::uint32_t n2 = partner1_[index];
            int units = 1;
            if (n2 != 0 && same1_[index]) {
                // Paired in order with equal bytes: nothing to say.
            } else {
                c1.moveTo(n1);
                if (n2 != 0) {
                    c2.moveTo(n2);
                    pages2.reading(c2.rawRecord());
                    if (!settled1_[index] && !keysEqual()) {
                        // Equal hashes of different keys: two records without partner.
                        paired2_[n2 - 1] = false;
                        n2 = 0;
                    }
                }
                if (n2 != 0)
                    units = tables_.compareCurrent(out_, n1, n2, false);
                else
                    out_.addDeleted(n1);
            }
            pacer_.work(++done_, units);
        }
        for (std::uint32_t j = inStep_; j < count2_; ++j) {
            if (!paired2_[j]) out_.addAdded(std::int64_t{j} + 1);
            pacer_.work(++done_, 1);
        }
    }

    TablePair& tables_;
    const foxpro::TextLocale& locale_;
    DifferenceList& out_;
    WalkPacer& pacer_;
    std::vector<KeyField> keys_;
    bool trimLeading_ = false;  // text parts without their leading blanks
    bool whole_ = false;        // the key is one I field, never null (walkSame)
    // While set, a key part whose reading would warn is not read; warningAhead_ says so.
    bool holdWarnings_ = false;
    bool warningAhead_ = false;
    std::string scratch1_;  // decoded key parts
    std::string scratch2_;
    std::string key1_;  // key texts of the current records
    std::string key2_;
    std::string hashText_;
    // The in-step records: their first and last key, and whether their keys
    // rise strictly (keyOrder) from one record to the next.
    std::string firstKey_;
    std::string lastKey_;
    bool rising_ = true;
    // Records after the in-step start whose keys lie between the first and
    // last in-step key (side, record); tooMany_: more than pay for a search.
    std::vector<std::pair<int, std::uint32_t>> candidates_;
    bool tooMany_ = false;
    std::int64_t done_ = 0;
    int positionBits_ = 1;
    std::uint32_t inStep_ = 0;   // records paired in step at the start of both tables
    std::uint32_t matched_ = 0;  // pairs made in order after those
    std::uint32_t walked1_ = 0;  // records of Table #1 walked in step or in order
    std::uint32_t count1_ = 0;
    std::uint32_t count2_ = 0;
    std::vector<std::uint32_t> partner1_;  // 1-based record of Table #2, 0: none
    std::vector<bool> settled1_;           // the pair's keys were compared already
    std::vector<bool> same1_;              // paired in order, the records' bytes equal
    std::vector<bool> paired2_;
    std::vector<std::pair<std::uint64_t, DuplicateKey>> duplicates_;
};

}  // namespace

void walkByKey(TablePair& tables, const RecordPairing& pairing, const std::string& table1,
               const std::string& table2, const foxpro::TextLocale& locale, DifferenceList& out,
               std::vector<DuplicateKey>& duplicates, WalkPacer& pacer) {
    KeyWalk walk(tables, locale, out, pacer);
    walk.resolve(pairing, table1, table2);
    walk.run(duplicates);
}

}  // namespace quorvel::compare
