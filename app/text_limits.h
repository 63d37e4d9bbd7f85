// Texts copied into the fixed fields of the instrument table and the status
// line are cut at the field's end, but never inside a character.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// Copies at most size - 1 bytes of text and ends it with a zero; a character of
// several UTF-8 bytes that does not fit whole is left out.
inline void copyText(char *dst, std::size_t size, std::string_view text) {
    if (size == 0)
        return;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    if (n < text.size()) {
        // Step back over continuation bytes to the start of the cut character.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
}
