#include "platform/linux/Utf8Widening.h"

#include <array>
#include <cstdint>

namespace platform {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;

// Lead-byte forms of UTF-8: the bits the lead byte carries, how many continuation bytes follow,
// and the smallest code point that form may encode (anything lower is an overlong encoding).
struct LeadForm {
    uint8_t mask;
    uint8_t pattern;
    int continuationBytes;
    char32_t minimum;
};

constexpr std::array<LeadForm, 4> leadForms{{
    {0x80, 0x00, 0, 0x0},
    {0xE0, 0xC0, 1, 0x80},
    {0xF0, 0xE0, 2, 0x800},
    {0xF8, 0xF0, 3, 0x10000},
}};

// Decodes the code point at `at`, advancing `at` past it; U+FFFD and one byte when malformed.
char32_t decodeAt(const std::string& text, std::size_t& at) {
    const auto lead = static_cast<uint8_t>(text[at]);
    for (const auto& form : leadForms) {
        if ((lead & form.mask) != form.pattern)
            continue;
        if (text.size() - at <= static_cast<std::size_t>(form.continuationBytes))
            break;
        char32_t codePoint = lead & static_cast<uint8_t>(~form.mask & 0x7F);
        for (int i = 1; i <= form.continuationBytes; ++i) {
            const auto next = static_cast<uint8_t>(text[at + static_cast<std::size_t>(i)]);
            if ((next & 0xC0) != 0x80) {
                ++at;
                return replacementCharacter;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < form.minimum || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            break;
        at += static_cast<std::size_t>(form.continuationBytes) + 1;
        return codePoint;
    }
    ++at;
    return replacementCharacter;
}

}  // namespace

std::u16string widenUtf8(const std::string& text) {
    std::u16string wide;
    for (std::size_t at = 0; at < text.size();) {
        const char32_t codePoint = decodeAt(text, at);
        if (codePoint < 0x10000) {
            wide.push_back(static_cast<char16_t>(codePoint));
        } else {
            const char32_t offset = codePoint - 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        }
    }
    return wide;
}

}  // namespace platform
