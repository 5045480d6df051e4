#pragma once

// The window's side of the texts the core composes (platform/ui_text.h): each pattern
// translated for the user's language, then filled with its values, which are
// translated the same way. Column names and the readers' value labels are plain
// literals marked with UI_TEXT_NOOP("Columns", ...) and UI_TEXT_NOOP("Labels", ...).

#include "platform/ui_text.h"

#include <QString>

#include <string>
#include <vector>

namespace tressel {

QString Translated(const UiText& text);

// A column name as the catalogue gives it, "FileDescription (1)": the name translated,
// the number kept.
QString TranslatedColumnName(const std::string& name);
std::vector<std::string> TranslatedColumnNames(const std::vector<std::string>& names);

// A reader's label for a value ("Artist"). The executable reader labels its values with
// the version string names, which are translated as column names.
QString TranslatedLabel(const std::string& label);

} // namespace tressel
