#include "compare/merge3.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <stdexcept>
#include <unordered_map>

#include "compare/case_fold.h"
#include "compare/field_pairing.h"
#include "compare/hash_alignment.h"
#include "compare/record_hash.h"
#include "compare/stretch_pairing.h"
#include "compare/value_rules.h"
#include "foxpro/format/ascii_case.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/text_form.h"
#include "foxpro/write/field_encoder.h"
#include "foxpro/write/value_literal.h"

namespace quorvel::compare {

namespace {

constexpr int kBase = 0, kOurs = 1, kTheirs = 2;

bool sameDefinition(const foxpro::FieldInfo& a, const foxpro::FieldInfo& b) {
    return a.letter == b.letter && a.width == b.width && a.decimals == b.decimals &&
           a.nullable == b.nullable && a.binary == b.binary;
}

// The three tables' live records and values, and the rules of equality.
class Tables {
  public:
    Tables(const foxpro::TableReader& base, const foxpro::TableReader& ours,
           const foxpro::TableReader& theirs, const Merge3Options& options)
        : readers_{&base, &ours, &theirs}, rules_(options.compare), locale_(options.locale) {
        for (int s = 0; s < 3; ++s) {
            const auto& r = *readers_[s];
            for (std::int64_t i = r.nextLive(0); i < r.storedCount(); i = r.nextLive(i + 1))
                stored_[s].push_back(i);
        }
    }

    const foxpro::TableReader& reader(int side) const { return *readers_[side]; }
    std::int64_t count(int side) const { return static_cast<std::int64_t>(stored_[side].size()); }

    // Field `field` of live record `record` (1-based) of a side.
    foxpro::Value value(int side, std::int64_t record, int field) const {
        return readers_[side]->valueAt(stored_[side][static_cast<std::size_t>(record - 1)], field);
    }

    // The stored bytes of live record `record` of a side.
    std::span<const std::uint8_t> raw(int side, std::int64_t record) const {
        if (rawRecord_[side] != record) {
            rawRecord_[side] = record;
            raw_[side] =
                readers_[side]->storedRecord(stored_[side][static_cast<std::size_t>(record - 1)]);
        }
        return raw_[side];
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
    const foxpro::TableReader* readers_[3];
    std::vector<std::int64_t> stored_[3];
    mutable std::int64_t rawRecord_[3] = {0, 0, 0};  // the record raw_ holds
    mutable std::span<const std::uint8_t> raw_[3];
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

// Live record numbers (1-based) of the partner on the other side, 0 for none.
using Partners = std::vector<std::int64_t>;

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
            parts_.push_back(part);
        }
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
        bool stored = false;  // keyed by its stored bytes
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
};

// Per side: each record's key hash, and the records sorted by hash (then
// position): the k-th record of a key value is the k-th of its hash's run.
struct KeyedSide {
    std::vector<HashedRecord> sorted;  // hash, record - 1
    std::vector<std::uint64_t> hash;
};

KeyedSide keyedSide(const Tables& t, const KeyReader& keys, int side) {
    KeyedSide k;
    const auto n = static_cast<std::size_t>(t.count(side));
    k.hash.resize(n);
    k.sorted.reserve(n);
    for (std::size_t r = 0; r < n; ++r) {
        Hasher h;
        h.add(std::string_view(keys.key(side, static_cast<std::int64_t>(r) + 1, nullptr)));
        k.hash[r] = recordHash(h);
        k.sorted.emplace_back(k.hash[r], static_cast<std::uint32_t>(r));
    }
    sortByHash(k.sorted);
    return k;
}

// Per record of side (k), its partner on the other side (o): the record of
// the same key hash and occurrence, found by walking both sorted lists
// once, and confirmed by comparing the keys.
Partners keyPartners(const KeyReader& keys, int side, const KeyedSide& k, int otherSide,
                     const KeyedSide& o) {
    Partners partner(k.sorted.size(), 0);
    std::size_t j = 0;
    for (std::size_t i = 0; i < k.sorted.size();) {
        const std::uint64_t hash = k.sorted[i].first;
        while (j < o.sorted.size() && o.sorted[j].first < hash) ++j;
        const std::size_t run = i;
        while (i < k.sorted.size() && k.sorted[i].first == hash) ++i;
        std::size_t end = j;
        while (end < o.sorted.size() && o.sorted[end].first == hash) ++end;
        if (i - run == 1 && end - j == 1) {
            partner[k.sorted[run].second] = static_cast<std::int64_t>(o.sorted[j].second) + 1;
            continue;
        }
        // Several records of one hash: keys held more than once, or keys
        // whose hashes collide; paired by their keys, in record order.
        std::unordered_map<std::string, std::vector<std::int64_t>> others;
        for (std::size_t m = end; m-- > j;)
            others[keys.key(otherSide, static_cast<std::int64_t>(o.sorted[m].second) + 1, nullptr)]
                .push_back(static_cast<std::int64_t>(o.sorted[m].second) + 1);
        for (std::size_t n = run; n < i; ++n) {
            const auto r = static_cast<std::int64_t>(k.sorted[n].second) + 1;
            auto at = others.find(keys.key(side, r, nullptr));
            if (at == others.end() || at->second.empty()) continue;
            partner[static_cast<std::size_t>(r - 1)] = at->second.back();
            at->second.pop_back();
        }
    }
    // Confirmed in record order, which reads both tables about in order.
    for (std::size_t r = 0; r < partner.size(); ++r)
        if (partner[r] != 0 && keys.key(side, static_cast<std::int64_t>(r) + 1, nullptr) !=
                                   keys.key(otherSide, partner[r], nullptr))
            partner[r] = 0;
    return partner;
}

Pairings pairByKey(const Tables& t, const KeyReader& keys) {
    const KeyedSide sides[3] = {keyedSide(t, keys, kBase), keyedSide(t, keys, kOurs),
                                keyedSide(t, keys, kTheirs)};
    Pairings p;
    p.oursBase = keyPartners(keys, kOurs, sides[kOurs], kBase, sides[kBase]);
    p.theirsBase = keyPartners(keys, kTheirs, sides[kTheirs], kBase, sides[kBase]);
    p.oursTheirsAdded = keyPartners(keys, kOurs, sides[kOurs], kTheirs, sides[kTheirs]);
    // Only records without a base partner pair as added on both sides.
    for (std::size_t r = 0; r < p.oursBase.size(); ++r)
        if (p.oursBase[r] != 0) p.oursTheirsAdded[r] = 0;
    return p;
}

// ---- Position pairing ----

Pairings pairByPosition(const Tables& t) {
    Pairings p;
    const std::int64_t base = t.count(kBase);
    for (std::int64_t r = 1; r <= t.count(kOurs); ++r) {
        p.oursBase.push_back(r <= base ? r : 0);
        p.oursTheirsAdded.push_back(r > base && r <= t.count(kTheirs) ? r : 0);
    }
    for (std::int64_t r = 1; r <= t.count(kTheirs); ++r) p.theirsBase.push_back(r <= base ? r : 0);
    return p;
}

// ---- Content pairing ----

// Hashes of every record of a side over the fields it shares with another
// side, one per field and one per record, so that equal values (by the
// text rules) hash alike; a field whose two definitions differ in type is
// hashed by its text form.
struct SideHashes {
    std::vector<std::uint64_t> records;
    std::vector<std::uint64_t> fields;  // records x shared fields
    std::size_t width = 0;
};

SideHashes hashSide(const Tables& t, int side, int other, const std::vector<bool>& ignoredOf,
                    const std::vector<MergedField>& plan) {
    // Field of side and how it is hashed: by its typed value, its text
    // form (types differ), or its stored bytes where both sides store it
    // alike and no text rule applies (equal values then have equal bytes,
    // but for numbers written differently, which the stretches pair).
    enum class By { Value, Text, Bytes };
    std::vector<std::pair<int, By>> shared;
    const auto& layout = t.reader(side).layout();
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const auto& f = plan[i];
        if (ignoredOf[i] || f.index[side] < 0 || f.index[other] < 0) continue;
        const auto& a = t.reader(side).field(f.index[side]);
        const auto& b = t.reader(other).field(f.index[other]);
        By by = a.letter != b.letter ? By::Text : By::Value;
        if (by == By::Value && sameDefinition(a, b) && !a.memo &&
            !t.rules().textRuled(a.typeCode) &&
            layout.codePage == t.reader(other).layout().codePage)
            by = By::Bytes;
        shared.emplace_back(f.index[side], by);
    }
    SideHashes h;
    h.width = shared.size();
    std::string scratch;
    const auto bit = [&](std::span<const std::uint8_t> raw, int n) -> std::uint64_t {
        return n >= 0 && layout.nullFlagsOffset >= 0
                   ? (raw[static_cast<std::size_t>(layout.nullFlagsOffset + n / 8)] >> (n % 8)) & 1
                   : 0;
    };
    for (std::int64_t r = 1; r <= t.count(side); ++r) {
        Hasher record;
        for (const auto& [field, by] : shared) {
            Hasher one;
            if (by == By::Bytes) {
                const auto raw = t.raw(side, r);
                const auto& f = t.reader(side).field(field);
                one.add(std::string_view(reinterpret_cast<const char*>(raw.data()) + f.offset,
                                         static_cast<std::size_t>(f.width)));
                one.add(bit(raw, f.nullBit) | bit(raw, f.varLengthBit) << 1);
                const std::uint64_t value = recordHash(one);
                h.fields.push_back(value);
                record.add(value);
                continue;
            }
            const foxpro::Value v = t.value(side, r, field);
            if (by == By::Text || (v.kind() == foxpro::Value::Kind::Text &&
                                   t.rules().textRuled(t.reader(side).field(field).typeCode))) {
                std::string text = std::string(foxpro::textFormView(v, t.locale(), scratch));
                while (!text.empty() && text.back() == ' ') text.pop_back();
                one.add(std::string_view(t.rules().comparedText(text)));
            } else {
                addTypedValue(one, v);
            }
            const std::uint64_t value = recordHash(one);
            h.fields.push_back(value);
            record.add(value);
        }
        h.records.push_back(recordHash(record));
    }
    return h;
}

// Per record of b (1-based numbers), its partner in a: a common subsequence
// of equal records, the stretches between paired by their equal fields.
Partners alignSides(const SideHashes& a, const SideHashes& b) {
    Partners partner(b.records.size(), 0);
    std::vector<Match> matches = alignHashes(a.records, b.records);
    std::size_t a0 = 0, b0 = 0;
    auto stretch = [&](std::size_t a1, std::size_t b1) {
        const std::size_t rowsA = a1 - a0, rowsB = b1 - b0;
        if (rowsA == 0 || rowsB == 0) return;
        std::vector<Match> inner;
        if (rowsA <= kStretchLimit && rowsB <= kStretchLimit && a.width == b.width)
            inner =
                pairStretch(std::span(a.fields).subspan(a0 * a.width, rowsA * a.width),
                            std::span(b.fields).subspan(b0 * b.width, rowsB * b.width), a.width);
        else
            inner = pairFirstWithFirst(rowsA, rowsB);
        for (const Match& m : inner)
            partner[b0 + m.index2] = static_cast<std::int64_t>(a0 + m.index1 + 1);
    };
    for (const Match& m : matches) {
        stretch(m.index1, m.index2);
        partner[m.index2] = static_cast<std::int64_t>(m.index1) + 1;
        a0 = m.index1 + 1;
        b0 = m.index2 + 1;
    }
    stretch(a.records.size(), b.records.size());
    return partner;
}

Pairings pairByContent(const Tables& t, const std::vector<MergedField>& plan,
                       const std::vector<bool>& ignored) {
    Pairings p;
    p.oursBase = alignSides(hashSide(t, kBase, kOurs, ignored, plan),
                            hashSide(t, kOurs, kBase, ignored, plan));
    p.theirsBase = alignSides(hashSide(t, kBase, kTheirs, ignored, plan),
                              hashSide(t, kTheirs, kBase, ignored, plan));
    // Records both sides added alike are one: paired by equal hashes.
    const SideHashes ours = hashSide(t, kOurs, kTheirs, ignored, plan);
    const SideHashes theirs = hashSide(t, kTheirs, kOurs, ignored, plan);
    std::unordered_map<std::uint64_t, std::vector<std::int64_t>> added;
    for (std::size_t r = theirs.records.size(); r-- > 0;)
        if (p.theirsBase[r] == 0)
            added[theirs.records[r]].push_back(static_cast<std::int64_t>(r) + 1);
    p.oursTheirsAdded.assign(ours.records.size(), 0);
    for (std::size_t r = 0; r < ours.records.size(); ++r) {
        if (p.oursBase[r] != 0) continue;
        const auto at = added.find(ours.records[r]);
        if (at == added.end() || at->second.empty()) continue;
        p.oursTheirsAdded[r] = at->second.back();
        at->second.pop_back();
    }
    return p;
}

// ---- The rules ----

class Merger {
  public:
    Merger(const Tables& t, const Merge3Options& options) : t_(t), options_(options) {}

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
        Partners baseTheirs(static_cast<std::size_t>(t_.count(kBase)), 0);
        for (std::size_t r = 0; r < p.theirsBase.size(); ++r)
            if (p.theirsBase[r] != 0)
                baseTheirs[static_cast<std::size_t>(p.theirsBase[r] - 1)] =
                    static_cast<std::int64_t>(r) + 1;
        std::vector<bool> theirsUsed(static_cast<std::size_t>(t_.count(kTheirs)), false);
        changed_[kOurs].assign(result_.fields.size(), false);
        changed_[kTheirs].assign(result_.fields.size(), false);
        for (std::int64_t o = 1; o <= t_.count(kOurs); ++o) {
            const auto i = static_cast<std::size_t>(o - 1);
            const std::int64_t b = p.oursBase[i];
            const std::int64_t th =
                b != 0 ? baseTheirs[static_cast<std::size_t>(b - 1)] : p.oursTheirsAdded[i];
            if (th != 0) theirsUsed[static_cast<std::size_t>(th - 1)] = true;
            record(b, o, th);
        }
        for (std::int64_t th = 1; th <= t_.count(kTheirs); ++th) {
            const auto i = static_cast<std::size_t>(th - 1);
            if (theirsUsed[i]) continue;
            record(p.theirsBase[i], 0, th);
        }
        droppedFields();
        checkDefinitions();
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

    void record(std::int64_t b, std::int64_t o, std::int64_t th) {
        if (o == 0 && th == 0) return;  // deleted on both sides
        MergedRecord m;
        m.record[kBase] = b;
        m.record[kOurs] = o;
        m.record[kTheirs] = th;
        const auto& rec = m.record;
        const std::size_t n = result_.fields.size();
        const auto index = static_cast<std::int64_t>(result_.records.size());
        m.from.resize(n);
        if (o == 0 || th == 0) {
            const int side = o != 0 ? kOurs : kTheirs;
            for (std::size_t f = 0; f < n; ++f) m.from[f] = fallback(side, f, rec);
            if (b != 0) {
                // Deleted on the other side: gone when this side left it as it was.
                if (!changedFromBase(side, rec)) return;
                m.kept = side == kOurs;
                result_.records.push_back(std::move(m));
                conflict(ConflictKind::DeletedAndChanged, index, -1, rec);
                return;
            }
            result_.records.push_back(std::move(m));
            return;
        }
        std::vector<int> conflicts;
        // A side whose record is base's byte for byte changed nothing.
        const bool oursSame = b != 0 && wholeRecords_[kOurs] && sameRecord(kOurs, o, b);
        const bool theirsSame = b != 0 && wholeRecords_[kTheirs] && sameRecord(kTheirs, th, b);
        if (oursSame && theirsSame) {
            for (std::size_t f = 0; f < n; ++f) m.from[f] = fallback(kOurs, f, rec);
            result_.records.push_back(std::move(m));
            return;
        }
        for (std::size_t f = 0; f < n; ++f) {
            m.from[f] = fallback(kOurs, f, rec);
            if (ignored_[f]) continue;
            const bool inBase = b != 0 && has(kBase, f);
            if (has(kOurs, f) && has(kTheirs, f)) {
                if (!inBase) {
                    if (!equal(kOurs, o, kTheirs, th, f)) conflicts.push_back(static_cast<int>(f));
                    continue;
                }
                const bool oc = !oursSame && !equal(kBase, b, kOurs, o, f);
                const bool tc = !theirsSame && !equal(kBase, b, kTheirs, th, f);
                if (oc) changed_[kOurs][f] = true;
                if (tc) changed_[kTheirs][f] = true;
                if (tc && !oc) m.from[f] = MergeSide::Theirs;
                if (oc && tc && !equal(kOurs, o, kTheirs, th, f))
                    conflicts.push_back(static_cast<int>(f));
            } else if (inBase && has(kOurs, f)) {
                if (!equal(kBase, b, kOurs, o, f)) changed_[kOurs][f] = true;
            } else if (inBase && has(kTheirs, f)) {
                if (!equal(kBase, b, kTheirs, th, f)) changed_[kTheirs][f] = true;
            }
        }
        result_.records.push_back(std::move(m));
        for (int f : conflicts)
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
                const int s = static_cast<int>(m.from[f]);
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
                    const foxpro::TableReader& theirs, const Merge3Options& options) {
    const Tables tables(base, ours, theirs, options);
    return Merger(tables, options).run();
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
        for (std::size_t f = 0; f < m.from.size(); ++f)
            m.from[f] = m.kept && result.fields[f].index[keep] >= 0 ? resolution.keep : m.from[f];
        return;
    }
    const auto field = static_cast<std::size_t>(c.field);
    if (resolution.keep == MergeSide::Given) {
        result.given[{c.record, c.field}] = resolution.value;
    } else if (!c.value[keep]) {
        throw std::invalid_argument(std::string(keep == kBase ? "base" : "that side") +
                                    " holds no value here");
    }
    m.from[field] = resolution.keep;
}

}  // namespace quorvel::compare
