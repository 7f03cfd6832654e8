#include "cli/scratch_folder.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace quorvel::cli {

ScratchFolder::ScratchFolder() {
    std::error_code error;
    const auto base = std::filesystem::temp_directory_path(error);
    if (error) throw std::runtime_error("no temporary folder: " + error.message());
    std::random_device random;
    // A name another process took is tried again under another.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("quorvel-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
    }
    throw std::runtime_error(base.string() + ": no temporary folder could be made in it");
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error(path + ": cannot be written");
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw std::runtime_error(path + ": cannot be read");
    return text.str();
}

}  // namespace quorvel::cli
