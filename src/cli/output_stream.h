#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quorvel::cli {

// What a verb prints, on its way to a file (standard output): small pieces
// gather into blocks of kBlock bytes, and a piece of a block or more (a
// memo of many megabytes) goes out as it stands, without a copy, after
// what was gathered.  A write that fails throws std::runtime_error
// ("standard output could not be written"); flush() before the end.
class OutputStream {
  public:
    static constexpr std::size_t kBlock = std::size_t{1} << 16;

    explicit OutputStream(std::FILE* file = stdout) : file_(file) {}
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    void write(std::string_view bytes) {
        if (bytes.size() >= kBlock) return writeLong(bytes);
        buffer_.append(bytes);
        if (buffer_.size() >= kBlock) flush();
    }
    void put(char c) {
        buffer_.push_back(c);
        if (buffer_.size() >= kBlock) flush();
    }
    void flush();

  private:
    void writeLong(std::string_view bytes);
    void writeOut(std::string_view bytes);

    std::FILE* file_;
    std::string buffer_;
};

}  // namespace quorvel::cli
