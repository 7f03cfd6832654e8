#include "results/text_report.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "compare/difference_line.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/platform/file_moves.h"
#include "foxpro/platform/output_file.h"
#include "foxpro/platform/output_stream.h"
#include "foxpro/platform/path_names.h"
#include "foxpro/platform/path_text.h"
#include "foxpro/platform/scratch_file.h"
#include "foxpro/platform/user_text.h"
#include "foxpro/source/data_source.h"
#include "foxpro/write/temporary_files.h"

namespace quorvel::results {

namespace {

namespace platform = foxpro::platform;

constexpr int kLinesPerEventPass = 100;
// What is gathered before it goes to a file or the caller.
constexpr std::size_t kWriteBlock = std::size_t{1} << 16;

void appendList(std::string& report, const compare::DifferenceList& differences,
                compare::LineList list, const std::function<void()>& processEvents) {
    std::size_t line = 0;
    for (const compare::Difference d : differences) {
        if (compare::listOf(d.kind) != list) continue;
        if (++line % kLinesPerEventPass == 0 && processEvents) processEvents();
        compare::appendLineText(report, d);
        report += "\r\n";
    }
}

[[noreturn]] void raise(const std::string& path, const std::error_code& error) {
    throw std::runtime_error(path + ": " + error.message());
}

const std::error_code kIsFolder = std::make_error_code(std::errc::is_a_directory);

std::string toLocaleEncoding(const std::string& utf8) {
    return platform::toUserTextEncoding(utf8);
}

// Appends the line of d and CR LF to lines, calling flush (which empties
// lines) whenever they reach a block: a value of many megabytes passes in
// slices of a block, cut where a character starts, and is never copied
// whole nor encoded whole.
template <typename Flush>
void appendLine(std::string& lines, const compare::Difference& d, Flush&& flush) {
    compare::forEachLinePiece(d, [&](std::string_view piece) {
        while (piece.size() > kWriteBlock) {
            std::size_t take = kWriteBlock;
            while (take > 0 && (static_cast<unsigned char>(piece[take]) & 0xC0) == 0x80) --take;
            if (take == 0) take = kWriteBlock;  // no character start: not UTF-8 anyway
            lines.append(piece.substr(0, take));
            piece.remove_prefix(take);
            flush();
        }
        lines.append(piece);
    });
    lines += "\r\n";
    if (lines.size() >= kWriteBlock) flush();
}

}  // namespace

std::string buildTextReport(const compare::DifferenceList& differences,
                            const std::function<void()>& processEvents) {
    return buildTextReport(differences, {}, processEvents);
}

std::string buildTextReport(const compare::DifferenceList& differences,
                            const std::vector<compare::StructureDifference>& structure,
                            const std::function<void()>& processEvents) {
    std::string report;
    if (processEvents) processEvents();
    for (const auto& s : structure) {
        report += compare::structureLineText(s, differences.table2());
        report += "\r\n";
    }
    appendList(report, differences, compare::LineList::FieldDifferences, processEvents);
    appendList(report, differences, compare::LineList::AddedDeleted, processEvents);
    return report;
}

std::string textFileBytes(const std::string& text) {
    return toLocaleEncoding(text);
}

TextReportFile::TextReportFile(const std::string& path, const std::vector<std::string>& sourceFiles)
    : path_(path), target_(path) {
    if (path.empty()) throw std::runtime_error("no file name given for the text report");
    if (platform::lastSeparator(path) + 1 == path.size()) raise(path, kIsFolder);
    if (const auto identity = platform::identityOfPath(path)) {
        for (const auto& file : sourceFiles)
            if (platform::identityOfPath(file) == identity)
                throw std::runtime_error(
                    path + ": is " + foxpro::fileNameOf(file) +
                    ", a file of a compared table; not replaced by the report");
    }

    // Writing through a link replaces the file it points to, not the link.
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_symlink(platform::pathFromText(path), ec)) {
        const fs::path resolved = fs::canonical(platform::pathFromText(path), ec);
        if (!ec) target_ = platform::textFromPath(resolved);
    }
    // Only a regular file is replaced: a FIFO or a device in its place is
    // written through, and stays what it is.
    const platform::OutputTarget out = platform::outputTargetOf(target_);
    if (out.kind == platform::OutputKind::Refused)
        throw std::runtime_error(path + ": is " + out.what + ", which takes no report");
    if (out.kind == platform::OutputKind::Stream) {
        const std::error_code error = stream_.open(target_);
        if (error == std::errc::no_such_device_or_address)
            throw std::runtime_error(path + ": is a FIFO that no program reads; nothing written");
        if (error) raise(path, error);
        return;
    }
    const bool exists = out.kind == platform::OutputKind::RegularFile;

    // A hidden name that tells whose it is, so that what a killed run left
    // is removed by a later one (foxpro/temporary_files.h).
    temporary_ =
        foxpro::parentFolder(target_) + "/" + foxpro::temporaryName(foxpro::kNewFileSuffix);
    if (const auto error = file_.open(temporary_, platform::OutputFile::Mode::CreateNew))
        raise(path, error);
    // A replaced report keeps the permissions of the one it replaces.
    if (exists) {
        const fs::perms perms = fs::status(platform::pathFromText(target_), ec).permissions();
        if (!ec) fs::permissions(platform::pathFromText(temporary_), perms, ec);
        if (ec) abandon(ec);
    }
}

TextReportFile::~TextReportFile() {
    stream_.close();
    if (!file_.isOpen()) return;
    file_.close();
    platform::removeFile(temporary_);
}

void TextReportFile::abandon(const std::error_code& error) {
    stream_.close();
    file_.close();
    if (!temporary_.empty()) platform::removeFile(temporary_);
    raise(path_, error);
}

void TextReportFile::write(std::string_view bytes) {
    if (!file_.isOpen() && !stream_.isOpen())
        throw std::logic_error("report file written after commit");
    if (buffer_.size() + bytes.size() < kWriteBlock) {
        buffer_.append(bytes);
        return;
    }
    flush();
    writeAll(bytes);
}

void TextReportFile::flush() {
    writeAll(buffer_);
    buffer_.clear();
}

void TextReportFile::writeAll(std::string_view bytes) {
    if (const auto error = stream_.isOpen() ? stream_.write(bytes.data(), bytes.size())
                                            : file_.writeAt(written_, bytes.data(), bytes.size()))
        abandon(error);
    written_ += bytes.size();
}

void TextReportFile::commit() {
    flush();
    if (stream_.isOpen()) {
        if (const auto error = stream_.close()) raise(path_, error);
        return;
    }
    if (const auto error = file_.syncData()) abandon(error);
    if (const auto error = file_.close()) {
        platform::removeFile(temporary_);
        raise(path_, error);
    }
    if (const auto error = platform::moveReplacing(temporary_, target_)) {
        platform::removeFile(temporary_);
        raise(path_, error);
    }
}

TextReportStream::TextReportStream(std::function<void(std::string_view)> out)
    : out_(std::move(out)) {}

TextReportStream::~TextReportStream() {
    if (scratch_) std::fclose(scratch_);
}

void TextReportStream::addStructure(const compare::StructureDifference& structure,
                                    std::string_view table2) {
    first_ += compare::structureLineText(structure, table2);
    first_ += "\r\n";
}

void TextReportStream::add(const compare::Difference& difference) {
    if (compare::listOf(difference.kind) == compare::LineList::FieldDifferences)
        appendLine(first_, difference, [this] { flushFirst(); });
    else
        appendLine(later_, difference, [this] { flushLater(); });
}

void TextReportStream::flushFirst() {
    if (!first_.empty()) out_(toLocaleEncoding(first_));
    first_.clear();
}

void TextReportStream::flushLater() {
    if (later_.empty()) return;
    if (!scratch_) scratch_ = platform::openScratchFile();
    const std::string bytes = toLocaleEncoding(later_);
    if (!scratch_ || std::fwrite(bytes.data(), 1, bytes.size(), scratch_) != bytes.size())
        throw std::runtime_error(std::string("the report's scratch file: ") + std::strerror(errno));
    later_.clear();
}

void TextReportStream::finish() {
    flushFirst();
    if (!scratch_) {
        if (!later_.empty()) out_(toLocaleEncoding(later_));
        later_.clear();
        return;
    }
    flushLater();
    if (std::fflush(scratch_) != 0 || std::fseek(scratch_, 0, SEEK_SET) != 0)
        throw std::runtime_error(std::string("the report's scratch file: ") + std::strerror(errno));
    std::string block(kWriteBlock, '\0');
    while (const std::size_t n = std::fread(block.data(), 1, block.size(), scratch_))
        out_(std::string_view(block.data(), n));
    if (std::ferror(scratch_))
        throw std::runtime_error(std::string("the report's scratch file: ") + std::strerror(errno));
    std::fclose(scratch_);
    scratch_ = nullptr;
}

void WriteTextReport(const compare::DifferenceList& differences,
                     const std::vector<compare::StructureDifference>& structure,
                     const std::string& path, const std::vector<std::string>& sourceFiles,
                     const std::function<void()>& processEvents) {
    TextReportFile file(path, sourceFiles);
    if (processEvents) processEvents();
    std::string lines;
    for (const auto& s : structure) {
        lines += compare::structureLineText(s, differences.table2());
        lines += "\r\n";
    }
    for (const auto list : {compare::LineList::FieldDifferences, compare::LineList::AddedDeleted}) {
        std::size_t line = 0;
        for (const compare::Difference d : differences) {
            if (compare::listOf(d.kind) != list) continue;
            if (++line % kLinesPerEventPass == 0 && processEvents) processEvents();
            appendLine(lines, d, [&] {
                file.write(toLocaleEncoding(lines));
                lines.clear();
            });
        }
    }
    file.write(toLocaleEncoding(lines));
    file.commit();
}

void WriteTextFile(const std::string& text, const std::string& path,
                   const std::vector<std::string>& sourceFiles) {
    TextReportFile file(path, sourceFiles);
    file.write(textFileBytes(text));
    file.commit();
}

}  // namespace quorvel::results
