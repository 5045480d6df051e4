#pragma once

namespace tressel {

// Makes the freedesktop icon themes usable whatever the platform provides: the
// system's icon folders are searched even where the platform names none (offscreen,
// bare X sessions), a theme is always set (hicolor when the platform names none), and
// a full theme backs it, so that the generic type icons are found.
void UseIconThemeFallbacks();

} // namespace tressel
