#include "pdf_objects.h"

#include "platform/text.h"

namespace tressel::pdf {

namespace {

constexpr int kMaxDepth = 32;
constexpr int kMaxObjects = 20000;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// PDFDocEncoding where it differs from Latin-1: 0x18-0x1F and 0x80-0xA0 (0 marks the
// codes it leaves undefined).
constexpr char16_t kLow[8] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
constexpr char16_t kHigh[33] = {
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
    0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
    0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0,      0x20AC};

} // namespace

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool IsDelimiter(char c) {
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' ||
           c == '}' || c == '/' || c == '%';
}

const Object* Object::find(std::string_view key) const {
    for (const DictionaryEntry& entry : entries)
        if (entry.key == key)
            return &entry.value;
    return nullptr;
}

std::optional<int64_t> Object::integer() const {
    if (kind == Kind::Integer)
        return number;
    return std::nullopt;
}

void Parser::skipWhiteSpace() {
    while (m_pos < m_bytes.size()) {
        if (IsWhiteSpace(m_bytes[m_pos])) {
            ++m_pos;
        } else if (m_bytes[m_pos] == '%') {
            while (m_pos < m_bytes.size() && m_bytes[m_pos] != '\n' && m_bytes[m_pos] != '\r')
                ++m_pos;
        } else {
            break;
        }
    }
}

std::string_view Parser::regularRun() {
    const size_t start = m_pos;
    while (m_pos < m_bytes.size() && !IsWhiteSpace(m_bytes[m_pos]) && !IsDelimiter(m_bytes[m_pos]))
        ++m_pos;
    return m_bytes.substr(start, m_pos - start);
}

bool Parser::takeKeyword(std::string_view keyword) {
    skipWhiteSpace();
    const size_t start = m_pos;
    if (regularRun() == keyword)
        return true;
    m_pos = start;
    return false;
}

std::optional<int64_t> Parser::takeInteger() {
    skipWhiteSpace();
    const size_t start = m_pos;
    const std::string_view run = regularRun();
    // Fifteen digits hold every offset and object number a file can have.
    bool digits = !run.empty() && run.size() <= 15;
    int64_t value = 0;
    for (size_t i = 0; digits && i < run.size(); ++i) {
        digits = run[i] >= '0' && run[i] <= '9';
        value = value * 10 + (run[i] - '0');
    }
    if (digits)
        return value;
    m_pos = start;
    return std::nullopt;
}

std::optional<Object> Parser::parseObject() {
    return parseAt(0);
}

std::optional<Object> Parser::parseAt(int depth) {
    skipWhiteSpace();
    if (atEnd() || depth > kMaxDepth || ++m_objectsMade > kMaxObjects)
        return std::nullopt;
    const char c = m_bytes[m_pos];
    Object object;
    if (c == '/') {
        object.kind = Object::Kind::Name;
        object.text = parseName();
    } else if (c == '(') {
        object.kind = Object::Kind::String;
        object.text = parseLiteralString();
    } else if (c == '<' && m_bytes.substr(m_pos, 2) == "<<") {
        object = parseDictionary(depth);
    } else if (c == '<') {
        object.kind = Object::Kind::String;
        object.text = parseHexString();
    } else if (c == '[') {
        object = parseArray(depth);
    } else if (c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9')) {
        object = parseNumberOrReference();
    } else if (IsDelimiter(c)) {
        return std::nullopt;
    } else {
        object.text = std::string(regularRun());
        object.kind = object.text == "null"                             ? Object::Kind::Null
                      : object.text == "true" || object.text == "false" ? Object::Kind::Boolean
                                                                        : Object::Kind::Keyword;
        object.number = object.text == "true";
    }
    return object;
}

Object Parser::parseDictionary(int depth) {
    Object dictionary;
    dictionary.kind = Object::Kind::Dictionary;
    m_pos += 2;
    for (;;) {
        skipWhiteSpace();
        if (atEnd())
            break;
        if (m_bytes.substr(m_pos, 2) == ">>") {
            m_pos += 2;
            break;
        }
        if (m_bytes[m_pos] != '/')
            break; // not a key: keep what was read
        std::string key = parseName();
        std::optional<Object> value = parseAt(depth + 1);
        if (!value)
            break;
        dictionary.entries.push_back({std::move(key), std::move(*value)});
    }
    return dictionary;
}

Object Parser::parseArray(int depth) {
    Object array;
    array.kind = Object::Kind::Array;
    ++m_pos;
    for (;;) {
        skipWhiteSpace();
        if (atEnd())
            break;
        if (m_bytes[m_pos] == ']') {
            ++m_pos;
            break;
        }
        std::optional<Object> item = parseAt(depth + 1);
        if (!item)
            break;
        array.items.push_back(std::move(*item));
    }
    return array;
}

// Balanced parentheses, the escapes of the format, and an unescaped line end read as
// one line feed.
std::string Parser::parseLiteralString() {
    std::string out;
    int open = 1;
    ++m_pos;
    while (m_pos < m_bytes.size()) {
        const char c = m_bytes[m_pos++];
        if (c == '(') {
            ++open;
        } else if (c == ')' && --open == 0) {
            break;
        } else if (c == '\r') {
            if (m_pos < m_bytes.size() && m_bytes[m_pos] == '\n')
                ++m_pos;
            out.push_back('\n');
            continue;
        } else if (c == '\\' && m_pos < m_bytes.size()) {
            const char e = m_bytes[m_pos++];
            switch (e) {
            case 'n':
                out.push_back('\n');
                continue;
            case 'r':
                out.push_back('\r');
                continue;
            case 't':
                out.push_back('\t');
                continue;
            case 'b':
                out.push_back('\b');
                continue;
            case 'f':
                out.push_back('\f');
                continue;
            case '\r':
                if (m_pos < m_bytes.size() && m_bytes[m_pos] == '\n')
                    ++m_pos;
                continue;
            case '\n':
                continue;
            default:
                break;
            }
            if (e >= '0' && e <= '7') {
                int value = e - '0';
                for (int i = 0; i < 2 && m_pos < m_bytes.size() && m_bytes[m_pos] >= '0' &&
                                m_bytes[m_pos] <= '7';
                     ++i)
                    value = value * 8 + (m_bytes[m_pos++] - '0');
                out.push_back(static_cast<char>(value & 0xFF));
            } else {
                out.push_back(e); // \( \) \\ and unknown escapes: the character itself
            }
            continue;
        }
        out.push_back(c);
    }
    return out;
}

std::string Parser::parseHexString() {
    std::string out;
    int high = -1;
    ++m_pos;
    while (m_pos < m_bytes.size()) {
        const char c = m_bytes[m_pos++];
        if (c == '>')
            break;
        const int value = HexValue(c);
        if (value < 0)
            continue;
        if (high < 0) {
            high = value;
        } else {
            out.push_back(static_cast<char>(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0)
        out.push_back(static_cast<char>(high << 4)); // an odd last digit is followed by 0
    return out;
}

std::string Parser::parseName() {
    ++m_pos;
    const std::string_view run = regularRun();
    std::string name;
    for (size_t i = 0; i < run.size(); ++i) {
        if (run[i] == '#' && i + 2 < run.size() && HexValue(run[i + 1]) >= 0 &&
            HexValue(run[i + 2]) >= 0) {
            name.push_back(static_cast<char>(HexValue(run[i + 1]) << 4 | HexValue(run[i + 2])));
            i += 2;
        } else {
            name.push_back(run[i]);
        }
    }
    return name;
}

Object Parser::parseNumberOrReference() {
    Object object;
    const std::string_view run = regularRun();
    object.kind =
        run.find('.') == std::string_view::npos ? Object::Kind::Integer : Object::Kind::Real;
    size_t i = run.empty() || (run[0] != '+' && run[0] != '-') ? 0 : 1;
    int64_t value = 0;
    for (; i < run.size() && run[i] >= '0' && run[i] <= '9'; ++i)
        value = value < 100000000000000 ? value * 10 + (run[i] - '0') : value;
    object.number = !run.empty() && run[0] == '-' ? -value : value;
    if (object.kind != Object::Kind::Integer || object.number < 0)
        return object;
    // "N G R": two integers and the keyword make a reference.
    const size_t afterFirst = m_pos;
    const std::optional<int64_t> generation = takeInteger();
    if (generation && takeKeyword("R")) {
        object.kind = Object::Kind::Reference;
        object.generation = *generation;
        return object;
    }
    m_pos = afterFirst;
    return object;
}

std::string PdfDocToUtf8(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        char32_t code = c;
        if (c >= 0x18 && c <= 0x1F)
            code = kLow[c - 0x18];
        else if (c >= 0x80 && c <= 0xA0)
            code = kHigh[c - 0x80] ? kHigh[c - 0x80] : 0xFFFD;
        else if (c == 0x7F || c == 0xAD)
            code = c == 0x7F ? 0xFFFD : 0xAD;
        AppendUtf8(out, code);
    }
    return out;
}

std::string TextToUtf8(std::string_view bytes) {
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return Utf16BeToUtf8(bytes.substr(2));
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return Utf16LeToUtf8(bytes.substr(2));
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return ToValidUtf8(bytes.substr(3));
    // Many writers put UTF-8 into plain strings; PDFDocEncoding text is rarely valid
    // UTF-8 once it holds anything beyond ASCII.
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return PdfDocToUtf8(bytes);
}

} // namespace tressel::pdf
