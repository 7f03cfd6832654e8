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

void WriteTextFile(const std::string& text, const std::string& path,
                   const std::vector<std::string>& sourceFiles) {
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
    std::string target = path;
    struct stat info {};
    bool exists = false;
    if (lstat(path.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode)) {
            char resolved[PATH_MAX];
            if (realpath(path.c_str(), resolved) != nullptr) target = resolved;
        }
        if (stat(target.c_str(), &info) == 0) {
            if (S_ISDIR(info.st_mode)) raise(path, EISDIR);
            exists = S_ISREG(info.st_mode);
        }
    }

    const std::string bytes = textFileBytes(text);
    const std::string folder = folderOf(target);
    // A hidden name that tells whose it is, so that what a killed run left
    // is removed by a later one (foxpro/temporary_files.h).
    const std::string temporary = folder + "/" + foxpro::temporaryName(foxpro::kNewFileSuffix);
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) raise(path, errno);

    auto abandon = [&](int error) {
        close(fd);
        unlink(temporary.c_str());
        raise(path, error);
    };
    // A replaced report keeps the permissions of the one it replaces.
    if (exists && fchmod(fd, info.st_mode & 07777) != 0) abandon(errno);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon(errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) abandon(errno);
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        raise(path, error);
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        raise(path, error);
    }
}

}  // namespace quorvel::results
