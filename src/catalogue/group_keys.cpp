#include "group_keys.h"

#include "document.h"
#include "platform/paths.h"

namespace tressel {

std::string TypeGroupKey(const CMarlockUtilDoc& doc, int record) {
    const std::string type = doc.GetTypeName(record);
    return type.empty() ? type : type + "s";
}

std::string ExtensionGroupKey(std::string_view name) {
    const std::string ext = SplitPath(name).ext;
    return ext.empty() ? ext : ext.substr(1);
}

} // namespace tressel
