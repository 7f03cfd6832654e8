#include <iconv.h>
#include <langinfo.h>

#include <cerrno>

#include "foxpro/platform/user_text.h"

namespace quorvel::foxpro::platform {

namespace {

bool isUtf8OrAscii(const char* codeset) {
    const std::string name = codeset ? codeset : "";
    // The C locale's codeset only says that no locale was chosen; the text
    // is then written as it is held, in UTF-8.
    return name.empty() || name == "UTF-8" || name == "utf8" || name == "ANSI_X3.4-1968" ||
           name == "ASCII" || name == "US-ASCII";
}

}  // namespace

std::string toUserTextEncoding(const std::string& utf8) {
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

}  // namespace quorvel::foxpro::platform
