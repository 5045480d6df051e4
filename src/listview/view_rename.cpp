// Renaming from the list: one file in place (F2, "Rena&me") and the rename command of
// the name submenu, which renames every selected file after an information column.

#include "catalogue/fix_extensions.h"
#include "catalogue/rename_command.h"
#include "file_list_model.h"
#include "file_name_text.h"
#include "list_context_menu.h"
#include "operations/failure_list.h"
#include "operations/feedback.h"
#include "operations/plain_move.h"
#include "platform/paths.h"
#include "view.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QScopeGuard>
#include <QTableView>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

namespace tressel {

namespace {

// The list's cells as rows of the rename command, named by record number: the list
// may change while the command runs (the Esc check lets the window paint), and a
// record keeps naming the same file whatever row shows it. Changes nothing: a dry run
// plans on it.
class CListCellRows : public IRenameRows {
public:
    CListCellRows(CFileListModel& model, std::vector<int> records)
        : m_model(model), m_records(std::move(records)) {}

    std::vector<int> selectedRows() override { return m_records; }
    int record(int record) override { return record; }
    std::string cellText(int record, int column) override {
        const int row = m_model.rowOfRecord(record);
        if (column == 0)
            return m_model.nameBytes(row);
        return m_model.cellText(row, column).toStdString();
    }
    void deselect(int) override {}
    void setName(int, const std::string&) override {}

protected:
    CFileListModel& m_model;

private:
    std::vector<int> m_records;
};

// The rename command's view of the list, which also shows its renames. Rows leave the
// selection together when the command ends: deselecting them one by one splits the
// selection into ever more ranges, and every change makes the window count the
// selected rows again, which made a large selection cost far more than the renaming
// itself.
class CViewRenameRows : public CListCellRows {
public:
    CViewRenameRows(CFileListModel& model, QItemSelectionModel& selection, std::vector<int> records)
        : CListCellRows(model, std::move(records)), m_selection(selection) {}
    ~CViewRenameRows() override { applyDeselection(); }

    void deselect(int record) override { m_deselected.push_back(record); }
    void setName(int record, const std::string& name) override {
        m_model.setName(m_model.rowOfRecord(record), name);
    }

private:
    // One selection change, its rows merged into ranges.
    void applyDeselection() {
        std::vector<int> rows;
        rows.reserve(m_deselected.size());
        for (int record : m_deselected) {
            if (const int row = m_model.rowOfRecord(record); row >= 0)
                rows.push_back(row);
        }
        if (rows.empty())
            return;
        std::sort(rows.begin(), rows.end());
        QItemSelection selection;
        const int last = m_model.columnCount() - 1;
        for (size_t first = 0; first < rows.size();) {
            size_t end = first + 1;
            while (end < rows.size() && rows[end] <= rows[end - 1] + 1)
                ++end;
            selection.select(m_model.index(rows[first], 0), m_model.index(rows[end - 1], last));
            first = end;
        }
        m_selection.select(selection, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }

    QItemSelectionModel& m_selection;
    std::vector<int> m_deselected;
};

// The files of a plan, for a dry run that only asks which names they would get.
class CPlannedRows final : public IRenameRows {
public:
    explicit CPlannedRows(std::vector<int> records) : m_records(std::move(records)) {}
    std::vector<int> selectedRows() override { return m_records; }
    int record(int record) override { return record; }
    std::string cellText(int, int) override { return {}; }
    void deselect(int) override {}
    void setName(int, const std::string&) override {}

private:
    std::vector<int> m_records;
};

} // namespace

int CMarlockUtilView::selectionMarkRow() const {
    const QModelIndex current = m_details->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CMarlockUtilView::editName() {
    const int row = selectionMarkRow();
    if (row < 0)
        return;
    QAbstractItemView* view = currentView();
    view->setFocus();
    view->scrollTo(m_model->index(row, 0));
    view->edit(m_model->index(row, 0));
}

namespace {

// The first part of a typed name (between '/') longer than the file system allows.
std::string OverlongPart(const std::string& name, size_t limit) {
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find('/', start), name.size());
        if (end - start > limit)
            return name.substr(start, end - start);
        start = end + 1;
    }
    return {};
}

// The folder a name with '/' took the file to, as the user named it: "a/".
QString MovedIntoText(const std::string& usedPath, const std::string& folder) {
    std::string dir = SplitPath(usedPath).dir;
    if (dir.compare(0, folder.size(), folder) == 0)
        dir.erase(0, folder.size());
    return QCoreApplication::translate("tressel::CMarlockUtilView", "Moved into %1")
        .arg(DecodeName(dir));
}

} // namespace

// A name typed by the user is theirs: one the file system cannot hold is refused, not
// cut (the cutting of the move routine serves names made from column texts).
void CMarlockUtilView::renameRow(int row, const QString& typed) {
    const int record = m_model->recordOfRow(row);
    if (record < 0 || typed.isEmpty())
        return;
    const std::string name = EncodeName(typed);
    if (name == m_model->nameBytes(row))
        return; // an edit that changed nothing is not a rename
    const PathParts parts = SplitPath(m_doc.GetItemName(record, NameMode::Parsing));
    const size_t limit = FileNameLimit(parts.dir);
    if (const std::string part = OverlongPart(name, limit); !part.empty()) {
        emit statusText(PaneReport, tr("Not renamed: the name is %1 bytes long, the file "
                                       "system allows at most %2")
                                        .arg(part.size())
                                        .arg(limit));
        return;
    }
    bool renamed = false;
    int error = 0;
    std::string usedPath;
    std::string lastJournalError;
    guard([&] {
        std::unique_ptr<CUndoGroup> group = newUndoGroup("rename");
        errno = 0;
        renamed = m_doc.RenameItem(record, parts.dir + name, group.get(), &usedPath);
        error = errno;
        lastJournalError = group->journalError();
        if (renamed)
            pushUndoGroup(std::move(group));
    });
    if (!renamed) {
        CFailureList failures;
        failures.add(parts.dir + parts.fileName(),
                     error ? UiText(std::strerror(error))
                           : UI_TEXT("tressel::CMarlockUtilView", "the file could not be renamed"));
        const UiText subject = UI_TEXT("tressel::CMarlockUtilView", "Setting name");
        reportFailures(subject, failures);
        if (!lastJournalError.empty())
            emit statusText(PaneReport,
                            Translated(ThenSentence(ReportText(subject, 1),
                                                    JournalStopText(lastJournalError))));
        return;
    }
    m_model->forgetInformation(row);
    // The name the move produced (cleaned, numbered); a file moved out of the folder
    // keeps its row until the folder refresh removes it.
    m_model->setName(row, m_doc.GetItemName(record, NameMode::InFolder));
    if (name.find('/') != std::string::npos)
        emit statusText(PaneReport, MovedIntoText(usedPath, parts.dir));
}

void CMarlockUtilView::renameToColumn(int column) {
    const auto clearAppend = qScopeGuard([this] { m_contextMenu->clearAppendFlag(); });
    guard([this, column] {
        m_cancel = false;
        emit statusText(PaneReport, tr("Press Esc to cancel"));
        RenameOptions options;
        options.column = column;
        options.append = m_contextMenu->appendFlag();
        options.fixExtension = m_doc.fixExtensions();
        const RenameResult result = renameRecords("rename", selectedRecords(), options);
        emit statusText(PaneReport, Translated(result.status));
    });
}

// One rename command over the rows of records, with the progress bar and Esc, kept as
// one undo group.
RenameResult CMarlockUtilView::renameRecords(const std::string& command, std::vector<int> records,
                                             RenameOptions options) {
    std::unique_ptr<CUndoGroup> group = newUndoGroup(command);
    CLongCommand longCommand(m_escape);
    CViewRenameRows list(*m_model, *m_details->selectionModel(), std::move(records));
    options.progress = &progress();
    options.cancel = &m_escape;
    const RenameResult result = RunRenameCommand(m_doc, list, *group, options);
    m_cancel = result.cancelled;
    pushUndoGroup(std::move(group));
    return result;
}

// The rows are read first (on the workers, with the progress bar; Esc stops it), so
// that planning asks no file on the spot.
void CMarlockUtilView::previewRename(bool append) {
    guard([this, append] {
        const std::vector<int> records = selectedRecords();
        if (records.empty())
            return;
        if (!readRowsFirst(records))
            return;
        const std::vector<NameMenuItem> columns = m_contextMenu->nameItems(records);
        if (columns.empty()) {
            emit statusText(PaneReport,
                            tr("No file of the selection has a text to be named after"));
            return;
        }
        if (!m_questions.previewRename)
            return;
        const RenamePreviewSettings start{columns.front().column, append, m_doc.fixExtensions()};
        const std::vector<PlannedChange> ticked = m_questions.previewRename(
            columns, start, [this, &records](const RenamePreviewSettings& settings) {
                return planRenames(records, settings);
            });
        applyPlannedRenames(records, ticked);
    });
}

// The plan of `tressel rename --dry-run`, on the list's cells as the rename command
// reads them; Esc leaves it empty.
std::vector<PlannedChange> CMarlockUtilView::planRenames(const std::vector<int>& records,
                                                         const RenamePreviewSettings& settings) {
    CLongCommand command(m_escape);
    CListCellRows rows(*m_model, records);
    RenameOptions options;
    options.column = settings.column;
    options.append = settings.append;
    options.fixExtension = settings.fixExtensions;
    options.progress = &progress();
    options.cancel = &m_escape;
    const RenamePlan plan = PlanRenameCommand(m_doc, rows, options);
    std::vector<PlannedChange> changes;
    if (plan.result.cancelled)
        return changes;
    for (const PlannedRename& file : plan.files) {
        // A file gone meanwhile (the folder refresh took its row) is no longer offered.
        if (const int row = m_model->rowOfRecord(file.record); row >= 0)
            changes.push_back(
                {file.oldName, file.newName, m_model->cellText(row, settings.column)});
    }
    return changes;
}

// The ticked files go through the rename command once more, each to the name it was
// shown, so that the clash checks run again: a name another file took meanwhile gets
// the next number, never that file's place.
void CMarlockUtilView::applyPlannedRenames(const std::vector<int>& records,
                                           const std::vector<PlannedChange>& ticked) {
    std::map<std::string, int> recordOfName;
    for (int record : records)
        recordOfName.emplace(m_doc.GetItemName(record, NameMode::InFolder), record);
    std::vector<int> chosen;
    std::map<int, std::string> newNames;
    for (const PlannedChange& change : ticked) {
        const auto found = recordOfName.find(change.oldName);
        if (found == recordOfName.end())
            continue;
        chosen.push_back(found->second);
        newNames.emplace(found->second, change.newName);
    }
    if (chosen.empty())
        return;
    m_cancel = false;
    RenameOptions options;
    options.targetName = [&newNames](int record, const std::string&) { return newNames[record]; };
    int numberedAgain = 0;
    options.onRename = [&](const std::string& from, const std::string& to) {
        numberedAgain += to != newNames[recordOfName[from]];
    };
    const RenameResult result = renameRecords("rename", std::move(chosen), options);
    UiText status = result.status;
    if (numberedAgain > 0)
        status = ThenSentence(std::move(status),
                              UI_TEXT("tressel::CMarlockUtilView",
                                      "%1 name(s) were taken meanwhile and got the next number")
                                  .arg(numberedAgain));
    emit statusText(PaneReport, Translated(status));
}

namespace {

// The files that need another extension, in row order, each with its fix.
using ExtensionPlan = std::vector<std::pair<int, ExtensionFix>>;

// The plan for the files among records; nullopt when Esc stopped it.
std::optional<ExtensionPlan> PlanExtensionFixes(CMarlockUtilDoc& doc,
                                                const std::vector<int>& records,
                                                IProgress& progress, ICancelCheck& cancel) {
    ExtensionPlan plan;
    progress.start(records.size());
    for (int record : records) {
        if (cancel.cancelRequested())
            return std::nullopt;
        progress.step();
        if (doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER)
            continue;
        const std::string name = doc.GetItemName(record, NameMode::InFolder);
        if (auto fix = PlanExtensionFix(doc.GetCurrentFolderPath(), name))
            plan.emplace_back(record, std::move(*fix));
    }
    return plan;
}

std::vector<int> RecordsOf(const ExtensionPlan& plan) {
    std::vector<int> records;
    for (const auto& entry : plan)
        records.push_back(entry.first);
    return records;
}

// The changes a run of the plan would make, named as the run would name them (clashes
// numbered), for the user to look over.
std::vector<PlannedChange> PlannedChanges(CMarlockUtilDoc& doc, const ExtensionPlan& plan,
                                          const RenameOptions& options) {
    std::map<int, QString> descriptions;
    for (const auto& [record, fix] : plan)
        descriptions.emplace(record, QString::fromStdString(fix.description));
    CPlannedRows rows(RecordsOf(plan));
    std::vector<PlannedChange> changes;
    for (const PlannedRename& file : PlanRenameCommand(doc, rows, options).files) {
        if (file.newName != file.oldName)
            changes.push_back({file.oldName, file.newName, descriptions[file.record]});
    }
    return changes;
}

} // namespace

void CMarlockUtilView::fixExtensionsFromContent() {
    guard([this] {
        std::optional<ExtensionPlan> plan;
        {
            m_cancel = false;
            CLongCommand command(m_escape);
            emit statusText(PaneReport, tr("Press Esc to cancel"));
            plan = PlanExtensionFixes(m_doc, selectedRecords(), progress(), m_escape);
        }
        m_cancel = !plan;
        if (!plan || plan->empty()) {
            emit statusText(PaneReport, plan ? tr("Every extension fits its content") : QString());
            return;
        }
        std::map<std::string, int> recordOfName;
        std::map<int, std::string> newNames;
        for (const auto& [record, fix] : *plan) {
            recordOfName.emplace(fix.name, record);
            newNames.emplace(record, fix.newName);
        }
        RenameOptions options;
        options.targetName = [&newNames](int record, const std::string&) {
            const auto found = newNames.find(record);
            return found == newNames.end() ? std::string() : found->second;
        };
        std::vector<PlannedChange> ticked = PlannedChanges(m_doc, *plan, options);
        if (m_questions.confirmChanges)
            ticked = m_questions.confirmChanges(tr("Fix Extensions from Content"), tr("Content"),
                                                ticked);
        std::vector<int> chosen;
        for (const PlannedChange& change : ticked)
            chosen.push_back(recordOfName[change.oldName]);
        if (chosen.empty()) {
            emit statusText(PaneReport, QString());
            return;
        }

        const RenameResult result = renameRecords("fixext", std::move(chosen), options);
        emit statusText(PaneReport, Translated(result.status));
    });
}

} // namespace tressel
