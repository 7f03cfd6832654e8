// Position pairing: the n-th live record of Table #1 with the n-th of
// Table #2.  Tables whose stored bytes decide equality are read straight
// from their files in pieces (read calls cost less than mapping the pages
// and giving them back) and compared a record pair at a time; only a pair
// whose bytes differ is decoded.  A deleted record sends the rest of the
// walk back to the record sets' navigation.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "compare/pairing_walks.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/platform/mapped_file.h"
#include "foxpro/read/table_reader.h"

namespace quorvel::compare {

namespace {

using foxpro::Recordset;
using foxpro::TableReader;

// Records are read in pieces of about this many bytes a table: small
// enough to stay in the processor's cache while they are compared.
constexpr std::size_t kPieceBytes = 256u << 10;

class StoredWalk {
  public:
    StoredWalk(TablePair& tables, DifferenceList& out, WalkPacer& pacer)
        : tables_(tables),
          out_(out),
          pacer_(pacer),
          t1_(tables.cursor1().table()),
          t2_(tables.cursor2().table()),
          count1_(t1_.storedCount()),
          count2_(t2_.storedCount()),
          length1_(static_cast<std::size_t>(t1_.layout().recordLength)),
          length2_(static_cast<std::size_t>(t2_.layout().recordLength)),
          total_(std::max(count1_, count2_)),
          perPiece_(std::max<std::int64_t>(
              1, static_cast<std::int64_t>(kPieceBytes / std::max(length1_, length2_)))),
          // What a walk by navigation checks every few megabytes.
          perCheck_(std::max<std::int64_t>(
              perPiece_, static_cast<std::int64_t>(foxpro::platform::kReleaseStep /
                                                   std::max(length1_, length2_)))) {}

    // Walks the tables to their end, or to their first deleted record: the
    // number of pairs walked then, with both record sets placed for the
    // walk by navigation to go on from there.  (Reading one table on a
    // second thread did not pay: the reads are the walk's whole cost, and
    // handing pieces over cost what the second core saved.)
    std::optional<std::int64_t> run() {
        std::int64_t checked = 0;
        for (std::int64_t first = 0; first < total_; first += perPiece_) {
            const std::int64_t last = std::min(total_, first + perPiece_);
            const auto piece1 = t1_.readRecords(first, last, buffer1_);
            const auto piece2 = t2_.readRecords(first, last, buffer2_);
            for (std::int64_t i = first; i < last; ++i) {
                const auto at = static_cast<std::size_t>(i - first);
                const bool in1 = i < count1_;
                const bool in2 = i < count2_;
                const auto raw1 =
                    in1 ? piece1.subspan(at * length1_, length1_) : std::span<const std::uint8_t>();
                const auto raw2 =
                    in2 ? piece2.subspan(at * length2_, length2_) : std::span<const std::uint8_t>();
                if ((in1 && raw1[0] == foxpro::dbf::kRecordDeleted) ||
                    (in2 && raw2[0] == foxpro::dbf::kRecordDeleted)) {
                    placeAt(i);
                    return i;
                }
                const std::int64_t n = i + 1;
                if (!in2) {
                    out_.addDeleted(n);
                    pacer_.work(n, 1);
                } else if (!in1) {
                    out_.addAdded(n);
                    pacer_.work(n, 1);
                } else if (tables_.storedEqual(raw1, raw2)) {
                    pacer_.work(n, 1);
                } else {
                    pacer_.work(n, tables_.compareStored(out_, n, n, raw1, raw2, true));
                }
            }
            if (last - checked >= perCheck_) {
                t1_.checkUnchanged();
                t2_.checkUnchanged();
                checked = last;
            }
        }
        t1_.checkUnchanged();
        t2_.checkUnchanged();
        // Every delete flag was read: none is set.
        t1_.adoptDeletedRecords({});
        t2_.adoptDeletedRecords({});
        tables_.cursor1().moveToStored(count1_ + 1, count1_);
        tables_.cursor2().moveToStored(count2_ + 1, count2_);
        return std::nullopt;
    }

  private:
    // Places both record sets where a walk by navigation stands after
    // pairs [0, i), every record before i live in both tables.
    void placeAt(std::int64_t i) {
        for (Recordset* cursor : {&tables_.cursor1(), &tables_.cursor2()}) {
            const TableReader& table = cursor->table();
            cursor->moveToStored(i + 1,
                                 i < table.storedCount() ? table.nextLive(i) : table.storedCount());
        }
    }

    TablePair& tables_;
    DifferenceList& out_;
    WalkPacer& pacer_;
    const TableReader& t1_;
    const TableReader& t2_;
    const std::int64_t count1_;
    const std::int64_t count2_;
    const std::size_t length1_;
    const std::size_t length2_;
    const std::int64_t total_;
    const std::int64_t perPiece_;
    const std::int64_t perCheck_;
    std::vector<std::uint8_t> buffer1_;
    std::vector<std::uint8_t> buffer2_;
};

}  // namespace

void walkByPosition(TablePair& tables, DifferenceList& out, WalkPacer& pacer) {
    Recordset& cursor1 = tables.cursor1();
    Recordset& cursor2 = tables.cursor2();
    std::int64_t p = 0;
    if (tables.bytesDecide()) {
        const std::optional<std::int64_t> stopped = StoredWalk(tables, out, pacer).run();
        if (!stopped) {
            pacer.report(std::max(cursor1.table().storedCount(), cursor2.table().storedCount()));
            return;
        }
        p = *stopped;
    }
    while (true) {
        const bool end1 = cursor1.eof();
        const bool end2 = cursor2.eof();
        if (end1 && end2) break;
        const std::int64_t n = ++p;
        if (end2) {
            out.addDeleted(n);
            cursor1.moveNext();
            pacer.work(p, 1);
            continue;
        }
        if (end1) {
            out.addAdded(n);
            cursor2.moveNext();
            pacer.work(p, 1);
            continue;
        }
        const int units = tables.compareCurrent(out, n, n, true);
        cursor1.moveNext();
        cursor2.moveNext();
        pacer.work(p, units);
    }
    pacer.report(p);
}

}  // namespace quorvel::compare
