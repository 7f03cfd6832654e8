#include "compare/merge3.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "compare/case_fold.h"
#include "compare/field_pairing.h"
#include "compare/hash_alignment.h"
#include "compare/record_hash.h"
#include "compare/stretch_pairing.h"
#include "compare/together.h"
#include "compare/value_rules.h"
#include "compare/walk_pacer.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/text_form.h"
#include "foxpro/write/field_encoder.h"
#include "foxpro/write/value_literal.h"

namespace quorvel::compare {

namespace {

constexpr int kBase = 0, kOurs = 1, kTheirs = 2;

// Runs work(first, last) over [first, last), in two halves at once when
// the range is long enough to pay for a thread.
template <class Work>
void inTwoHalves(std::int64_t first, std::int64_t last, const Work& work) {
    if (last - first < (std::int64_t{1} << 16)) {
        work(first, last);
        return;
    }
    const std::int64_t middle = first + (last - first) / 2;
    together([&] { work(first, middle); }, [&] { work(middle, last); });
}

bool sameDefinition(const foxpro::FieldInfo& a, const foxpro::FieldInfo& b) {
    return a.letter == b.letter && a.width == b.width && a.decimals == b.decimals &&
           a.nullable == b.nullable && a.binary == b.binary;
}

// The three tables' live records and values, and the rules of equality.
// A side's live records are its first stored ones up to the first deleted
// record, then a list of the stored indices after it: no list at all for
// a table without deleted records.
class Tables {
  public:
    Tables(const foxpro::TableReader& base, const foxpro::TableReader& ours,
           const foxpro::TableReader& theirs, const Merge3Options& options)
        : readers_{&base, &ours, &theirs}, rules_(options.compare), locale_(options.locale) {
        // Most tables have no deleted record: the walk comparing records in
        // step reads the delete flags on the way, taking every stored record
        // as live; a table where it meets a deleted one is read again.
        for (int s = 0; s < 3; ++s) lead_[s] = count_[s] = readers_[s]->storedCount();
        bool deleted[3] = {false, false, false};
        compareInStep(deleted);
        bool again = false;
        for (int s = 0; s < 3; ++s) {
            const auto& r = *readers_[s];
            if (!deleted[s]) {
                r.checkUnchanged();  // the end of a walk
                r.adoptDeletedRecords({});
                continue;
            }
            again = true;
            std::int64_t lead = 0;
            for (std::int64_t i = r.nextLive(0); i < r.storedCount(); i = r.nextLive(i + 1)) {
                if (i == lead && later_[s].empty())
                    ++lead;
                else
                    later_[s].push_back(i);
            }
            lead_[s] = lead;
            count_[s] = lead + static_cast<std::int64_t>(later_[s].size());
        }
        if (again) compareInStep(nullptr);
    }

    // Whether live record r (1-based) of ours or theirs is base's record r
    // byte for byte (the delete flag aside), for tables of base's layout.
    bool sameAsBase(int side, std::int64_t r) const {
        const auto i = static_cast<std::size_t>(r - 1);
        return i < inStep_.size() && (inStep_[i] >> (side - 1) & 1) != 0;
    }

    const foxpro::TableReader& reader(int side) const { return *readers_[side]; }
    std::int64_t count(int side) const { return count_[side]; }
    // The stored index (0-based) of live record `record` (1-based) of a side.
    std::int64_t stored(int side, std::int64_t record) const {
        return record <= lead_[side]
                   ? record - 1
                   : later_[side][static_cast<std::size_t>(record - 1 - lead_[side])];
    }

    // Field `field` of live record `record` (1-based) of a side.
    foxpro::Value value(int side, std::int64_t record, int field) const {
        return readers_[side]->valueAt(stored(side, record), field);
    }

    // The stored bytes of live record `record` of a side.
    std::span<const std::uint8_t> raw(int side, std::int64_t record) const {
        return readers_[side]->storedRecord(stored(side, record));
    }

    bool equal(const foxpro::Value& a, int sideA, int fieldA, const foxpro::Value& b, int sideB,
               int fieldB) const {
        // Binary data by its bytes, whatever the loose rules say of it.
        if (a.kind() == foxpro::Value::Kind::Bytes && b.kind() == foxpro::Value::Kind::Bytes)
            return a == b;
        return rules_.equal(a, readers_[sideA]->field(fieldA).typeCode, b,
                            readers_[sideB]->field(fieldB).typeCode, locale_);
    }

    const ValueRules& rules() const { return rules_; }
    const foxpro::TextLocale& locale() const { return locale_; }

  private:
    // Copies of base in its order are the usual case: one walk over the
    // three tables compares the records at each position, which pairing
    // and merging then ask for by position without reading them again.
    // deleted, when given: per side, whether a stored record is deleted
    // (every stored record then taken as live).
    void compareInStep(bool* deleted) {
        const auto& base = readers_[kBase]->layout();
        bool alike[3] = {false, false, false};
        std::int64_t n = 0;
        for (int s : {kOurs, kTheirs}) {
            alike[s] = foxpro::sameLayout(readers_[s]->layout(), base);
            if (alike[s]) n = std::max(n, std::min(count_[s], count_[kBase]));
        }
        inStep_.assign(static_cast<std::size_t>(n), 0);
        const auto length = static_cast<std::size_t>(base.recordLength) - 1;
        const std::int64_t all = deleted ? std::max({count_[0], count_[1], count_[2], n}) : n;
        bool found[2][3] = {};  // per half: deleted records met
        inTwoHalves(0, all, [&](std::int64_t first, std::int64_t last) {
            bool* met = found[first == 0 ? 0 : 1];
            for (std::int64_t r = first + 1; r <= last; ++r) {
                if (deleted)
                    for (int s = 0; s < 3; ++s)
                        if (r <= count_[s] && raw(s, r)[0] == foxpro::dbf::kRecordDeleted)
                            met[s] = true;
                if (r > n) continue;
                const std::uint8_t* b = raw(kBase, r).data() + 1;
                std::uint8_t bits = 0;
                for (int s : {kOurs, kTheirs})
                    if (alike[s] && r <= count_[s] &&
                        std::memcmp(raw(s, r).data() + 1, b, length) == 0)
                        bits |= static_cast<std::uint8_t>(1 << (s - 1));
                inStep_[static_cast<std::size_t>(r - 1)] = bits;
            }
        });
        if (deleted)
            for (int s = 0; s < 3; ++s) deleted[s] = found[0][s] || found[1][s];
    }

    const foxpro::TableReader* readers_[3];
    std::vector<std::uint8_t> inStep_;  // per position: bit 0 ours, bit 1 theirs same as base
    std::int64_t lead_[3] = {0, 0, 0};
    std::vector<std::int64_t> later_[3];
    std::int64_t count_[3] = {0, 0, 0};
    ValueRules rules_;
    foxpro::TextLocale locale_;
};

std::vector<std::string> namesOf(const foxpro::TableReader& r) {
    std::vector<std::string> names;
    for (int i = 0; i < r.fieldCount(); ++i) names.push_back(r.field(i).name);
    return names;
}

std::vector<std::string> storedNamesOf(const foxpro::TableReader& r) {
    std::vector<std::string> names;
    for (int i = 0; i < r.fieldCount(); ++i) names.push_back(r.field(i).storedName);
    return names;
}

// The result's fields: ours' in their order, then those only theirs has
// (added by theirs, or kept by theirs where ours dropped them).  Fields
// pair as the comparison pairs them (field_pairing.h).
std::vector<MergedField> planFields(const Tables& t, const CompareOptions& options,
                                    std::vector<bool>& ignored) {
    const auto base = namesOf(t.reader(kBase));
    const auto ours = namesOf(t.reader(kOurs));
    const auto theirs = namesOf(t.reader(kTheirs));
    const auto storedBase = storedNamesOf(t.reader(kBase));
    const auto storedOurs = storedNamesOf(t.reader(kOurs));
    const auto storedTheirs = storedNamesOf(t.reader(kTheirs));
    const FieldPairing oursBase = pairFieldNames(ours, base, storedOurs, storedBase);
    const FieldPairing oursTheirs = pairFieldNames(ours, theirs, storedOurs, storedTheirs);
    const FieldPairing theirsBase = pairFieldNames(theirs, base, storedTheirs, storedBase);
    std::vector<MergedField> fields;
    auto add = [&](int b, int o, int th, int definedBy) {
        MergedField f;
        f.index[kBase] = b;
        f.index[kOurs] = o;
        f.index[kTheirs] = th;
        const auto def = [&](int s) { return t.reader(s).field(f.index[s]); };
        int by = definedBy;
        // A definition changed on one side only is that side's.
        if (b >= 0 && o >= 0 && th >= 0 && sameDefinition(def(kBase), def(kOurs)) &&
            !sameDefinition(def(kBase), def(kTheirs)))
            by = kTheirs;
        f.info = def(by);
        f.definedBy = static_cast<MergeSide>(by);
        fields.push_back(f);
    };
    std::vector<bool> theirsTaken(theirs.size(), false);
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const int b = oursBase.partner1[i];
        int th = oursTheirs.partner1[i];
        if (th < 0 && b >= 0) th = theirsBase.partner2[static_cast<std::size_t>(b)];
        if (th >= 0 && theirsTaken[static_cast<std::size_t>(th)]) th = -1;
        if (th >= 0) theirsTaken[static_cast<std::size_t>(th)] = true;
        add(b, static_cast<int>(i), th, kOurs);
    }
    for (std::size_t j = 0; j < theirs.size(); ++j) {
        if (theirsTaken[j]) continue;
        int b = theirsBase.partner1[j];
        if (b >= 0 && oursBase.partner2[static_cast<std::size_t>(b)] >= 0) b = -1;
        add(b, -1, static_cast<int>(j), kTheirs);
    }
    for (auto& f : fields) {
        bool skip = false;
        for (const auto& name : options.ignoredFields)
            if (foxpro::equalsNoCase(name, f.info.name)) skip = true;
        ignored.push_back(skip);
    }
    return fields;
}

// Live record numbers (1-based) of the partner on the other side, 0 for
// none (a table holds fewer than 2^32 records).
using Partners = std::vector<std::uint32_t>;

struct Pairings {
    Partners oursBase;         // per ours record: its base record
    Partners theirsBase;       // per theirs record: its base record
    Partners oursTheirsAdded;  // per ours record without base: the theirs record added alike
};

// ---- Key pairing: the k-th record of a key value with the k-th of that value ----

class KeyReader {
  public:
    KeyReader(const Tables& t, const RecordPairing& pairing) : t_(t), pairing_(pairing) {
        for (const auto& name : pairing.keyFields) {
            int index[3];
            for (int s = 0; s < 3; ++s) {
                index[s] = t.reader(s).findField(name);
                if (index[s] < 0)
                    throw std::invalid_argument("key field " + name + " not found in " +
                                                t.reader(s).path());
            }
            Part part;
            for (int s = 0; s < 3; ++s) part.index[s] = index[s];
            const int k0 = static_cast<int>(keyKindOf(t.reader(0).field(index[0]).typeCode));
            for (int s = 1; s < 3; ++s)
                if (static_cast<int>(keyKindOf(t.reader(s).field(index[s]).typeCode)) != k0)
                    part.byText = true;
            bool sameLetter = true;
            for (int s = 0; s < 3; ++s) {
                const auto& f = t.reader(s).field(index[s]);
                if ((pairing.keyCaseless && f.letter == 'C') ||
                    (t.rules().foldsCase() && t.rules().textRuled(f.typeCode)))
                    part.fold = true;
                const auto& f0 = t.reader(0).field(index[0]);
                sameLetter =
                    sameLetter && f.letter == f0.letter && (f.letter == 'C' || f.width == f0.width);
            }
            // Whole numbers of one type, and text without case rules, are
            // keyed by their stored bytes (keyPart's forms of ASCII text).
            const char letter = t.reader(0).field(index[0]).letter;
            part.stored =
                sameLetter && (letter == 'I' || letter == 'Y' || (letter == 'C' && !part.fold));
            for (int x = 0; x < 3; ++x)
                for (int y = 0; y < 3; ++y) {
                    const auto& i = t.reader(x).field(index[x]);
                    const auto& j = t.reader(y).field(index[y]);
                    const bool text = i.letter == 'C' || i.letter == 'V';
                    part.alike[x][y] =
                        !i.memo && sameDefinition(i, j) &&
                        (!text || t.reader(x).layout().codePage == t.reader(y).layout().codePage);
                }
            parts_.push_back(part);
        }
        for (int x = 0; x < 3; ++x)
            for (int y = 0; y < 3; ++y) {
                bool spot = true;
                for (const Part& p : parts_) {
                    const auto& i = t.reader(x).field(p.index[x]);
                    const auto& j = t.reader(y).field(p.index[y]);
                    spot = spot && p.alike[x][y] && i.offset == j.offset &&
                           i.nullBit == j.nullBit && i.varLengthBit == j.varLengthBit;
                }
                sameSpot_[x][y] = spot;
            }
    }

    // Whether two sides store every key field alike at the same place: two
    // records equal byte for byte then have one key.
    bool sameSpot(int a, int b) const { return sameSpot_[a][b]; }

    // Whether record ra of side a and record rb of side b have one key:
    // at once when the key fields' bytes and bits are equal where both
    // store them alike (one value then), else by the keys themselves.
    bool sameKey(int a, std::int64_t ra, int b, std::int64_t rb) const {
        const auto x = t_.raw(a, ra), y = t_.raw(b, rb);
        const int flagsA = t_.reader(a).layout().nullFlagsOffset;
        const int flagsB = t_.reader(b).layout().nullFlagsOffset;
        const auto bit = [](std::span<const std::uint8_t> rec, int flags, int n) {
            return n >= 0 && flags >= 0 &&
                   ((rec[static_cast<std::size_t>(flags + n / 8)] >> (n % 8)) & 1) != 0;
        };
        bool bytes = true;
        for (const Part& p : parts_) {
            const auto& i = t_.reader(a).field(p.index[a]);
            const auto& j = t_.reader(b).field(p.index[b]);
            if (!p.alike[a][b] ||
                std::memcmp(x.data() + i.offset, y.data() + j.offset,
                            static_cast<std::size_t>(i.width)) != 0 ||
                bit(x, flagsA, i.nullBit) != bit(y, flagsB, j.nullBit) ||
                bit(x, flagsA, i.varLengthBit) != bit(y, flagsB, j.varLengthBit)) {
                bytes = false;
                break;
            }
        }
        return bytes || key(a, ra, nullptr) == key(b, rb, nullptr);
    }

    // The key of a record as one string (its parts never run together) and
    // as a person reads it.
    std::string key(int side, std::int64_t record, std::string* display) const {
        std::string out, text;
        for (const Part& p : parts_) {
            if (p.stored && !display && storedPart(side, record, p, out)) continue;
            const foxpro::Value v = t_.value(side, record, p.index[side]);
            char letter = keyPart(v, p.byText, t_.locale(), text);
            if (p.fold && letter == 'S') text = upperText(text);
            if (pairing_.keyTrimsLeading && letter == 'S')
                text.erase(0, std::min(text.size(), text.find_first_not_of(' ')));
            appendKeyPart(out, letter, text);
            if (display) {
                if (!display->empty()) *display += ", ";
                *display += keyDisplayText(v, t_.locale());
            }
        }
        return out;
    }

  private:
    struct Part {
        int index[3] = {-1, -1, -1};
        bool byText = false;
        bool fold = false;
        bool stored = false;    // keyed by its stored bytes
        bool alike[3][3] = {};  // sides storing it alike: equal bytes, one key
    };

    // Appends a part read from the record's bytes; false for text beyond
    // ASCII, which goes by its decoded value.
    bool storedPart(int side, std::int64_t record, const Part& p, std::string& out) const {
        const auto raw = t_.raw(side, record);
        const foxpro::FieldInfo& f = t_.reader(side).field(p.index[side]);
        const int flags = t_.reader(side).layout().nullFlagsOffset;
        if (f.nullBit >= 0 && flags >= 0 &&
            ((raw[static_cast<std::size_t>(flags + f.nullBit / 8)] >> (f.nullBit % 8)) & 1)) {
            appendKeyPart(out, '0', {});
            return true;
        }
        std::string_view bytes(reinterpret_cast<const char*>(raw.data()) + f.offset,
                               static_cast<std::size_t>(f.width));
        if (f.letter != 'C') {
            appendKeyPart(out, 'R', bytes);
            return true;
        }
        if (!foxpro::isAscii(bytes)) return false;
        while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
        if (pairing_.keyTrimsLeading)
            while (!bytes.empty() && bytes.front() == ' ') bytes.remove_prefix(1);
        appendKeyPart(out, 'S', bytes);
        return true;
    }
    const Tables& t_;
    const RecordPairing& pairing_;
    std::vector<Part> parts_;
    bool sameSpot_[3][3] = {};
};

// Records of a side from one on: each one's key hash, and the records
// sorted by hash (then position): the k-th record of a key value is the
// k-th of its hash's run.
struct KeyedSide {
    std::int64_t from = 0;             // first record (0-based) it holds
    std::vector<HashedRecord> sorted;  // hash, record - 1
};

KeyedSide keyedSide(const Tables& t, const KeyReader& keys, int side, std::int64_t from) {
    KeyedSide k;
    k.from = from;
    const auto n = static_cast<std::size_t>(t.count(side));
    k.sorted.reserve(n - static_cast<std::size_t>(from));
    for (std::size_t r = static_cast<std::size_t>(from); r < n; ++r) {
        Hasher h;
        h.add(std::string_view(keys.key(side, static_cast<std::int64_t>(r) + 1, nullptr)));
        k.sorted.emplace_back(recordHash(h), static_cast<std::uint32_t>(r));
    }
    sortByHash(k.sorted);
    return k;
}

// Per record of side (k), its partner on the other side (o): the record of
// the same key hash and occurrence, found by walking both sorted lists
// once, and confirmed by comparing the keys.  Fills the records k holds.
void keyPartners(const KeyReader& keys, int side, const KeyedSide& k, int otherSide,
                 const KeyedSide& o, Partners& partner) {
    std::size_t j = 0;
    for (std::size_t i = 0; i < k.sorted.size();) {
        const std::uint64_t hash = k.sorted[i].first;
        while (j < o.sorted.size() && o.sorted[j].first < hash) ++j;
        const std::size_t run = i;
        while (i < k.sorted.size() && k.sorted[i].first == hash) ++i;
        std::size_t end = j;
        while (end < o.sorted.size() && o.sorted[end].first == hash) ++end;
        if (i - run == 1 && end - j == 1) {
            partner[k.sorted[run].second] = o.sorted[j].second + 1;
            continue;
        }
        // Several records of one hash: keys held more than once, or keys
        // whose hashes collide; paired by their keys, in record order.
        std::unordered_map<std::string, std::vector<std::uint32_t>> others;
        for (std::size_t m = end; m-- > j;)
            others[keys.key(otherSide, static_cast<std::int64_t>(o.sorted[m].second) + 1, nullptr)]
                .push_back(o.sorted[m].second + 1);
        for (std::size_t n = run; n < i; ++n) {
            const auto r = static_cast<std::int64_t>(k.sorted[n].second) + 1;
            auto at = others.find(keys.key(side, r, nullptr));
            if (at == others.end() || at->second.empty()) continue;
            partner[static_cast<std::size_t>(r - 1)] = at->second.back();
            at->second.pop_back();
        }
    }
    // Confirmed in record order, which reads both tables about in order.
    for (auto r = static_cast<std::size_t>(k.from); r < partner.size(); ++r)
        if (partner[r] != 0 && keys.key(side, static_cast<std::int64_t>(r) + 1, nullptr) !=
                                   keys.key(otherSide, partner[r], nullptr))
            partner[r] = 0;
}

// The three pairings' partners by key.  Tables that are copies of one
// another in one order (the usual case) hold one key at each position up
// to some record: the k-th record of a key among those is the k-th of the
// other side's, so they pair in step, and only the records after them go
// through the hashes, their occurrences counted from there.
Pairings pairByKey(const Tables& t, const KeyReader& keys) {
    constexpr int kPairs[3][2] = {{kOurs, kBase}, {kTheirs, kBase}, {kOurs, kTheirs}};
    std::int64_t step[3] = {0, 0, 0};  // per pair: the records paired in step
    bool going[3] = {true, true, true};
    for (std::int64_t r = 1; going[0] || going[1] || going[2]; ++r)
        for (int p = 0; p < 3; ++p) {
            if (!going[p]) continue;
            const int a = kPairs[p][0], b = kPairs[p][1];
            const bool whole =
                b == kBase ? t.sameAsBase(a, r) : t.sameAsBase(a, r) && t.sameAsBase(b, r);
            going[p] = r <= t.count(a) && r <= t.count(b) &&
                       ((whole && keys.sameSpot(a, b)) || keys.sameKey(a, r, b, r));
            if (going[p]) step[p] = r;
        }
    // Each side hashed once from each first record a pairing needs.
    std::vector<std::pair<int, std::unique_ptr<KeyedSide>>> keyed;
    auto keyedFrom = [&](int side, std::int64_t from) -> const KeyedSide& {
        for (const auto& [s, k] : keyed)
            if (s == side && k->from == from) return *k;
        keyed.emplace_back(side, std::make_unique<KeyedSide>(keyedSide(t, keys, side, from)));
        return *keyed.back().second;
    };
    Partners partners[3];
    for (int p = 0; p < 3; ++p) {
        const int a = kPairs[p][0], b = kPairs[p][1];
        Partners& partner = partners[p];
        partner.assign(static_cast<std::size_t>(t.count(a)), 0);
        for (std::int64_t r = 1; r <= step[p]; ++r)
            partner[static_cast<std::size_t>(r - 1)] = static_cast<std::uint32_t>(r);
        if (step[p] < t.count(a) && step[p] < t.count(b))
            keyPartners(keys, a, keyedFrom(a, step[p]), b, keyedFrom(b, step[p]), partner);
    }
    Pairings result;
    result.oursBase = std::move(partners[0]);
    result.theirsBase = std::move(partners[1]);
    result.oursTheirsAdded = std::move(partners[2]);
    // Only records without a base partner pair as added on both sides.
    for (std::size_t r = 0; r < result.oursBase.size(); ++r)
        if (result.oursBase[r] != 0) result.oursTheirsAdded[r] = 0;
    return result;
}

// ---- Position pairing ----

Pairings pairByPosition(const Tables& t) {
    Pairings p;
    const std::int64_t base = t.count(kBase);
    for (std::int64_t r = 1; r <= t.count(kOurs); ++r) {
        p.oursBase.push_back(static_cast<std::uint32_t>(r <= base ? r : 0));
        p.oursTheirsAdded.push_back(
            static_cast<std::uint32_t>(r > base && r <= t.count(kTheirs) ? r : 0));
    }
    for (std::int64_t r = 1; r <= t.count(kTheirs); ++r)
        p.theirsBase.push_back(static_cast<std::uint32_t>(r <= base ? r : 0));
    return p;
}

// ---- Content pairing ----

// Hashes of the records of a side over the fields it shares with another
// side, one per field and one per record, so that equal values (by the
// text rules) hash alike; a field whose two definitions differ in type is
// hashed by its text form.
class SideHasher {
  public:
    SideHasher(const Tables& t, int side, int other, const std::vector<bool>& ignoredOf,
               const std::vector<MergedField>& plan)
        : t_(t), side_(side), layout_(t.reader(side).layout()) {
        // Field of side and how it is hashed: by its typed value, its text
        // form (types differ), or its stored bytes where both sides store
        // it alike and no text rule applies (equal values then have equal
        // bytes, but for numbers written differently, which the stretches
        // pair).
        for (std::size_t i = 0; i < plan.size(); ++i) {
            const auto& f = plan[i];
            if (ignoredOf[i] || f.index[side] < 0 || f.index[other] < 0) continue;
            const auto& a = t.reader(side).field(f.index[side]);
            const auto& b = t.reader(other).field(f.index[other]);
            By by = a.letter != b.letter ? By::Text : By::Value;
            if (by == By::Value && sameDefinition(a, b) && !a.memo &&
                !t.rules().textRuled(a.typeCode) &&
                layout_.codePage == t.reader(other).layout().codePage)
                by = By::Bytes;
            shared_.emplace_back(f.index[side], by);
        }
    }

    std::size_t width() const { return shared_.size(); }

    // Whether every field of the side is hashed by its bytes and the
    // fields fill the record from its first byte up to the null flags:
    // then one hash of those bytes and the fields' bits (wholeHash) tells
    // records apart as hash() does, at a fraction of the cost.
    bool hashesWhole() const {
        const auto& fields = layout_.fields;
        if (shared_.size() != fields.size() || layout_.hasMemo()) return false;
        const int end =
            layout_.nullFlagsOffset >= 0 ? layout_.nullFlagsOffset : layout_.recordLength;
        if (layout_.nullFlagsOffset >= 0 &&
            layout_.nullFlagsOffset + layout_.nullFlagsWidth != layout_.recordLength)
            return false;
        int at = 1;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (shared_[i].first != static_cast<int>(i) || shared_[i].second != By::Bytes ||
                fields[i].offset != at)
                return false;
            at += fields[i].width;
        }
        return at == end;
    }
    std::uint64_t wholeHash(std::int64_t r) {
        const auto raw = t_.raw(side_, r);
        const int flags = layout_.nullFlagsOffset;
        Hasher h;
        h.add(std::string_view(
            reinterpret_cast<const char*>(raw.data()) + 1,
            static_cast<std::size_t>(flags >= 0 ? flags : layout_.recordLength) - 1));
        if (flags >= 0) {
            if (bitMask_.empty()) {
                bitMask_.assign(static_cast<std::size_t>(layout_.nullFlagsWidth), 0);
                for (const auto& f : layout_.fields)
                    for (int n : {f.nullBit, f.varLengthBit})
                        if (n >= 0)
                            bitMask_[static_cast<std::size_t>(n / 8)] |=
                                static_cast<std::uint8_t>(1u << (n % 8));
            }
            std::uint64_t word = 0;
            for (std::size_t k = 0; k < bitMask_.size(); ++k) {
                word |= static_cast<std::uint64_t>(raw[static_cast<std::size_t>(flags) + k] &
                                                   bitMask_[k])
                        << (8 * (k % 8));
                if (k % 8 == 7 || k + 1 == bitMask_.size()) {
                    h.add(word);
                    word = 0;
                }
            }
        }
        return recordHash(h);
    }

    // The hash of record r (1-based); each field's hash goes to fields
    // when given.
    std::uint64_t hash(std::int64_t r, std::vector<std::uint64_t>* fields) {
        Hasher record;
        const auto raw = t_.raw(side_, r);
        for (const auto& [field, by] : shared_) {
            Hasher one;
            if (by == By::Bytes) {
                const auto& f = t_.reader(side_).field(field);
                one.add(std::string_view(reinterpret_cast<const char*>(raw.data()) + f.offset,
                                         static_cast<std::size_t>(f.width)));
                one.add(bit(raw, f.nullBit) | bit(raw, f.varLengthBit) << 1);
            } else {
                const foxpro::Value v = t_.value(side_, r, field);
                if (by == By::Text ||
                    (v.kind() == foxpro::Value::Kind::Text &&
                     t_.rules().textRuled(t_.reader(side_).field(field).typeCode))) {
                    std::string text = std::string(foxpro::textFormView(v, t_.locale(), scratch_));
                    while (!text.empty() && text.back() == ' ') text.pop_back();
                    one.add(std::string_view(t_.rules().comparedText(text)));
                } else {
                    addTypedValue(one, v);
                }
            }
            const std::uint64_t value = recordHash(one);
            if (fields) fields->push_back(value);
            record.add(value);
        }
        return recordHash(record);
    }

  private:
    enum class By { Value, Text, Bytes };
    std::uint64_t bit(std::span<const std::uint8_t> raw, int n) const {
        return n >= 0 && layout_.nullFlagsOffset >= 0
                   ? (raw[static_cast<std::size_t>(layout_.nullFlagsOffset + n / 8)] >> (n % 8)) & 1
                   : 0;
    }

    const Tables& t_;
    int side_;
    const foxpro::TableLayout& layout_;
    std::vector<std::pair<int, By>> shared_;
    std::string scratch_;
    std::vector<std::uint8_t> bitMask_;  // the null flags' bits of fields
};

// Per record of b (1-based numbers), its partner in a, made from a common
// subsequence of equal records given in order: the stretches between two
// of them paired by their equal fields, whose hashes are taken for those
// records only.
class SidePairs {
  public:
    SidePairs(std::size_t sizeA, std::size_t sizeB, SideHasher& hashA, SideHasher& hashB)
        : partner_(sizeB, 0), sizeA_(sizeA), hashA_(hashA), hashB_(hashB) {}

    void match(const Match& m) {
        stretch(m.index1, m.index2);
        partner_[m.index2] = m.index1 + 1;
        a0_ = m.index1 + 1;
        b0_ = m.index2 + 1;
    }
    Partners finish() {
        stretch(sizeA_, partner_.size());
        return std::move(partner_);
    }

  private:
    void stretch(std::size_t a1, std::size_t b1) {
        const std::size_t rowsA = a1 - a0_, rowsB = b1 - b0_;
        if (rowsA == 0 || rowsB == 0) return;
        std::vector<Match> inner;
        if (rowsA <= kStretchLimit && rowsB <= kStretchLimit && hashA_.width() == hashB_.width()) {
            fieldsA_.clear();
            fieldsB_.clear();
            for (std::size_t r = a0_; r < a1; ++r)
                hashA_.hash(static_cast<std::int64_t>(r) + 1, &fieldsA_);
            for (std::size_t r = b0_; r < b1; ++r)
                hashB_.hash(static_cast<std::int64_t>(r) + 1, &fieldsB_);
            inner = pairStretch(fieldsA_, fieldsB_, hashA_.width());
        } else {
            inner = pairFirstWithFirst(rowsA, rowsB);
        }
        for (const Match& m : inner)
            partner_[b0_ + m.index2] = static_cast<std::uint32_t>(a0_ + m.index1 + 1);
    }

    Partners partner_;
    std::size_t sizeA_;
    std::size_t a0_ = 0, b0_ = 0;
    SideHasher& hashA_;
    SideHasher& hashB_;
    std::vector<std::uint64_t> fieldsA_, fieldsB_;
};

Partners alignSides(std::span<const std::uint64_t> a, std::span<const std::uint64_t> b,
                    const SortedHashes& sortedA, SideHasher& hashA, SideHasher& hashB) {
    SidePairs pairs(a.size(), b.size(), hashA, hashB);
    for (const Match& m : alignHashes(a, b, sortedA)) pairs.match(m);
    return pairs.finish();
}

// alignSides(base, the side's whole hashes, ...) for a side whose records
// are base's in its order, changed, inserted or removed here and there, the
// walk of alignHashes(a, b, sortedA) done as the side's hashes are made
// (a record equal to base's at its position has base's hash), without
// holding them or the matches, and without sorting base: a record is
// looked for a little ahead, and one the fingerprints may hold but the walk
// does not meet there is looked for in all of base at the end.  Nothing
// when base's hashes are not all distinct or a record is found elsewhere
// in base, which only the whole alignment settles.
std::optional<Partners> alignInStep(const Tables& t, int side, std::span<const std::uint64_t> base,
                                    const HashFingerprints& inBase, SideHasher& hashBase,
                                    SideHasher& hashSide) {
    if (!inBase.distinct()) return std::nullopt;
    const auto n = static_cast<std::size_t>(t.count(side));
    SidePairs pairs(base.size(), n, hashBase, hashSide);
    std::vector<std::uint64_t> unsure;
    std::size_t i = 0;
    for (std::size_t j = 0; j < n; ++j) {
        const auto r = static_cast<std::int64_t>(j) + 1;
        const std::uint64_t h = t.sameAsBase(side, r) ? base[j] : hashSide.wholeHash(r);
        if (i < base.size() && base[i] == h) {
        } else if (i + 1 < base.size() && base[i + 1] == h) {
            ++i;
        } else {
            if (!inBase.mayHold(h)) continue;  // changed or inserted
            const std::size_t near = std::min(base.size(), i + kNearRecords);
            std::size_t at = i + 2;
            while (at < near && base[at] != h) ++at;
            if (at >= near) {
                unsure.push_back(h);
                continue;
            }
            i = at;
        }
        pairs.match({static_cast<std::uint32_t>(i++), static_cast<std::uint32_t>(j)});
    }
    if (holdsAny(base, std::move(unsure))) return std::nullopt;
    return pairs.finish();
}

// Whether base and a side are hashed by their records' bytes.
bool hashesWhole(const Tables& t, int side, const std::vector<MergedField>& plan,
                 const std::vector<bool>& ignored) {
    return SideHasher(t, kBase, side, ignored, plan).hashesWhole() &&
           SideHasher(t, side, kBase, ignored, plan).hashesWhole() &&
           foxpro::sameLayout(t.reader(kBase).layout(), t.reader(side).layout());
}

// Base's whole hashes, the same for both sides, their fingerprints made
// once for both, and sorted once, by the first side that needs them so.
struct BaseWhole {
    std::vector<std::uint64_t> hashes;
    std::optional<HashFingerprints> fingerprints;
    const SortedHashes& sorted() {
        std::call_once(sortedOnce_, [this] { sorted_.emplace(hashes); });
        return *sorted_;
    }

  private:
    std::once_flag sortedOnce_;
    std::optional<SortedHashes> sorted_;
};

// Per record of a side, its partner in base.  baseWhole keeps base's whole
// hashes for the other side.
Partners alignWithBase(const Tables& t, int side, const std::vector<MergedField>& plan,
                       const std::vector<bool>& ignored, BaseWhole& whole) {
    std::vector<std::uint64_t>& baseWhole = whole.hashes;
    SideHasher hashBase(t, kBase, side, ignored, plan);
    SideHasher hashSide(t, side, kBase, ignored, plan);
    const auto nBase = static_cast<std::size_t>(t.count(kBase));
    const auto n = static_cast<std::size_t>(t.count(side));
    std::vector<std::uint64_t> own;
    if (hashesWhole(t, side, plan, ignored)) {
        if (baseWhole.size() != nBase)
            for (std::size_t r = 0; r < nBase; ++r)
                baseWhole.push_back(hashBase.wholeHash(static_cast<std::int64_t>(r) + 1));
        if (!whole.fingerprints) whole.fingerprints.emplace(baseWhole);
        if (auto partners = alignInStep(t, side, baseWhole, *whole.fingerprints, hashBase, hashSide))
            return std::move(*partners);
        // A record equal to base's at its position has base's hash.
        own.reserve(n);
        for (std::size_t r = 0; r < n; ++r)
            own.push_back(t.sameAsBase(side, static_cast<std::int64_t>(r) + 1)
                              ? baseWhole[r]
                              : hashSide.wholeHash(static_cast<std::int64_t>(r) + 1));
        return alignSides(baseWhole, own, whole.sorted(), hashBase, hashSide);
    }
    std::vector<std::uint64_t> base;
    base.reserve(nBase);
    for (std::size_t r = 0; r < nBase; ++r)
        base.push_back(hashBase.hash(static_cast<std::int64_t>(r) + 1, nullptr));
    own.reserve(n);
    for (std::size_t r = 0; r < n; ++r)
        own.push_back(hashSide.hash(static_cast<std::int64_t>(r) + 1, nullptr));
    return alignSides(base, own, SortedHashes(base), hashBase, hashSide);
}

Pairings pairByContent(const Tables& t, const std::vector<MergedField>& plan,
                       const std::vector<bool>& ignored) {
    Pairings p;
    BaseWhole baseWhole;
    if (hashesWhole(t, kOurs, plan, ignored) && hashesWhole(t, kTheirs, plan, ignored)) {
        // Hashes of stored bytes read nothing but the maps: the two
        // alignments run at once, base's hashes made before for both.
        SideHasher hashBase(t, kBase, kOurs, ignored, plan);
        baseWhole.hashes.resize(static_cast<std::size_t>(t.count(kBase)));
        inTwoHalves(0, t.count(kBase), [&](std::int64_t first, std::int64_t last) {
            SideHasher hasher = hashBase;
            for (std::int64_t r = first; r < last; ++r)
                baseWhole.hashes[static_cast<std::size_t>(r)] = hasher.wholeHash(r + 1);
        });
        baseWhole.fingerprints.emplace(baseWhole.hashes);
        together([&] { p.oursBase = alignWithBase(t, kOurs, plan, ignored, baseWhole); },
                 [&] { p.theirsBase = alignWithBase(t, kTheirs, plan, ignored, baseWhole); });
    } else {
        p.oursBase = alignWithBase(t, kOurs, plan, ignored, baseWhole);
        p.theirsBase = alignWithBase(t, kTheirs, plan, ignored, baseWhole);
    }
    // Records both sides added alike are one: paired by equal hashes.
    SideHasher ours(t, kOurs, kTheirs, ignored, plan);
    SideHasher theirs(t, kTheirs, kOurs, ignored, plan);
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> added;
    for (std::size_t r = p.theirsBase.size(); r-- > 0;)
        if (p.theirsBase[r] == 0)
            added[theirs.hash(static_cast<std::int64_t>(r) + 1, nullptr)].push_back(
                static_cast<std::uint32_t>(r + 1));
    p.oursTheirsAdded.assign(p.oursBase.size(), 0);
    if (added.empty()) return p;
    for (std::size_t r = 0; r < p.oursBase.size(); ++r) {
        if (p.oursBase[r] != 0) continue;
        const auto at = added.find(ours.hash(static_cast<std::int64_t>(r) + 1, nullptr));
        if (at == added.end() || at->second.empty()) continue;
        p.oursTheirsAdded[r] = at->second.back();
        at->second.pop_back();
    }
    return p;
}

// ---- The rules ----

class Merger {
  public:
    Merger(const Tables& t, const Merge3Options& options, WalkPacer& pacer)
        : t_(t), options_(options), pacer_(pacer) {}

    Merge3Result run() {
        result_.fields = planFields(t_, options_.compare, ignored_);
        Pairings p;
        planBytes();
        if (options_.pairing.by == Pairing::Key) {
            keys_ = std::make_unique<KeyReader>(t_, options_.pairing);
            p = pairByKey(t_, *keys_);
        } else if (options_.pairing.by == Pairing::Content)
            p = pairByContent(t_, result_.fields, ignored_);
        else
            p = pairByPosition(t_);
        // The pairing runs in large steps, partly on two threads: the
        // events run between them only.
        pacer_.work(0, frame::kUnitsPerClockCheck);
        Partners baseTheirs(static_cast<std::size_t>(t_.count(kBase)), 0);
        for (std::size_t r = 0; r < p.theirsBase.size(); ++r)
            if (p.theirsBase[r] != 0)
                baseTheirs[static_cast<std::size_t>(p.theirsBase[r] - 1)] =
                    static_cast<std::uint32_t>(r + 1);
        std::vector<bool> theirsUsed(static_cast<std::size_t>(t_.count(kTheirs)), false);
        result_.records.reserve(static_cast<std::size_t>(t_.count(kOurs)));
        changed_[kOurs].assign(result_.fields.size(), false);
        changed_[kTheirs].assign(result_.fields.size(), false);
        for (std::int64_t o = 1; o <= t_.count(kOurs); ++o) {
            const auto i = static_cast<std::size_t>(o - 1);
            const std::int64_t b = p.oursBase[i];
            const std::int64_t th =
                b != 0 ? baseTheirs[static_cast<std::size_t>(b - 1)] : p.oursTheirsAdded[i];
            if (th != 0) theirsUsed[static_cast<std::size_t>(th - 1)] = true;
            record(b, o, th);
            pacer_.work(o, 1);
        }
        for (std::int64_t th = 1; th <= t_.count(kTheirs); ++th) {
            pacer_.work(t_.count(kOurs) + th, 1);
            const auto i = static_cast<std::size_t>(th - 1);
            if (theirsUsed[i]) continue;
            record(p.theirsBase[i], 0, th);
        }
        droppedFields();
        checkDefinitions();
        pacer_.finish();
        return std::move(result_);
    }

  private:
    bool has(int side, std::size_t field) const { return result_.fields[field].index[side] >= 0; }
    foxpro::Value value(int side, std::int64_t record, std::size_t field) const {
        return t_.value(side, record, result_.fields[field].index[side]);
    }
    // Which pairs of sides store a field alike (same definition, no memo,
    // text in one code page): equal bytes, null and length bits there are
    // equal values, so only differing bytes are decoded.
    void planBytes() {
        for (auto& f : result_.fields) {
            ByteField b;
            for (int s = 0; s < 3; ++s)
                if (f.index[s] >= 0) b.info[s] = &t_.reader(s).field(f.index[s]);
            for (int x = 0; x < 3; ++x)
                for (int y = 0; y < 3; ++y) {
                    const foxpro::FieldInfo* i = b.info[x];
                    const foxpro::FieldInfo* j = b.info[y];
                    const bool text = i && (i->letter == 'C' || i->letter == 'V');
                    b.alike[x][y] =
                        i && j && !i->memo && !j->memo && sameDefinition(*i, *j) &&
                        (!text || t_.reader(x).layout().codePage == t_.reader(y).layout().codePage);
                }
            bytes_.push_back(b);
        }
        // Whole records compare by their bytes where a side's layout is
        // base's and every field of both is one the result compares alike.
        for (int side : {kOurs, kTheirs}) {
            const auto& a = t_.reader(side).layout();
            const auto& base = t_.reader(kBase).layout();
            bool whole = foxpro::sameLayout(a, base) && !a.hasMemo();
            for (std::size_t f = 0; f < result_.fields.size(); ++f)
                if (ignored_[f] && has(side, f)) whole = false;
            wholeRecords_[side] = whole;
        }
    }

    bool sameRecord(int side, std::int64_t r, std::int64_t b) const {
        if (r == b) return t_.sameAsBase(side, r);
        const auto x = t_.raw(side, r), y = t_.raw(kBase, b);
        return x.size() == y.size() && std::memcmp(x.data() + 1, y.data() + 1, x.size() - 1) == 0;
    }

    bool sameBytes(int a, std::int64_t ra, int b, std::int64_t rb, std::size_t field) const {
        const ByteField& bf = bytes_[field];
        if (!bf.alike[a][b]) return false;
        const auto x = t_.raw(a, ra), y = t_.raw(b, rb);
        const foxpro::FieldInfo &i = *bf.info[a], &j = *bf.info[b];
        const auto bit = [&](int side, std::span<const std::uint8_t> rec, int n) {
            const int flags = t_.reader(side).layout().nullFlagsOffset;
            return n >= 0 && flags >= 0 &&
                   ((rec[static_cast<std::size_t>(flags + n / 8)] >> (n % 8)) & 1) != 0;
        };
        return std::memcmp(x.data() + i.offset, y.data() + j.offset,
                           static_cast<std::size_t>(i.width)) == 0 &&
               bit(a, x, i.nullBit) == bit(b, y, j.nullBit) &&
               bit(a, x, i.varLengthBit) == bit(b, y, j.varLengthBit);
    }

    bool equal(int a, std::int64_t ra, int b, std::int64_t rb, std::size_t field) const {
        if (sameBytes(a, ra, b, rb, field)) return true;
        return t_.equal(value(a, ra, field), a, result_.fields[field].index[a], value(b, rb, field),
                        b, result_.fields[field].index[b]);
    }

    // Whose value a field of a record takes when one side's record decides:
    // that side's where it has the field, else the other's, else base's.
    MergeSide fallback(int side, std::size_t field, const std::int64_t (&rec)[3]) const {
        const int other = side == kOurs ? kTheirs : kOurs;
        for (int s : {side, other, kBase})
            if (rec[s] != 0 && has(s, field)) return static_cast<MergeSide>(s);
        return MergeSide::Given;  // no value anywhere: blank
    }

    void conflict(ConflictKind kind, std::int64_t index, int field, const std::int64_t (&rec)[3]) {
        MergeConflict c;
        c.kind = kind;
        c.record = index;
        c.field = field;
        if (keys_)
            keys_->key(rec[kOurs] != 0 ? kOurs : kTheirs,
                       rec[kOurs] != 0 ? rec[kOurs] : rec[kTheirs], &c.key);
        if (field >= 0)
            for (int s = 0; s < 3; ++s)
                if (rec[s] != 0 && has(s, static_cast<std::size_t>(field)))
                    c.value[s] = value(s, rec[s], static_cast<std::size_t>(field));
        result_.conflicts.push_back(std::move(c));
    }

    // Whether a side's record differs from base's in any compared field.
    bool changedFromBase(int side, const std::int64_t (&rec)[3]) const {
        for (std::size_t f = 0; f < result_.fields.size(); ++f)
            if (!ignored_[f] && has(kBase, f) && has(side, f) &&
                !equal(kBase, rec[kBase], side, rec[side], f))
                return true;
        return false;
    }

    // Every field's fallback(side, ...) for a record on the sides rec has.
    void fillFallback(int side, const std::int64_t (&rec)[3]) {
        sources_.resize(result_.fields.size());
        for (std::size_t f = 0; f < sources_.size(); ++f) sources_[f] = fallback(side, f, rec);
    }
    // The row of that, one per side deciding and sides present.
    std::uint32_t fallbackRow(int side, const std::int64_t (&rec)[3]) {
        const int present =
            (rec[kBase] != 0 ? 1 : 0) | (rec[kOurs] != 0 ? 2 : 0) | (rec[kTheirs] != 0 ? 4 : 0);
        std::uint32_t& row = fallbackRows_[side == kOurs ? 0 : 1][present];
        if (row == kNoRow) {
            fillFallback(side, rec);
            row = result_.rowOf(sources_);
        }
        return row;
    }

    void record(std::int64_t b, std::int64_t o, std::int64_t th) {
        if (o == 0 && th == 0) return;  // deleted on both sides
        const std::int64_t rec[3] = {b, o, th};
        MergedRecord m;
        for (int s = 0; s < 3; ++s) m.record[s] = static_cast<std::uint32_t>(rec[s]);
        const std::size_t n = result_.fields.size();
        const auto index = static_cast<std::int64_t>(result_.records.size());
        if (o == 0 || th == 0) {
            const int side = o != 0 ? kOurs : kTheirs;
            m.row = fallbackRow(side, rec);
            if (b != 0) {
                // Deleted on the other side: gone when this side left it as it was.
                if (!changedFromBase(side, rec)) return;
                m.kept = side == kOurs;
                result_.records.push_back(m);
                conflict(ConflictKind::DeletedAndChanged, index, -1, rec);
                return;
            }
            result_.records.push_back(m);
            return;
        }
        // A side whose record is base's byte for byte changed nothing.
        const bool oursSame = b != 0 && wholeRecords_[kOurs] && sameRecord(kOurs, o, b);
        const bool theirsSame = b != 0 && wholeRecords_[kTheirs] && sameRecord(kTheirs, th, b);
        m.row = fallbackRow(kOurs, rec);
        if (oursSame && theirsSame) {
            result_.records.push_back(m);
            return;
        }
        fillFallback(kOurs, rec);
        bool theirsTaken = false;
        conflicts_.clear();
        for (std::size_t f = 0; f < n; ++f) {
            if (ignored_[f]) continue;
            const bool inBase = b != 0 && has(kBase, f);
            if (has(kOurs, f) && has(kTheirs, f)) {
                if (!inBase) {
                    if (!equal(kOurs, o, kTheirs, th, f)) conflicts_.push_back(static_cast<int>(f));
                    continue;
                }
                const bool oc = !oursSame && !equal(kBase, b, kOurs, o, f);
                const bool tc = !theirsSame && !equal(kBase, b, kTheirs, th, f);
                if (oc) changed_[kOurs][f] = true;
                if (tc) changed_[kTheirs][f] = true;
                if (tc && !oc) {
                    sources_[f] = MergeSide::Theirs;
                    theirsTaken = true;
                }
                if (oc && tc && !equal(kOurs, o, kTheirs, th, f))
                    conflicts_.push_back(static_cast<int>(f));
            } else if (inBase && has(kOurs, f)) {
                if (!equal(kBase, b, kOurs, o, f)) changed_[kOurs][f] = true;
            } else if (inBase && has(kTheirs, f)) {
                if (!equal(kBase, b, kTheirs, th, f)) changed_[kTheirs][f] = true;
            }
        }
        if (theirsTaken) m.row = result_.rowOf(sources_);
        result_.records.push_back(m);
        for (int f : conflicts_)
            conflict(b != 0 ? ConflictKind::BothChanged : ConflictKind::BothAdded, index, f, rec);
    }

    // A field one side dropped goes, unless the other changed its values.
    void droppedFields() {
        for (std::size_t f = 0; f < result_.fields.size(); ++f) {
            auto& field = result_.fields[f];
            if (!has(kBase, f)) continue;
            for (int side : {kOurs, kTheirs}) {
                const int other = side == kOurs ? kTheirs : kOurs;
                if (has(side, f) || !has(other, f)) continue;
                field.dropped = side == kOurs || !changed_[other][f];
                if (changed_[other][f]) {
                    MergeConflict c;
                    c.kind = ConflictKind::DroppedAndChanged;
                    c.field = static_cast<int>(f);
                    result_.conflicts.push_back(std::move(c));
                }
            }
        }
    }

    // A changed definition applies when every value of the result fits it;
    // else the field keeps the other side's.
    void checkDefinitions() {
        for (std::size_t f = 0; f < result_.fields.size(); ++f) {
            auto& field = result_.fields[f];
            const int by = static_cast<int>(field.definedBy);
            const int other = by == kOurs ? kTheirs : kOurs;
            if (!has(kBase, f) || !has(other, f)) continue;
            const auto& base = t_.reader(kBase).field(field.index[kBase]);
            if (sameDefinition(base, field.info)) continue;
            const foxpro::TextStorage storage{t_.reader(kOurs).layout().codePage, true};
            std::string misfit;
            for (const auto& m : result_.records) {
                const int s = static_cast<int>(result_.from(m, f));
                if (!m.kept || s > kTheirs || s == by) continue;
                try {
                    foxpro::encodeField(field.info, storage,
                                        foxpro::literalOfValue(value(s, m.record[s], f)), "");
                } catch (const foxpro::FoxProError& e) {
                    // Named only here: a location per record would cost
                    // every record of a large table.
                    misfit = t_.reader(s).path() + ", record " + std::to_string(m.record[s]) +
                             e.description();
                    break;
                }
            }
            if (misfit.empty()) continue;
            result_.notes.push_back("field " + field.info.name + ": the new definition of " +
                                    t_.reader(by).path() + " does not hold every value (" + misfit +
                                    "); it keeps that of " + t_.reader(other).path());
            field.info = t_.reader(other).field(field.index[other]);
            field.definedBy = static_cast<MergeSide>(other);
        }
    }

    const Tables& t_;
    const Merge3Options& options_;
    WalkPacer& pacer_;
    Merge3Result result_;
    std::vector<bool> ignored_;
    std::vector<bool> changed_[3];  // per side: some record changed the field's value
    struct ByteField {
        const foxpro::FieldInfo* info[3] = {nullptr, nullptr, nullptr};
        bool alike[3][3] = {};
    };
    std::vector<ByteField> bytes_;
    bool wholeRecords_[3] = {false, false, false};
    std::unique_ptr<KeyReader> keys_;  // by key only
    static constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;
    std::uint32_t fallbackRows_[2][8] = {
        {kNoRow, kNoRow, kNoRow, kNoRow, kNoRow, kNoRow, kNoRow, kNoRow},
        {kNoRow, kNoRow, kNoRow, kNoRow, kNoRow, kNoRow, kNoRow, kNoRow}};
    std::vector<MergeSide> sources_;  // the row of the record being merged
    std::vector<int> conflicts_;      // its fields' conflicts
};

}  // namespace

const char* conflictKindName(ConflictKind kind) {
    switch (kind) {
        case ConflictKind::BothChanged:
            return "both_changed";
        case ConflictKind::DeletedAndChanged:
            return "deleted_and_changed";
        case ConflictKind::BothAdded:
            return "both_added";
        case ConflictKind::DroppedAndChanged:
            return "dropped_and_changed";
    }
    return "";
}

Merge3Result merge3(const foxpro::TableReader& base, const foxpro::TableReader& ours,
                    const foxpro::TableReader& theirs, const Merge3Options& options,
                    const CompareCallbacks& callbacks, const std::function<bool()>& stopRequested) {
    // The stop is asked where the events ran, on this thread, between the
    // steps of the work: the exception leaves nothing half made behind.
    CompareCallbacks paced = callbacks;
    if (stopRequested)
        paced.processEvents = [&] {
            if (callbacks.processEvents) callbacks.processEvents();
            if (stopRequested()) throw Merge3Stopped{};
        };
    WalkPacer pacer(paced, ProgressStart);
    pacer.report(0);
    const Tables tables(base, ours, theirs, options);
    pacer.setScale(tables.count(kOurs) + tables.count(kTheirs));
    pacer.work(0, frame::kUnitsPerClockCheck);
    return Merger(tables, options, pacer).run();
}

void resolveConflict(Merge3Result& result, std::size_t index, const Resolution& resolution) {
    const MergeConflict& c = result.conflicts.at(index);
    const int keep = static_cast<int>(resolution.keep);
    if (c.record < 0) {
        // A dropped field stays dropped or comes back with the other side's values.
        if (keep != kOurs && keep != kTheirs)
            throw std::invalid_argument("a dropped field is kept as ours or theirs has it");
        auto& field = result.fields[static_cast<std::size_t>(c.field)];
        field.dropped = field.index[keep] < 0;
        return;
    }
    MergedRecord& m = result.records[static_cast<std::size_t>(c.record)];
    if (c.field < 0) {
        if (resolution.keep == MergeSide::Given)
            throw std::invalid_argument("a deleted record is kept as one side has it, not a value");
        m.kept = m.record[keep] != 0;
        const auto row = result.row(m);
        std::vector<MergeSide> sources(row.begin(), row.end());
        for (std::size_t f = 0; f < sources.size(); ++f)
            if (m.kept && result.fields[f].index[keep] >= 0) sources[f] = resolution.keep;
        m.row = result.rowOf(sources);
        return;
    }
    const auto field = static_cast<std::size_t>(c.field);
    if (resolution.keep == MergeSide::Given) {
        result.given[{c.record, c.field}] = resolution.value;
    } else if (!c.value[keep]) {
        throw std::invalid_argument(std::string(keep == kBase ? "base" : "that side") +
                                    " holds no value here");
    }
    result.setFrom(static_cast<std::size_t>(c.record), field, resolution.keep);
}

std::uint32_t Merge3Result::rowOf(std::span<const MergeSide> sides) {
    std::string key(reinterpret_cast<const char*>(sides.data()), sides.size());
    const auto [at, added] =
        rowNumbers_.try_emplace(std::move(key), static_cast<std::uint32_t>(rowNumbers_.size()));
    if (added) sourceRows.insert(sourceRows.end(), sides.begin(), sides.end());
    return at->second;
}

void Merge3Result::setFrom(std::size_t record, std::size_t field, MergeSide side) {
    MergedRecord& m = records[record];
    const auto current = row(m);
    std::vector<MergeSide> sides(current.begin(), current.end());
    sides[field] = side;
    m.row = rowOf(sides);
}

}  // namespace quorvel::compare
