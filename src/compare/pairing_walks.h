#pragma once

#include <string>
#include <vector>

#include "compare/difference_list.h"
#include "compare/pairing.h"
#include "compare/table_pair.h"
#include "compare/walk_pacer.h"
#include "foxpro/text/text_locale.h"

namespace quorvel::compare {

// The walks over two open tables.  Those of key and content pairing run in two
// passes: the first reads the two tables side by side and keeps at most a
// hash and a record number per record, never a record; the second compares
// the pairs found, reading their records again.  Records the first pass
// could pair by itself (equal keys, or equal bytes, at one place) are not
// read again.  Both add the Missing-field lines first, once
// per field, then the record lines.  The pacer's scale is set here (two
// steps per record of each table).  Failures of the tables throw.

// Position pairing: the n-th live record of Table #1 with the n-th of
// Table #2; each pair's Changed lines (and Missing-field lines) in field
// order, the records past the shorter table's end as Deleted or Added.
// The pacer's scale is the caller's (Table #1's records); reports as it
// goes and at the end.
void walkByPosition(TablePair& tables, DifferenceList& out, WalkPacer& pacer);

// Key pairing: the k-th record of Table #1 (stored order) with a key value
// pairs with the k-th record of Table #2 with that value.  Lines: Table #1
// in stored order (each record's Changed lines in field order, or its
// Deleted line), then the Added lines in Table #2's order.  Key values held
// by more than one record of a table are added to duplicates, once each, in
// the order in which Table #1 (then Table #2) first holds them.  A key field
// missing from either table throws std::invalid_argument naming the field
// and the table.
// The pairing's key rules (keyCaseless, keyTrimsLeading) apply to its text parts.
void walkByKey(TablePair& tables, const RecordPairing& pairing, const std::string& table1,
               const std::string& table2, const foxpro::TextLocale& locale, DifferenceList& out,
               std::vector<DuplicateKey>& duplicates, WalkPacer& pacer);

// Content pairing: a longest common subsequence of equal records
// (alignHashes over record hashes, each match confirmed by comparing the
// records), the stretches between them paired by pairStretch (or first with
// first beyond kStretchLimit, and once kStretchWorkPerRecord is spent).  Lines in Table #1's record
// order, each stretch's Added lines after that stretch's records of Table #1.
void walkByContent(TablePair& tables, DifferenceList& out, WalkPacer& pacer);

}  // namespace quorvel::compare
