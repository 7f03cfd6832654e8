#include "foxpro/read/table_file.h"

#include <cstdint>
#include <fstream>

#include "foxpro/format/ascii_case.h"
#include "foxpro/format/dbf_format.h"
#include "foxpro/platform/regular_file.h"

namespace quorvel::foxpro {

namespace {

bool hasContainerFlag(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[32] = {};
    if (!in.read(header, sizeof header)) return false;
    return (static_cast<std::uint8_t>(header[28]) & dbf::kTableFlagContainer) != 0;
}

}  // namespace

bool isTableFile(const std::string& path) {
    if (platform::pathKind(path) != platform::PathKind::RegularFile) return false;
    if (path.size() >= 4 && equalsNoCase(path.substr(path.size() - 4), ".dbc")) return false;
    return !hasContainerFlag(path);
}

}  // namespace quorvel::foxpro
