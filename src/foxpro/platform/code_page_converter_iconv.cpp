// CodePageConverter through the C library's iconv.

#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/code_page_converter.h"

namespace quorvel::foxpro::platform {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);  // iconv_open's failure value

// The iconv name of a Windows code page number: "CP" and the number, but for
// the few that glibc knows only by another name.
std::string iconvName(int codePage) {
    switch (codePage) {
        case 65001:
            return "UTF-8";
        case 10000:
            return "MACINTOSH";
        case 10007:
            return "MAC-CYRILLIC";
        case 10029:
            return "MAC-CENTRALEUROPE";
        case 20127:
            return "ASCII";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 20932:
            return "EUC-JP";
        case 51949:
            return "EUC-KR";
        case 54936:
            return "GB18030";
        default:
            break;
    }
    // ISO 8859-n: 28591 .. 28599, 28603, 28605.
    if (codePage > 28590 && codePage < 28606) return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

class IconvConverter : public CodePageConverter {
  public:
    IconvConverter(iconv_t toUtf8, iconv_t fromUtf8) : toUtf8_(toUtf8), fromUtf8_(fromUtf8) {}
    ~IconvConverter() override {
        iconv_close(toUtf8_);
        iconv_close(fromUtf8_);
    }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    std::size_t decode(std::string_view bytes, std::string& out) override {
        iconv(toUtf8_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes.data());
        std::size_t inLeft = bytes.size();
        while (inLeft > 0) {
            char buffer[1024];
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(toUtf8_, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            // E2BIG: the buffer is full, go on; anything else stops here.
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) break;
        }
        // Some converters (1255, 1258) hold a character back in case a
        // combining mark follows: let it out.
        char buffer[64];
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(toUtf8_, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        return bytes.size() - inLeft;
    }

    bool encode(std::string_view character, std::string& out) override {
        iconv(fromUtf8_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(character.data());
        std::size_t inLeft = character.size();
        char buffer[16];
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        if (iconv(fromUtf8_, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0)
            return false;
        // A stateful encoding ends its shift sequence here.
        iconv(fromUtf8_, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        return true;
    }

  private:
    iconv_t toUtf8_;
    iconv_t fromUtf8_;
};

}  // namespace

std::unique_ptr<CodePageConverter> CodePageConverter::open(int codePage) {
    if (codePage <= 0) return nullptr;
    const std::string name = iconvName(codePage);
    // EINVAL: a conversion the system does not have; anything else is a
    // module it has but could not load.
    const auto failed = [&name]() -> std::unique_ptr<CodePageConverter> {
        const int error = errno;
        if (error == EINVAL) return nullptr;
        throw FoxProError(kErrorFile, "code page " + name +
                                          ": cannot load its conversion: " + std::strerror(error));
    };
    iconv_t toUtf8 = iconv_open("UTF-8", name.c_str());
    if (toUtf8 == kNoConverter) return failed();
    iconv_t fromUtf8 = iconv_open(name.c_str(), "UTF-8");
    if (fromUtf8 == kNoConverter) {
        const int error = errno;
        iconv_close(toUtf8);
        errno = error;
        return failed();
    }
    return std::make_unique<IconvConverter>(toUtf8, fromUtf8);
}

}  // namespace quorvel::foxpro::platform
