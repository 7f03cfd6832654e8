#pragma once

// Random triples of tables for the three-way merge: an ancestor and copies
// of it edited at random (cells, deletes, inserts whose keys collide
// between copies, records reordered, a field added or dropped).  Every
// table has the key field ID (I) first, then the columns.

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::test {

struct Column {
    std::string name;
    char letter;
    int width;
    int decimals;
    bool nullable;
};

// C N Y D T L M I, some nullable; few values each, so that two copies
// often pick the same new value.
const std::vector<Column>& tripleColumns();

struct Table {
    std::vector<Column> columns = tripleColumns();
    // Per record: its key, and per column the value's choice (-1: null).
    std::vector<std::pair<int, std::vector<int>>> rows;
};

// rows records, keys 1..rows; with nulls false no value is null.
Table randomBase(std::mt19937& rng, int rows, bool nulls = true);
// A copy of base: about one record in seven deleted, one in three with a
// cell changed, up to two records inserted with keys of 100..103, shuffled.
Table randomEdit(const Table& base, std::mt19937& rng, bool nulls = true);
// A column EXTRA with values, at the end: C(4), or with varying a
// nullable V(5) (varlength and null bits).
void addExtra(Table& t, std::mt19937& rng, bool varying = false);
void dropColumn(Table& t, std::size_t column);

// Writes the table as a Visual FoxPro table (and its .fpt).
void writeTable(const Table& t, const std::string& path);

}  // namespace quorvel::test
