#include "ui_text.h"

#include <ostream>

namespace tressel {

UiText UiText::arg(UiText value) const& {
    return UiText(*this).arg(std::move(value));
}

UiText UiText::arg(UiText value) && {
    m_values.push_back(std::move(value));
    return std::move(*this);
}

std::string UiText::english() const {
    if (!translatable())
        return m_plain;
    std::vector<std::string> values;
    values.reserve(m_values.size());
    for (const UiText& value : m_values)
        values.push_back(value.english());
    return FillPlaces(m_pattern.source, values);
}

std::string FillPlaces(std::string_view pattern, const std::vector<std::string>& values) {
    std::string text;
    text.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool place = pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
                           pattern[i + 1] <= '9';
        const size_t index = place ? static_cast<size_t>(pattern[i + 1] - '1') : 0;
        if (place && index < values.size()) {
            text += values[index];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::ostream& operator<<(std::ostream& out, const UiText& text) {
    return out << text.english();
}

UiText ThenSentence(UiText first, UiText second) {
    return UI_TEXT("Report", "%1. %2").arg(std::move(first)).arg(std::move(second));
}

} // namespace tressel
