#include "title_watch.h"

#include "platform/text.h"

namespace tressel {

TitleWatchStep ApplyWindowTitle(std::vector<std::string>& cells, std::string_view title,
                                const std::vector<std::string>& headers) {
    TitleWatchStep step;
    title = TrimAsciiSpace(title);
    if (title.empty())
        return step;
    for (size_t i = 1; i < cells.size(); ++i) {
        if (cells[i] == title) {
            step.outcome = TitleWatchStep::AlreadyShown;
            step.column = static_cast<int>(i);
            return step;
        }
        if (!cells[i].empty())
            continue;
        cells[i] = std::string(title);
        step.outcome = TitleWatchStep::Filled;
        step.column = static_cast<int>(i);
        const std::string header = i < headers.size() ? headers[i] : std::string();
        step.status = header + " filled with \"" + std::string(title) + "\"";
        return step;
    }
    step.outcome = TitleWatchStep::RowFull;
    return step;
}

} // namespace tressel
