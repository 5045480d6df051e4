#pragma once

// The rename command: renames every selected file to the text of one information
// column, keeping its extension, numbering names that clash ("[1]", "[2]" in row
// order) and recording every move in one undo group. It runs on an interface to the
// list, so the window and the command-line tool share it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

class CMarlockUtilDoc;
class CUndoGroup;
class ICancelCheck;
class IProgress;

// What the command needs of the list it runs on. Rows are list positions.
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
    std::string status; // "5 Renamed", "1 Error(s), 4 Renamed, Selected Unchanged"
};

// "<errors> Error(s), " when there were errors, "<done> Renamed", and
// ", Selected Unchanged" when rows are left waiting.
std::string RenameStatusText(int done, int errors, int waiting);

// The new file name for a file named fileName and a column text value, before clash
// numbering: append mode prefixes the stem and "_", the text is cleaned, and the file's
// extension is added unless the text already ends in it (any case). Empty when the
// value is empty.
std::string RenameTargetName(std::string_view fileName, std::string_view value, bool append);

// Numbers name until exists() is false or it equals current (letter case aside):
// Setup.exe -> Setup[1].exe -> Setup[2].exe; report[4].txt -> report[5].txt.
std::string NumberClashingName(std::string name, std::string_view current,
                               const std::function<bool(const std::string&)>& exists);

// Runs the command with column on the selected rows of the document's open folder.
// With dryRun nothing is moved: the result and the names reported through onRename are
// what a real run would do, given the folder as it is.
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
