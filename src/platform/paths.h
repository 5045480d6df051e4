#pragma once

// File names are bytes: paths are never re-encoded on their way to a rename or move.

#include <string>
#include <string_view>

namespace tressel {

// A path split as the program splits every path: the folder with its trailing '/',
// the stem, and the extension from the last dot of the last component, dot included.
// ".htaccess" has stem "" and extension ".htaccess".
struct PathParts {
    std::string dir;
    std::string stem;
    std::string ext;

    std::string fileName() const { return stem + ext; }
    std::string join() const { return dir + stem + ext; }
};

PathParts SplitPath(std::string_view path);

// The lower-case extension without its dot ("" when there is none).
std::string LowerExtension(std::string_view path);

// The last component of a path ("" for a path ending in '/').
std::string BaseName(std::string_view path);

// folder + name, with exactly one '/' between them.
std::string JoinPath(std::string_view folder, std::string_view name);

// The path with a trailing '/' (unchanged when it has one).
std::string WithTrailingSlash(std::string_view path);

} // namespace tressel
