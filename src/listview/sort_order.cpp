#include "sort_order.h"

#include "operations/feedback.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tressel {

namespace {

int Sign(bool less, bool greater) {
    return less ? -1 : (greater ? 1 : 0);
}

int CompareNames(ISortRows& source, int a, int b) {
    return CompareNoCase(source.cellText(a, 0), source.cellText(b, 0));
}

// Folders before files; 0 when both are of one kind.
int CompareKinds(ISortRows& source, int a, int b) {
    const bool fa = source.isFolder(a);
    const bool fb = source.isFolder(b);
    return fa == fb ? 0 : (fa ? -1 : 1);
}

int CompareFixed(int mode, ISortRows& source, int a, int b) {
    if (const int kinds = CompareKinds(source, a, b))
        return kinds;
    const bool folders = source.isFolder(a);
    int result = 0;
    switch (mode) {
    case SortByType:
        if (!folders)
            result = CompareNoCase(source.typeName(a), source.typeName(b));
        break;
    case SortBySize:
        if (!folders)
            result = Sign(source.size(a) < source.size(b), source.size(a) > source.size(b));
        break;
    case SortByDate: // newest first, folders among themselves too
        result = Sign(source.lastWriteTime(a) > source.lastWriteTime(b),
                      source.lastWriteTime(a) < source.lastWriteTime(b));
        break;
    case SortByExtension:
        if (!folders)
            result = CompareNoCase(SplitPath(source.cellText(a, 0)).ext,
                                   SplitPath(source.cellText(b, 0)).ext);
        break;
    default:
        break;
    }
    return result != 0 ? result : CompareNames(source, a, b);
}

} // namespace

std::vector<HeaderMarkerChange> CListSorter::sortFixed(int mode, std::vector<int>& rows,
                                                       ISortRows& source, ICancelCheck* cancel) {
    mode = NormalisedMode(mode);
    if (mode == SortByName) {
        // The column sort flips a direction of -1 when the name column was the last one
        // clicked and sets +1 otherwise: either way the names come out ascending.
        m_direction = -1;
        return sortByColumn(0, rows, source, cancel);
    }
    StableSortStoppable(
        rows, [&](int a, int b) { return CompareFixed(mode, source, a, b) < 0; },
        [] { return false; });
    std::vector<HeaderMarkerChange> changes;
    m_sortMode = mode;
    if (m_lastClicked >= 0)
        changes.push_back({m_lastClicked, false});
    m_lastClicked = -1;
    return changes;
}

std::vector<HeaderMarkerChange> CListSorter::sortByColumn(int column, std::vector<int>& rows,
                                                          ISortRows& source, ICancelCheck* cancel) {
    m_direction = column == m_lastClicked ? -m_direction : 1;
    std::erase(m_keys, column);
    m_keys.push_front(column);
    while (static_cast<int>(m_keys.size()) > m_columnCount)
        m_keys.pop_back();

    bool stopped = false;
    auto less = [&](int a, int b) {
        if (const int kinds = CompareKinds(source, a, b))
            return kinds < 0;
        for (int key : m_keys) {
            const int result = CompareNoCase(source.cellText(a, key), source.cellText(b, key));
            if (result != 0)
                return result * m_direction < 0;
        }
        return false;
    };
    auto stop = [&] {
        if (!stopped && cancel && cancel->cancelRequested())
            stopped = true;
        return stopped;
    };
    StableSortStoppable(rows, less, stop);

    std::vector<HeaderMarkerChange> changes;
    if (column != m_lastClicked || stopped) {
        if (m_lastClicked >= 0)
            changes.push_back({m_lastClicked, false});
        if (!stopped)
            changes.push_back({column, true});
    }
    m_lastClicked = stopped ? -1 : column;
    m_sortMode = column == 0 && !stopped ? SortByName : SortByColumnKeys;
    return changes;
}

} // namespace tressel
