// Grouping from the list (the Group menu, and "Group All" of the find dialog) and Set
// Extensions. Each walks records, never rows: the Esc check lets the window paint, and
// rows may move meanwhile.

#include "catalogue/group_keys.h"
#include "catalogue/set_extensions.h"
#include "file_list_model.h"
#include "file_name_text.h"
#include "operations/feedback.h"
#include "operations/group_files.h"
#include "translated_text.h"
#include "view.h"

namespace tressel {

void CMarlockUtilView::reportGroupResult(const UiText& subject, int errors,
                                         const CFailureList& failures, const std::string& stopped) {
    if (!stopped.empty())
        emit statusText(PaneReport, Translated(ThenSentence(ReportText(subject, errors),
                                                            JournalStopText(stopped))));
    else if (errors > 0)
        reportFailures(subject, failures);
    else
        report(subject, 0);
}

// The key of each file row in row order. Reading a column's texts, or the types of many
// files, takes a while: Esc ends the reading, and the rows read so far are grouped.
std::vector<GroupItem> CMarlockUtilView::groupItems(int mode) {
    const std::vector<int> records = m_model->records();
    progress().start(records.size());
    std::vector<GroupItem> items;
    for (const int record : records) {
        const int row = m_model->rowOfRecord(record);
        if (row < 0 || m_model->isFolder(row) || m_doc.isVacated(record))
            continue;
        if (m_escape.cancelRequested()) {
            m_escape.clear(); // that Esc ends the reading, not the moves
            break;
        }
        std::string name = m_doc.GetItemName(record, NameMode::InFolder);
        std::string key;
        if (mode == GroupByType) {
            key = TypeGroupKey(m_doc, record);
        } else if (mode == GroupByExtension) {
            key = ExtensionGroupKey(name);
        } else {
            const int column = mode - GroupByFirstColumn;
            key = column == 0 ? m_model->nameBytes(row)
                              : m_model->cellText(row, column).toStdString();
        }
        progress().step();
        items.push_back({std::move(name), std::move(key)});
    }
    return items;
}

void CMarlockUtilView::group(int mode) {
    if (mode < GroupByType || mode > GroupByLastColumn)
        return;
    guard([this, mode] {
        std::unique_ptr<CUndoGroup> group = newUndoGroup("group");
        m_cancel = false;
        CLongCommand command(m_escape);
        emit statusText(PaneReport, tr("Press Esc to cancel"));
        const std::vector<GroupItem> items = groupItems(mode);
        GroupOptions options;
        options.progress = &progress();
        options.cancel = &m_escape;
        const GroupResult result =
            GroupFiles(m_doc.GetCurrentFolderPath(), items, group.get(), options);
        m_cancel = result.cancelled;
        pushUndoGroup(std::move(group));
        reportGroupResult(GroupSubject(result), result.errors, result.failures, result.stopped);
    });
    scheduleRefresh();
}

void CMarlockUtilView::groupInto(const QString& text) {
    const std::string folderName = text.toStdString();
    const std::vector<int> records = selectedRecords();
    if (!ShouldGroupInto(m_doc.GetCurrentFolderPath(), folderName, records.size()))
        return;
    guard([&] {
        std::vector<std::string> names;
        for (const int record : records) {
            if (!m_doc.isVacated(record) &&
                !(m_doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER))
                names.push_back(m_doc.GetItemName(record, NameMode::InFolder));
        }
        std::unique_ptr<CUndoGroup> group = newUndoGroup("group into");
        m_cancel = false;
        CLongCommand command(m_escape);
        GroupOptions options;
        options.progress = &progress();
        options.cancel = &m_escape;
        const GroupResult result =
            GroupIntoFolder(m_doc.GetCurrentFolderPath(), names, folderName, group.get(), options);
        m_cancel = result.cancelled;
        pushUndoGroup(std::move(group));
        reportGroupResult(GroupSubject(result), result.errors, result.failures, result.stopped);
    });
    scheduleRefresh();
}

void CMarlockUtilView::setExtensions() {
    QString from;
    QString to;
    if (!m_questions.askExtensions || !m_questions.askExtensions(from, to))
        return;
    SetExtensionsOptions options;
    options.from = ExtensionText(from.toStdString());
    options.to = ExtensionText(to.toStdString());
    if (CharacterCount(options.to) > kMaxNewExtensionLength)
        return; // the dialog takes no more
    guard([&] {
        std::unique_ptr<CUndoGroup> group = newUndoGroup("setext");
        m_cancel = false;
        CLongCommand command(m_escape);
        emit statusText(PaneReport, tr("Press Esc to cancel"));
        options.progress = &progress();
        options.cancel = &m_escape;
        options.onRename = [this](int record, const std::string&, const std::string& name) {
            const int row = m_model->rowOfRecord(record);
            if (row < 0)
                return;
            m_model->setName(row, name);
            m_model->forgetInformation(row); // read again, icon included, under its new type
        };
        const SetExtensionsResult result =
            SetExtensions(m_doc, m_model->records(), *group, options);
        m_cancel = result.cancelled;
        pushUndoGroup(std::move(group));
        reportGroupResult(SetExtensionsSubject(result), result.errors, result.failures,
                          result.stopped);
    });
}

} // namespace tressel
