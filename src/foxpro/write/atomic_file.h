#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foxpro/platform/output_file.h"

namespace quorvel::foxpro {

// Test hook: when set, writes through FileSink fail once this many more bytes
// have been written (the write that crosses the limit puts down what fits
// and then fails, like a full disk).  nullopt turns it off.
void setWriteLimitForTesting(std::optional<std::int64_t> bytes);

// A file opened for writing by the writing side of the table-access layer.
// Every failure throws FoxProError(kErrorFile, "<name>: <problem>"), name
// being the file name that messages show.
class FileSink {
  public:
    // Opens an existing file for reading and writing (never creates it).
    static FileSink openExisting(const std::string& path, std::string name);
    // Creates a file that must not exist yet, for reading and writing
    // (FoxProError "<name>: cannot create in <folder>: <reason>").
    static FileSink createNew(const std::string& path, std::string name);

    FileSink(platform::OutputFile file, std::string path, std::string name);
    FileSink(FileSink&& other) noexcept = default;
    FileSink& operator=(FileSink&&) = delete;
    FileSink(const FileSink&) = delete;
    ~FileSink() = default;

    const std::string& path() const { return path_; }
    const std::string& name() const { return name_; }
    // The open file (for its lock and stamp).
    platform::NativeHandle handle() const { return file_.handle(); }

    // Appends at the current end of what this sink has written (buffered).
    void append(const void* data, std::size_t size);
    void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }
    std::uint64_t appended() const { return appended_ + buffer_.size(); }
    // Appends the pieces one after the other in one system call where
    // possible (no copy through the sink's buffer).
    void appendPieces(const platform::WritePiece* pieces, std::size_t count);
    // Appends size bytes of another file from offset, copied inside the
    // kernel where the system allows it.
    void appendFromFile(const platform::FileReader& source, std::uint64_t offset,
                        std::uint64_t size);

    // Writes at an absolute offset (unbuffered; flushes appends first).
    void writeAt(std::uint64_t offset, const void* data, std::size_t size);
    // Puts back bytes that the file held already: needs no new space, so
    // the simulated full disk does not apply.
    void rewriteAt(std::uint64_t offset, const void* data, std::size_t size);
    void readAt(std::uint64_t offset, void* data, std::size_t size);
    std::uint64_t size();
    void truncate(std::uint64_t size);

    void flush();
    void sync();
    void close();

  private:
    void writeAll(std::uint64_t offset, const char* data, std::size_t size, bool limited = true);
    [[noreturn]] void fail(const std::string& what, const std::error_code& error) const;

    platform::OutputFile file_;
    std::string path_;
    std::string name_;
    std::string buffer_;
    std::uint64_t appended_ = 0;
};

// New files of one folder that appear together or not at all: each is
// written under a hidden name (temporary_files.h) and put in place by
// commit().  Without commit() (an exception on the way) the destructor
// removes every new file.
class NewFileSet {
  public:
    explicit NewFileSet(std::string folder);
    ~NewFileSet();
    NewFileSet(const NewFileSet&) = delete;
    NewFileSet& operator=(const NewFileSet&) = delete;

    // A new file that commit() puts in place as folder/finalName.  The first
    // one created is the table: it goes in place last.  The reference stays
    // valid until the set is destroyed.
    FileSink& create(const std::string& finalName);

    // Syncs the new files and puts them in place (replaceFiles), replacing
    // the files named in replaced (names in the folder: the table being
    // replaced with its memo file and index).  A final name that exists and
    // is not in replaced is not replaced: commit fails instead.  The caller
    // holds the table name's lock (name_lock.h).
    void commit(const std::vector<std::string>& replaced = {});

  private:
    struct Entry {
        std::string finalName;
        std::string tempName;
        std::unique_ptr<FileSink> sink;
    };
    std::string folder_;
    std::vector<Entry> entries_;
    bool committed_ = false;
};

}  // namespace quorvel::foxpro
