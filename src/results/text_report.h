#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "compare/difference_list.h"
#include "compare/structure_difference.h"
#include "foxpro/platform/output_file.h"
#include "foxpro/platform/output_stream.h"

namespace quorvel::results {

// The text report: the line of every field difference (Changed and Missing
// field), then of every added or deleted record, each in walk order and
// followed by CR LF; the lists are told apart by kind, never by the text.
// The structure differences, when given, come first, one line each.
// No differences give the empty string.  processEvents (optional) runs
// before the first line and at every 100th line of each list (lines 100,
// 200, ... counted from 1).
std::string buildTextReport(const compare::DifferenceList& differences,
                            const std::function<void()>& processEvents = {});
std::string buildTextReport(const compare::DifferenceList& differences,
                            const std::vector<compare::StructureDifference>& structure,
                            const std::function<void()>& processEvents = {});

// A report file written piece by piece: the pieces go to a hidden file in
// the folder of path, which commit() puts in place whole, as WriteTextFile
// does; destroyed without commit() (a failure on the way) it leaves no file
// and any older report as it was.  A path that names a stream (a FIFO, a
// pipe, a character device such as /dev/null or a terminal) is written
// through instead, the bytes going out as they come: what went out before
// a failure stays out.  The checks of WriteTextFile come first, in the
// constructor, and so does the open of a stream (a FIFO that nobody reads
// fails there, at once).  Throws std::runtime_error naming path and the
// reason.
class TextReportFile {
  public:
    TextReportFile(const std::string& path, const std::vector<std::string>& sourceFiles = {});
    ~TextReportFile();
    TextReportFile(const TextReportFile&) = delete;
    TextReportFile& operator=(const TextReportFile&) = delete;

    // Bytes as they go into the file (textFileBytes already applied).
    void write(std::string_view bytes);
    void commit();

  private:
    void flush();
    void writeAll(std::string_view bytes);
    [[noreturn]] void abandon(const std::error_code& error);

    std::string path_;
    std::string target_;
    std::string temporary_;
    foxpro::platform::OutputFile file_;
    foxpro::platform::OutputStream stream_;  // open in place of file_ for a stream
    std::uint64_t written_ = 0;              // bytes in the file so far
    std::string buffer_;
};

// The report's lines as a comparison finds them, in the report's order: a
// field difference's line goes out at once, an added or deleted record's
// waits in an unnamed scratch file until finish(), so that memory stays flat
// however many lines there are.  out receives the bytes in the encoding of
// the user's locale, in pieces of whole lines.
class TextReportStream {
  public:
    explicit TextReportStream(std::function<void(std::string_view bytes)> out);
    ~TextReportStream();
    TextReportStream(const TextReportStream&) = delete;
    TextReportStream& operator=(const TextReportStream&) = delete;

    // A structure difference's line: before the first add().
    void addStructure(const compare::StructureDifference& structure, std::string_view table2);
    void add(const compare::Difference& difference);
    // Hands out what is left, the added and deleted records' lines last.
    void finish();

  private:
    void flushFirst();
    void flushLater();

    std::function<void(std::string_view)> out_;
    std::string first_;  // field differences not yet handed out
    std::string later_;  // added and deleted records not yet in the scratch file
    std::FILE* scratch_ = nullptr;
};

// The report of a list (the structure differences first), written to path
// as WriteTextFile writes it, line by line instead of as one text.
// processEvents as for buildTextReport.
void WriteTextReport(const compare::DifferenceList& differences,
                     const std::vector<compare::StructureDifference>& structure,
                     const std::string& path, const std::vector<std::string>& sourceFiles = {},
                     const std::function<void()>& processEvents = {});

// Writes text (UTF-8) to path in the encoding of the user's locale (UTF-8
// on today's systems; no byte-order mark), creating the file or replacing
// it whole.  The text goes to a temporary file in the same folder that is
// renamed into place, so a failed write leaves any older file untouched.
// A stream in path's place (a FIFO, a pipe, a character device) is written
// through and stays what it is; a folder, a block device or a socket is
// refused.  A path that leads (by any name or link) to one of sourceFiles,
// the files of the compared tables, is refused: the report never replaces
// a table.
// Throws std::runtime_error naming the file and the system's reason.
void WriteTextFile(const std::string& text, const std::string& path,
                   const std::vector<std::string>& sourceFiles = {});

// The bytes that WriteTextFile writes for text: the text in the encoding of
// the user's locale, a character that encoding cannot hold as "?".
std::string textFileBytes(const std::string& text);

}  // namespace quorvel::results
