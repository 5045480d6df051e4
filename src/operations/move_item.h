#pragma once

// The move routine every command that moves or renames a file goes through: it
// creates a missing target folder (one level), cleans the name, never overwrites,
// numbers a clashing name with "[n]" and records the move in the command's undo group.

#include <string>
#include <string_view>

namespace tressel {

class CUndoGroup;

// The characters a file name may not hold; each becomes '_'.
inline constexpr std::string_view kForbiddenNameCharacters = "\\/:*?\"<>|\t";

// The rename command's cleaning of a text before it becomes a name: a leading '.',
// every forbidden character and every control character (U+0000-U+001F, U+007F and
// U+0080-U+009F) become '_'.
void SanitiseName(std::string& text);

// Moves `source` to `target`. On return `target` holds the path actually used (cleaned,
// cut to the file system's name length and, after a clash, numbered: report[1].txt).
// A successful move adds the entry target -> source to `group` when one is given.
// False when the file could not be moved; it is then where it was.
bool MoveItem(const std::string& source, std::string& target, CUndoGroup* group);

} // namespace tressel
