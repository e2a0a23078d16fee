// Reading UTF-8 one code point at a time, and which code points are white space. Enough for names
// and titles: trimming and counting characters without a Unicode library.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorvel::utf8 {

struct CodePoint {
    char32_t value = 0;
    std::size_t length = 1; // bytes taken, at least 1
};

// The code point starting at byte `i`. A stray continuation byte reads as U+FFFD; a sequence cut
// short by the end of the text takes what is left (so nothing loops and no byte is skipped).
inline CodePoint decode(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0x80 && lead < 0xC0) return {0xFFFD, 1}; // not where a character starts
    std::size_t length = lead < 0xC0 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (i + length > text.size()) length = text.size() - i;
    char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return {c, length};
}

// Whether `text` is well-formed UTF-8: no stray or missing continuation bytes, no overlong forms,
// no UTF-16 surrogates, nothing past U+10FFFF. (decode above reads anything; this one judges.)
inline bool isValid(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                 : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// Unicode's white space: the space separators (Zs), tab, line feed, vertical tab, form feed,
// carriage return, next line (U+0085), line and paragraph separators.
constexpr bool isWhiteSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// A regional indicator: two of them make one flag.
constexpr bool isRegionalIndicator(char32_t c) { return c >= 0x1F1E6 && c <= 0x1F1FF; }

} // namespace quorvel::utf8
