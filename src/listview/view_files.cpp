// The view's commands on whole files and folders: delete, copy to, move to, and the
// removal of empty folders.

#include "view.h"

#include "file_list_model.h"
#include "file_name_text.h"
#include "operations/feedback.h"
#include "settings/settings_store.h"

#include <QDir>

namespace tressel {

namespace {

QString ChooseTitle(bool move) {
    return move ? CMarlockUtilView::tr("Choose a folder to move files to")
                : CMarlockUtilView::tr("Choose a folder to copy files to");
}

} // namespace

std::vector<std::string> CMarlockUtilView::selectedPaths() const {
    std::vector<std::string> paths;
    for (int record : selectedRecords())
        paths.push_back(m_doc.GetItemName(record, NameMode::Parsing));
    return paths;
}

void CMarlockUtilView::deleteSelection(bool permanent) {
    const std::vector<std::string> paths = selectedPaths();
    if (paths.empty())
        return;
    emit previewHideRequested(); // a preview must not hold a file open
    const bool ask = !permanent || m_confirmDelete->value();
    QStringList shown;
    for (const std::string& path : paths)
        shown << DecodeName(path);
    if (ask && !(m_questions.confirmDelete && m_questions.confirmDelete(shown, permanent)))
        return;
    if (permanent)
        emit statusText(PaneReport, tr("Delete %1").arg(shown.front()));
    CFailureList failures;
    for (const std::string& path : paths) {
        UiText reason;
        const bool gone =
            permanent ? DeletePermanently(path, reason) : MoveToTrash(path, reason, nullptr);
        if (!gone)
            failures.add(path, reason);
    }
    if (!failures.empty())
        reportFailures(UI_TEXT("tressel::CMarlockUtilView", "deleting"), failures);
    scheduleRefresh();
}

void CMarlockUtilView::deleteEmptyDirectories() {
    std::vector<std::string> folders;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->isFolder(row))
            folders.push_back(m_doc.GetItemName(m_model->recordOfRow(row), NameMode::Parsing));
    }
    emit statusText(PaneReport, Translated(DirsDeletedText(RemoveEmptyDirectories(folders))));
    scheduleRefresh();
}

QString CMarlockUtilView::targetFolder(bool move, int index) {
    const QStringList& history = m_moveTo->entries();
    if (index >= 0) {
        if (index >= history.size())
            return {};
        QDir().mkdir(history[index]); // one level; it may well exist
        return history[index];
    }
    if (!m_questions.chooseFolder)
        return {};
    const QString chosen = m_questions.chooseFolder(ChooseTitle(move), m_lastBrowsed);
    if (!chosen.isEmpty())
        m_lastBrowsed = chosen;
    return chosen;
}

void CMarlockUtilView::copyOrMove(bool move, int index) {
    const QString folder = targetFolder(move, index);
    if (folder.isEmpty())
        return;
    RememberTargetFolder(m_moveTo->entries(), folder, m_moveTo->capacity());
    const std::vector<std::string> paths = selectedPaths();
    const QString last = (move ? tr("Last Move to ") : tr("Last Copy to ")) + folder;
    emit statusText(PaneReport, last);

    // A journal holds only paths in and just below its folder, and Move To sends files
    // anywhere: its moves are undone from this run's history only.
    std::unique_ptr<CUndoGroup> group = move ? std::make_unique<CUndoGroup>() : nullptr;
    TransferRequest request;
    request.move = move;
    request.targetFolder = EncodeName(folder);
    request.ask = m_questions.askExisting;
    request.group = group.get();
    request.progress = &progress();
    request.cancel = &m_escape;
    TransferResult result;
    {
        m_cancel = false;
        CLongCommand command(m_escape);
        result = TransferItems(paths, request);
        m_cancel = result.cancelled;
    }
    if (group)
        pushUndoGroup(std::move(group));
    if (!result.failures.empty())
        reportFailures((move ? UI_TEXT("tressel::CMarlockUtilView", "moving to %1 (%2 done)")
                             : UI_TEXT("tressel::CMarlockUtilView", "copying to %1 (%2 done)"))
                           .arg(request.targetFolder)
                           .arg(result.done),
                       result.failures);
    else
        emit statusText(PaneReport, last);
    scheduleRefresh();
}

} // namespace tressel
