#pragma once

#include <stdexcept>
#include <string>

namespace quorvel::foxpro {

// Error numbers, chosen to match what callers of the data-access component
// test for (ADO's numbering).
inline constexpr int kErrorInvalidArgument = 3001;  // bad argument, bad statement
inline constexpr int kErrorUnsafeOperation = 3010;  // tolerated by the comparison's silent trap
inline constexpr int kErrorNoCurrentRecord = 3021;  // read before the first / after the last record
inline constexpr int kErrorItemNotFound = 3265;     // field name or ordinal not in the collection
inline constexpr int kErrorObjectClosed = 3704;     // operation on a closed connection / record set
inline constexpr int kErrorProviderNotFound = 3706;  // unknown provider in the connection string
inline constexpr int kErrorFile = 3000;  // a table, memo or container file is missing or damaged
inline constexpr int kErrorOutOfMemory =
    7;  // no memory for a value (the runtime's "Out of memory")

// The one exception type of the table-access layer: a number and a
// description that names the file and the problem
// ("calls.dbf: memo file not found").
class FoxProError : public std::runtime_error {
  public:
    FoxProError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    int number() const noexcept { return number_; }
    std::string description() const { return what(); }

  private:
    int number_;
};

}  // namespace quorvel::foxpro
