#pragma once

// Texts for the user composed in plain C++. A text is an English pattern with places
// %1 to %9, marked for translation, and the values of its places, which are texts
// themselves (a report line keeps its subject's own pattern). The window shows a text
// translated (listview/translated_text.h); the command-line tool prints english(),
// which is the pattern filled in.
//
//     report(UI_TEXT("Grouping", "Grouped %1 File(s)").arg(n), 0);
//
// A std::string or a C string converts to a text shown as it is: a path, a name, a
// system's message.

#include <iosfwd>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// An English pattern for the translation source: lupdate reads UI_TEXT("Context",
// "pattern") as QT_TRANSLATE_NOOP. Both arguments must be string literals; the context
// groups the texts of one command for the translator.
#define UI_TEXT(context, pattern) (::tressel::UiText(::tressel::TextPattern{context, pattern}))
// The same mark on a static text kept as a plain literal (a reader's refusal reason); it
// becomes a text with UiText(TextPattern{context, text}) where it is shown.
#define UI_TEXT_NOOP(context, text) text

namespace tressel {

struct TextPattern {
    const char* context = nullptr;
    const char* source = nullptr;
};

class UiText {
public:
    UiText() = default;
    UiText(std::string plain) : m_plain(std::move(plain)) {}
    UiText(const char* plain) : m_plain(plain) {}
    explicit UiText(TextPattern pattern) : m_pattern(pattern) {}

    // The text with its next place filled, in the order %1, %2, ...
    UiText arg(UiText value) const&;
    UiText arg(UiText value) &&;
    // A count, in decimal.
    template <class Number, std::enable_if_t<std::is_integral_v<Number>, int> = 0>
    UiText arg(Number number) const& {
        return arg(UiText(std::to_string(number)));
    }
    template <class Number, std::enable_if_t<std::is_integral_v<Number>, int> = 0>
    UiText arg(Number number) && {
        return std::move(*this).arg(UiText(std::to_string(number)));
    }

    bool translatable() const { return m_pattern.source != nullptr; }
    const TextPattern& pattern() const { return m_pattern; }
    const std::string& plain() const { return m_plain; }
    const std::vector<UiText>& values() const { return m_values; }
    bool empty() const { return !translatable() && m_plain.empty(); }

    std::string english() const;

private:
    TextPattern m_pattern;
    std::string m_plain;
    std::vector<UiText> m_values;
};

// The pattern with %1 ... %9 replaced by values[0] ... values[8] in one pass, so a
// value holding "%2" stays as it is; a place without a value stays too.
std::string FillPlaces(std::string_view pattern, const std::vector<std::string>& values);

// Writes english().
std::ostream& operator<<(std::ostream& out, const UiText& text);

// first, then second as a sentence of its own: "first. second".
UiText ThenSentence(UiText first, UiText second);

} // namespace tressel
