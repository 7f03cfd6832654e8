#include <algorithm>
#include <utility>

#include "foxpro/platform/file_reader.h"
#include "foxpro/platform/output_file.h"
#include "foxpro/platform/wide_path.h"
#include "foxpro/platform/windows_error.h"
#include "foxpro/platform/windows_file.h"

namespace quorvel::foxpro::platform {

namespace {

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

constexpr std::size_t kLargestCall = 1u << 30;

}  // namespace

OutputFile::~OutputFile() {
    if (file_ != kNoHandle) CloseHandle(asHandle(file_));
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(std::exchange(other.file_, kNoHandle)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        if (file_ != kNoHandle) CloseHandle(asHandle(file_));
        file_ = std::exchange(other.file_, kNoHandle);
    }
    return *this;
}

std::error_code OutputFile::open(const std::string& path, Mode mode) {
    const HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                    nullptr, mode == Mode::CreateNew ? CREATE_NEW : OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lastWindowsError();
    if (file_ != kNoHandle) CloseHandle(asHandle(file_));
    file_ = asNative(file);
    return {};
}

std::error_code OutputFile::writeAt(std::uint64_t offset, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        OVERLAPPED position = at(offset);
        DWORD wrote = 0;
        const auto want = static_cast<DWORD>(std::min(size, kLargestCall));
        if (!WriteFile(asHandle(file_), p, want, &wrote, &position)) return lastWindowsError();
        if (wrote == 0) return std::make_error_code(std::errc::io_error);
        p += wrote;
        size -= wrote;
        offset += wrote;
    }
    return {};
}

std::error_code OutputFile::writePiecesAt(std::uint64_t offset, const WritePiece* pieces,
                                          std::size_t count) {
    // No gathered write for files opened this way: small pieces are joined
    // so that a record's fields do not cost a call each.
    std::string joined;
    auto flush = [&]() -> std::error_code {
        const std::error_code error = writeAt(offset, joined.data(), joined.size());
        offset += joined.size();
        joined.clear();
        return error;
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (pieces[i].size >= (64u << 10)) {
            if (const auto error = flush()) return error;
            if (const auto error = writeAt(offset, pieces[i].data, pieces[i].size)) return error;
            offset += pieces[i].size;
            continue;
        }
        joined.append(static_cast<const char*>(pieces[i].data), pieces[i].size);
        if (joined.size() >= (1u << 20))
            if (const auto error = flush()) return error;
    }
    return flush();
}

std::error_code OutputFile::copyFromFile(const FileReader&, std::uint64_t, std::uint64_t,
                                         std::uint64_t, std::uint64_t& copied) {
    copied = 0;  // no copy inside the system between open files: the caller copies
    return {};
}

std::error_code OutputFile::readAt(std::uint64_t offset, void* data, std::size_t size,
                                   std::size_t& got) {
    auto* p = static_cast<char*>(data);
    got = 0;
    while (got < size) {
        OVERLAPPED position = at(offset + got);
        DWORD read = 0;
        const auto want = static_cast<DWORD>(std::min(size - got, kLargestCall));
        if (!ReadFile(asHandle(file_), p + got, want, &read, &position)) {
            const DWORD code = GetLastError();
            if (code == ERROR_HANDLE_EOF) break;
            return windowsError(code);
        }
        if (read == 0) break;
        got += read;
    }
    return {};
}

std::error_code OutputFile::size(std::uint64_t& bytes) {
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(asHandle(file_), &length)) return lastWindowsError();
    bytes = static_cast<std::uint64_t>(length.QuadPart);
    return {};
}

std::error_code OutputFile::truncate(std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(asHandle(file_), FileEndOfFileInfo, &end, sizeof end))
        return lastWindowsError();
    return {};
}

std::error_code OutputFile::syncData() {
    if (!FlushFileBuffers(asHandle(file_))) return lastWindowsError();
    return {};
}

std::error_code OutputFile::close() {
    if (file_ == kNoHandle) return {};
    if (!CloseHandle(asHandle(std::exchange(file_, kNoHandle)))) return lastWindowsError();
    return {};
}

}  // namespace quorvel::foxpro::platform
