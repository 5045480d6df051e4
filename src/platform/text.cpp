#include "text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace tressel {

namespace {

// Length of the valid UTF-8 sequence starting at p, or 0 when it is not valid.
size_t Utf8SequenceLength(const unsigned char* p, size_t left) {
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    size_t len;
    char32_t cp;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (left < len)
        return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// Decodes a single-byte code page through iconv; a byte the code page leaves
// undefined is kept as the C1 control of the same value, so nothing is lost.
std::string SingleByteToUtf8(std::string_view bytes, const char* codePage) {
    std::string out;
    out.reserve(bytes.size() * 2);
    iconv_t cd = iconv_open("UTF-8", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (unsigned char c : bytes)
            AppendUtf8(out, c);
        return out;
    }
    char buffer[8];
    for (char byte : bytes) {
        if (static_cast<unsigned char>(byte) < 0x80) {
            out.push_back(byte);
            continue;
        }
        char* in = &byte;
        size_t inLeft = 1;
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        if (iconv(cd, &in, &inLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            AppendUtf8(out, static_cast<unsigned char>(byte));
        } else {
            out.append(buffer, static_cast<size_t>(dst - buffer));
        }
    }
    iconv_close(cd);
    return out;
}

template <bool BigEndian> std::string Utf16ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    auto unit = [&](size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return BigEndian ? (char32_t(a) << 8 | b) : (char32_t(b) << 8 | a);
    };
    for (size_t i = 0; i < units; ++i) {
        char32_t u = unit(i);
        if (u == 0)
            break;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    return out;
}

// A name taken from a file is handed to iconv_open only when it looks like a character
// set name: no paths, no "//TRANSLIT" suffixes.
bool IsPlainCharsetName(std::string_view name) {
    if (name.empty() || name.size() > 40)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.' || c == ':';
    });
}

} // namespace

std::optional<std::string> CharsetToUtf8(std::string_view bytes, std::string_view charset) {
    if (!IsPlainCharsetName(charset))
        return std::nullopt;
    iconv_t cd = iconv_open("UTF-8", std::string(charset).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    std::string input(bytes);
    char* in = input.data();
    size_t inLeft = input.size();
    char buffer[256];
    // Every step either converts input or skips one undefined byte, and the output is
    // capped, so the loop ends on any bytes.
    const size_t outputCap = 8 * bytes.size() + 64;
    while (inLeft > 0 && out.size() < outputCap) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t done = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (done != static_cast<size_t>(-1) || errno == E2BIG)
            continue;
        // An undefined or cut sequence: one replacement character, then the next byte.
        AppendUtf8(out, 0xFFFD);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        ++in;
        --inLeft;
    }
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft); // the closing shift of stateful sets
    out.append(buffer, static_cast<size_t>(dst - buffer));
    iconv_close(cd);
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp <= 0x10FFFF) {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        AppendUtf8(out, 0xFFFD);
    }
}

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t len = Utf8SequenceLength(p + i, bytes.size() - i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string ToValidUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t len = Utf8SequenceLength(p + i, bytes.size() - i);
        if (len == 0) {
            AppendUtf8(out, 0xFFFD);
            ++i;
        } else {
            out.append(bytes.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string RawToUtf8(std::string_view bytes) {
    return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    return SingleByteToUtf8(bytes, "WINDOWS-1252");
}
std::string Cp437ToUtf8(std::string_view bytes) {
    return SingleByteToUtf8(bytes, "CP437");
}
std::string Utf16LeToUtf8(std::string_view bytes) {
    return Utf16ToUtf8<false>(bytes);
}
std::string Utf16BeToUtf8(std::string_view bytes) {
    return Utf16ToUtf8<true>(bytes);
}

char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = ToLowerAscii(c);
    return out;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(ToLowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(ToLowerAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool IsWordByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}

bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

size_t ControlCharacterLength(std::string_view text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F)
        return 1;
    if (c == 0xC2 && i + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[i + 1]);
        return next >= 0x80 && next <= 0x9F ? 2 : 0;
    }
    return 0;
}

std::string_view TrimAsciiSpace(std::string_view text) {
    while (!text.empty() && IsAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string ToHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

} // namespace tressel
