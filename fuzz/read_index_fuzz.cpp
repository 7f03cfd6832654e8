// Opens a compound index from bytes, walks every tag and seeks a key in
// each, and classifies each tag's key expression.  A damaged index must end
// in FoxProError, never in a crash, a hang or an unbounded allocation.

#include <cstddef>
#include <cstdint>
#include <span>

#include "foxpro/foxpro_error.h"
#include "foxpro/index/cdx_reader.h"
#include "foxpro/index/key_expression.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel::foxpro;
    try {
        const auto index = CdxReader::fromBytes("fuzz.cdx", std::span(data, size));
        std::size_t total = 0;
        for (const IndexTag& tag : index->tags()) {
            total += classifyKeyExpression(tag.keyExpression).fields.size();
            try {
                index->walk(tag, [&](const IndexEntry& e) {
                    total += e.key.size();
                    return true;
                });
                total += index->seek(tag, std::string(static_cast<std::size_t>(tag.keyLength), 'A'))
                             .has_value();
            } catch (const FoxProError&) {
                // A damaged tag fails that tag only.
            }
        }
        if (total == static_cast<std::size_t>(-1)) return 1;
    } catch (const FoxProError&) {
        // Refused: what a damaged index must do.
    }
    return 0;
}
