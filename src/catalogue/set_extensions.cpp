#include "set_extensions.h"

#include "document.h"
#include "operations/feedback.h"
#include "operations/move_item.h"
#include "operations/plain_move.h"
#include "operations/undo.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "rename_command.h"

#include <cerrno>
#include <cstring>

namespace tressel {

std::string ExtensionText(std::string_view typed) {
    if (!typed.empty() && typed.front() == '.')
        typed.remove_prefix(1);
    return std::string(typed);
}

bool HasExtension(std::string_view name, std::string_view ext) {
    const std::string own = SplitPath(name).ext;
    return EqualsNoCase(own.empty() ? own : own.substr(1), ext);
}

std::string WithExtension(std::string_view name, std::string_view ext) {
    const std::string stem = SplitPath(name).stem;
    return ext.empty() ? stem : stem + "." + std::string(ext);
}

size_t CharacterCount(std::string_view text) {
    size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

namespace {

// The name the move routine would make of wanted: cleaned and cut to fit.
std::string CleanedName(std::string wanted, size_t nameLimit) {
    SanitiseName(wanted);
    const PathParts parts = SplitPath(wanted);
    return FitFileName(parts.stem, "", parts.ext, nameLimit);
}

} // namespace

SetExtensionsResult SetExtensions(CMarlockUtilDoc& doc, const std::vector<int>& records,
                                  CUndoGroup& group, const SetExtensionsOptions& options) {
    SetExtensionsResult result;
    const std::string folder = doc.GetCurrentFolderPath();
    if (folder.empty())
        return result;
    const size_t nameLimit = FileNameLimit(folder);
    CCommandNames names(folder, options.dryRun, nameLimit);
    if (options.progress)
        options.progress->start(records.size());
    for (const int record : records) {
        if (options.cancel && options.cancel->cancelRequested()) {
            result.cancelled = true;
            break;
        }
        if (options.progress)
            options.progress->step();
        if (doc.isVacated(record) || (doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER))
            continue;
        const std::string current = doc.GetItemName(record, NameMode::InFolder);
        if (!HasExtension(current, options.from))
            continue;
        std::string target = CleanedName(WithExtension(current, options.to), nameLimit);
        if (target == current || (target = names.freeName(target, current)) == current)
            continue; // the name it has already
        if (!options.dryRun && !group.canRecord()) {
            result.stopped = group.journalError();
            break; // no move without a record of it
        }
        std::string used = folder + target;
        errno = 0;
        const bool moved = options.dryRun || doc.RenameItem(record, folder + target, &group, &used);
        if (!moved) {
            names.failed(target);
            if (!group.canRecord()) {
                result.stopped = group.journalError();
                break;
            }
            ++result.errors;
            result.failures.add(folder + current,
                                errno ? std::strerror(errno) : "could not be renamed");
            if (options.onError)
                options.onError(current);
            continue;
        }
        const std::string newName = BaseName(used);
        names.renamed(current, newName);
        ++result.done;
        if (options.onRename)
            options.onRename(record, current, newName);
    }
    if (!options.dryRun && result.stopped.empty() && !group.finish())
        result.stopped = group.journalError();
    return result;
}

UiText SetExtensionsSubject(const SetExtensionsResult& result) {
    return result.errors > 0
               ? UI_TEXT("SetExtensions", "setting extension (%1 done)").arg(result.done)
               : UI_TEXT("SetExtensions", "set extension for %1 files").arg(result.done);
}

UiText SetExtensionsStatus(const SetExtensionsResult& result) {
    UiText status = ReportText(SetExtensionsSubject(result), result.errors);
    if (!result.stopped.empty())
        return ThenSentence(std::move(status), JournalStopText(result.stopped));
    return status;
}

} // namespace tressel
