#include "sort_order.h"

#include "operations/feedback.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <numeric>

namespace tressel {

namespace {

int Sign(bool less, bool greater) {
    return less ? -1 : (greater ? 1 : 0);
}

// What every order compares first, asked of each row once before sorting: whether it
// is a folder, and its name folded for the case-insensitive comparison. Rows are named
// by their position in the list being sorted.
class RowKeys {
public:
    RowKeys(const std::vector<int>& rows, ISortRows& source) {
        m_folder.reserve(rows.size());
        for (int row : rows)
            m_folder.push_back(source.isFolder(row));
        std::vector<std::string> names;
        names.reserve(rows.size());
        size_t bytes = 0;
        for (int row : rows) {
            names.push_back(source.cellText(row, 0));
            bytes += names.back().size();
        }
        m_names.reserve(rows.size(), bytes);
        for (const std::string& name : names)
            m_names.add(name);
    }

    bool isFolder(int at) const { return m_folder[static_cast<size_t>(at)]; }
    // Folders before files; 0 when both are of one kind.
    int compareKinds(int a, int b) const {
        const bool fa = isFolder(a);
        const bool fb = isFolder(b);
        return fa == fb ? 0 : (fa ? -1 : 1);
    }
    int compareNames(int a, int b) const {
        return m_names.compare(static_cast<size_t>(a), static_cast<size_t>(b));
    }

private:
    std::vector<bool> m_folder;
    FoldedNames m_names;
};

// The positions 0..n-1, to be sorted instead of the rows so the keys are found by
// position; then the rows put in the order of the positions.
std::vector<int> Positions(size_t n) {
    std::vector<int> positions(n);
    std::iota(positions.begin(), positions.end(), 0);
    return positions;
}

void ApplyPositions(std::vector<int>& rows, const std::vector<int>& positions) {
    std::vector<int> sorted;
    sorted.reserve(rows.size());
    for (int at : positions)
        sorted.push_back(rows[static_cast<size_t>(at)]);
    rows = std::move(sorted);
}

int CompareFixed(int mode, const RowKeys& keys, ISortRows& source, const std::vector<int>& rows,
                 int a, int b) {
    if (const int kinds = keys.compareKinds(a, b))
        return kinds;
    const bool folders = keys.isFolder(a);
    int result = 0;
    const int ra = rows[static_cast<size_t>(a)];
    const int rb = rows[static_cast<size_t>(b)];
    switch (mode) {
    case SortByType:
        if (!folders)
            result = CompareNoCase(source.typeName(ra), source.typeName(rb));
        break;
    case SortBySize:
        if (!folders)
            result = Sign(source.size(ra) < source.size(rb), source.size(ra) > source.size(rb));
        break;
    case SortByDate: // newest first, folders among themselves too
        result = Sign(source.lastWriteTime(ra) > source.lastWriteTime(rb),
                      source.lastWriteTime(ra) < source.lastWriteTime(rb));
        break;
    case SortByExtension:
        if (!folders)
            result = CompareNoCase(SplitPath(source.cellText(ra, 0)).ext,
                                   SplitPath(source.cellText(rb, 0)).ext);
        break;
    default:
        break;
    }
    return result != 0 ? result : keys.compareNames(a, b);
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
    const RowKeys keys(rows, source);
    std::vector<int> positions = Positions(rows.size());
    StableSortStoppable(
        positions, [&](int a, int b) { return CompareFixed(mode, keys, source, rows, a, b) < 0; },
        [] { return false; });
    ApplyPositions(rows, positions);
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
    const RowKeys keys(rows, source);
    auto less = [&](int a, int b) {
        if (const int kinds = keys.compareKinds(a, b))
            return kinds < 0;
        for (int key : m_keys) {
            const int result =
                key == 0 ? keys.compareNames(a, b)
                         : CompareNoCase(source.cellText(rows[static_cast<size_t>(a)], key),
                                         source.cellText(rows[static_cast<size_t>(b)], key));
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
    std::vector<int> positions = Positions(rows.size());
    StableSortStoppable(positions, less, stop);
    ApplyPositions(rows, positions);

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
