#pragma once

// File names are bytes; the window shows them through the locale's file-name codec and
// hands typed names back the same way, so a name that is not valid UTF-8 survives.

#include <QFile>
#include <QString>

#include <string>

namespace tressel {

inline QString DecodeName(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

inline std::string EncodeName(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

} // namespace tressel
