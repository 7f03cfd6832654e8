#pragma once

#include <memory>
#include <string>

#include "foxpro/sql/sql.h"

namespace quorvel::foxpro {

class DataSource;
class TargetTable;

// The statements that write, run against the tables of an open source.
// Each either completes or changes nothing, and throws FoxProError with a
// description naming the table and the problem.  Only the table that the
// statement creates or names as its target is opened for writing.

// SELECT * FROM [t] [WHERE RECNO() = n] INTO TABLE [n]: writes n.dbf (and
// n.fpt when t has memo fields) in the source's folder as a free Visual
// FoxPro table holding t's live records in stored order.  Built under a
// hidden name and put in place when complete (new_table.h).  With replace,
// replaces an existing free table of that name, but never t itself (or its
// memo file or container, whatever name or link leads to them), a table of
// a container, or a file that is not a table.  Into the hidden name of a
// NewTable of source, writes that table.
void executeCopy(DataSource& source, const SelectStatement& statement, bool replace = true);

// UPDATE [t] SET [f] = literal WHERE RECNO() = n: writes one field of the
// n-th live record of the free table t.
void executeUpdate(DataSource& source, const UpdateStatement& statement);

// INSERT INTO [t] [(f, ...)] VALUES(...): appends one live record to the
// free table t; columns not listed are blank (null where nullable).
void executeInsert(DataSource& source, const InsertStatement& statement);

// The free table t of source opened (and locked) for the write statements,
// as each of them opens it.
std::unique_ptr<TargetTable> openWriteTarget(DataSource& source, const std::string& table);

// The same two statements on a table already open: a batch of them reads
// its header and delete flags once.
void executeUpdate(TargetTable& table, const UpdateStatement& statement);
void executeInsert(TargetTable& table, const InsertStatement& statement);

}  // namespace quorvel::foxpro
