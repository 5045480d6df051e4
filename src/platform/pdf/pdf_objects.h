#pragma once

// PDF objects as far as a document's information needs them: a bounded parser of
// numbers, names, strings, arrays, dictionaries and references from bytes in memory,
// and the decoding of text strings to UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel::pdf {

struct DictionaryEntry;

struct Object {
    enum class Kind {
        Null,
        Boolean,
        Integer,
        Real,
        Name,
        String,
        Array,
        Dictionary,
        Reference,
        Keyword
    };
    Kind kind = Kind::Null;
    int64_t number = 0;        // an integer, a real's whole part, a reference's object number
    int64_t generation = 0;    // a reference's generation
    std::string text;          // a name (without "/"), a string's bytes, a keyword
    std::vector<Object> items; // an array
    std::vector<DictionaryEntry> entries; // a dictionary, in file order

    // The first entry named key of a dictionary; null when there is none.
    const Object* find(std::string_view key) const;
    std::optional<int64_t> integer() const;
    bool isName(std::string_view name) const { return kind == Kind::Name && text == name; }
};

struct DictionaryEntry {
    std::string key;
    Object value;
};

// Reads objects from bytes held in memory. Nesting and the number of objects made are
// capped, so any input is parsed in bounded time and memory; a dictionary or array cut
// short by the end of the bytes keeps the members read so far.
class Parser {
public:
    explicit Parser(std::string_view bytes, size_t position = 0)
        : m_bytes(bytes), m_pos(position) {}

    // The next object; "N G R" is read as a reference. Nothing at the end of the bytes
    // or on a token that starts no object (">>", "]", ")").
    std::optional<Object> parseObject();
    // The next token when it is this keyword ("obj", "stream", "xref", "trailer").
    bool takeKeyword(std::string_view keyword);
    // The next token when it is a non-negative integer.
    std::optional<int64_t> takeInteger();
    void skipWhiteSpace();
    size_t position() const { return m_pos; }
    bool atEnd() const { return m_pos >= m_bytes.size(); }

private:
    std::optional<Object> parseAt(int depth);
    Object parseDictionary(int depth);
    Object parseArray(int depth);
    std::string parseLiteralString();
    std::string parseHexString();
    std::string parseName();
    Object parseNumberOrReference();
    std::string_view regularRun();

    std::string_view m_bytes;
    size_t m_pos;
    int m_objectsMade = 0;
};

bool IsWhiteSpace(char c);
bool IsDelimiter(char c);

// A text string's bytes as UTF-8: UTF-16 with its byte-order mark (big- or
// little-endian), UTF-8 with its mark, bytes that are valid UTF-8 anyway, else
// PDFDocEncoding.
std::string TextToUtf8(std::string_view bytes);
std::string PdfDocToUtf8(std::string_view bytes);

} // namespace tressel::pdf
