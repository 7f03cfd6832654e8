#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "foxpro/format/literal.h"
#include "foxpro/format/value.h"

namespace quorvel::foxpro {

// The small SQL dialect that connections accept.  Keywords and whitespace
// are free, names stand in [brackets] or bare.
//
//   SELECT * FROM [t]
//   SELECT COUNT(*) FROM t
//   SELECT * FROM [t] WHERE RECNO() = n
//   SELECT * FROM [t] INTO TABLE [n]
//   UPDATE [t] SET [f] = <literal> WHERE RECNO() = n
//   INSERT INTO [t] [([f], ...)] VALUES(<literal>, ...)
//
// RECNO() = n selects the n-th live record in stored order (1-based,
// deleted records not counted): the position the comparison reports.

struct SelectStatement {
    std::string table;
    bool count = false;                    // SELECT COUNT(*)
    std::optional<std::int64_t> recno;     // WHERE RECNO() = n
    std::optional<std::string> intoTable;  // INTO TABLE [n]
};

struct UpdateStatement {
    std::string table;
    std::string field;
    Literal value;
    std::int64_t recno = 0;
};

struct InsertStatement {
    std::string table;
    std::vector<std::string> columns;  // empty: all columns in order
    std::vector<Literal> values;
};

using Statement = std::variant<SelectStatement, UpdateStatement, InsertStatement>;

// Throws FoxProError(kErrorInvalidArgument, "unsupported statement: ...").
Statement parseStatement(std::string_view sql);

}  // namespace quorvel::foxpro
