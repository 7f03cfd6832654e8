#include "results/text_report.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "compare/difference_line.h"
#include "foxpro/platform/file_identity.h"
#include "foxpro/temporary_files.h"

namespace quorvel::results {

namespace {

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

[[noreturn]] void raise(const std::string& path, int error) {
    throw std::runtime_error(path + ": " + std::strerror(error));
}

bool isUtf8OrAscii(const char* codeset) {
    const std::string name = codeset ? codeset : "";
    // The C locale's codeset only says that no locale was chosen; the text
    // is then written as it is held, in UTF-8.
    return name.empty() || name == "UTF-8" || name == "utf8" || name == "ANSI_X3.4-1968" ||
           name == "ASCII" || name == "US-ASCII";
}

// The text in the locale's encoding.  A character that the encoding cannot
// hold becomes "?", so that the rest of the report still reaches the file.
std::string toLocaleEncoding(const std::string& utf8) {
    const char* codeset = nl_langinfo(CODESET);
    if (isUtf8OrAscii(codeset)) return utf8;
    iconv_t cd = iconv_open(codeset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
    std::string out;
    out.resize(utf8.size() + 16);
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    std::size_t done = 0;
    while (inLeft > 0) {
        char* dst = out.data() + done;
        std::size_t outLeft = out.size() - done;
        const std::size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
        done = out.size() - outLeft;
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: skip one whole UTF-8 character, write "?".
        std::size_t skip = 1;
        while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
        in += skip;
        inLeft -= skip;
        if (done == out.size()) out.resize(out.size() * 2);
        out[done++] = '?';
    }
    iconv_close(cd);
    out.resize(done);
    return out;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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
    if (path.back() == '/') raise(path, EISDIR);
    if (const auto identity = foxpro::platform::identityOfPath(path)) {
        for (const auto& file : sourceFiles)
            if (foxpro::platform::identityOfPath(file) == identity)
                throw std::runtime_error(
                    path + ": is " + baseOf(file) +
                    ", a file of a compared table; not replaced by the report");
    }

    // Writing through a link replaces the file it points to, not the link.
    struct stat info {};
    bool exists = false;
    if (lstat(path.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode)) {
            char resolved[PATH_MAX];
            if (realpath(path.c_str(), resolved) != nullptr) target_ = resolved;
        }
        if (stat(target_.c_str(), &info) == 0) {
            if (S_ISDIR(info.st_mode)) raise(path, EISDIR);
            exists = S_ISREG(info.st_mode);
        }
    }

    // A hidden name that tells whose it is, so that what a killed run left
    // is removed by a later one (foxpro/temporary_files.h).
    temporary_ = folderOf(target_) + "/" + foxpro::temporaryName(foxpro::kNewFileSuffix);
    fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) raise(path, errno);
    // A replaced report keeps the permissions of the one it replaces.
    if (exists && fchmod(fd_, info.st_mode & 07777) != 0) abandon(errno);
}

TextReportFile::~TextReportFile() {
    if (fd_ < 0) return;
    close(fd_);
    unlink(temporary_.c_str());
}

void TextReportFile::abandon(int error) {
    close(fd_);
    fd_ = -1;
    unlink(temporary_.c_str());
    raise(path_, error);
}

void TextReportFile::write(std::string_view bytes) {
    if (fd_ < 0) throw std::logic_error("report file written after commit");
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
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon(errno);
        }
        written += static_cast<std::size_t>(n);
    }
}

void TextReportFile::commit() {
    flush();
    if (fsync(fd_) != 0) abandon(errno);
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary_.c_str());
        raise(path_, error);
    }
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        unlink(temporary_.c_str());
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
    if (compare::listOf(difference.kind) == compare::LineList::FieldDifferences) {
        compare::appendLineText(first_, difference);
        first_ += "\r\n";
        if (first_.size() >= kWriteBlock) flushFirst();
    } else {
        compare::appendLineText(later_, difference);
        later_ += "\r\n";
        if (later_.size() >= kWriteBlock) flushLater();
    }
}

void TextReportStream::flushFirst() {
    if (!first_.empty()) out_(toLocaleEncoding(first_));
    first_.clear();
}

void TextReportStream::flushLater() {
    if (later_.empty()) return;
    if (!scratch_) scratch_ = std::tmpfile();
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
            compare::appendLineText(lines, d);
            lines += "\r\n";
            if (lines.size() >= kWriteBlock) {
                file.write(toLocaleEncoding(lines));
                lines.clear();
            }
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
