#pragma once

// The steps a key or FOR expression is parsed into, once: operands before
// the operator that takes them, as a stack machine runs them.  Shared by
// the classification and the evaluation of key_expression.h.

#include <string>
#include <string_view>
#include <vector>

#include "foxpro/format/field_info.h"

namespace quorvel::foxpro::keys {

// Throws FoxProError(kErrorInvalidArgument, reason).
[[noreturn]] void refuse(const std::string& reason);

// What a step does: push a field or a literal, or replace the values on
// top of the stack by the result of an operation.
enum class Op {
    Field,
    Number,   // literal
    String,   // literal
    Logical,  // .T. / .F.
    Deleted,
    Not,
    Concat,
    Upper,
    Lower,
    AllTrim,
    LTrim,
    RTrim,
    PadL,
    PadR,
    Left,
    Right,
    Substr,
    Str,
    Dtos,
    Ttoc,
    Bintoc
};

// A function the expressions may call.
struct Function {
    const char* name;
    Op op;
    int minArgs;
    int maxArgs;
    bool pairs;  // may stand in a key that pairs records
};

// The function of an operation, nullptr for those that are none.
const Function* functionOf(Op op);

// The kind of value a step leaves: Number for N, F, B, Y and literals,
// Integer for I (its key differs).
enum class VKind { Text, Number, Integer, Date, DateTime, Logical };

struct Step {
    Op op = Op::Field;
    std::string name;          // field or function as written
    std::string text;          // String literal; PADL/PADR fill
    double number = 0;         // Number literal
    bool logical = false;      // Logical literal
    std::vector<double> args;  // the literal arguments after the first
    // Filled when typed for a table.
    int field = -1;
    VKind kind = VKind::Text;
    int width = 0;
    bool nullable = false;
};

// The steps of text: syntax only, names as written.  Throws as refuse()
// ("function AT() is not supported", "operator - is not supported").
std::vector<Step> parseSteps(std::string_view text);

// Gives every step its kind, width and nullability for the fields of
// layout (found without regard to case), checking what each operation
// takes.  caseMaps: the table's code page has UPPER/LOWER maps.
void typeSteps(std::vector<Step>& steps, const TableLayout& layout, bool forClause, bool caseMaps);

}  // namespace quorvel::foxpro::keys
