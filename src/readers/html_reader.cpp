#include "html_reader.h"

#include "platform/text.h"

#include <iterator>
#include <optional>

namespace tressel {

namespace {

// A page is searched in at most four windows; a window that finds no "<title" hands
// its last bytes on to the next, so that a marker split between two is still found.
constexpr size_t kWindowSize = 1023;
constexpr int kWindowCount = 4;
constexpr size_t kMarkerOverlap = 5;
// A page in UTF-16 is read as the UTF-8 text of its first 8 KiB.
constexpr size_t kUtf16Head = 8 * 1024;

struct TitleSearch {
    bool seen = false;                // "<title" occurred
    std::optional<std::string> title; // the bytes of a title that closed in its window
    std::string head;                 // the text searched, for the character set
};

TitleSearch FindTitle(ByteSource& source) {
    TitleSearch search;
    uint64_t offset = 0;
    for (int i = 0; i < kWindowCount; ++i) {
        std::string window = source.read(offset, kWindowSize);
        const size_t bytesRead = window.size();
        const bool lastWindow = offset + bytesRead >= source.size();
        // Only the text up to a NUL byte takes part.
        window.resize(window.find('\0') == std::string::npos ? bytesRead : window.find('\0'));
        search.head += window;
        const std::string lower = ToLowerAscii(window);
        const size_t at = lower.find("<title");
        if (at == std::string::npos) {
            if (lastWindow)
                break;
            offset += bytesRead - kMarkerOverlap;
            continue;
        }
        search.seen = true;
        const size_t open = lower.find('>', at);
        const size_t close = open == std::string::npos ? open : lower.find("</title>", open + 1);
        if (close != std::string::npos) {
            search.title = window.substr(open + 1, close - open - 1);
            break;
        }
        if (lastWindow)
            break;
        offset += at; // the next window starts at "<title"
    }
    return search;
}

bool IsCharsetNameByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
}

// The name after key "=" (blanks and quotes around it skipped) in a tag, or empty.
std::string ValueAfter(std::string_view tag, std::string_view lowerTag, std::string_view key) {
    size_t pos = lowerTag.find(key);
    if (pos == std::string_view::npos)
        return {};
    pos += key.size();
    auto skip = [&](std::string_view what) {
        while (pos < tag.size() && what.find(tag[pos]) != std::string_view::npos)
            ++pos;
    };
    skip(" \t\r\n");
    if (pos >= tag.size() || tag[pos] != '=')
        return {};
    ++pos;
    skip(" \t\r\n\"'");
    const size_t start = pos;
    while (pos < tag.size() && IsCharsetNameByte(tag[pos]))
        ++pos;
    return std::string(tag.substr(start, pos - start));
}

// The character set a meta element (charset=, or the content of an http-equiv) or an
// XML declaration names; empty when none does.
std::string DeclaredCharset(std::string_view head) {
    const std::string lower = ToLowerAscii(head);
    if (lower.compare(0, 5, "<?xml") == 0) {
        const size_t end = lower.find("?>");
        std::string name =
            ValueAfter(head.substr(0, end), std::string_view(lower).substr(0, end), "encoding");
        if (!name.empty())
            return name;
    }
    for (size_t at = lower.find("<meta"); at != std::string::npos;
         at = lower.find("<meta", at + 1)) {
        const size_t end = lower.find('>', at);
        const size_t length = end == std::string::npos ? std::string::npos : end - at;
        std::string name = ValueAfter(head.substr(at, length),
                                      std::string_view(lower).substr(at, length), "charset");
        if (!name.empty())
            return name;
    }
    return {};
}

// Browsers read these labels as Windows-1252, whose printable range is a superset.
bool MeansWindows1252(std::string_view charset) {
    for (std::string_view label :
         {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "l1", "us-ascii", "ascii", "cp819",
          "ibm819", "windows-1252", "cp1252", "x-cp1252"})
        if (EqualsNoCase(charset, label))
            return true;
    return false;
}

std::string TitleToUtf8(std::string_view raw, std::string_view charset) {
    if (IsValidUtf8(raw))
        return std::string(raw);
    if (!charset.empty() && !MeansWindows1252(charset) && !StartsWithNoCase(charset, "utf"))
        if (std::optional<std::string> text = CharsetToUtf8(raw, charset))
            return *text;
    return Cp1252ToUtf8(raw);
}

// Runs of white space become one blank, as a browser shows a title.
std::string CollapseWhiteSpace(std::string_view text) {
    std::string out;
    bool pendingBlank = false;
    for (char c : TrimAsciiSpace(text)) {
        if (IsAsciiSpace(c)) {
            pendingBlank = true;
            continue;
        }
        if (pendingBlank)
            out.push_back(' ');
        pendingBlank = false;
        out.push_back(c);
    }
    return out;
}

int DigitValue(char c, int base) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A numeric reference at text[pos] ("&#" already checked); on success appends the
// character and returns the position after the reference.
std::optional<size_t> DecodeNumericReference(std::string_view text, size_t pos, std::string& out) {
    pos += 2;
    int base = 10;
    if (pos < text.size() && (text[pos] == 'x' || text[pos] == 'X')) {
        base = 16;
        ++pos;
    }
    const size_t start = pos;
    char32_t codePoint = 0;
    for (int digit; pos < text.size() && (digit = DigitValue(text[pos], base)) >= 0; ++pos)
        codePoint = codePoint > 0x10FFFF ? codePoint : codePoint * base + digit;
    if (pos == start)
        return std::nullopt;
    if (pos < text.size() && text[pos] == ';')
        ++pos;
    if (codePoint >= 0x80 && codePoint <= 0x9F) {
        // Pages written for Windows mean its code page here (&#150; is a dash).
        out += Cp1252ToUtf8(std::string(1, static_cast<char>(codePoint)));
    } else if (codePoint == 0 || codePoint > 0x10FFFF ||
               (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        AppendUtf8(out, 0xFFFD);
    } else {
        AppendUtf8(out, codePoint);
    }
    return pos;
}

// The named references of HTML 4 that page writers use: its Latin-1 set, in code point
// order from U+00A0, and the punctuation and Windows-1252 extras beyond it.
constexpr std::string_view kLatin1Names[] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
static_assert(std::size(kLatin1Names) == 96);

struct NamedReference {
    std::string_view name;
    char32_t codePoint;
};
constexpr NamedReference kOtherNames[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},
    {"apos", '\''},     {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018},
    {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D},
    {"bdquo", 0x201E},  {"dagger", 0x2020}, {"Dagger", 0x2021}, {"bull", 0x2022},
    {"hellip", 0x2026}, {"permil", 0x2030}, {"lsaquo", 0x2039}, {"rsaquo", 0x203A},
    {"euro", 0x20AC},   {"trade", 0x2122},  {"minus", 0x2212},  {"OElig", 0x152},
    {"oelig", 0x153},   {"Scaron", 0x160},  {"scaron", 0x161},  {"Yuml", 0x178},
    {"fnof", 0x192},    {"circ", 0x2C6},    {"tilde", 0x2DC},   {"ensp", 0x2002},
    {"emsp", 0x2003},   {"thinsp", 0x2009}};

// The character a name (between "&" and ";") stands for, or 0.
char32_t NamedCharacter(std::string_view name) {
    for (size_t i = 0; i < std::size(kLatin1Names); ++i)
        if (kLatin1Names[i] == name)
            return static_cast<char32_t>(0xA0 + i);
    for (const NamedReference& reference : kOtherNames)
        if (reference.name == name)
            return reference.codePoint;
    return 0;
}

} // namespace

std::string DecodeCharacterReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t amp = text.find('&', pos);
        out.append(text.substr(pos, amp - pos));
        if (amp == std::string_view::npos)
            break;
        pos = amp + 1;
        if (text.substr(amp, 2) == "&#") {
            if (std::optional<size_t> next = DecodeNumericReference(text, amp, out)) {
                pos = *next;
                continue;
            }
        }
        // A named reference needs its ";": "AT&T" and "&copy" stay as written.
        const size_t semicolon = text.find(';', pos);
        const char32_t named = semicolon == std::string_view::npos || semicolon - pos > 8
                                   ? 0
                                   : NamedCharacter(text.substr(pos, semicolon - pos));
        if (named) {
            AppendUtf8(out, named);
            pos = semicolon + 1;
        } else {
            out.push_back('&');
        }
    }
    return out;
}

ReadResult ParseHtml(ByteSource& source, const ReadRequest&) {
    ReadResult result(kHtmlFormat.name);
    const std::string bom = source.read(0, 3);
    TitleSearch search;
    if (bom.compare(0, 2, "\xFF\xFE") == 0 || bom.compare(0, 2, "\xFE\xFF") == 0) {
        const std::string units = source.read(2, kUtf16Head);
        const std::string text = bom[0] == '\xFF' ? Utf16LeToUtf8(units) : Utf16BeToUtf8(units);
        MemorySource decoded(text);
        search = FindTitle(decoded);
    } else {
        search = FindTitle(source);
    }
    if (!search.seen)
        return result.refuse(kNoTitleElement);
    result.accept("html");
    if (search.title) {
        const std::string charset =
            bom == "\xEF\xBB\xBF" ? std::string("UTF-8") : DeclaredCharset(search.head);
        result.add(UI_TEXT_NOOP("Labels", "Title"), DecodeCharacterReferences(CollapseWhiteSpace(
                                                        TitleToUtf8(*search.title, charset))));
    }
    return result;
}

} // namespace tressel
