#pragma once

// The operating system's conversion between one code page and UTF-8: iconv
// on Linux (code_page_converter_iconv.cpp); a Windows build puts
// MultiByteToWideChar and WideCharToMultiByte behind the same two calls.
// The table-access layer's own rules (what an undefined byte becomes, what
// a writer refuses) are kept above it, in code_page.cpp.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quorvel::foxpro::platform {

// Converts text of one code page, named by its Windows number (1252, 866,
// 936, 65001 ...).  An instance carries conversion state: use it from one
// thread at a time.
class CodePageConverter {
  public:
    // Null when the system cannot convert the code page.  One it knows but
    // cannot load now (too many files open) throws FoxProError(kErrorFile,
    // "code page NAME: cannot load its conversion: <reason>"), so that such
    // text is not taken for text of a code page the system lacks.
    static std::unique_ptr<CodePageConverter> open(int codePage);

    virtual ~CodePageConverter() = default;

    // Appends to out the UTF-8 form of the longest start of bytes that is
    // made of whole, valid characters, and returns its length in bytes: less
    // than bytes.size() when the conversion stops at a sequence that is
    // invalid or cut off (the caller decides what such bytes become).
    virtual std::size_t decode(std::string_view bytes, std::string& out) = 0;

    // Appends the code page's bytes for one character, given as its UTF-8
    // form.  False, with out unchanged, when the code page has no such
    // character.
    virtual bool encode(std::string_view character, std::string& out) = 0;
};

}  // namespace quorvel::foxpro::platform
