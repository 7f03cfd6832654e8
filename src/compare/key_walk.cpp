// Key pairing: the records of the two tables are grouped by the hash of
// their key values; a group of one record on each side is a pair (its keys
// compared when the pair is compared), a larger group is settled by reading
// the key values of its records.

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "compare/field_name.h"
#include "compare/pairing_walks.h"
#include "compare/record_hash.h"
#include "foxpro/code_page.h"
#include "foxpro/table_reader.h"

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
    StoredKey stored1;
    StoredKey stored2;
};

// The first field of a name, without case; -1 when there is none.
int findField(const Recordset& table, const std::string& name) {
    const std::string upper = upperFieldName(name);
    for (int i = 0; i < table.fieldCount(); ++i)
        if (upperFieldName(table.field(i).name) == upper) return i;
    return -1;
}

class KeyWalk {
  public:
    KeyWalk(TablePair& tables, const foxpro::TextLocale& locale, DifferenceList& out,
            WalkPacer& pacer)
        : tables_(tables), locale_(locale), out_(out), pacer_(pacer) {}

    void resolve(const std::vector<std::string>& names, const std::string& table1,
                 const std::string& table2) {
        if (names.empty()) throw std::invalid_argument("no key field given");
        for (const auto& name : names) {
            KeyField key;
            key.index1 = findField(tables_.cursor1(), name);
            if (key.index1 < 0)
                throw std::invalid_argument("key field " + name + " not found in Table #1 (" +
                                            table1 + ")");
            key.index2 = findField(tables_.cursor2(), name);
            if (key.index2 < 0)
                throw std::invalid_argument("key field " + name + " not found in Table #2 (" +
                                            table2 + ")");
            const foxpro::FieldInfo& f1 = tables_.cursor1().field(key.index1);
            const foxpro::FieldInfo& f2 = tables_.cursor2().field(key.index2);
            key.byText = keyKindOf(f1.typeCode) != keyKindOf(f2.typeCode);
            key.text = f1.letter == 'C';
            key.stored = f1.letter == f2.letter &&
                         (f1.letter == 'I' || f1.letter == 'Y' || f1.letter == 'C');
            key.stored1 = {f1.offset, f1.width, f1.nullBit};
            key.stored2 = {f2.offset, f2.width, f2.nullBit};
            keys_.push_back(key);
        }
    }

    void run(std::vector<DuplicateKey>& duplicates) {
        tables_.addMissingFieldLines(out_);
        // Key hashes carry the record's position in their low bits: half the
        // memory to sort.  Two keys whose hashes then agree are told apart
        // by their values as any two of equal hashes are.
        const std::int64_t most = std::max(tables_.cursor1().table().storedCount(),
                                           tables_.cursor2().table().storedCount());
        while (positionBits_ < 32 && (std::int64_t{1} << positionBits_) < most) ++positionBits_;
        std::vector<std::uint64_t> sorted1 = hashTable(1);
        std::vector<std::uint64_t> sorted2 = hashTable(2);
        sortBoth(sorted1, sorted2);
        group(sorted1, sorted2);
        std::vector<std::uint64_t>().swap(sorted1);
        std::vector<std::uint64_t>().swap(sorted2);
        std::stable_sort(duplicates_.begin(), duplicates_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& d : duplicates_) duplicates.push_back(std::move(d.second));
        compareInOrder();
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
                return {'S', bytes};
            }
        }
        const char letter =
            keyPart(c.value(side == 1 ? key.index1 : key.index2), key.byText, locale_, scratch);
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

    std::uint64_t keyHash(int side) {
        Hasher hasher;
        keyParts(side, [&](char letter, std::string_view part) {
            hasher.add(static_cast<std::uint64_t>(static_cast<unsigned char>(letter)));
            hasher.add(part);
        });
        return recordHash(hasher);
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

    std::uint64_t positionMask() const { return (std::uint64_t{1} << positionBits_) - 1; }
    std::uint32_t positionOf(std::uint64_t packed) const {
        return static_cast<std::uint32_t>(packed & positionMask());
    }

    // Every record's key hash with its number (0-based) in the low bits,
    // sorted.
    std::vector<std::uint64_t> hashTable(int side) {
        std::vector<std::uint64_t> hashed;
        Recordset& c = cursor(side);
        std::uint32_t n = 0;
        for (c.moveFirst(); !c.eof(); c.moveNext()) {
            hashed.push_back((keyHash(side) & ~positionMask()) | n++);
            pacer_.work(++done_, 1);
        }
        (side == 1 ? count1_ : count2_) = n;
        return hashed;
    }

    // Sorts both tables' packed hashes.  Where Table #2 starts with the keys
    // of Table #1 in the same order (the same table changed here and there,
    // or both sorted by the key), that common start is one list for both,
    // sorted once and merged with the rest of each side.
    void sortBoth(std::vector<std::uint64_t>& hashed1, std::vector<std::uint64_t>& hashed2) const {
        std::size_t common = 0;
        while (common < hashed1.size() && common < hashed2.size() &&
               hashed1[common] == hashed2[common])
            ++common;
        if (common < 4096) {
            sortPacked(hashed1);
            sortPacked(hashed2);
            return;
        }
        std::vector<std::uint64_t> start(hashed1.begin(), hashed1.begin() + common);
        sortPacked(start);
        for (std::vector<std::uint64_t>* hashed : {&hashed1, &hashed2}) {
            std::vector<std::uint64_t> rest(hashed->begin() + common, hashed->end());
            sortPacked(rest);
            hashed->resize(start.size() + rest.size());
            std::merge(start.begin(), start.end(), rest.begin(), rest.end(), hashed->begin());
        }
    }

    void group(const std::vector<std::uint64_t>& sorted1,
               const std::vector<std::uint64_t>& sorted2) {
        partner1_.assign(count1_, 0);
        settled1_.assign(count1_, false);
        paired2_.assign(count2_, false);
        const std::uint64_t high = ~positionMask();
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < sorted1.size() || j < sorted2.size()) {
            const std::uint64_t h = j == sorted2.size()   ? sorted1[i] & high
                                    : i == sorted1.size() ? sorted2[j] & high
                                                          : std::min(sorted1[i], sorted2[j]) & high;
            std::size_t end1 = i;
            std::size_t end2 = j;
            while (end1 < sorted1.size() && (sorted1[end1] & high) == h) ++end1;
            while (end2 < sorted2.size() && (sorted2[end2] & high) == h) ++end2;
            if (end1 - i <= 1 && end2 - j <= 1) {
                // Unique on both sides: a pair whose keys are compared when
                // the pair is, or a record without partner.
                if (end1 > i && end2 > j)
                    pair(positionOf(sorted1[i]), positionOf(sorted2[j]), false);
            } else {
                settle({sorted1.data() + i, end1 - i}, {sorted2.data() + j, end2 - j});
            }
            i = end1;
            j = end2;
        }
    }

    void pair(std::uint32_t record1, std::uint32_t record2, bool settled) {
        partner1_[record1] = record2 + 1;
        settled1_[record1] = settled;
        paired2_[record2] = true;
    }

    // A group of records whose key hashes agree, more than one on a side:
    // their key values are read and compared, the k-th record of a value in
    // Table #1 pairs with the k-th of that value in Table #2, and a value
    // held more than once on a side is a duplicate.  The records come in
    // stored order.
    void settle(std::span<const std::uint64_t> members1, std::span<const std::uint64_t> members2) {
        struct Value {
            std::string key;
            std::string display;
            std::vector<std::uint32_t> records1;
            std::vector<std::uint32_t> records2;
        };
        std::vector<Value> values;  // nearly always one: more only on a hash collision
        std::string text;
        auto place = [&](int side, std::uint32_t record) {
            cursor(side).moveTo(std::int64_t{record} + 1);
            keyText(side, text);
            auto it = std::find_if(values.begin(), values.end(),
                                   [&](const Value& v) { return v.key == text; });
            if (it == values.end()) {
                values.push_back({text, displayText(side), {}, {}});
                it = values.end() - 1;
            }
            (side == 1 ? it->records1 : it->records2).push_back(record);
        };
        for (const std::uint64_t m : members1) place(1, positionOf(m));
        for (const std::uint64_t m : members2) place(2, positionOf(m));
        for (Value& v : values) {
            const std::size_t paired = std::min(v.records1.size(), v.records2.size());
            for (std::size_t k = 0; k < paired; ++k) pair(v.records1[k], v.records2[k], true);
            if (v.records1.size() <= 1 && v.records2.size() <= 1) continue;
            DuplicateKey duplicate{std::move(v.display),
                                   static_cast<std::int64_t>(v.records1.size()),
                                   static_cast<std::int64_t>(v.records2.size())};
            // Reported in the order in which Table #1, then Table #2, first holds them.
            const std::uint64_t first = v.records1.empty()
                                            ? std::uint64_t{count1_} + v.records2.front()
                                            : v.records1.front();
            duplicates_.emplace_back(first, std::move(duplicate));
        }
    }

    void compareInOrder() {
        Recordset& c1 = tables_.cursor1();
        Recordset& c2 = tables_.cursor2();
        std::int64_t n1 = 0;
        for (c1.moveFirst(); !c1.eof(); c1.moveNext()) {
            ++n1;
            const auto index = static_cast<std::size_t>(n1 - 1);
            std::uint32_t n2 = index < partner1_.size() ? partner1_[index] : 0;
            if (n2 != 0) {
                c2.moveTo(n2);
                if (!settled1_[index] && !keysEqual()) {
                    // Equal hashes of different keys: two records without partner.
                    paired2_[n2 - 1] = false;
                    n2 = 0;
                }
            }
            int units = 1;
            if (n2 != 0)
                units = tables_.compareCurrent(out_, n1, n2, false);
            else
                out_.addDeleted(n1);
            pacer_.work(++done_, units);
        }
        for (std::uint32_t j = 0; j < count2_; ++j) {
            if (!paired2_[j]) out_.addAdded(std::int64_t{j} + 1);
            pacer_.work(++done_, 1);
        }
    }

    TablePair& tables_;
    const foxpro::TextLocale& locale_;
    DifferenceList& out_;
    WalkPacer& pacer_;
    std::vector<KeyField> keys_;
    std::string scratch1_;  // decoded key parts
    std::string scratch2_;
    std::int64_t done_ = 0;
    int positionBits_ = 1;
    std::uint32_t count1_ = 0;
    std::uint32_t count2_ = 0;
    std::vector<std::uint32_t> partner1_;  // 1-based record of Table #2, 0: none
    std::vector<bool> settled1_;           // the pair's keys were compared already
    std::vector<bool> paired2_;
    std::vector<std::pair<std::uint64_t, DuplicateKey>> duplicates_;
};

}  // namespace

void walkByKey(TablePair& tables, const std::vector<std::string>& keyFields,
               const std::string& table1, const std::string& table2,
               const foxpro::TextLocale& locale, DifferenceList& out,
               std::vector<DuplicateKey>& duplicates, WalkPacer& pacer) {
    KeyWalk walk(tables, locale, out, pacer);
    walk.resolve(keyFields, table1, table2);
    walk.run(duplicates);
}

}  // namespace quorvel::compare
