#include "paths.h"

#include "text.h"

namespace tressel {

PathParts SplitPath(std::string_view path) {
    PathParts parts;
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    parts.dir = std::string(path.substr(0, nameStart));
    const std::string_view name = path.substr(nameStart);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        parts.stem = std::string(name);
    } else {
        parts.stem = std::string(name.substr(0, dot));
        parts.ext = std::string(name.substr(dot));
    }
    return parts;
}

std::string LowerExtension(std::string_view path) {
    const std::string ext = SplitPath(path).ext;
    return ext.empty() ? std::string() : ToLowerAscii(std::string_view(ext).substr(1));
}

std::string BaseName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    if (folder.empty())
        return std::string(name);
    std::string out = WithTrailingSlash(folder);
    while (!name.empty() && name.front() == '/')
        name.remove_prefix(1);
    out.append(name);
    return out;
}

std::string WithTrailingSlash(std::string_view path) {
    std::string out(path);
    if (out.empty() || out.back() != '/')
        out.push_back('/');
    return out;
}

} // namespace tressel
