#pragma once

#include <string>

namespace quorvel::foxpro {
class DataSource;
}

namespace quorvel::cli {

// tables --long: one table's line and its keys, each line ending in '\n':
//   customers: paired by primary key CUSTID (container shop.dbc)
//     tag CUSTID candidate: UPPER(CUSTID)
//     tag CITY: CITY FOR !DELETED()
// then, indented, why tags are not usable and what could not be read.
std::string tableKeysListing(const foxpro::DataSource& source, const std::string& table);

}  // namespace quorvel::cli
