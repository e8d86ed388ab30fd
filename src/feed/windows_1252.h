#pragma once

// The Windows-1252 code page, shared by the URL encoding of the commit (characters to bytes), the
// feed reader and the server's form decoding (bytes to characters), so that every side reads a
// byte the same way.
namespace windows_1252 {

// The characters that Windows-1252 puts at 0x80 to 0x9F, by byte; 0 where the byte has no
// character of its own and stands for the control character of the same number. Every other
// byte is the character of the same number.
inline constexpr char16_t kHighBlock[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The character of one byte.
constexpr char16_t character(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    const char16_t high = kHighBlock[byte - 0x80];
    return high ? high : char16_t(byte);
}

}  // namespace windows_1252
