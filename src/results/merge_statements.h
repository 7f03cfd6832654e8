#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foxpro/format/literal.h"
#include "foxpro/sql/sql.h"

namespace quorvel::results {

// The statements of the merge, in the shapes the provider is sent.  Names
// are put between brackets unchanged; values arrive as finished literals.

// "SELECT *  FROM [t1] INTO TABLE [new]" (two blanks after "*").
std::string copyStatement(const std::string& table1, const std::string& newTable);

// "UPDATE [new] SET [f] = literal WHERE RECNO() = n".
std::string updateStatement(const std::string& newTable, const std::string& field,
                            const std::string& literal, std::int64_t n);

// "INSERT INTO [new] VALUES(a, b)", or with columns
// "INSERT INTO [new] ([A], [B]) VALUES(a, b)".  An empty column list means
// every column in order.
std::string insertStatement(const std::string& newTable, const std::vector<std::string>& columns,
                            const std::vector<std::string>& literals);

// The update and the insert above as the statement parser reads their
// texts back, for a connection that takes a statement whole (so the text is
// never written only to be read again), written into `into` (a batch reuses
// one statement and the memory of its names).  False, into left in any
// state, when that text would not read back so - a name holding "]", which
// ends a bracketed name, a record number the selector does not take, no
// values - and only the text gets the parser's own answer.
// Whether the texts of those statements with these names and record number
// read back so (what the two functions below check first): a merge asks once
// and then fills one statement of each kind in place.
bool updateReadsBack(const std::string& newTable, const std::string& field, std::int64_t n);
bool insertReadsBack(const std::string& newTable, const std::vector<std::string>& columns);

bool parsedUpdateStatement(foxpro::UpdateStatement& into, const std::string& newTable,
                           const std::string& field, foxpro::Literal literal, std::int64_t n);
bool parsedInsertStatement(foxpro::InsertStatement& into, const std::string& newTable,
                           const std::vector<std::string>& columns,
                           std::vector<foxpro::Literal> literals);

// The selector of record n as the comparison counts it: the n-th live
// record in stored order.
std::string recordSelector(std::int64_t n);

}  // namespace quorvel::results
