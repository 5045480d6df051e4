#pragma once

// Set Extensions: gives every file of the list that has one extension (compared
// without regard to case; "" for files without one) another, recording the renames in
// one undo group. A name another entry holds gets a number, as every rename does.

#include "operations/failure_list.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

class CMarlockUtilDoc;
class CUndoGroup;
class ICancelCheck;
class IProgress;

// The longest new extension the command takes, in characters.
inline constexpr size_t kMaxNewExtensionLength = 10;

// An extension as the user typed it, without a leading dot.
std::string ExtensionText(std::string_view typed);
// Whether the name's extension is ext (no dot; any case); "" matches names without one.
bool HasExtension(std::string_view name, std::string_view ext);
// The name with its extension replaced by ext (no dot); "" removes it.
std::string WithExtension(std::string_view name, std::string_view ext);
// Characters (not bytes) of a UTF-8 text.
size_t CharacterCount(std::string_view text);

struct SetExtensionsOptions {
    std::string from;
    std::string to;
    // Nothing is moved; the names reported are what a real run would give.
    bool dryRun = false;
    IProgress* progress = nullptr;
    ICancelCheck* cancel = nullptr;
    // A file renamed (or, in a dry run, that would be): its record, old and new name.
    std::function<void(int record, const std::string& from, const std::string& to)> onRename;
    std::function<void(const std::string& name)> onError;
};

struct SetExtensionsResult {
    int done = 0;
    int errors = 0;
    CFailureList failures;
    bool cancelled = false;
    // Why the run stopped before its next rename: the undo journal failed.
    std::string stopped;
};

// records: the rows' records in display order; folders are left out.
SetExtensionsResult SetExtensions(CMarlockUtilDoc& doc, const std::vector<int>& records,
                                  CUndoGroup& group, const SetExtensionsOptions& options);

// "set extension for 7 files", or with errors "setting extension (7 done)".
UiText SetExtensionsSubject(const SetExtensionsResult& result);
// ReportText of the subject, followed by the reason when the undo journal stopped it.
UiText SetExtensionsStatus(const SetExtensionsResult& result);

} // namespace tressel
