#include "compare/compare.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <utility>

#include "compare/field_name.h"
#include "foxpro/connection.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/recordset.h"
#include "foxpro/table_reader.h"
#include "foxpro/text_form.h"
#include "frame/error_trap.h"

namespace quorvel::compare {

namespace {

using foxpro::Connection;
using foxpro::FieldInfo;
using foxpro::FoxProError;
using foxpro::Recordset;
using foxpro::TableLayout;
using foxpro::Value;

constexpr const char* kLocationCompare = "Compare1.Compare";
constexpr const char* kLocationCompareTables = "Compare1.CompareTables";

// Step numbers of CompareTables, in the order of its algorithm.
constexpr int kStepConnection1 = 102;
constexpr int kStepConnection2 = 104;
constexpr int kStepFieldList = 106;
constexpr int kStepCursor1 = 108;
constexpr int kStepCursor2 = 110;
constexpr int kStepMoveFirst = 112;
constexpr int kStepCount = 114;
constexpr int kStepWalk = 116;
constexpr int kStepClose = 118;

// The silent trap tries a failing step again, but not for ever.
constexpr int kSilentAttempts = 3;

// Drives the caller's progress bar and event loop at a pace set by the
// clock, so that a large table spends its time comparing, not repainting.
class Pacer {
  public:
    Pacer(const CompareCallbacks& callbacks, int progressStart)
        : callbacks_(callbacks), progressStart_(std::clamp(progressStart, 0, 100)) {}

    void setRecordCount(std::int64_t n) { count_ = n; }

    // Progress at p pairs done; Int(p / n x (100 - start)) + start, kept
    // within start..100 when Table #2 is longer than Table #1 and left at
    // start when n is unknown or 0, so the bar never goes backwards.
    int value(std::int64_t p) const {
        if (count_ <= 0) return progressStart_;
        if (p >= count_) return 100;
        return static_cast<int>(p * (100 - progressStart_) / count_) + progressStart_;
    }

    void report(std::int64_t p) const {
        if (callbacks_.progress)
            callbacks_.progress(value(p), "Processing field: " + std::to_string(p));
        if (callbacks_.counted) callbacks_.counted(p, count_);
    }

    // Units: a record pair compared by its bytes counts one, a decoded
    // field one more.
    void work(std::int64_t p, int units) {
        if (!pace_.due(units)) return;
        report(p);
        if (callbacks_.processEvents) callbacks_.processEvents();
        pace_.done();
    }

  private:
    const CompareCallbacks& callbacks_;
    int progressStart_;
    std::int64_t count_ = 0;
    frame::EventPace pace_;
};

// The record count as a 32-bit integer, whatever numeric kind it came as.
std::int64_t countOf(const Value& count) {
    switch (count.kind()) {
        case Value::Kind::Integer:
            return static_cast<std::int32_t>(count.asInteger());
        case Value::Kind::Decimal:
            return static_cast<std::int32_t>(std::strtoll(count.str().c_str(), nullptr, 10));
        case Value::Kind::Double:
            return static_cast<std::int32_t>(count.asDouble());
        default:
            throw FoxProError(foxpro::kErrorInvalidArgument, "the record count is not a number");
    }
}

// A value's text: the text form of the table-access layer, null empty.
std::string valueText(const Value& value, const foxpro::TextLocale& locale) {
    if (value.isNull()) return {};
    return foxpro::textForm(value, locale);
}

// Adds the Changed difference of field `field` in pair n when the values
// differ by the rules of the typed comparison.
void compareValues(DifferenceList& differences, std::int64_t n, int field, const Value& a,
                   int typeA, const Value& b, int typeB, const foxpro::TextLocale& locale) {
    auto changed = [&](std::string_view textA, std::string_view textB) {
        differences.addChanged(n, n, field, textA, a.isNull(), textB, b.isNull());
    };
    if (typeA != typeB) {
        // Different types: only their texts can be compared.
        const std::string textA = valueText(a, locale);
        const std::string textB = valueText(b, locale);
        if (textA != textB) changed(textA, textB);
        return;
    }
    if (typeA >= foxpro::kTypeVarBinary) return;  // binary data of the same type is never compared
    if (!a.isNull() && !b.isNull()) {
        if (a == b) return;
        if (typeA == foxpro::kTypeBoolean) {
            changed(a.asLogical() ? "-1" : "0", b.asLogical() ? "-1" : "0");
        } else {
            changed(valueText(a, locale), valueText(b, locale));
        }
    } else if (a.isNull() && !b.isNull()) {
        changed("", valueText(b, locale));
    } else if (!a.isNull() && b.isNull()) {
        changed(valueText(a, locale), "");
    }
}

// Table #1's field names as it spells them, in column order.
std::vector<std::string> fieldNames(const Recordset& fieldList) {
    std::vector<std::string> names;
    for (int i = 0; i < fieldList.fieldCount(); ++i) names.push_back(fieldList.field(i).name);
    return names;
}

// Table #1's fields and, for each, its partner in Table #2: the k-th field
// of a name (without case) pairs with the k-th field of that name, so that
// duplicate names are each compared once.  -1: Table #2 lacks it.
struct FieldPair {
    int index1 = 0;
    int index2 = -1;
    int type1 = 0;
    int type2 = 0;
    bool memo = false;
    int offset = 0;  // in the record, for the byte comparison of equal layouts
    int width = 0;
};

std::vector<FieldPair> pairFields(const Recordset& fieldList, const Recordset& cursor2) {
    std::vector<std::string> names2;
    for (int j = 0; j < cursor2.fieldCount(); ++j)
        names2.push_back(upperFieldName(cursor2.field(j).name));
    std::vector<std::string> names1;
    std::vector<FieldPair> pairs;
    for (int i = 0; i < fieldList.fieldCount(); ++i) {
        const FieldInfo& info = fieldList.field(i);
        std::string upper = upperFieldName(info.name);
        const auto occurrence = std::count(names1.begin(), names1.end(), upper);
        names1.push_back(upper);
        FieldPair pair;
        pair.index1 = i;
        pair.type1 = info.typeCode;
        pair.memo = info.memo;
        pair.offset = info.offset;
        pair.width = info.width;
        std::int64_t seen = 0;
        for (int j = 0; j < static_cast<int>(names2.size()); ++j) {
            if (names2[j] != upper) continue;
            if (seen++ == occurrence) {
                pair.index2 = j;
                pair.type2 = cursor2.field(j).typeCode;
                break;
            }
        }
        pairs.push_back(std::move(pair));
    }
    return pairs;
}

// Byte ranges of a record that decide the values of every field that is
// neither a memo (its bytes are a block number) nor binary (never
// compared), plus the null flags.  Equal bytes there mean equal values.
struct ByteRange {
    int offset;
    int length;
};

std::vector<ByteRange> comparedRanges(const TableLayout& layout,
                                      const std::vector<FieldPair>& pairs) {
    std::vector<ByteRange> ranges;
    auto add = [&](int offset, int length) {
        if (length <= 0) return;
        if (!ranges.empty() && ranges.back().offset + ranges.back().length == offset) {
            ranges.back().length += length;
        } else {
            ranges.push_back({offset, length});
        }
    };
    std::vector<ByteRange> wanted;
    for (const auto& pair : pairs) {
        if (pair.memo || pair.type1 >= foxpro::kTypeVarBinary) continue;
        wanted.push_back({pair.offset, pair.width});
    }
    if (layout.nullFlagsOffset >= 0)
        wanted.push_back({layout.nullFlagsOffset, layout.nullFlagsWidth});
    std::sort(wanted.begin(), wanted.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.offset < b.offset; });
    for (const auto& r : wanted) add(r.offset, r.length);
    return ranges;
}

bool equalBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, int offset,
                int length) {
    if (offset < 0 || static_cast<std::size_t>(offset + length) > a.size() ||
        static_cast<std::size_t>(offset + length) > b.size())
        return false;
    return std::memcmp(a.data() + offset, b.data() + offset, length) == 0;
}

// One CompareTables call: the five access objects and what the walk found.
class Walk {
  public:
    Walk(const data::SourceDescriptor& source1, const data::SourceDescriptor& source2,
         const std::string& table1, const std::string& table2, const foxpro::TextLocale& locale,
         frame::Dialogs& dialogs, const CompareCallbacks& callbacks, int progressStart)
        : source1_(source1),
          source2_(source2),
          table1_(table1),
          table2_(table2),
          locale_(locale),
          trap_(dialogs, kLocationCompareTables),
          pacer_(callbacks, progressStart) {}

    CompareResult run() {
        // Step 100 (creating the objects, setting the mode) cannot fail here.
        connection1_.setMode(foxpro::kModeReadWrite);
        connection2_.setMode(foxpro::kModeReadWrite);

        // A step that leaves nothing to compare ends the walk; the objects
        // opened so far are closed all the same.
        if (reported(kStepConnection1,
                     [&] { connection1_.open(data::connectionString(source1_)); }) &&
            reported(kStepConnection2,
                     [&] { connection2_.open(data::connectionString(source2_)); }) &&
            silent(kStepFieldList,
                   [&] { openTable(fieldList_, table1_, connection1_, foxpro::kOpenStatic); }) &&
            silent(kStepCursor1,
                   [&] { openTable(cursor1_, table1_, connection1_, foxpro::kOpenDynamic); }) &&
            silent(kStepCursor2,
                   [&] { openTable(cursor2_, table2_, connection2_, foxpro::kOpenDynamic); }) &&
            reported(kStepMoveFirst, [&] {
                moveFirst(cursor1_);
                moveFirst(cursor2_);
            })) {
            // The count only scales the progress bar: a failure is reported
            // and the walk runs without a scale.
            trap_.at(kStepCount, [&] {
                const Value count = connection1_.execute("SELECT COUNT(*) FROM [" + table1_ + "]");
                pacer_.setRecordCount(countOf(count));
            });
            reported(kStepWalk, [&] { walk(); });
        }
        for (const Recordset* cursor : {&cursor1_, &cursor2_})
            if (cursor->isOpen())
                for (const auto& w : cursor->table().warnings()) result_.warnings.push_back(w);
        trap_.at(kStepClose, [&] { close(); });
        return std::move(result_);
    }

  private:
    static void openTable(Recordset& recordset, const std::string& table, Connection& connection,
                          int cursorType) {
        recordset.open("SELECT * FROM [" + table + "]", connection, cursorType,
                       foxpro::kLockOptimistic);
    }

    // An empty table has no first record; only that failure is ignored,
    // since a table that cannot be read must not pass for an empty one.
    static void moveFirst(Recordset& recordset) {
        try {
            recordset.moveFirst();
        } catch (const FoxProError& e) {
            if (e.number() != foxpro::kErrorNoCurrentRecord) throw;
        }
    }

    void fail(const std::string& reason) {
        if (result_.status == CompareStatus::Completed) result_.failure = reason;
        result_.status = CompareStatus::CouldNotCompare;
    }

    // A step whose failure leaves the tables not compared.
    bool reported(int step, const std::function<void()>& fn) {
        if (trap_.at(step, fn)) return true;
        fail(trap_.lastFailure());
        return false;
    }

    // The silent trap of the record-set openings: a failure is tried again,
    // at most kSilentAttempts times in all, except 3010 and 3265, which no
    // retry mends; a step that keeps failing is then reported.
    bool silent(int step, const std::function<void()>& fn) {
        const auto retryable = [](const std::exception_ptr& failure) {
            try {
                std::rethrow_exception(failure);
            } catch (const FoxProError& e) {
                return e.number() != foxpro::kErrorUnsafeOperation &&
                       e.number() != foxpro::kErrorItemNotFound;
            } catch (...) {
                return true;
            }
        };
        if (trap_.retried(step, kSilentAttempts, retryable, fn)) return true;
        fail(trap_.lastFailure());
        return false;
    }

    void walk() {
        const std::vector<FieldPair> pairs = pairFields(fieldList_, cursor2_);
        std::vector<FieldPair> memos;  // content to compare even when the bytes agree
        bool identity = pairs.size() == static_cast<std::size_t>(cursor2_.fieldCount());
        for (const auto& pair : pairs) {
            if (pair.index2 != pair.index1) identity = false;
            if (pair.memo && pair.type1 < foxpro::kTypeVarBinary) memos.push_back(pair);
        }
        // Records of equal layouts whose compared bytes agree hold equal
        // values, memo contents aside: they need no decoding.
        const bool byBytes = identity && foxpro::sameLayout(cursor1_.layout(), cursor2_.layout());
        const std::vector<ByteRange> ranges =
            byBytes ? comparedRanges(cursor1_.layout(), pairs) : std::vector<ByteRange>{};
        const int nullFlagsOffset = cursor1_.layout().nullFlagsOffset;
        const int nullFlagsWidth = cursor1_.layout().nullFlagsWidth;

        auto& differences = result_.differences;
        differences = DifferenceList(table2_, fieldNames(fieldList_));
        std::int64_t p = 0;
        pacer_.report(p);
        while (true) {
            const bool end1 = cursor1_.eof();
            const bool end2 = cursor2_.eof();
            if (end1 && end2) break;
            const std::int64_t n = ++p;
            if (end2) {
                differences.addDeleted(n);
                cursor1_.moveNext();
                pacer_.work(p, 1);
                continue;
            }
            if (end1) {
                differences.addAdded(n);
                cursor2_.moveNext();
                pacer_.work(p, 1);
                continue;
            }
            int units = 1;
            if (byBytes) {
                const auto raw1 = cursor1_.rawRecord();
                const auto raw2 = cursor2_.rawRecord();
                bool equal = true;
                for (const auto& r : ranges) {
                    if (!equalBytes(raw1, raw2, r.offset, r.length)) {
                        equal = false;
                        break;
                    }
                }
                if (equal) {
                    for (const auto& pair : memos) compareField(pair, n);
                    units += static_cast<int>(memos.size());
                } else {
                    // Decode only the fields whose bytes (or null flags) differ.
                    const bool flagsEqual = nullFlagsOffset < 0 ||
                                            equalBytes(raw1, raw2, nullFlagsOffset, nullFlagsWidth);
                    for (const auto& pair : pairs) {
                        if (!pair.memo && flagsEqual &&
                            equalBytes(raw1, raw2, pair.offset, pair.width))
                            continue;
                        compareField(pair, n);
                        ++units;
                    }
                }
            } else {
                for (const auto& pair : pairs) {
                    if (pair.index2 < 0) {
                        differences.addMissingField(n, n, pair.index1);
                    } else {
                        compareField(pair, n);
                    }
                }
                units += static_cast<int>(pairs.size());
            }
            cursor1_.moveNext();
            cursor2_.moveNext();
            pacer_.work(p, units);
        }
        pacer_.report(p);
    }

    void compareField(const FieldPair& pair, std::int64_t n) {
        compareValues(result_.differences, n, pair.index1, cursor1_.value(pair.index1), pair.type1,
                      cursor2_.value(pair.index2), pair.type2, locale_);
    }

    void close() {
        // Every object is closed even when an earlier one fails to.
        std::exception_ptr first;
        auto attempt = [&](auto&& fn) {
            try {
                fn();
            } catch (...) {
                if (!first) first = std::current_exception();
            }
        };
        attempt([&] {
            if (cursor1_.isOpen()) cursor1_.close();
        });
        attempt([&] {
            if (cursor2_.isOpen()) cursor2_.close();
        });
        attempt([&] {
            if (fieldList_.isOpen()) fieldList_.close();
        });
        attempt([&] {
            if (connection1_.isOpen()) connection1_.close();
        });
        attempt([&] {
            if (connection2_.isOpen()) connection2_.close();
        });
        if (first) std::rethrow_exception(first);
    }

    const data::SourceDescriptor& source1_;
    const data::SourceDescriptor& source2_;
    const std::string& table1_;
    const std::string& table2_;
    const foxpro::TextLocale& locale_;
    frame::ErrorTrap trap_;
    Pacer pacer_;

    Connection connection1_;
    Connection connection2_;
    Recordset fieldList_;
    Recordset cursor1_;
    Recordset cursor2_;
    CompareResult result_;
};

}  // namespace

CompareResult CompareTables(const data::SourceDescriptor& source1,
                            const data::SourceDescriptor& source2, const std::string& table1,
                            const std::string& table2, const foxpro::TextLocale& locale,
                            frame::Dialogs& dialogs, const CompareCallbacks& callbacks,
                            int progressStart) {
    Walk walk(source1, source2, table1, table2, locale, dialogs, callbacks, progressStart);
    return walk.run();
}

CompareResult Compare(const data::SourceDescriptor& source1, const data::SourceDescriptor& source2,
                      const std::string& table1, const std::string& table2,
                      const foxpro::TextLocale& locale, frame::Dialogs& dialogs,
                      const CompareCallbacks& callbacks) {
    // Step 100 set the progress start; 102 is the walk, which traps its own
    // failures: only running out of memory gets here.
    CompareResult result;
    frame::ErrorTrap trap(dialogs, kLocationCompare);
    if (!trap.at(102, [&] {
            result = CompareTables(source1, source2, table1, table2, locale, dialogs, callbacks,
                                   ProgressStart);
        })) {
        result = CompareResult{};
        result.status = CompareStatus::CouldNotCompare;
        result.failure = trap.lastFailure();
    }
    return result;
}

}  // namespace quorvel::compare
