#include "translated_text.h"

#include <QCoreApplication>

namespace tressel {

namespace {

std::string TranslatedUtf8(const UiText& text) {
    if (!text.translatable())
        return text.plain();
    std::vector<std::string> values;
    values.reserve(text.values().size());
    for (const UiText& value : text.values())
        values.push_back(TranslatedUtf8(value));
    const TextPattern& pattern = text.pattern();
    return FillPlaces(QCoreApplication::translate(pattern.context, pattern.source).toStdString(),
                      values);
}

} // namespace

QString Translated(const UiText& text) {
    return QString::fromStdString(TranslatedUtf8(text));
}

} // namespace tressel
