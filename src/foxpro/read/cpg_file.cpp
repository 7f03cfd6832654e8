#include "foxpro/read/cpg_file.h"

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/file_reader.h"
#include "foxpro/platform/regular_file.h"
#include "foxpro/read/file_names.h"
#include "foxpro/text/code_page.h"
#include "foxpro/text/code_page_name.h"

namespace quorvel::foxpro {

namespace {

// A .cpg holds one short line; more than this is no .cpg.
constexpr std::size_t kMaxCpgBytes = 256;

// The line as a message may show it: printable ASCII, others as '?'.
std::string shown(const std::string& line) {
    std::string out;
    for (char c : line.substr(0, 40)) out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    return out;
}

}  // namespace

CpgFile readCpgFile(const std::string& tablePath) {
    CpgFile result;
    std::string stem = fileNameOf(tablePath);
    if (const auto dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
    const std::string path = findFileNoCase(parentFolder(tablePath), stem + ".cpg");
    if (path.empty()) return result;
    const std::string name = fileNameOf(path);

    // Read only when it is a regular file (a FIFO or a folder of that name
    // must not hang the read, and is as good as none).  A .cpg that is
    // there but cannot be read (no permission, too many files open) stops
    // the read with its cause: the table's text would be read in the wrong
    // code page without it.
    if (platform::pathKind(path) != platform::PathKind::RegularFile) return result;
    std::string text;
    {
        const platform::FileReader file(path, name);
        char buffer[kMaxCpgBytes + 1];
        text.assign(buffer, file.readAt(0, buffer, sizeof buffer));
    }
    if (text.size() > kMaxCpgBytes) {
        result.warning = name + ": longer than a code page name; ignored";
        return result;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // a UTF-8 byte order mark
    text = text.substr(0, text.find_first_of("\r\n"));
    const int codePage = codePageNamed(text);
    if (codePage == 0 || !canConvertCodePage(codePage)) {
        result.warning =
            name + ": '" + shown(text) + "' names no code page that can be read; ignored";
        return result;
    }
    result.codePage = codePage;
    return result;
}

}  // namespace quorvel::foxpro
