#include "foxpro/write_statements.h"

#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro {

void executeCopy(DataSource&, const SelectStatement& statement) {
    throw FoxProError(kErrorInvalidArgument,
                      "unsupported statement: SELECT INTO TABLE " + statement.table);
}

void executeUpdate(DataSource&, const UpdateStatement& statement) {
    throw FoxProError(kErrorInvalidArgument, "unsupported statement: UPDATE " + statement.table);
}

void executeInsert(DataSource&, const InsertStatement& statement) {
    throw FoxProError(kErrorInvalidArgument, "unsupported statement: INSERT " + statement.table);
}

}  // namespace quorvel::foxpro
