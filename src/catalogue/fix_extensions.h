#pragma once

// Extensions from content: which extension a file's content should carry, and whether
// the one it has already fits. What is right is kept as it is, case included; a file
// that cannot be classified, or only weakly, keeps its name.

#include "readers/content_type.h"

#include <optional>
#include <string>
#include <string_view>

namespace tressel {

// Whether extension (without dot, any case) already fits content of this type: one of
// the type's own extensions, one of their family (exe, scr and com are all
// executables), or for a ZIP archive any ZIP container's own extension (jar, docx, ...).
bool ExtensionFitsContent(std::string_view extension, const ContentType& type);

// The extension a file named name should be given for content of this type; empty
// when its name stays: the extension fits, the content is unknown, or the file is
// hidden. Content known only weakly changes only a numbered name, and plain text gets
// "txt" only when a numbered name has no extension.
std::string ExtensionToGive(std::string_view name, const ContentType& type);

// name with its extension replaced by extension (added when it has none). A stem that
// already ends in the extension loses the old one: "Setup.exe.bin" -> "Setup.exe".
std::string NameWithExtension(std::string_view name, std::string_view extension);

// One planned change: the file, its new name before clash numbering, and what its
// content is.
struct ExtensionFix {
    std::string name;
    std::string newName;
    std::string description;
};

// A regular file itself, not a link to one: a link keeps the name its target is known by.
bool IsPlainFile(const std::string& path);

// The change the file name in folder (with its trailing '/') needs; none when it
// keeps its name or is not a plain file.
std::optional<ExtensionFix> PlanExtensionFix(const std::string& folder, const std::string& name);

} // namespace tressel
