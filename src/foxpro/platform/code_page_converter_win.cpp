// CodePageConverter through the system's own tables (MultiByteToWideChar,
// WideCharToMultiByte).
#include <windows.h>

#include <algorithm>

#include "foxpro/platform/code_page_converter.h"
#include "foxpro/platform/wide_path.h"

namespace quorvel::foxpro::platform {

namespace {

// Windows decodes the user-defined ranges of these double-byte pages to
// private-use characters, where the C library's tables of the POSIX build
// have no character (and the table-access layer keeps the bytes as they
// are).  They count as no character here too, so that both builds give the
// same text of the same table.
bool userDefinedIsPrivateUse(int codePage) {
    return codePage == 936 || codePage == 949 || codePage == 950;
}

bool isPrivateUse(wchar_t c) {
    return c >= 0xE000 && c <= 0xF8FF;
}

// Windows decodes the bytes these single-byte pages leave undefined (0x81 of
// 1252, say) to the C1 control of the same number, where the C library's
// tables have no character.  None of their defined bytes is such a control,
// so a C1 control counts as no character here, in both directions.
bool undefinedIsC1Control(int codePage) {
    return codePage == 874 || (codePage >= 1250 && codePage <= 1258);
}

bool isC1Control(wchar_t c) {
    return c >= 0x80 && c <= 0x9F;
}

// Pages whose conversions take no flags (the stateful ISO 2022 ones, UTF-7,
// GB 18030 and the like); UTF-8 takes only the error flag.
bool takesNoFlags(int codePage) {
    return codePage == 42 || codePage == 54936 || codePage == 52936 || codePage == 65000 ||
           (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011);
}

class WindowsConverter : public CodePageConverter {
  public:
    WindowsConverter(int codePage, int longestCharacter)
        : codePage_(static_cast<UINT>(codePage)),
          longest_(longestCharacter),
          privateUseRefused_(userDefinedIsPrivateUse(codePage)),
          c1Refused_(undefinedIsC1Control(codePage)) {
        const bool utf8 = codePage == 65001;
        decodeFlags_ = takesNoFlags(codePage) ? 0 : MB_ERR_INVALID_CHARS;
        encodeFlags_ =
            utf8 ? WC_ERR_INVALID_CHARS : (takesNoFlags(codePage) ? 0 : WC_NO_BEST_FIT_CHARS);
        askDefault_ = !utf8 && !takesNoFlags(codePage);
    }

    std::size_t decode(std::string_view bytes, std::string& out) override {
        // Most text converts whole at once; else it goes a character at a
        // time up to the first sequence that is none.
        if (appendDecoded(bytes, out)) return bytes.size();
        std::size_t done = 0;
        while (done < bytes.size()) {
            std::size_t length = 0;
            const std::size_t most = std::min<std::size_t>(longest_, bytes.size() - done);
            for (std::size_t n = 1; n <= most && length == 0; ++n)
                if (appendDecoded(bytes.substr(done, n), out)) length = n;
            if (length == 0) break;
            done += length;
        }
        return done;
    }

    bool encode(std::string_view character, std::string& out) override {
        const std::wstring wide = wideFromUtf8(character);
        if (wide.empty()) return false;
        if (privateUseRefused_ && isPrivateUse(wide[0])) return false;
        if (c1Refused_ && isC1Control(wide[0])) return false;
        char buffer[16];
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(codePage_, encodeFlags_, wide.data(),
                                          static_cast<int>(wide.size()), buffer, sizeof buffer,
                                          nullptr, askDefault_ ? &usedDefault : nullptr);
        if (n <= 0 || usedDefault) return false;
        out.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

  private:
    // Appends the UTF-8 form when all of bytes are whole, valid characters.
    bool appendDecoded(std::string_view bytes, std::string& out) {
        if (bytes.empty()) return true;
        const int size = static_cast<int>(bytes.size());
        wide_.resize(bytes.size() * 2);
        const int n = MultiByteToWideChar(codePage_, decodeFlags_, bytes.data(), size, wide_.data(),
                                          static_cast<int>(wide_.size()));
        if (n <= 0) return false;
        const std::wstring_view text(wide_.data(), static_cast<std::size_t>(n));
        for (const wchar_t c : text)
            if ((privateUseRefused_ && isPrivateUse(c)) || (c1Refused_ && isC1Control(c)))
                return false;
        out += utf8FromWide(text);
        return true;
    }

    UINT codePage_;
    int longest_;
    bool privateUseRefused_;
    bool c1Refused_;
    DWORD decodeFlags_ = 0;
    DWORD encodeFlags_ = 0;
    bool askDefault_ = true;
    std::wstring wide_;
};

}  // namespace

std::unique_ptr<CodePageConverter> CodePageConverter::open(int codePage) {
    if (codePage <= 0 || !IsValidCodePage(static_cast<UINT>(codePage))) return nullptr;
    CPINFO info{};
    const int longest = GetCPInfo(static_cast<UINT>(codePage), &info) && codePage != 65001 &&
                                !takesNoFlags(codePage)
                            ? static_cast<int>(info.MaxCharSize)
                            : 4;
    return std::make_unique<WindowsConverter>(codePage, longest);
}

}  // namespace quorvel::foxpro::platform
