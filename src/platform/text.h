#pragma once

// Text conversions. Every text the program produces is UTF-8; bytes taken raw from
// a file are kept when they are valid UTF-8 and otherwise read as Windows-1252.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tressel {

bool IsValidUtf8(std::string_view bytes);

// Raw bytes from a file (tags, titles, comments): kept when valid UTF-8, else Windows-1252.
std::string RawToUtf8(std::string_view bytes);
std::string Cp1252ToUtf8(std::string_view bytes);
// DOS "OEM" names of RAR and ACE archives.
std::string Cp437ToUtf8(std::string_view bytes);
// UTF-16 code units as bytes; an odd trailing byte is dropped, unpaired surrogates
// become U+FFFD. Conversion stops at the first NUL code unit.
std::string Utf16LeToUtf8(std::string_view bytes);
std::string Utf16BeToUtf8(std::string_view bytes);
void AppendUtf8(std::string& out, char32_t codePoint);
// Bytes in a character set named by a file (an iconv name such as "ISO-8859-15" or
// "Shift_JIS"), as UTF-8; a sequence the set does not define becomes U+FFFD. Nothing
// when the name is not a character set iconv knows.
std::optional<std::string> CharsetToUtf8(std::string_view bytes, std::string_view charset);

// For output that must be valid UTF-8: every invalid byte becomes U+FFFD.
std::string ToValidUtf8(std::string_view bytes);

// Case-insensitive comparison as the program uses it everywhere (sort tie-breaks,
// extension matches, clash tests): ASCII letters folded, then bytes compared unsigned.
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
std::string ToLowerAscii(std::string_view text);
char ToLowerAscii(char c);

// Letters and digits as the cleaning routines count them: ASCII letters and digits,
// and every byte of a multi-byte UTF-8 character, so "Über" counts as a word.
bool IsWordByte(unsigned char c);
bool IsAsciiSpace(char c);
// The length in bytes of the control character that starts at text[i]: 1 for
// U+0000-U+001F and U+007F, 2 for U+0080-U+009F (C2 80 to C2 9F), 0 for anything
// else. A lone byte 0x80-0x9F is no character of its own and gives 0.
size_t ControlCharacterLength(std::string_view text, size_t i);
std::string_view TrimAsciiSpace(std::string_view text);

std::string ToHex(std::string_view bytes);

} // namespace tressel
