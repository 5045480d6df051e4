#pragma once

// The window's side of the texts the core composes (platform/ui_text.h): each pattern
// translated for the user's language, then filled with its values, which are
// translated the same way.

#include "platform/ui_text.h"

#include <QString>

namespace tressel {

QString Translated(const UiText& text);

} // namespace tressel
