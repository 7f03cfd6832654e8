// Parses the input as one statement of the SQL dialect and converts every
// literal of an UPDATE or INSERT into a field of each type, as a write
// would.  A statement outside the dialect or a value that does not fit must
// end in FoxProError, never in a crash, a hang or an unbounded allocation;
// a converted value must have exactly its field's width.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>
#include <vector>

#include "foxpro/foxpro_error.h"
#include "foxpro/sql/sql.h"
#include "foxpro/write/field_encoder.h"

namespace {

using namespace quorvel::foxpro;

FieldInfo field(char letter, int width, int decimals = 0, bool nullable = true) {
    FieldInfo f;
    f.name = std::string(1, letter);
    f.letter = letter;
    f.width = width;
    f.decimals = decimals;
    f.nullable = nullable;
    f.memo = letter == 'M' || letter == 'W';
    return f;
}

// One field of each kind a literal can be written into.
const std::vector<FieldInfo>& fields() {
    static const std::vector<FieldInfo> all = {
        field('C', 10),    field('V', 10), field('N', 8, 2),       field('N', 20, 0),
        field('F', 12, 4), field('I', 4),  field('B', 8, 2),       field('Y', 8),
        field('D', 8),     field('T', 8),  field('L', 1),          field('M', 4),
        field('W', 4),     field('Q', 6),  field('C', 3, 0, false)};
    return all;
}

void encodeEverywhere(const Literal& literal) {
    for (const TextStorage storage :
         {TextStorage{1252, true}, TextStorage{1251, true}, TextStorage{437, false}}) {
        for (const FieldInfo& f : fields()) {
            try {
                const EncodedField e = encodeField(f, storage, literal, "fuzz");
                if (!e.null && !f.memo && e.bytes.size() != static_cast<std::size_t>(f.width))
                    std::abort();
            } catch (const FoxProError&) {
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view sql(reinterpret_cast<const char*>(data), size);
    try {
        const Statement statement = parseStatement(sql);
        if (const auto* update = std::get_if<UpdateStatement>(&statement)) {
            encodeEverywhere(update->value);
        } else if (const auto* insert = std::get_if<InsertStatement>(&statement)) {
            for (const Literal& value : insert->values) encodeEverywhere(value);
        }
    } catch (const FoxProError&) {
    }
    return 0;
}
