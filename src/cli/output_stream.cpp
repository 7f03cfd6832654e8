#include "cli/output_stream.h"

#include <stdexcept>

namespace quorvel::cli {

void OutputStream::flush() {
    writeOut(buffer_);
    buffer_.clear();
}

void OutputStream::writeLong(std::string_view bytes) {
    flush();
    writeOut(bytes);
}

void OutputStream::writeOut(std::string_view bytes) {
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        throw std::runtime_error("standard output could not be written");
}

}  // namespace quorvel::cli
