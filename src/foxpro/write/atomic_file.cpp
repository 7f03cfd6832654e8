#include "foxpro/write/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/file_reader.h"
#include "foxpro/write/table_replacement.h"
#include "foxpro/write/temporary_files.h"

namespace quorvel::foxpro {

namespace {

// Bytes left before the simulated full disk; negative when off.
std::atomic<std::int64_t> gWriteLimit{-1};

constexpr std::size_t kAppendBuffer = 1 << 20;

const std::error_code kDiskFull = std::make_error_code(std::errc::no_space_on_device);

// Takes up to size bytes from the simulated full disk's allowance: what may
// be written, and whether the disk is full after that.
std::uint64_t allowance(std::uint64_t size, bool& full) {
    full = false;
    const std::int64_t limit = gWriteLimit.load();
    if (limit < 0) return size;
    if (size > static_cast<std::uint64_t>(limit)) {
        size = static_cast<std::uint64_t>(limit);
        full = true;
    }
    gWriteLimit = limit - static_cast<std::int64_t>(size);
    return size;
}

}  // namespace

void setWriteLimitForTesting(std::optional<std::int64_t> bytes) {
    gWriteLimit = bytes ? *bytes : -1;
}

FileSink FileSink::openExisting(const std::string& path, std::string name) {
    platform::OutputFile file;
    if (const auto error = file.open(path, platform::OutputFile::Mode::Existing))
        throw FoxProError(kErrorFile, name + ": cannot open for writing: " + error.message());
    return FileSink(std::move(file), path, std::move(name));
}

FileSink FileSink::createNew(const std::string& path, std::string name) {
    platform::OutputFile file;
    if (const auto error = file.open(path, platform::OutputFile::Mode::CreateNew)) {
        const auto slash = path.rfind('/');
        throw FoxProError(kErrorFile,
                          name + ": cannot create in " +
                              (slash == std::string::npos ? "." : path.substr(0, slash)) + ": " +
                              error.message());
    }
    return FileSink(std::move(file), path, std::move(name));
}

FileSink::FileSink(platform::OutputFile file, std::string path, std::string name)
    : file_(std::move(file)), path_(std::move(path)), name_(std::move(name)) {}

void FileSink::fail(const std::string& what, const std::error_code& error) const {
    throw FoxProError(kErrorFile, name_ + ": " + what + ": " + error.message());
}

void FileSink::writeAll(std::uint64_t offset, const char* data, std::size_t size, bool limited) {
    bool full = false;
    if (limited) size = static_cast<std::size_t>(allowance(size, full));
    if (const auto error = file_.writeAt(offset, data, size)) fail("cannot write", error);
    if (full) fail("cannot write", kDiskFull);
}

void FileSink::append(const void* data, std::size_t size) {
    if (buffer_.size() + size > kAppendBuffer) {
        flush();
        if (size >= kAppendBuffer) {
            writeAll(appended_, static_cast<const char*>(data), size);
            appended_ += size;
            return;
        }
    }
    buffer_.append(static_cast<const char*>(data), size);
}

void FileSink::appendPieces(const platform::WritePiece* pieces, std::size_t count) {
    flush();
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < count; ++i) total += pieces[i].size;
    const std::int64_t limit = gWriteLimit.load();
    if (limit >= 0 && static_cast<std::int64_t>(total) > limit) {
        // The simulated full disk: write piece by piece up to the limit.
        for (std::size_t i = 0; i < count; ++i) {
            writeAll(appended_, static_cast<const char*>(pieces[i].data), pieces[i].size);
            appended_ += pieces[i].size;
        }
        return;
    }
    if (limit >= 0) gWriteLimit = limit - static_cast<std::int64_t>(total);
    if (const auto error = file_.writePiecesAt(appended_, pieces, count))
        fail("cannot write", error);
    appended_ += total;
}

void FileSink::appendFromFile(const platform::FileReader& source, std::uint64_t offset,
                              std::uint64_t size) {
    flush();
    bool full = false;
    size = allowance(size, full);
    std::uint64_t copied = 0;
    if (const auto error = file_.copyFromFile(source, offset, appended_, size, copied))
        fail("cannot write", error);
    // What the kernel did not copy is copied by hand.
    std::string chunk;
    while (copied < size) {
        chunk.resize(
            static_cast<std::size_t>(std::min<std::uint64_t>(size - copied, kAppendBuffer)));
        const std::size_t n = source.readAt(offset + copied, chunk.data(), chunk.size());
        if (n == 0) throw FoxProError(kErrorFile, name_ + ": the source ended early");
        writeAll(appended_ + copied, chunk.data(), n, false);
        copied += n;
    }
    appended_ += copied;
    if (full) fail("cannot write", kDiskFull);
}

void FileSink::flush() {
    if (buffer_.empty()) return;
    writeAll(appended_, buffer_.data(), buffer_.size());
    appended_ += buffer_.size();
    buffer_.clear();
}

void FileSink::writeAt(std::uint64_t offset, const void* data, std::size_t size) {
    flush();
    writeAll(offset, static_cast<const char*>(data), size);
}

void FileSink::rewriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    flush();
    writeAll(offset, static_cast<const char*>(data), size, false);
}

void FileSink::readAt(std::uint64_t offset, void* data, std::size_t size) {
    flush();
    std::size_t got = 0;
    if (const auto error = file_.readAt(offset, data, size, got)) fail("cannot read", error);
    if (got < size) throw FoxProError(kErrorFile, name_ + ": unexpected end of file");
}

std::uint64_t FileSink::size() {
    flush();
    std::uint64_t bytes = 0;
    if (const auto error = file_.size(bytes)) fail("cannot read the size", error);
    return bytes;
}

void FileSink::truncate(std::uint64_t size) {
    flush();
    if (const auto error = file_.truncate(size)) fail("cannot truncate", error);
}

void FileSink::sync() {
    flush();
    if (const auto error = file_.syncData()) fail("cannot write", error);
}

void FileSink::close() {
    flush();
    if (const auto error = file_.close()) fail("cannot write", error);
}

// ---------------------------------------------------------------------------

NewFileSet::NewFileSet(std::string folder) : folder_(std::move(folder)) {}

NewFileSet::~NewFileSet() {
    if (committed_) return;
    for (auto& e : entries_) {
        e.sink.reset();
        platform::removeFile(folder_ + "/" + e.tempName);
    }
}

FileSink& NewFileSet::create(const std::string& finalName) {
    Entry e;
    e.finalName = finalName;
    e.tempName = temporaryName(kNewFileSuffix);
    e.sink = std::make_unique<FileSink>(FileSink::createNew(folder_ + "/" + e.tempName, finalName));
    entries_.push_back(std::move(e));
    return *entries_.back().sink;
}

void NewFileSet::commit(const std::vector<std::string>& replaced) {
    for (auto& e : entries_) {
        e.sink->sync();
        e.sink->close();
    }
    std::vector<FileMove> place;
    for (auto e = entries_.rbegin(); e != entries_.rend(); ++e)
        place.push_back({e->tempName, e->finalName});
    replaceFiles(folder_, entries_.empty() ? std::string() : entries_.front().finalName, replaced,
                 place);
    committed_ = true;
}

}  // namespace quorvel::foxpro
