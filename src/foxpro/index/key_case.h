#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace quorvel::foxpro {

// UPPER() and LOWER() of index keys change letters byte for byte, in the
// table's code page, and never the length: a letter whose other case the
// code page cannot hold, or that needs two letters ("ß"), stays as it is.
struct CaseMaps {
    std::array<std::uint8_t, 256> upper;
    std::array<std::uint8_t, 256> lower;
};

// The maps of a single-byte code page the system can convert; nullopt for
// one it cannot and for the multi-byte ones (932, 936, 949, 950, UTF-8),
// whose second bytes may be ASCII letters.
std::optional<CaseMaps> caseMapsFor(int codePage);

}  // namespace quorvel::foxpro
