#include "sides/side_diff.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <memory>
#include <tuple>

#include "foxpro/format/ascii_case.h"
#include "foxpro/text/text_form.h"

namespace quorvel::sides {

namespace {

// Side rows read and paired at a time by key: more rows mean fewer walks
// over the FoxPro table's map, fewer mean less memory for the rows held.
constexpr std::size_t kBatchRows = 32768;
// Rows read at a time while they come in the table's order: enough to look
// their keys up ahead.
constexpr std::size_t kWindowRows = 64;
// How many rows ahead of the one being paired its cells are fetched.
constexpr std::size_t kAhead = 8;
// Rows of the next batch read after every so many rows of a batch paired.
constexpr std::size_t kReadAheadStep = 64;
// A key that no FoxPro record has.
constexpr std::uint32_t kNoRecord = std::numeric_limits<std::uint32_t>::max();
// Rows whose key came before: the first few are named, the rest counted.
constexpr std::int64_t kRepeatedKeysTold = 10;

struct PairedField {
    int field;
    std::size_t column;
    FieldColumn values;
};

std::string hexText(std::string_view bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string out = "0h";
    for (unsigned char c : bytes) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

// A key of several parts as one text: each part's length before it, so
// that parts never run together alike.
void appendPart(std::string& key, const std::string& part) {
    key += std::to_string(part.size());
    key += ':';
    key += part;
}

class Walk {
  public:
    Walk(const foxpro::TableReader& table, SideStream& side, const SideDiffOptions& options,
         const std::function<void(const SideDifference&)>& found)
        : table_(table), side_(side), options_(options), found_(found) {
        pairFields();
    }

    SideDiffResult run() {
        if (keys_.empty()) {
            result_.pairing = "position";
            byPosition();
        } else {
            result_.pairing = "key fields: ";
            for (std::size_t k = 0; k < keys_.size(); ++k)
                result_.pairing += (k ? ", " : "") + table_.field(paired_[keys_[k]].field).name;
            byKey();
        }
        for (const PairedField& p : paired_) {
            SideColumnReport& r = result_.columns[&p - paired_.data()];
            r.description = p.values.description();
        }
        return std::move(result_);
    }

  private:
    void pairFields() {
        const auto& columns = side_.columns();
        const auto ignored = [&](const std::string& name) {
            return std::any_of(options_.ignoredFields.begin(), options_.ignoredFields.end(),
                               [&](const std::string& i) { return foxpro::equalsNoCase(i, name); });
        };
        for (const auto& name : options_.ignoredFields)
            if (table_.findField(name) < 0)
                throw SideError("--ignore: " + name + " is not a field of " + table_.fileName());
        for (const auto& [field, column] : options_.columnOf) {
            if (table_.findField(field) < 0)
                throw SideError("--map: " + field + " is not a field of " + table_.fileName());
            if (std::none_of(columns.begin(), columns.end(), [&](const SideColumn& c) {
                    return foxpro::equalsNoCase(c.name, column);
                }))
                throw SideError("--map: the side has no column " + column);
        }
        std::vector<bool> taken(columns.size());
        paired_.reserve(static_cast<std::size_t>(table_.fieldCount()));
        for (int f = 0; f < table_.fieldCount(); ++f) {
            const foxpro::FieldInfo& field = table_.field(f);
            if (ignored(field.name)) continue;
            std::string wanted = field.name;
            for (const auto& [from, to] : options_.columnOf)
                if (foxpro::equalsNoCase(from, field.name)) wanted = to;
            std::size_t c = 0;
            while (c < columns.size() &&
                   (taken[c] || !foxpro::equalsNoCase(columns[c].name, wanted)))
                ++c;
            if (c == columns.size()) {
                if (options_.sideFirst) {
                    result_.unpairedFields.push_back(field.name);
                    continue;
                }
                SideDifference d;
                d.kind = SideDifference::Kind::MissingField;
                d.field = f;
                d.fieldName = field.name;
                report(d);
                continue;
            }
            taken[c] = true;
            paired_.push_back({f, c, FieldColumn(field, columns[c], options_.rules)});
            SideColumnReport r;
            r.field = field.name;
            r.column = columns[c].name;
            r.narrowerLength = paired_.back().values.narrowerLength();
            r.fieldDefinition = fieldDefinitionText(field);
            r.columnType = columns[c].type;
            result_.columns.push_back(std::move(r));
        }
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (taken[c]) continue;
            result_.unpairedColumns.push_back(columns[c].name);
            // The columns of ignored fields are no missing fields.
            if (!options_.sideFirst || ignored(columns[c].name) ||
                std::any_of(options_.columnOf.begin(), options_.columnOf.end(), [&](const auto& m) {
                    return ignored(m.first) && foxpro::equalsNoCase(m.second, columns[c].name);
                }))
                continue;
            SideDifference d;
            d.kind = SideDifference::Kind::MissingField;
            d.field = static_cast<int>(c);
            d.fieldName = columns[c].name;
            ++result_.differences;
            found_(d);
        }
        for (const auto& name : options_.keyFields) {
            const int f = table_.findField(name);
            if (f < 0)
                throw SideError("--key: " + name + " is not a field of " + table_.fileName());
            const auto p = std::find_if(paired_.begin(), paired_.end(),
                                        [&](const PairedField& q) { return q.field == f; });
            if (p == paired_.end())
                throw SideError("--key: field " + table_.field(f).name +
                                " has no column in the side to pair with");
            keys_.push_back(static_cast<std::size_t>(p - paired_.begin()));
        }
    }

    void report(const SideDifference& given) {
        ++result_.differences;
        const SideDifference d = options_.sideFirst ? mirrored(given) : given;
        if (!holding_) {
            found_(d);
            return;
        }
        HeldDifference& h = held_.emplace_back();
        h.row = heldRow_;
        h.d = d;
        h.value1.assign(d.value1);
        h.value2.assign(d.value2);
    }

    // The difference as the side, source #1, against the table tells it.
    SideDifference mirrored(const SideDifference& d) const {
        SideDifference m = d;
        std::swap(m.record1, m.record2);
        std::swap(m.value1, m.value2);
        std::swap(m.null1, m.null2);
        if (d.kind == SideDifference::Kind::Added) m.kind = SideDifference::Kind::Deleted;
        if (d.kind == SideDifference::Kind::Deleted) m.kind = SideDifference::Kind::Added;
        if (d.kind == SideDifference::Kind::Changed) {
            const auto p = std::find_if(paired_.begin(), paired_.end(),
                                        [&](const PairedField& q) { return q.field == d.field; });
            m.field = static_cast<int>(p->column);
            m.fieldName = side_.columns()[p->column].name;
        }
        return m;
    }

    bool nextRow(std::vector<SideCell>& row) {
        if (sideDone_) return false;
        if (side_.next(row)) return true;
        // A statement stepped past its end may start over: never asked again.
        sideDone_ = true;
        return false;
    }

    bool trueNull(std::int64_t stored, int field) const {
        return table_.field(field).nullable && table_.isNull(table_.storedRecord(stored), field);
    }

    void compareRecord(std::int64_t stored, std::int64_t record1, std::int64_t record2,
                       const std::vector<SideCell>& row) {
        for (std::size_t i = 0; i < paired_.size(); ++i) {
            PairedField& p = paired_[i];
            SideColumnReport& r = result_.columns[i];
            const foxpro::Value value = table_.valueAt(stored, p.field);
            const bool null1 = trueNull(stored, p.field);
            const SideCell& cell = row[p.column];
            if (p.values.cut(value)) ++r.cut;
            if (p.values.equal(p.values.fox(value, null1), p.values.side(cell))) {
                ++r.equal;
                continue;
            }
            ++r.differ;
            SideDifference d;
            d.kind = SideDifference::Kind::Changed;
            d.record1 = record1;
            d.record2 = record2;
            d.field = p.field;
            d.fieldName = table_.field(p.field).name;
            const std::string_view text1 = foxpro::textFormView(value, options_.locale, scratch1_);
            d.value1 = text1;
            d.null1 = value.isNull();
            if (cell.storage == CellStorage::Blob && !cell.null) {
                scratch2_ = hexText(cell.text);
                d.value2 = scratch2_;
            } else {
                d.value2 = cell.text;
            }
            d.null2 = cell.null;
            report(d);
        }
    }

    void added(std::int64_t record2) {
        SideDifference d;
        d.kind = SideDifference::Kind::Added;
        d.record2 = record2;
        report(d);
    }

    void deleted(std::int64_t record1) {
        SideDifference d;
        d.kind = SideDifference::Kind::Deleted;
        d.record1 = record1;
        report(d);
    }

    void byPosition() {
        std::int64_t stored = table_.nextLive(0);
        std::int64_t record1 = 0;
        std::int64_t record2 = 0;
        for (;;) {
            const bool haveFox = stored < table_.storedCount();
            const bool haveSide = nextRow(row_);
            if (!haveFox && !haveSide) break;
            if (haveFox && haveSide)
                compareRecord(stored, ++record1, ++record2, row_);
            else if (haveFox)
                deleted(++record1);
            else
                added(++record2);
            if (haveFox) stored = table_.nextLive(stored + 1);
        }
    }

    std::string foxKey(std::int64_t stored) const {
        std::string key;
        for (std::size_t k : keys_) {
            const PairedField& p = paired_[k];
            appendPart(key,
                       p.values.foxKey(table_.valueAt(stored, p.field), trueNull(stored, p.field)));
        }
        return options_.keyFoldCase ? options_.keyFoldCase(key) : key;
    }

    std::string sideKey(const std::vector<SideCell>& row) {
        std::string key;
        for (std::size_t k : keys_) {
            PairedField& p = paired_[k];
            appendPart(key, p.values.sideKey(row[p.column]));
        }
        return options_.keyFoldCase ? options_.keyFoldCase(key) : key;
    }

    static std::uint64_t hashOf(const std::string& key) { return std::hash<std::string>{}(key); }

    // A side row of a batch: its number, key, the key's hash, the key
    // table's entries of that hash, the live record of the first one and
    // where its cells are kept.
    struct BatchRow {
        std::int64_t record2 = 0;
        std::string key;
        std::uint64_t hash = 0;
        std::size_t first = 0;
        std::size_t last = 0;
        std::uint32_t record = 0;
        std::uint32_t cellCount = 0;
        std::size_t cells = 0;
    };

    // The rows of a batch with the texts of their cells in one buffer: a few
    // hundred bytes a row rather than a vector of strings each.
    struct PackedRows {
        struct Cell {
            std::uint32_t offset = 0;
            std::uint32_t length = 0;
            bool null = false;
            bool blank = false;
            CellStorage storage = CellStorage::Text;
        };
        std::string texts;
        std::vector<Cell> cells;

        void clear() {
            texts.clear();
            cells.clear();
        }
        // Where the row's cells begin.
        std::size_t add(const std::vector<SideCell>& row) {
            const std::size_t from = cells.size();
            for (const SideCell& c : row) {
                cells.push_back({static_cast<std::uint32_t>(texts.size()),
                                 static_cast<std::uint32_t>(c.text.size()), c.null, c.blank,
                                 c.storage});
                texts += c.text;
            }
            return from;
        }
        void unpack(const BatchRow& b, std::vector<SideCell>& row) const {
            row.resize(b.cellCount);
            for (std::size_t i = 0; i < b.cellCount; ++i) {
                const Cell& p = cells[b.cells + i];
                SideCell& c = row[i];
                c.null = p.null;
                c.blank = p.blank;
                c.storage = p.storage;
                c.text.assign(texts, p.offset, p.length);
            }
        }
        void prefetchCells(const BatchRow& b) const {
            const char* from = reinterpret_cast<const char*>(&cells[b.cells]);
            for (std::size_t at = 0; at < b.cellCount * sizeof(Cell); at += 64)
                __builtin_prefetch(from + at);
        }
        void prefetchTexts(const BatchRow& b) const {
            if (b.cellCount == 0) return;
            const Cell& first = cells[b.cells];
            const Cell& last = cells[b.cells + b.cellCount - 1];
            for (std::size_t at = first.offset; at < last.offset + last.length; at += 64)
                __builtin_prefetch(texts.data() + at);
        }
    };

    // A difference of a batch, with the texts its views point into.
    struct HeldDifference {
        std::uint32_t row = 0;
        SideDifference d;
        std::string value1;
        std::string value2;
    };

    // One hash and one live record number per FoxPro record, sorted by
    // hash, and where each run of equal top bits begins: a lookup reads
    // one or two entries instead of a binary search's twenty scattered ones.
    struct KeyTable {
        std::vector<std::pair<std::uint64_t, std::uint32_t>> hashes;
        std::vector<std::uint32_t> bucketStart;
        int bits = 1;

        std::size_t bucketOf(std::uint64_t h) const {
            return static_cast<std::size_t>(h >> (64 - bits));
        }
        // The entries of hash h: [first, last).
        std::pair<std::size_t, std::size_t> entriesOf(std::uint64_t h) const {
            const std::size_t bucket = bucketOf(h);
            std::size_t first = bucketStart[bucket];
            const std::size_t end = bucketStart[bucket + 1];
            while (first < end && hashes[first].first < h) ++first;
            std::size_t last = first;
            while (last < end && hashes[last].first == h) ++last;
            return {first, last};
        }
    };

    KeyTable keyTable() const {
        KeyTable t;
        t.hashes.reserve(static_cast<std::size_t>(table_.liveCount()));
        for (std::int64_t s = table_.nextLive(0); s < table_.storedCount();
             s = table_.nextLive(s + 1))
            t.hashes.emplace_back(hashOf(foxKey(s)), static_cast<std::uint32_t>(t.hashes.size()));
        std::sort(t.hashes.begin(), t.hashes.end());
        while (t.bits < 32 && (std::size_t{1} << t.bits) < t.hashes.size()) ++t.bits;
        t.bucketStart.assign((std::size_t{1} << t.bits) + 1, 0);
        for (const auto& entry : t.hashes) ++t.bucketStart[(entry.first >> (64 - t.bits)) + 1];
        for (std::size_t b = 1; b < t.bucketStart.size(); ++b)
            t.bucketStart[b] += t.bucketStart[b - 1];
        return t;
    }

    static void lookUp(const KeyTable& t, BatchRow& b) {
        std::tie(b.first, b.last) = t.entriesOf(b.hash);
        b.record = b.first < b.last ? t.hashes[b.first].second : kNoRecord;
    }

    // Pairs a side row with the first FoxPro record of its key that no row
    // paired with before; true when a row before it had its key.
    bool pairRow(const KeyTable& t, std::vector<bool>& matched, const BatchRow& b,
                 const std::vector<SideCell>& row) {
        std::int64_t pairedStored = -1;
        std::uint32_t pairedRecord = 0;
        bool seen = false;
        for (std::size_t e = b.first; e < b.last; ++e) {
            const std::uint32_t record = e == b.first ? b.record : t.hashes[e].second;
            const std::int64_t stored = table_.liveIndex(record + 1);
            if (e == b.first) table_.walkedTo(stored);
            if (foxKey(stored) != b.key) continue;
            if (matched[record]) {
                seen = true;
                continue;
            }
            pairedStored = stored;
            pairedRecord = record;
            break;
        }
        if (pairedStored < 0) {
            added(b.record2);
            return seen;
        }
        matched[pairedRecord] = true;
        compareRecord(pairedStored, pairedRecord + 1, b.record2, row);
        return false;
    }

    void noteRepeated(std::int64_t record2) {
        if (++repeatedKeys_ <= kRepeatedKeysTold)
            result_.notes.push_back("row " + std::to_string(record2) +
                                    " has the key of a row before it");
    }

    // While the side's rows come in the order of the FoxPro records they
    // pair with, each is paired as it comes and the map is walked forward.
    // From the first row out of that order on, rows are read in batches and
    // each batch is paired in the order of its records, so that the map is
    // still walked forward and given back behind the walk whatever order
    // the rows come in (rows in no order kept the whole map resident).
    // The differences of a batch are held, then told in the side's order.
    void byKey() {
        const KeyTable t = keyTable();
        const std::size_t count = t.hashes.size();
        std::vector<bool> matched(count);
        // The batch being paired and the next one, read while it is, so that
        // the side goes on sending rows meanwhile.
        PackedRows packed[2];
        std::vector<BatchRow> batches[2] = {std::vector<BatchRow>(kWindowRows), {}};
        int current = 0;
        std::size_t readAhead = 0;  // rows of the next batch read so far
        // The rows of a window, paired as they are while in order.
        std::vector<std::vector<SideCell>> window(kWindowRows);
        std::vector<SideCell> incoming;
        std::vector<SideCell> unpacked;
        std::vector<std::uint32_t> order;
        std::vector<std::uint32_t> repeated;
        std::int64_t record2 = 0;
        bool inOrder = true;
        std::uint32_t lastRecord = 0;
        std::exception_ptr failed;
        // Reads rows up to the given count; then looks their keys up, the
        // key table's lines asked for ahead of the looking.
        const auto read = [&](int set, std::size_t& n, std::size_t upTo) {
            if (failed) return;
            PackedRows& rows = packed[set];
            std::vector<BatchRow>& batch = batches[set];
            const std::size_t from = n;
            try {
                while (n < upTo && nextRow(inOrder ? window[n] : incoming)) {
                    BatchRow& b = batch[n];
                    b.record2 = ++record2;
                    if (inOrder) {
                        b.key = sideKey(window[n]);
                    } else {
                        b.key = sideKey(incoming);
                        b.cells = rows.add(incoming);
                        b.cellCount = static_cast<std::uint32_t>(incoming.size());
                    }
                    b.hash = hashOf(b.key);
                    __builtin_prefetch(&t.bucketStart[t.bucketOf(b.hash)]);
                    ++n;
                }
            } catch (...) {
                // The rows read before the failure are still paired and told.
                failed = std::current_exception();
            }
            for (std::size_t i = from; i < n; ++i)
                __builtin_prefetch(&t.hashes[t.bucketStart[t.bucketOf(batch[i].hash)]]);
            for (std::size_t i = from; i < n; ++i) lookUp(t, batch[i]);
        };
        for (;;) {
            PackedRows& rows = packed[current];
            std::vector<BatchRow>& batch = batches[current];
            const int other = 1 - current;
            std::size_t n = readAhead;
            if (n == 0) rows.clear();
            read(current, n, inOrder ? kWindowRows : kBatchRows);
            if (n == 0 && !failed) break;
            if (inOrder) {
                std::uint32_t last = lastRecord;
                std::size_t i = 0;
                for (; i < n; ++i) {
                    if (batch[i].record == kNoRecord) continue;
                    if (batch[i].record < last) break;
                    last = batch[i].record;
                }
                if (i == n) {
                    lastRecord = last;
                    for (i = 0; i < n; ++i)
                        if (pairRow(t, matched, batch[i], window[i]))
                            noteRepeated(batch[i].record2);
                    if (failed) std::rethrow_exception(failed);
                    continue;
                }
                // Out of the table's order: batches from here on.
                inOrder = false;
                holding_ = true;
                for (i = 0; i < n; ++i) {
                    batch[i].cells = rows.add(window[i]);
                    batch[i].cellCount = static_cast<std::uint32_t>(window[i].size());
                }
                window.clear();
                batch.resize(kBatchRows);
                batches[other].resize(kBatchRows);
                read(current, n, kBatchRows);
            }
            order.resize(n);
            for (std::uint32_t i = 0; i < n; ++i) order[i] = i;
            std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
                return batch[a].record != batch[b].record ? batch[a].record < batch[b].record
                                                          : a < b;
            });
            held_.clear();
            repeated.clear();
            packed[other].clear();
            readAhead = 0;
            for (std::size_t j = 0; j < n; ++j) {
                if (j % kReadAheadStep == 0)
                    read(other, readAhead, std::min(readAhead + kReadAheadStep, kBatchRows));
                // The rows are visited out of the order they were read in.
                if (j + kAhead < n) {
                    const BatchRow& ahead = batch[order[j + kAhead]];
                    rows.prefetchCells(ahead);
                    // Its texts once its cells have come.
                    rows.prefetchTexts(batch[order[j + kAhead / 2]]);
                }
                const std::uint32_t i = order[j];
                heldRow_ = i;
                rows.unpack(batch[i], unpacked);
                if (pairRow(t, matched, batch[i], unpacked)) repeated.push_back(i);
            }
            std::stable_sort(
                held_.begin(), held_.end(),
                [](const HeldDifference& a, const HeldDifference& b) { return a.row < b.row; });
            for (HeldDifference& h : held_) {
                h.d.value1 = h.value1;
                h.d.value2 = h.value2;
                found_(h.d);
            }
            std::sort(repeated.begin(), repeated.end());
            for (const std::uint32_t i : repeated) noteRepeated(batch[i].record2);
            if (failed && readAhead == 0) {
                holding_ = false;
                std::rethrow_exception(failed);
            }
            current = other;
        }
        holding_ = false;
        if (repeatedKeys_ > kRepeatedKeysTold)
            result_.notes.push_back(std::to_string(repeatedKeys_ - kRepeatedKeysTold) +
                                    " more rows have the key of a row before them");
        for (std::size_t r = 0; r < count; ++r)
            if (!matched[r]) deleted(static_cast<std::int64_t>(r) + 1);
    }

    const foxpro::TableReader& table_;
    SideStream& side_;
    const SideDiffOptions& options_;
    const std::function<void(const SideDifference&)>& found_;
    std::vector<PairedField> paired_;
    std::vector<std::size_t> keys_;  // positions in paired_
    std::vector<SideCell> row_;
    bool sideDone_ = false;
    bool holding_ = false;  // differences held until their batch is paired
    std::uint32_t heldRow_ = 0;
    std::vector<HeldDifference> held_;
    std::int64_t repeatedKeys_ = 0;
    std::string scratch1_;
    std::string scratch2_;
    SideDiffResult result_;
};

}  // namespace

SideDiffResult diffTableWithSide(const foxpro::TableReader& table, SideStream& side,
                                 const SideDiffOptions& options,
                                 const std::function<void(const SideDifference&)>& found) {
    Walk walk(table, side, options, found);
    return walk.run();
}

std::string columnReportLine(const SideColumnReport& c) {
    std::string line = "Column \"" + c.column + "\": " + std::to_string(c.equal) + " equal, " +
                       std::to_string(c.differ) + " differ (" + c.description + ")";
    if (c.narrowerLength > 0)
        line += "; " + c.field + " " + c.fieldDefinition + " \u2192 " + c.columnType + ": " +
                std::to_string(c.cut) + (c.cut == 1 ? " value cut" : " values cut");
    return line;
}

}  // namespace quorvel::sides
