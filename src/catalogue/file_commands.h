#pragma once

// The list's commands on whole files and folders: to the trash, deleted for good,
// empty folders removed, copied or moved into another folder. No widgets: the window
// asks its questions through the function objects given here.

#include "operations/failure_list.h"

#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace tressel {

class CUndoGroup;
class ICancelCheck;
class IProgress;

// The user's trash folder ($XDG_DATA_HOME/Trash), with its "files" and "info" made
// when missing. False with the reason when they cannot be made.
bool EnsureHomeTrash(UiText& reason);

// Moves path to the trash. Only a file that left its place and sits in a trash's
// "files" folder counts; one the system put anywhere else is moved back. False with
// the reason otherwise; the file is then where it was.
bool MoveToTrash(const std::string& path, UiText& reason, std::string* trashedPath = nullptr);

// Deletes path for good, a folder with everything below it. Symbolic links are removed
// themselves, never followed.
bool DeletePermanently(const std::string& path, UiText& reason);

// Removes those of paths that are empty folders; answers how many went.
int RemoveEmptyDirectories(const std::vector<std::string>& paths);
// "3 Dir(s) deleted".
UiText DirsDeletedText(int count);

// Puts path at the front of the recent target folders: no duplicates (exact
// comparison), at most capacity entries.
void RememberTargetFolder(QStringList& history, const QString& path, int capacity);

// The answer to "the target already exists".
enum class ExistingTarget { Replace, Skip, KeepBoth, Cancel };
using AskExisting = std::function<ExistingTarget(const std::string& target)>;

struct TransferRequest {
    bool move = false;
    std::string targetFolder;
    AskExisting ask;
    // Receives the moves; copies are not recorded.
    CUndoGroup* group = nullptr;
    IProgress* progress = nullptr;
    ICancelCheck* cancel = nullptr;
};

struct TransferResult {
    int done = 0;
    int skipped = 0;
    bool cancelled = false;
    CFailureList failures;
};

// Copies or moves each source (a file or a folder with all it holds) into the target
// folder under its own name. An existing target is never overwritten: the question
// decides, and Replace sends the old one to the trash first.
TransferResult TransferItems(const std::vector<std::string>& sources,
                             const TransferRequest& request);

} // namespace tressel
