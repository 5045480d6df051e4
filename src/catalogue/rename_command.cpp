#include "rename_command.h"

#include "document.h"
#include "fix_extensions.h"
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

// The target name with the extension the content of path should carry, cut to fit.
std::string WithContentExtension(const std::string& path, const std::string& target,
                                 size_t nameLimit) {
    if (!IsPlainFile(path))
        return target;
    const std::string extension = ExtensionToGive(target, IdentifyContent(path));
    if (extension.empty())
        return target;
    const PathParts parts = SplitPath(NameWithExtension(target, extension));
    return FitFileName(parts.stem, "", parts.ext, nameLimit);
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

namespace {

std::string SequenceKey(std::string_view stem, std::string_view ext) {
    return ToLowerAscii(stem) + '/' + ToLowerAscii(ext); // '/' is in no name
}

// Room for "[" + the longest number + "]": a sequence whose names may need cutting
// is numbered by the plain scan.
constexpr size_t kCounterRoom = 22;

} // namespace

std::string CClashNumbering::nameOf(const Sequence& sequence, long n) const {
    if (n == sequence.first)
        return sequence.start;
    return sequence.stem + "[" + std::to_string(n) + "]" + sequence.ext;
}

long CClashNumbering::numberIn(const Sequence& sequence, const std::string& name) const {
    if (EqualsNoCase(name, sequence.start))
        return sequence.first;
    const PathParts parts = SplitPath(name);
    const auto [stem, n] = SplitCounter(parts.stem, name);
    if (n <= sequence.first || !EqualsNoCase(stem, sequence.stem) ||
        !EqualsNoCase(name, nameOf(sequence, n)))
        return -1;
    return n;
}

std::string CClashNumbering::scan(Sequence& sequence, long from, const Clashes& clashes) {
    long n = from;
    std::string name = nameOf(sequence, n);
    while (clashes(name) && n < LONG_MAX)
        name = nameOf(sequence, ++n);
    sequence.taken = n;
    return name;
}

std::string CClashNumbering::number(const std::string& name, const std::string& current,
                                    const Clashes& clashes) {
    if (name.size() + kCounterRoom > m_nameLimit)
        return NumberClashingName(name, clashes, m_nameLimit);
    const PathParts parts = SplitPath(name);
    const auto [stem, first] = SplitCounter(parts.stem, name);
    std::vector<Sequence>& sequences = m_sequences[SequenceKey(stem, parts.ext)];
    for (Sequence& sequence : sequences) {
        if (sequence.start != name)
            continue;
        // Every name up to `taken` is held by another entry, unless it is the file's own.
        const long own = numberIn(sequence, current);
        if (own >= 0 && own <= sequence.taken && !clashes(nameOf(sequence, own)))
            return nameOf(sequence, own);
        return scan(sequence, sequence.taken + 1, clashes);
    }
    sequences.push_back({name, stem, parts.ext, first, first - 1});
    return scan(sequences.back(), first, clashes);
}

void CClashNumbering::freed(const std::string& name) {
    const PathParts parts = SplitPath(name);
    const auto it = m_sequences.find(SequenceKey(SplitCounter(parts.stem, name).first, parts.ext));
    if (it == m_sequences.end())
        return;
    for (Sequence& sequence : it->second) {
        const long n = numberIn(sequence, name);
        if (n >= 0 && n <= sequence.taken)
            sequence.taken = n - 1;
    }
}

CCommandNames::CCommandNames(std::string folder, bool dryRun, size_t nameLimit)
    : m_folder(std::move(folder)), m_dryRun(dryRun), m_numbering(nameLimit) {}

// Whether another entry than the file at currentPath holds name. The same file is
// known by device and inode: README.mp3 and readme.mp3 may be two files.
bool CCommandNames::clashes(const std::string& name, const std::string& currentPath) const {
    if (m_dryRun && (m_taken.count(name) || m_freed.count(name)))
        return m_taken.count(name) > 0;
    const std::string path = m_folder + name;
    return EntryExists(path) && !NamesSameEntry(path, currentPath);
}

std::string CCommandNames::freeName(const std::string& wanted, const std::string& current) {
    return m_numbering.number(wanted, current,
                              [&, currentPath = m_folder + current](const std::string& name) {
                                  return clashes(name, currentPath);
                              });
}

void CCommandNames::renamed(const std::string& from, const std::string& to) {
    if (m_dryRun) {
        m_taken.insert(to);
        m_taken.erase(from);
        m_freed.insert(from);
    }
    m_numbering.freed(from);
}

RenameResult RunRenameCommand(CMarlockUtilDoc& doc, IRenameRows& rows, CUndoGroup& group,
                              const RenameOptions& options) {
    RenameResult result;
    const std::vector<int> selected = rows.selectedRows();
    if (options.progress)
        options.progress->start(selected.size());
    const std::string folder = doc.GetCurrentFolderPath();
    const size_t nameLimit = FileNameLimit(folder);
    CCommandNames names(folder, options.dryRun, nameLimit);

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
        const std::string current = doc.GetItemName(record, NameMode::InFolder);
        std::string target = options.targetName
                                 ? options.targetName(record, current)
                                 : RenameTargetName(current, rows.cellText(row, options.column),
                                                    options.append, nameLimit);
        if (options.fixExtension && !target.empty())
            target = WithContentExtension(folder + current, target, nameLimit);
        if (target.empty() || target == current) {
            ++result.waiting;
            continue;
        }
        target = names.freeName(target, current);
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
        if (!moved)
            names.failed(target);
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
        names.renamed(current, newName);
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

RenamePlan PlanRenameCommand(CMarlockUtilDoc& doc, IRenameRows& rows, RenameOptions options) {
    // A dry run changes no name, so each file is found again by its name afterwards.
    std::map<std::string, std::string> renamed;
    options.dryRun = true;
    options.onRename = [&renamed, then = std::move(options.onRename)](const std::string& from,
                                                                      const std::string& to) {
        renamed[from] = to;
        if (then)
            then(from, to);
    };
    RenamePlan plan;
    const std::vector<int> selected = rows.selectedRows(); // the run deselects rows
    CUndoGroup unrecorded;
    plan.result = RunRenameCommand(doc, rows, unrecorded, options);
    for (int row : selected) {
        const int record = rows.record(row);
        if (doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER)
            continue;
        std::string name = doc.GetItemName(record, NameMode::InFolder);
        const auto found = renamed.find(name);
        std::string newName = found == renamed.end() ? name : found->second;
        plan.files.push_back({record, std::move(name), std::move(newName)});
    }
    return plan;
}

} // namespace tressel
