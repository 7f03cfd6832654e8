#include "results/merge_statements.h"

namespace quorvel::results {

namespace {

// A bracketed name reads back as itself unless "]" ends it early.
bool readsBackAsName(const std::string& name) {
    return name.find(']') == std::string::npos;
}

}  // namespace

std::string recordSelector(std::int64_t n) {
    return "RECNO() = " + std::to_string(n);
}

std::string copyStatement(const std::string& table1, const std::string& newTable) {
    return "SELECT *  FROM [" + table1 + "] INTO TABLE [" + newTable + "]";
}

std::string updateStatement(const std::string& newTable, const std::string& field,
                            const std::string& literal, std::int64_t n) {
    return "UPDATE [" + newTable + "] SET [" + field + "] = " + literal + " WHERE " +
           recordSelector(n);
}

std::string insertStatement(const std::string& newTable, const std::vector<std::string>& columns,
                            const std::vector<std::string>& literals) {
    std::string sql = "INSERT INTO [" + newTable + "] ";
    if (!columns.empty()) {
        sql += "(";
        for (std::size_t i = 0; i < columns.size(); ++i)
            sql += (i > 0 ? ", [" : "[") + columns[i] + "]";
        sql += ") ";
    }
    sql += "VALUES(";
    for (std::size_t i = 0; i < literals.size(); ++i) sql += (i > 0 ? ", " : "") + literals[i];
    return sql + ")";
}

bool updateReadsBack(const std::string& newTable, const std::string& field, std::int64_t n) {
    // The selector takes plain digits, and not so many that they overflow.
    constexpr std::int64_t kSelectorLimit = 1'000'000'000'000'000'000;
    return readsBackAsName(newTable) && readsBackAsName(field) && n >= 0 && n < kSelectorLimit;
}

bool insertReadsBack(const std::string& newTable, const std::vector<std::string>& columns) {
    if (!readsBackAsName(newTable)) return false;
    for (const auto& column : columns)
        if (!readsBackAsName(column)) return false;
    return true;
}

bool parsedUpdateStatement(foxpro::UpdateStatement& into, const std::string& newTable,
                           const std::string& field, foxpro::Literal literal, std::int64_t n) {
    if (!updateReadsBack(newTable, field, n)) return false;
    into.table = newTable;
    into.field = field;
    into.value = std::move(literal);
    into.recno = n;
    return true;
}

bool parsedInsertStatement(foxpro::InsertStatement& into, const std::string& newTable,
                           const std::vector<std::string>& columns,
                           std::vector<foxpro::Literal> literals) {
    if (literals.empty() || !insertReadsBack(newTable, columns)) return false;
    into.table = newTable;
    into.columns = columns;
    into.values = std::move(literals);
    return true;
}

}  // namespace quorvel::results
