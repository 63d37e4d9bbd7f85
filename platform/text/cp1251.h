// Code page 1251, the code page of the files operators and other programs read
// (the verification protocol). Sources and the screen use UTF-8; the conversion
// is one table of our own, checked byte for byte against the C library's iconv.
//
// Decoding never fails: every byte 0x00..0xFF has a character. The one byte the
// code page leaves unassigned, 0x98, decodes to U+0098 (as Windows does), so any
// byte string survives decoding and encoding unchanged.
//
// Encoding replaces what the code page cannot hold with kReplacement ('?'): a
// character outside code page 1251, and each byte of a malformed UTF-8 sequence
// (a stray continuation byte, a truncated or overlong sequence, a surrogate, a
// value above U+10FFFF).
#pragma once

#include <string>
#include <string_view>

namespace ortav::text {

inline constexpr char kReplacement = '?';

// The character of a code page 1251 byte.
char32_t cp1251ToUnicode(unsigned char byte);
// The byte of a character, or -1 when code page 1251 has none.
int unicodeToCp1251(char32_t ch);

// UTF-8 to code page 1251.
std::string toCp1251(std::string_view utf8);
// Code page 1251 to UTF-8.
std::string fromCp1251(std::string_view cp1251);

} // namespace ortav::text
