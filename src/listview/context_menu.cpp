#include "context_menu.h"

#include "platform/paths.h"

#include <set>

namespace tressel {

std::vector<NameMenuItem> SingleRowNameItems(const std::vector<std::string>& cells,
                                             const std::vector<int>& displayOrder,
                                             const std::vector<std::string>& labels) {
    std::vector<NameMenuItem> items;
    if (cells.empty())
        return items;
    std::set<std::string> offered{SplitPath(cells[0]).stem, cells[0]};
    for (int column : displayOrder) {
        if (column <= 0 || static_cast<size_t>(column) >= cells.size())
            continue;
        const std::string& text = cells[static_cast<size_t>(column)];
        if (text.empty() || !offered.insert(text).second)
            continue;
        const auto index = static_cast<size_t>(column);
        items.push_back({column, text, index < labels.size() ? labels[index] : std::string()});
    }
    return items;
}

std::string NameItemText(const NameMenuItem& item) {
    return item.label.empty() ? item.text : item.label + ": " + item.text;
}

std::vector<NameMenuItem> MultiRowNameItems(const std::function<bool(int column)>& filled,
                                            const std::vector<std::string>& headers,
                                            const std::vector<int>& displayOrder) {
    std::vector<NameMenuItem> items;
    for (int column : displayOrder) {
        if (column <= 0 || static_cast<size_t>(column) >= headers.size())
            continue;
        if (filled(column))
            items.push_back({column, headers[static_cast<size_t>(column)]});
    }
    return items;
}

std::string HistoryItemText(std::string_view path) {
    if (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace tressel
