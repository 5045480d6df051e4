#pragma once

// The rename command: renames every selected file to the text of one information
// column, keeping its extension, numbering names that clash ("[1]", "[2]" in row
// order) and recording every move in one undo group. It runs on an interface to the
// list, so the window and the command-line tool share it.

#include "platform/ui_text.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

class CMarlockUtilDoc;
class CUndoGroup;
class ICancelCheck;
class IProgress;

// What the command needs of the list it runs on. A row is whatever names one entry to
// the list, and must keep naming it while the command runs (the window uses record
// numbers, since its rows may move).
class IRenameRows {
public:
    virtual ~IRenameRows() = default;
    // The selected rows, in ascending row order.
    virtual std::vector<int> selectedRows() = 0;
    virtual int record(int row) = 0;
    // The row's text in column (0 is the name); an unread row is read first.
    virtual std::string cellText(int row, int column) = 0;
    virtual void deselect(int row) = 0;
    virtual void setName(int row, const std::string& name) = 0;
};

struct RenameResult {
    int done = 0;
    int errors = 0;
    int waiting = 0; // rows left selected: empty value, same name, failed, or not reached
    bool cancelled = false;
    // Why the command stopped before its next move: the undo journal failed.
    std::string stopped;
    UiText status; // "5 Renamed", "1 Error(s), 4 Renamed, Selected Unchanged"
};

// "<errors> Error(s), " when there were errors, "<done> Renamed", and
// ", Selected Unchanged" when rows are left waiting.
UiText RenameStatusText(int done, int errors, int waiting);

// The longest file name most Linux file systems take, in bytes.
inline constexpr size_t kDefaultNameLimit = 255;

// The new file name for a file named fileName and a column text value, before clash
// numbering: append mode prefixes the stem and "_", the text is cleaned, the file's
// extension is added unless the text already ends in it (any case), and the stem is
// cut at a character to fit nameLimit bytes. Empty when the value is empty.
std::string RenameTargetName(std::string_view fileName, std::string_view value, bool append,
                             size_t nameLimit = kDefaultNameLimit);

// Numbers name while clashes(name), that is while another entry of the folder holds
// it: Setup.exe -> Setup[1].exe -> Setup[2].exe; report[4].txt -> report[5].txt. A
// numbered name is cut to fit nameLimit bytes as the move routine cuts it.
std::string NumberClashingName(std::string name,
                               const std::function<bool(const std::string&)>& clashes,
                               size_t nameLimit = kDefaultNameLimit);

// Runs the command with column on the selected rows of the document's open folder.
// With dryRun nothing is moved: the result and the names reported through onRename are
// what a real run would do, given the folder as it is; both runs decide the names in
// the same code, a dry run only imagining the moves it did not make.
struct RenameOptions {
    int column = 1;
    bool append = false;
    bool dryRun = false;
    IProgress* progress = nullptr;
    ICancelCheck* cancel = nullptr;
    // Called for each file renamed (or, in a dry run, that would be): old and new name.
    std::function<void(const std::string&, const std::string&)> onRename;
    // Called for each file whose move failed.
    std::function<void(const std::string&)> onError;
};

RenameResult RunRenameCommand(CMarlockUtilDoc& doc, IRenameRows& rows, CUndoGroup& group,
                              const RenameOptions& options);

} // namespace tressel
