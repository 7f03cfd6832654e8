#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::foxpro {
class Recordset;
}

namespace quorvel::compare {

// How the fields of Table #1 and Table #2 pair, wherever fields pair (the
// comparison, key fields, left-out fields, the merge's statements): by name
// without case, the k-th field of a name with the k-th field of that name;
// then a field still without partner pairs with the one field of the other
// side still without partner whose name is the first ten characters of its
// name, when exactly one such pair exists for each of the two.  A free
// table copied from a container keeps only the ten characters of its
// header ("companyname" of the container, COMPANYNAM of the copy).  Where
// the name a field's header stores is known (storedN, per field, "" for
// unknown) and is not its name, that name stands for its ten characters:
// the program that wrote the header made the names unique ("contact_type_id"
// CONTACT_TY and "contact_type" CONTACT_T2), which cutting cannot tell.
struct FieldPairing {
    std::vector<int> partner1;  // per field of Table #1: its partner in Table #2, -1 for none
    std::vector<int> partner2;  // per field of Table #2: its partner in Table #1, -1 for none
    // The pairs made by the ten characters (Table #1's field, Table #2's),
    // in Table #1's column order.
    std::vector<std::pair<int, int>> shortened;
};

// The pairing of fields of these names, in column order.
FieldPairing pairFieldNames(const std::vector<std::string>& names1,
                            const std::vector<std::string>& names2,
                            const std::vector<std::string>& stored1 = {},
                            const std::vector<std::string>& stored2 = {});

// The pairing of two tables' fields, their stored names included.
FieldPairing pairTableFields(const foxpro::Recordset& table1, const foxpro::Recordset& table2);

// A table's field names in column order.
std::vector<std::string> fieldNames(const foxpro::Recordset& table);
// The names its header stores, in column order.
std::vector<std::string> storedFieldNames(const foxpro::Recordset& table);

// The line that says a pair was made by the ten characters:
// Field "companyname" compared with "COMPANYNAM".
std::string shortenedPairText(std::string_view name1, std::string_view name2);

// The field of Table #1 that a name given for it (a key or left-out field)
// picks: the first of that name in Table #1 (without case), else the
// partner of the first field of that name in Table #2; -1 when neither.
int pickField1(const FieldPairing& pairing, const std::vector<std::string>& names1,
               const std::vector<std::string>& names2, std::string_view name);

}  // namespace quorvel::compare
