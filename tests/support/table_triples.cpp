#include "support/table_triples.h"

#include <algorithm>
#include <cstdint>

#include "support/table_builder.h"

namespace quorvel::test {

namespace {

const Column kExtra = {"EXTRA", 'C', 4, 0, false};
const Column kVaryingExtra = {"EXTRA", 'V', 5, 0, true};

Cell cellOf(const Column& c, int choice) {
    if (choice < 0) return Cell::null();
    static const char* const texts[] = {"ann", "bob", "cy", ""};
    switch (c.letter) {
        case 'C':
        case 'V':
            return Cell::text(texts[choice % 4]);
        case 'N':
            return Cell::number(
                std::vector<std::string>{"1.50", "2.00", "-3.25", "0.00"}[choice % 4]);
        case 'Y':
            return Cell::currency(std::vector<std::int64_t>{0, 12500, -5000, 7}[choice % 4]);
        case 'D':
            return Cell::date(2020 + choice % 4, 1 + choice % 3, 5);
        case 'T':
            return Cell::dateTime(2021, 2, 3, choice % 4, 30, 0);
        case 'L':
            return Cell::logical(choice % 2 ? 'T' : 'F');
        case 'M':
            return choice % 4 == 3
                       ? Cell::none()
                       : Cell::memo(std::vector<std::string>{"x", "two\nlines", "y"}[choice % 3]);
        default:
            return Cell::integer32(choice % 4 * 10);
    }
}

int randomChoice(std::mt19937& rng, const Column& c, bool nulls) {
    const bool null = nulls && c.nullable;
    return static_cast<int>(rng() % (null ? 5u : 4u)) - (null ? 1 : 0);
}

}  // namespace

const std::vector<Column>& tripleColumns() {
    static const std::vector<Column> columns = {
        {"NAME", 'C', 6, 0, true}, {"QTY", 'N', 7, 2, true},    {"COST", 'Y', 8, 0, false},
        {"DAY", 'D', 8, 0, true},  {"STAMP", 'T', 8, 0, false}, {"OK", 'L', 1, 0, false},
        {"NOTE", 'M', 4, 0, true}, {"COUNT", 'I', 4, 0, false}};
    return columns;
}

Table randomBase(std::mt19937& rng, int rows, bool nulls) {
    Table t;
    for (int id = 1; id <= rows; ++id) {
        std::vector<int> v;
        for (const auto& c : t.columns) v.push_back(randomChoice(rng, c, nulls));
        t.rows.emplace_back(id, v);
    }
    return t;
}

Table randomEdit(const Table& base, std::mt19937& rng, bool nulls) {
    Table t = base;
    std::vector<std::pair<int, std::vector<int>>> rows;
    for (auto& row : t.rows) {
        if (rng() % 7 == 0) continue;
        if (rng() % 3 == 0) {
            const std::size_t f = rng() % row.second.size();
            row.second[f] = randomChoice(rng, t.columns[f], nulls);
        }
        rows.push_back(row);
    }
    // Keys unique within the copy; the other copy may insert the same ones.
    std::vector<int> keys = {100, 101, 102, 103};
    std::shuffle(keys.begin(), keys.end(), rng);
    for (int k = 0; k < static_cast<int>(rng() % 3); ++k) {
        std::vector<int> v;
        for (const auto& c : t.columns) v.push_back(rng() % 2 ? 0 : randomChoice(rng, c, nulls));
        rows.emplace_back(keys[static_cast<std::size_t>(k)], v);
    }
    std::shuffle(rows.begin(), rows.end(), rng);
    t.rows = std::move(rows);
    return t;
}

void addExtra(Table& t, std::mt19937& rng, bool varying) {
    const Column& extra = varying ? kVaryingExtra : kExtra;
    t.columns.push_back(extra);
    for (auto& row : t.rows) row.second.push_back(randomChoice(rng, extra, varying));
}

void dropColumn(Table& t, std::size_t column) {
    t.columns.erase(t.columns.begin() + static_cast<long>(column));
    for (auto& row : t.rows) row.second.erase(row.second.begin() + static_cast<long>(column));
}

void writeTable(const Table& t, const std::string& path) {
    TableBuilder b(0x30);
    b.field("ID", 'I', 4);
    for (const auto& c : t.columns)
        b.field(c.name, c.letter, c.width, c.decimals, c.nullable ? 0x02 : 0);
    for (const auto& [id, values] : t.rows) {
        std::vector<Cell> cells = {Cell::integer32(id)};
        for (std::size_t f = 0; f < values.size(); ++f)
            cells.push_back(cellOf(t.columns[f], values[f]));
        b.record(cells);
    }
    b.write(path);
}

}  // namespace quorvel::test
