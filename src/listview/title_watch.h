#pragma once

// The title watch: after the user launches a program from the list, the titles of
// the windows that come to the front fill the empty information cells of its row,
// where they can serve as new names.

#include <string>
#include <string_view>
#include <vector>

namespace tressel {

struct TitleWatchStep {
    enum Outcome {
        Ignored,      // a blank title
        AlreadyShown, // some cell holds this very title
        Filled,       // the first empty cell took the title
        RowFull,      // every cell holds other text: the watch ends
    };
    Outcome outcome = Ignored;
    int column = -1;    // the cell filled
    std::string status; // for the status bar, when a cell was filled
};

// cells[i] is the text of column i (cells[0] the name, which is never filled);
// headers are the column names.
TitleWatchStep ApplyWindowTitle(std::vector<std::string>& cells, std::string_view title,
                                const std::vector<std::string>& headers);

} // namespace tressel
