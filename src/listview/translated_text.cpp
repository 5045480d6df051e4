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

QString TranslatedColumnName(const std::string& name) {
    const size_t number = name.ends_with(')') ? name.rfind(" (") : std::string::npos;
    const std::string bare = name.substr(0, number);
    const std::string suffix = number == std::string::npos ? std::string() : name.substr(number);
    return QCoreApplication::translate("Columns", bare.c_str()) + QString::fromStdString(suffix);
}

std::vector<std::string> TranslatedColumnNames(const std::vector<std::string>& names) {
    std::vector<std::string> translated;
    translated.reserve(names.size());
    for (const std::string& name : names)
        translated.push_back(TranslatedColumnName(name).toStdString());
    return translated;
}

QString TranslatedLabel(const std::string& label) {
    const QString translated = QCoreApplication::translate("Labels", label.c_str());
    if (translated != QString::fromStdString(label))
        return translated;
    return QCoreApplication::translate("Columns", label.c_str());
}

} // namespace tressel
