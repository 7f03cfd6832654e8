#include "compare/table_pair.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "compare/field_pairing.h"
#include "compare/number_value.h"
#include "compare/record_hash.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/code_page_name.h"
#include "foxpro/text/text_form.h"

namespace quorvel::compare {

namespace {

using foxpro::FieldInfo;
using foxpro::Recordset;
using foxpro::Value;

// A value's text: the text form of the table-access layer, null empty.
std::string valueText(const Value& value, const foxpro::TextLocale& locale) {
    if (value.isNull()) return {};
    return foxpro::textForm(value, locale);
}

// Whether two values of a field pair agree by the rules of the comparison:
// numbers by value, values of different types by their texts, binary data
// of one type always, others by the typed comparison, null equal only to
// null.
bool valuesEqual(const Value& a, int typeA, const Value& b, int typeB,
                 const foxpro::TextLocale& locale) {
    if (isNumber(a) && isNumber(b)) return numbersEqual(a, b);
    if (typeA != typeB) return valueText(a, locale) == valueText(b, locale);
    if (typeA >= foxpro::kTypeVarBinary) return true;
    if (!a.isNull() && !b.isNull()) return a == b;
    return a.isNull() && b.isNull();
}

bool isNumberType(int type) {
    return type == foxpro::kTypeInteger || type == foxpro::kTypeDouble ||
           type == foxpro::kTypeCurrency || type == foxpro::kTypeNumeric;
}

// The field pairs in Table #1's column order, those of fields left out
// (ignored, by Table #1's index) dropped.
std::vector<FieldPair> pairFields(const Recordset& fieldList, const Recordset& cursor2,
                                  const FieldPairing& pairing, const std::vector<bool>& ignored) {
    std::vector<FieldPair> pairs;
    for (int i = 0; i < fieldList.fieldCount(); ++i) {
        if (!ignored.empty() && ignored[static_cast<std::size_t>(i)]) continue;
        const FieldInfo& info = fieldList.field(i);
        FieldPair pair;
        pair.index1 = i;
        pair.type1 = info.typeCode;
        pair.memo = info.memo;
        pair.offset = info.offset;
        pair.width = info.width;
        pair.index2 = pairing.partner1[static_cast<std::size_t>(i)];
        if (pair.index2 >= 0) pair.type2 = cursor2.field(pair.index2).typeCode;
        pairs.push_back(pair);
    }
    return pairs;
}

}  // namespace

TablePair::TablePair(const Recordset& fieldList, Recordset& cursor1, Recordset& cursor2,
                     const foxpro::TextLocale& locale, const CompareOptions& options)
    : fieldList_(fieldList),
      cursor1_(cursor1),
      cursor2_(cursor2),
      locale_(locale),
      rules_(options),
      valueRules_(options.valueRules()) {
    const std::vector<std::string> names1 = fieldNames(fieldList);
    const std::vector<std::string> names2 = fieldNames(cursor2);
    pairing_ =
        pairFieldNames(names1, names2, storedFieldNames(fieldList), storedFieldNames(cursor2));
    std::vector<bool> ignored(names1.size(), false);
    for (const auto& name : options.ignoredFields) {
        const int i = pickField1(pairing_, names1, names2, name);
        if (i >= 0) ignored[static_cast<std::size_t>(i)] = true;
    }
    for (const auto& [i, j] : pairing_.shortened)
        if (!ignored[static_cast<std::size_t>(i)])
            warnings_.push_back(shortenedPairText(names1[static_cast<std::size_t>(i)],
                                                  names2[static_cast<std::size_t>(j)]));
    warned1_.assign(static_cast<std::size_t>(cursor1.fieldCount()), false);
    warned2_.assign(names2.size(), false);
    // The layouts agree field for field whatever is ignored: an ignored
    // field only drops out of the byte ranges compared.
    bool identity = fieldList.fieldCount() == cursor2.fieldCount();
    for (std::size_t i = 0; i < pairing_.partner1.size(); ++i)
        if (pairing_.partner1[i] != static_cast<int>(i)) identity = false;
    pairs_ = pairFields(fieldList, cursor2, pairing_, ignored);
    for (const auto& pair : pairs_) {
        if (pair.compared()) compared_.push_back(pair);
        if (pair.memo && pair.type1 < foxpro::kTypeVarBinary) memos_.push_back(pair);
    }
    planHashes();
    planFieldBytes();
    const foxpro::TableLayout& layout = cursor1.layout();
    byBytes_ = identity && foxpro::sameLayout(layout, cursor2.layout());
    if (!byBytes_) return;
    // The byte ranges that decide the values of every field that is
    // neither a memo (its bytes are a block number) nor binary (never
    // compared), plus the null flags.
    std::vector<ByteRange> wanted;
    for (const auto& pair : pairs_) {
        if (pair.memo || pair.type1 >= foxpro::kTypeVarBinary) continue;
        wanted.push_back({pair.offset, pair.width});
    }
    if (layout.nullFlagsOffset >= 0)
        wanted.push_back({layout.nullFlagsOffset, layout.nullFlagsWidth});
    std::sort(wanted.begin(), wanted.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.offset < b.offset; });
    for (const auto& r : wanted) {
        if (r.length <= 0) continue;
        if (!ranges_.empty() && ranges_.back().offset + ranges_.back().length == r.offset)
            ranges_.back().length += r.length;
        else
            ranges_.push_back(r);
    }
    nullFlagsOffset_ = layout.nullFlagsOffset;
    nullFlagsWidth_ = layout.nullFlagsWidth;
}

void TablePair::planFieldBytes() {
    const foxpro::TableLayout& a = cursor1_.layout();
    const foxpro::TableLayout& b = cursor2_.layout();
    flagsOffset1_ = a.nullFlagsOffset;
    flagsOffset2_ = b.nullFlagsOffset;
    // The older formats store B fields and memo references otherwise.
    const bool sameFormat = foxpro::dbf::isVisualFoxPro(static_cast<std::uint8_t>(a.fileType)) ==
                            foxpro::dbf::isVisualFoxPro(static_cast<std::uint8_t>(b.fileType));
    for (auto* list : {&pairs_, &compared_}) {
        for (auto& pair : *list) {
            if (!pair.compared() || pair.memo) continue;
            const FieldInfo& x = cursor1_.field(pair.index1);
            const FieldInfo& y = cursor2_.field(pair.index2);
            const bool text = x.letter == 'C' || x.letter == 'V';
            pair.byBytes = sameFormat && x.letter == y.letter && x.typeCode == y.typeCode &&
                           x.width == y.width && x.decimals == y.decimals &&
                           x.nullable == y.nullable && x.binary == y.binary && !y.memo &&
                           (x.nullBit < 0) == (y.nullBit < 0) &&
                           (x.varLengthBit < 0) == (y.varLengthBit < 0) &&
                           (!text || x.binary || a.codePage == b.codePage);
            pair.offset2 = y.offset;
            pair.nullBit1 = x.nullBit;
            pair.nullBit2 = y.nullBit;
            pair.varBit1 = x.varLengthBit;
            pair.varBit2 = y.varLengthBit;
        }
    }
    for (std::size_t i = 0; i < pairs_.size(); ++i) {
        const FieldPair& pair = pairs_[i];
        const bool flags = pair.nullBit1 >= 0 || pair.varBit1 >= 0;
        if (pair.byBytes && !runs_.empty() && runs_.back().byBytes &&
            runs_.back().offset1 + runs_.back().length == pair.offset &&
            runs_.back().offset2 + runs_.back().length == pair.offset2) {
            FieldRun& run = runs_.back();
            ++run.count;
            run.length += pair.width;
            run.flags = run.flags || flags;
            continue;
        }
        runs_.push_back({i, 1, pair.byBytes, flags, pair.offset, pair.offset2, pair.width});
    }
}

namespace {

// Equal bytes, for the short runs of a field or two that tables of other
// layouts compare: eight bytes a step, without a library call per field.
bool sameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    for (; n >= 8; n -= 8, a += 8, b += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        if (x != y) return false;
    }
    for (; n > 0; --n)
        if (*a++ != *b++) return false;
    return true;
}

// Bit `bit` of a record's null flags; false when the record has none.
bool flagBit(std::span<const std::uint8_t> raw, int flagsOffset, int bit) {
    if (bit < 0 || flagsOffset < 0) return false;
    const auto at = static_cast<std::size_t>(flagsOffset + bit / 8);
    return at < raw.size() && ((raw[at] >> (bit % 8)) & 1) != 0;
}

}  // namespace

bool TablePair::flagsEqual(const FieldPair& pair, std::span<const std::uint8_t> raw1,
                           std::span<const std::uint8_t> raw2) const {
    return flagBit(raw1, flagsOffset1_, pair.nullBit1) ==
               flagBit(raw2, flagsOffset2_, pair.nullBit2) &&
           flagBit(raw1, flagsOffset1_, pair.varBit1) == flagBit(raw2, flagsOffset2_, pair.varBit2);
}

bool TablePair::runEqual(const FieldRun& run, std::span<const std::uint8_t> raw1,
                         std::span<const std::uint8_t> raw2) const {
    const auto length = static_cast<std::size_t>(run.length);
    if (static_cast<std::size_t>(run.offset1) + length > raw1.size() ||
        static_cast<std::size_t>(run.offset2) + length > raw2.size())
        return false;
    if (!sameBytes(raw1.data() + run.offset1, raw2.data() + run.offset2, length)) return false;
    if (run.flags)
        for (std::size_t i = run.first; i < run.first + run.count; ++i)
            if (!flagsEqual(pairs_[i], raw1, raw2)) return false;
    return true;
}

bool TablePair::pairBytesEqual(const FieldRun& run, std::size_t i,
                               std::span<const std::uint8_t> raw1,
                               std::span<const std::uint8_t> raw2) const {
    const FieldPair& pair = pairs_[i];
    return runEqual({i, 1, true, run.flags, pair.offset, pair.offset2, pair.width}, raw1, raw2);
}

bool TablePair::rangesEqual(std::span<const std::uint8_t> raw1,
                            std::span<const std::uint8_t> raw2) const {
    for (const auto& r : ranges_)
        if (!bytesEqual(raw1, raw2, r.offset, r.length)) return false;
    return true;
}

std::vector<std::string> TablePair::fieldNames1() const {
    std::vector<std::string> names;
    for (int i = 0; i < fieldList_.fieldCount(); ++i) names.push_back(fieldList_.field(i).name);
    return names;
}

bool TablePair::bytesEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                           int offset, int length) const {
    if (offset < 0 || static_cast<std::size_t>(offset + length) > a.size() ||
        static_cast<std::size_t>(offset + length) > b.size())
        return false;
    return std::memcmp(a.data() + offset, b.data() + offset, static_cast<std::size_t>(length)) == 0;
}

bool TablePair::valuesEqual(const Value& a, int typeA, const Value& b, int typeB) const {
    if (valueRules_) return rules_.equal(a, typeA, b, typeB, locale_);
    return compare::valuesEqual(a, typeA, b, typeB, locale_);
}

void TablePair::markUndecoded(int side, int index, Value& value) {
    if (value.decodedCleanly()) return;
    const Recordset& cursor = side == 1 ? cursor1_ : cursor2_;
    std::vector<bool>& warned = side == 1 ? warned1_ : warned2_;
    if (!warned[static_cast<std::size_t>(index)]) {
        warned[static_cast<std::size_t>(index)] = true;
        warnings_.push_back(cursor.table().fileName() + ": record " +
                            std::to_string(sidePosition(side)) + ", field " +
                            cursor.field(index).name + " holds bytes that code page " +
                            foxpro::codePageName(cursor.layout().codePage) +
                            " cannot decode; such values are compared by their bytes");
    }
    value = Value::text(cursor.table().markedText(sideRecord(side), index));
}

bool TablePair::wouldWarn(int side, int index) {
    const std::vector<bool>& warned = side == 1 ? warned1_ : warned2_;
    if (warned[static_cast<std::size_t>(index)]) return false;
    return !sideValue(side, index).decodedCleanly();
}

Value TablePair::comparedValue(int side, int index) {
    Value value = sideValue(side, index);
    markUndecoded(side, index, value);
    return value;
}

bool TablePair::comparedEqual(const FieldPair& pair, const Value& a, const Value& b) {
    if (a.decodedCleanly() && b.decodedCleanly()) return valuesEqual(a, pair.type1, b, pair.type2);
    Value x = a;
    Value y = b;
    markUndecoded(1, pair.index1, x);
    markUndecoded(2, pair.index2, y);
    return valuesEqual(x, pair.type1, y, pair.type2);
}

void TablePair::compareField(DifferenceList& out, const FieldPair& pair, std::int64_t n1,
                             std::int64_t n2) {
    try {
        const Value a = sideValue(1, pair.index1);
        const Value b = sideValue(2, pair.index2);
        if (comparedEqual(pair, a, b)) return;
        // Text is handed on as the values hold it: a memo of many megabytes
        // is not copied on its way to the list or the caller's sink.
        std::string scratchA, scratchB;
        std::string_view textA, textB;
        if (pair.type1 == pair.type2 && pair.type1 == foxpro::kTypeBoolean && !a.isNull() &&
            !b.isNull()) {
            // Two logicals of one type are written as -1 and 0.
            textA = a.asLogical() ? "-1" : "0";
            textB = b.asLogical() ? "-1" : "0";
        } else {
            if (!a.isNull()) textA = foxpro::textFormView(a, locale_, scratchA);
            if (!b.isNull()) textB = foxpro::textFormView(b, locale_, scratchB);
        }
        out.addChanged(n1, n2, pair.index1, textA, a.isNull(), textB, b.isNull());
    } catch (const std::bad_alloc&) {
        outOfMemory(pair);
    }
}

bool TablePair::fieldEqual(const FieldPair& pair) {
    try {
        return comparedEqual(pair, sideValue(1, pair.index1), sideValue(2, pair.index2));
    } catch (const std::bad_alloc&) {
        outOfMemory(pair);
    }
}

void TablePair::outOfMemory(const FieldPair& pair) const {
    throw foxpro::FoxProError(
        foxpro::kErrorOutOfMemory,
        cursor1_.table().fileName() + ": not enough memory to compare record " +
            std::to_string(sidePosition(1)) + ", field " + fieldList_.field(pair.index1).name +
            " with record " + std::to_string(sidePosition(2)) + " of " +
            cursor2_.table().fileName());
}

std::span<const std::uint8_t> TablePair::sideRecord(int side) const {
    if (given_) return givenRecord_[side - 1];
    return (side == 1 ? cursor1_ : cursor2_).rawRecord();
}

Value TablePair::sideValue(int side, int index) const {
    const Recordset& cursor = side == 1 ? cursor1_ : cursor2_;
    if (given_) return cursor.table().value(givenRecord_[side - 1], index);
    return cursor.value(index);
}

std::int64_t TablePair::sidePosition(int side) const {
    if (given_) return givenPosition_[side - 1];
    return (side == 1 ? cursor1_ : cursor2_).position();
}

int TablePair::compareStored(DifferenceList& out, std::int64_t n1, std::int64_t n2,
                             std::span<const std::uint8_t> raw1, std::span<const std::uint8_t> raw2,
                             bool missingFieldLines) {
    struct Given {
        bool& given;
        ~Given() { given = false; }
    } given{given_};
    given_ = true;
    givenRecord_[0] = raw1;
    givenRecord_[1] = raw2;
    givenPosition_[0] = n1;
    givenPosition_[1] = n2;
    return compareCurrent(out, n1, n2, missingFieldLines);
}

int TablePair::compareCurrent(DifferenceList& out, std::int64_t n1, std::int64_t n2,
                              bool missingFieldLines) {
    int units = 1;
    if (byBytes_) {
        const auto raw1 = sideRecord(1);
        const auto raw2 = sideRecord(2);
        if (rangesEqual(raw1, raw2)) {
            for (const auto& pair : memos_) compareField(out, pair, n1, n2);
            return units + static_cast<int>(memos_.size());
        }
        // Decode only the fields whose bytes (or null flags) differ.
        const bool flagsEqual =
            nullFlagsOffset_ < 0 || bytesEqual(raw1, raw2, nullFlagsOffset_, nullFlagsWidth_);
        for (const auto& pair : pairs_) {
            if (!pair.memo && flagsEqual && bytesEqual(raw1, raw2, pair.offset, pair.width))
                continue;
            compareField(out, pair, n1, n2);
            ++units;
        }
        return units;
    }
    const auto raw1 = sideRecord(1);
    const auto raw2 = sideRecord(2);
    for (const FieldRun& run : runs_) {
        if (run.byBytes && runEqual(run, raw1, raw2)) continue;
        for (std::size_t i = run.first; i < run.first + run.count; ++i) {
            const FieldPair& pair = pairs_[i];
            if (pair.missing()) {
                if (missingFieldLines) out.addMissingField(n1, n2, pair.index1);
            } else if (!pair.byBytes || run.count == 1 || !pairBytesEqual(run, i, raw1, raw2)) {
                compareField(out, pair, n1, n2);
                ++units;
            }
        }
    }
    return units;
}

void TablePair::addMissingFieldLines(DifferenceList& out) const {
    for (const auto& pair : pairs_)
        if (pair.missing()) out.addMissingField(0, 0, pair.index1);
}

std::vector<StructureDifference> TablePair::structureDifferences() const {
    std::vector<StructureDifference> out;
    for (int j = 0; j < cursor2_.fieldCount(); ++j)
        if (pairing_.partner2[static_cast<std::size_t>(j)] < 0)
            out.push_back({StructureKind::OnlyInTable2,
                           cursor2_.field(j).name,
                           {},
                           fieldTypeText(cursor2_.field(j))});
    for (const auto& pair : pairs_) {
        if (pair.missing()) continue;
        std::string old = fieldTypeText(fieldList_.field(pair.index1));
        std::string now = fieldTypeText(cursor2_.field(pair.index2));
        if (old != now)
            out.push_back({StructureKind::DefinitionChanged, fieldList_.field(pair.index1).name,
                           std::move(old), std::move(now)});
    }
    return out;
}

bool TablePair::currentBytesEqual() const {
    return storedEqual(cursor1_.rawRecord(), cursor2_.rawRecord());
}

bool TablePair::storedEqual(std::span<const std::uint8_t> raw1,
                            std::span<const std::uint8_t> raw2) const {
    return bytesDecide() && rangesEqual(raw1, raw2);
}

bool TablePair::currentEqual() {
    if (byBytes_) {
        const auto raw1 = cursor1_.rawRecord();
        const auto raw2 = cursor2_.rawRecord();
        if (rangesEqual(raw1, raw2)) {
            for (const auto& pair : memos_)
                if (!fieldEqual(pair)) return false;
            return true;
        }
    }
    const auto raw1 = cursor1_.rawRecord();
    const auto raw2 = cursor2_.rawRecord();
    for (const FieldRun& run : runs_) {
        if (run.byBytes && runEqual(run, raw1, raw2)) continue;
        for (std::size_t i = run.first; i < run.first + run.count; ++i) {
            const FieldPair& pair = pairs_[i];
            if (!pair.compared()) continue;
            if (pair.byBytes && run.count > 1 && pairBytesEqual(run, i, raw1, raw2)) continue;
            if (!fieldEqual(pair)) return false;
        }
    }
    return true;
}

void TablePair::planHashes() {
    for (const auto& pair : compared_) {
        const FieldInfo& f1 = cursor1_.field(pair.index1);
        const FieldInfo& f2 = cursor2_.field(pair.index2);
        const bool raw = pair.type1 == pair.type2 && f1.letter == f2.letter &&
                         (f1.letter == 'C' || f1.letter == 'I' || f1.letter == 'Y');
        const bool byText = pair.type1 != pair.type2;
        const bool byNumber = byText && isNumberType(pair.type1) && isNumberType(pair.type2);
        const bool textRuled = rules_.textRuled(pair.type1) || rules_.textRuled(pair.type2);
        const bool anyNumber =
            rules_.toleranceRuled(pair.type1) && rules_.toleranceRuled(pair.type2);
        hash1_.push_back({pair.index1, raw, f1.letter, byText, byNumber, textRuled, anyNumber,
                          f1.offset, f1.width, f1.nullBit});
        hash2_.push_back({pair.index2, raw, f2.letter, byText, byNumber, textRuled, anyNumber,
                          f2.offset, f2.width, f2.nullBit});
    }
}

// Calls add(hasher-feeding function) once per compared field of the side's
// current record.
template <typename Add>
void TablePair::hashFields(int side, Add&& add) {
    const Recordset& cursor = side == 1 ? cursor1_ : cursor2_;
    const std::vector<HashField>& plan = side == 1 ? hash1_ : hash2_;
    const int nullFlags = cursor.layout().nullFlagsOffset;
    std::span<const std::uint8_t> raw;
    for (const HashField& f : plan) {
        if (f.anyNumber || f.textRuled) {
            hashRuled(f, side, add);
        } else if (f.raw) {
            if (raw.empty()) raw = cursor.rawRecord();
            const bool null =
                f.nullBit >= 0 &&
                ((raw[static_cast<std::size_t>(nullFlags + f.nullBit / 8)] >> (f.nullBit % 8)) & 1);
            const std::uint8_t* p = raw.data() + f.offset;
            const std::string_view bytes(reinterpret_cast<const char*>(p),
                                         static_cast<std::size_t>(f.width));
            if (null) {
                add([&](Hasher& h) { addTypedNull(h); });
            } else if (f.letter == 'I') {
                add([&](Hasher& h) {
                    addTypedWhole(h, Value::Kind::Integer,
                                  static_cast<std::int32_t>(foxpro::dbf::le32(p)));
                });
            } else if (f.letter == 'Y') {
                add([&](Hasher& h) {
                    addTypedWhole(h, Value::Kind::Currency,
                                  static_cast<std::int64_t>(foxpro::dbf::le64(p)));
                });
            } else if (foxpro::isAscii(bytes)) {
                add([&](Hasher& h) { addTypedText(h, Value::Kind::Text, bytes); });
            } else {
                const Value value = comparedValue(side, f.index);
                add([&](Hasher& h) { addTypedValue(h, value); });
            }
        } else if (f.byNumber) {
            const Value value = cursor.value(f.index);
            if (value.isNull()) {
                add([&](Hasher& h) { addTypedNull(h); });
            } else {
                const std::string text = canonicalNumber(value);
                add([&](Hasher& h) { addTypedText(h, Value::Kind::Decimal, text); });
            }
        } else if (f.byText) {
            const std::string text = valueText(comparedValue(side, f.index), locale_);
            add([&](Hasher& h) { h.add(text); });
        } else {
            const Value value = comparedValue(side, f.index);
            add([&](Hasher& h) { addTypedValue(h, value); });
        }
    }
}

// A field the options compare by other rules: a number within a tolerance
// of another hashes as any number does (only null apart), a text as the text
// rules compare it.
template <typename Add>
void TablePair::hashRuled(const HashField& f, int side, Add&& add) {
    const Value value = comparedValue(side, f.index);
    if (f.anyNumber) {
        const bool null = value.isNull();
        add([&](Hasher& h) { null ? addTypedNull(h) : h.add(std::uint64_t{1}); });
    } else if (f.byText) {
        const std::string text = rules_.comparedText(valueText(value, locale_));
        add([&](Hasher& h) { h.add(text); });
    } else if (value.kind() == Value::Kind::Text) {
        const std::string text = rules_.comparedText(value.str());
        add([&](Hasher& h) { addTypedText(h, Value::Kind::Text, text); });
    } else {
        add([&](Hasher& h) { addTypedValue(h, value); });
    }
}

std::uint64_t TablePair::currentHash(int side) {
    Hasher record;
    hashFields(side, [&](auto&& feed) { feed(record); });
    return recordHash(record);
}

std::uint64_t TablePair::storedHash(std::span<const std::uint8_t> raw) const {
    Hasher record;
    for (const auto& r : ranges_)
        record.add(std::string_view(reinterpret_cast<const char*>(raw.data()) + r.offset,
                                    static_cast<std::size_t>(r.length)));
    return recordHash(record);
}

std::uint64_t TablePair::currentStoredHash(int side) {
    const Recordset& cursor = side == 1 ? cursor1_ : cursor2_;
    const auto raw = cursor.rawRecord();
    if (memos_.empty()) return storedHash(raw);
    Hasher record;
    for (const auto& r : ranges_)
        record.add(std::string_view(reinterpret_cast<const char*>(raw.data()) + r.offset,
                                    static_cast<std::size_t>(r.length)));
    for (const auto& pair : memos_) addTypedValue(record, comparedValue(side, pair.index1));
    return recordHash(record);
}

void TablePair::currentFieldHashes(int side, std::vector<std::uint64_t>& out) {
    hashFields(side, [&](auto&& feed) {
        Hasher field;
        feed(field);
        out.push_back(field.value());
    });
}

}  // namespace quorvel::compare
