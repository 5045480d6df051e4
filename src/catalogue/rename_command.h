#pragma once

// The rename command: renames every selected file to the text of one information
// column, keeping its extension, numbering names that clash ("[1]", "[2]" in row
// order) and recording every move in one undo group. It runs on an interface to the
// list, so the window and the command-line tool share it.

#include "platform/ui_text.h"

#include <cstddef>
#include <functional>
#include <map>
#include <set>
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

// The clash numbering of one command. It gives the names NumberClashingName gives,
// but remembers how far each name's numbers are known to be taken, so that files
// renamed one after another to one text do not each test Setup.exe, Setup[1].exe, ...
// again from the start. A name that becomes free during the command (its file renamed
// away, or a move to it failed) must be told, so that it is offered again as before.
class CClashNumbering {
public:
    using Clashes = std::function<bool(const std::string&)>;

    explicit CClashNumbering(size_t nameLimit = kDefaultNameLimit) : m_nameLimit(nameLimit) {}

    // NumberClashingName(name, clashes) for the file named current: the first name of
    // name's sequence (name, then its stem numbered upwards) that clashes with no other
    // entry. The answer counts as taken from then on.
    std::string number(const std::string& name, const std::string& current, const Clashes& clashes);
    void freed(const std::string& name);

private:
    // One sequence: its first name, and the last number known to be taken. Numbers
    // from `first` (0: the name without a number) to `taken` are taken.
    struct Sequence {
        std::string start;
        std::string stem;
        std::string ext;
        long first = 0;
        long taken = -1;
    };
    std::string nameOf(const Sequence& sequence, long n) const;
    // The number name holds in sequence, or -1.
    long numberIn(const Sequence& sequence, const std::string& name) const;
    std::string scan(Sequence& sequence, long from, const Clashes& clashes);

    size_t m_nameLimit;
    // Sequences by their stem and extension, ASCII letters folded.
    std::map<std::string, std::vector<Sequence>> m_sequences;
};

// The names one command hands out in a folder: each file's wanted name numbered until
// no other entry holds it. A dry run imagines the renames it does not make (the names
// they take and free), so that it decides exactly as a real run would.
class CCommandNames {
public:
    CCommandNames(std::string folder, bool dryRun, size_t nameLimit);
    // wanted, numbered until free for the file named current (current itself when
    // wanted's sequence reaches it first).
    std::string freeName(const std::string& wanted, const std::string& current);
    // The file named from is named to now (a real or an imagined move).
    void renamed(const std::string& from, const std::string& to);
    // A move to name failed: it was not taken.
    void failed(const std::string& name) { m_numbering.freed(name); }

private:
    bool clashes(const std::string& name, const std::string& currentPath) const;

    std::string m_folder;
    bool m_dryRun;
    CClashNumbering m_numbering;
    std::set<std::string> m_taken;
    std::set<std::string> m_freed;
};

// Runs the command with column on the selected rows of the document's open folder.
// With dryRun nothing is moved: the result and the names reported through onRename are
// what a real run would do, given the folder as it is; both runs decide the names in
// the same code, a dry run only imagining the moves it did not make.
struct RenameOptions {
    int column = 1;
    bool append = false;
    bool dryRun = false;
    // Also give each renamed file the extension its content should carry.
    bool fixExtension = false;
    // Replaces the column: the new name of the file name holds (before clash
    // numbering), or empty to leave it as it is.
    std::function<std::string(int record, const std::string& name)> targetName;
    IProgress* progress = nullptr;
    ICancelCheck* cancel = nullptr;
    // Called for each file renamed (or, in a dry run, that would be): old and new name.
    std::function<void(const std::string&, const std::string&)> onRename;
    // Called for each file whose move failed.
    std::function<void(const std::string&)> onError;
};

RenameResult RunRenameCommand(CMarlockUtilDoc& doc, IRenameRows& rows, CUndoGroup& group,
                              const RenameOptions& options);

// One file of a planned command: newName is oldName when the file stays as it is (an
// empty value, a name it already has, or its row not reached).
struct PlannedRename {
    int record = -1;
    std::string oldName;
    std::string newName;
};

struct RenamePlan {
    std::vector<PlannedRename> files; // the selected files in row order, folders left out
    RenameResult result;              // what the dry run reports
};

// The dry run of the command (options.dryRun is implied): every selected file with the
// name a real run would give it now, clashes numbered. The dialog that previews a
// rename and `tressel rename --dry-run` both show this.
RenamePlan PlanRenameCommand(CMarlockUtilDoc& doc, IRenameRows& rows, RenameOptions options);

} // namespace tressel
