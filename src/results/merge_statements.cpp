#include "results/merge_statements.h"

namespace quorvel::results {

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

}  // namespace quorvel::results
