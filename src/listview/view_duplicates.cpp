// Remove Duplicates from the list: the rows' files in display order, so that the copy
// shown first is the one that stays.

#include "file_list_model.h"
#include "operations/remove_duplicates.h"
#include "view.h"

namespace tressel {

void CMarlockUtilView::removeDuplicates() {
    guard([this] {
        std::vector<std::string> names;
        for (const int record : m_model->records()) {
            if (!m_doc.isVacated(record) &&
                !(m_doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER))
                names.push_back(m_doc.GetItemName(record, NameMode::InFolder));
        }
        std::unique_ptr<CUndoGroup> group = newUndoGroup("dups");
        m_cancel = false;
        CLongCommand command(m_escape);
        emit statusText(PaneReport, tr("Press Esc to cancel"));
        RemoveDuplicatesOptions options;
        options.progress = &progress();
        options.cancel = &m_escape;
        const RemoveDuplicatesResult result =
            RemoveDuplicates(m_doc.GetCurrentFolderPath(), names, group.get(), options);
        m_cancel = result.cancelled;
        pushUndoGroup(std::move(group));
        if (result.errors > 0 && result.stopped.empty() && m_report)
            m_report->reportFailures(RemovalSubject(result.removed), result.failures);
        else
            emit statusText(PaneReport, Translated(RemoveDuplicatesStatus(result)));
    });
}

} // namespace tressel
