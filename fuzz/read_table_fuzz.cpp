// Opens a table from bytes and reads every value of every record, memos
// included.  Input: a 4-byte little-endian table length, the table bytes,
// then the memo file bytes.  A damaged table must end in FoxProError, never
// in a crash, a hang or an unbounded allocation.

#include <cstddef>
#include <cstdint>
#include <span>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/text_form.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel::foxpro;
    if (size < 4) return 0;
    std::size_t tableSize =
        static_cast<std::size_t>(data[0]) | (static_cast<std::size_t>(data[1]) << 8) |
        (static_cast<std::size_t>(data[2]) << 16) | (static_cast<std::size_t>(data[3]) << 24);
    const std::span<const std::uint8_t> rest(data + 4, size - 4);
    if (tableSize > rest.size()) tableSize = rest.size();
    try {
        auto reader =
            TableReader::fromBytes("fuzz.dbf", rest.subspan(0, tableSize), rest.subspan(tableSize));
        const TextLocale locale = TextLocale::c();
        std::size_t total = 0;
        for (std::int64_t i = reader->nextLive(0); i < reader->storedCount();
             i = reader->nextLive(i + 1)) {
            const auto record = reader->storedRecord(i);
            for (int f = 0; f < reader->fieldCount(); ++f) {
                try {
                    total += textForm(reader->value(record, f), locale).size();
                } catch (const FoxProError&) {
                    // A bad memo reference fails that value only.
                }
            }
        }
        total += static_cast<std::size_t>(reader->liveCount());
        total += reader->backlink().size();
        if (total == static_cast<std::size_t>(-1)) return 1;
    } catch (const FoxProError&) {
    }
    return 0;
}
