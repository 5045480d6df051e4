#pragma once

#include <algorithm>
#include <vector>

namespace tressel {

// Bottom-up merge sort. Unlike std::stable_sort it tolerates a comparison that gives
// up half-way: every pass writes a complete permutation, so stopping never loses or
// duplicates a row.
template <class Less, class Stop>
void StableSortStoppable(std::vector<int>& rows, Less less, Stop stop) {
    const size_t n = rows.size();
    std::vector<int> buffer(n);
    for (size_t width = 1; width < n; width *= 2) {
        bool stopped = false;
        for (size_t left = 0; left < n; left += 2 * width) {
            const size_t mid = std::min(left + width, n);
            const size_t right = std::min(left + 2 * width, n);
            size_t i = left, j = mid, out = left;
            // Halves already in order (as in a list sorted before) are copied whole.
            if (!stopped && mid < right && !less(rows[mid], rows[mid - 1])) {
                std::copy(rows.begin() + static_cast<std::ptrdiff_t>(left),
                          rows.begin() + static_cast<std::ptrdiff_t>(right),
                          buffer.begin() + static_cast<std::ptrdiff_t>(left));
                continue;
            }
            while (i < mid && j < right) {
                if (!stopped && stop())
                    stopped = true;
                // Once stopped, the rest is copied in the order it stands.
                if (!stopped && less(rows[j], rows[i]))
                    buffer[out++] = rows[j++];
                else
                    buffer[out++] = rows[i++];
            }
            while (i < mid)
                buffer[out++] = rows[i++];
            while (j < right)
                buffer[out++] = rows[j++];
        }
        rows.swap(buffer);
        if (stopped)
            return;
    }
}

} // namespace tressel
