#pragma once

// Short answers to "why was nothing read from this file", shared by the format layers
// and the readers so that one cause reads the same everywhere. They are static texts:
// a refusal costs no allocation. The window translates them in the context "Reading".

#include "ui_text.h"

namespace tressel::failure {

inline constexpr char kNotThisFormat[] = UI_TEXT_NOOP("Reading", "not this format");
inline constexpr char kTruncatedHeader[] = UI_TEXT_NOOP("Reading", "truncated header");
inline constexpr char kDamagedHeader[] = UI_TEXT_NOOP("Reading", "damaged header");
inline constexpr char kUnsupportedVersion[] = UI_TEXT_NOOP("Reading", "unsupported version");
inline constexpr char kExtensionFilteredOut[] = UI_TEXT_NOOP("Reading", "extension filtered out");
inline constexpr char kCannotOpen[] = UI_TEXT_NOOP("Reading", "cannot be opened");
inline constexpr char kNotRegularFile[] = UI_TEXT_NOOP("Reading", "not a regular file");

} // namespace tressel::failure
