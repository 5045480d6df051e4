#include "rename_command.h"

#include "document.h"
#include "operations/feedback.h"
#include "operations/move_item.h"
#include "operations/plain_move.h"
#include "operations/undo.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <climits>
#include <cstdlib>
#include <set>
#include <sys/stat.h>

namespace tressel {

namespace {

bool EntryExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The counter a stem ends in, as "[n" after its last '['. Returns the stem without
// it and n, or the whole stem and 0 when there is none (or n reads as 0).
std::pair<std::string, long> SplitCounter(const std::string& stem, std::string_view name) {
    const size_t open = stem.rfind('[');
    if (open == std::string::npos)
        return {stem, 0};
    const size_t close = name.rfind(']');
    // name's last ']' must stand after the '[' (name and stem share their start).
    if (close != std::string_view::npos && close < open)
        return {stem, 0};
    const long n = std::strtol(stem.c_str() + open + 1, nullptr, 10);
    if (n == 0)
        return {stem, 0};
    return {stem.substr(0, open), n};
}

} // namespace

UiText RenameStatusText(int done, int errors, int waiting) {
    // Whole lines, not pieces, so that a translation may order them as its language needs.
    if (errors > 0 && waiting > 0)
        return UI_TEXT("Rename", "%1 Error(s), %2 Renamed, Selected Unchanged")
            .arg(errors)
            .arg(done);
    if (errors > 0)
        return UI_TEXT("Rename", "%1 Error(s), %2 Renamed").arg(errors).arg(done);
    if (waiting > 0)
        return UI_TEXT("Rename", "%1 Renamed, Selected Unchanged").arg(done);
    return UI_TEXT("Rename", "%1 Renamed").arg(done);
}

std::string RenameTargetName(std::string_view fileName, std::string_view value, bool append,
                             size_t nameLimit) {
    if (value.empty())
        return {};
    const PathParts current = SplitPath(fileName);
    std::string name = append ? current.stem + "_" + std::string(value) : std::string(value);
    SanitiseName(name);
    if (!EqualsNoCase(SplitPath(name).ext, current.ext))
        name += current.ext;
    const PathParts parts = SplitPath(name);
    return FitFileName(parts.stem, "", parts.ext, nameLimit);
}

std::string NumberClashingName(std::string name,
                               const std::function<bool(const std::string&)>& clashes,
                               size_t nameLimit) {
    const PathParts parts = SplitPath(name);
    auto [stem, n] = SplitCounter(parts.stem, name);
    while (clashes(name)) {
        if (n == LONG_MAX)
            break; // no next number; the move routine numbers or refuses it safely
        ++n;
        name = FitFileName(stem, "[" + std::to_string(n) + "]", parts.ext, nameLimit);
    }
    return name;
}

RenameResult RunRenameCommand(CMarlockUtilDoc& doc, IRenameRows& rows, CUndoGroup& group,
                              const RenameOptions& options) {
    RenameResult result;
    const std::vector<int> selected = rows.selectedRows();
    if (options.progress)
        options.progress->start(selected.size());
    const std::string folder = doc.GetCurrentFolderPath();
    const size_t nameLimit = FileNameLimit(folder);

    // A dry run sees the names it has handed out and freed as a real run would.
    std::set<std::string> taken;
    std::set<std::string> freed;
    // Whether another entry than the file named current holds name. The same file is
    // known by device and inode: README.mp3 and readme.mp3 may be two files.
    auto clashesFor = [&](const std::string& current) {
        return [&, currentPath = folder + current](const std::string& name) {
            if (options.dryRun && (taken.count(name) || freed.count(name)))
                return taken.count(name) > 0;
            const std::string path = folder + name;
            return EntryExists(path) && !NamesSameEntry(path, currentPath);
        };
    };

    size_t next = 0;
    for (; next < selected.size(); ++next) {
        const int row = selected[next];
        if (options.cancel && options.cancel->cancelRequested()) {
            result.cancelled = true;
            break;
        }
        if (options.progress)
            options.progress->step();
        const int record = rows.record(row);
        if (doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER) {
            rows.deselect(row);
            continue;
        }
        const std::string value = rows.cellText(row, options.column);
        const std::string current = doc.GetItemName(record, NameMode::InFolder);
        std::string target = RenameTargetName(current, value, options.append, nameLimit);
        if (target.empty() || target == current) {
            ++result.waiting;
            continue;
        }
        target = NumberClashingName(target, clashesFor(current), nameLimit);
        if (target == current) {
            ++result.waiting;
            continue;
        }
        if (!options.dryRun && !group.canRecord()) {
            result.stopped = group.journalError();
            break; // no move without a record of it
        }
        std::string used = folder + target;
        const bool moved = options.dryRun || doc.RenameItem(record, folder + target, &group, &used);
        if (!moved && !group.canRecord()) {
            result.stopped = group.journalError();
            break;
        }
        if (!moved) {
            ++result.errors;
            ++result.waiting;
            if (options.onError)
                options.onError(current);
            continue;
        }
        const std::string newName = BaseName(used);
        if (options.dryRun) {
            taken.insert(newName);
            taken.erase(current);
            freed.insert(current);
        }
        if (options.onRename)
            options.onRename(current, newName);
        rows.setName(row, newName);
        rows.deselect(row);
        ++result.done;
    }
    result.waiting += static_cast<int>(selected.size() - next);
    if (!options.dryRun && result.stopped.empty() && !group.finish())
        result.stopped = group.journalError();
    result.status = RenameStatusText(result.done, result.errors, result.waiting);
    if (!result.stopped.empty())
        result.status = ThenSentence(std::move(result.status), JournalStopText(result.stopped));
    return result;
}

} // namespace tressel
