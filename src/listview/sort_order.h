#pragma once

// The list's orders: five fixed sorts (name, type, size, date, extension) and the
// multi-key column sort started by header clicks. Plain code over an interface to the
// rows, so the orders are tested without a window. Sorting is stable, and a column
// sort can be stopped half-way: the rows then keep the order reached so far.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace tressel {

class ICancelCheck;

enum SortMode : int {
    SortByName = 0,
    SortByType = 1,
    SortBySize = 2,
    SortByDate = 3,
    SortByExtension = 4,
    SortByColumnKeys = -1, // after a column sort on any column but the name
};

// What the sorts ask of a row (a row is named by its record number).
class ISortRows {
public:
    virtual ~ISortRows() = default;
    virtual bool isFolder(int row) = 0;
    virtual std::string typeName(int row) = 0;
    virtual uint64_t size(int row) = 0;
    virtual uint64_t lastWriteTime(int row) = 0;
    // The cell text, reading the file first when the row's information is unread.
    virtual std::string cellText(int row, int column) = 0;
};

// A header whose text changes: the sort marker " *" added or taken away.
struct HeaderMarkerChange {
    int column;
    bool marked;
};

class CListSorter {
public:
    explicit CListSorter(int columnCount) : m_columnCount(columnCount) {}

    // Runs the fixed sort of mode (a value outside 0..4 sorts by name).
    std::vector<HeaderMarkerChange> sortFixed(int mode, std::vector<int>& rows, ISortRows& source,
                                              ICancelCheck* cancel);
    // A click on column c's header (By Name is a column sort on column 0).
    std::vector<HeaderMarkerChange> sortByColumn(int column, std::vector<int>& rows,
                                                 ISortRows& source, ICancelCheck* cancel);

    int sortMode() const { return m_sortMode; }
    // Restores a stored mode; values outside 0..4 become 0.
    void setSortMode(int mode) { m_sortMode = NormalisedMode(mode); }
    int direction() const { return m_direction; }
    const std::deque<int>& keys() const { return m_keys; }
    // The column whose header carries the marker, or -1.
    int lastClickedColumn() const { return m_lastClicked; }

    static int NormalisedMode(int mode) { return mode < 0 || mode > 4 ? 0 : mode; }
    static const char* MarkerSuffix() { return " *"; }

private:
    int m_columnCount;
    int m_sortMode = SortByName;
    int m_direction = 1;
    std::deque<int> m_keys;
    int m_lastClicked = -1;
};

// The rows' stable order under less; stops merging (keeping a permutation of the
// rows) as soon as stop() answers true.
template <class Less, class Stop>
void StableSortStoppable(std::vector<int>& rows, Less less, Stop stop);

} // namespace tressel

#include "sort_order_impl.h"
