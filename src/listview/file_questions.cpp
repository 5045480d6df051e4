#include "file_questions.h"

#include "file_name_text.h"
#include "set_extensions_dialog.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tressel {

namespace {

QString DeleteQuestion(const QStringList& paths, bool permanent) {
    const QString what = paths.size() == 1 ? "\"" + paths.front() + "\""
                                           : QString("these %1 items").arg(paths.size());
    return permanent ? "Are you sure you want to permanently delete " + what + "?"
                     : "Are you sure you want to move " + what + " to the trash?";
}

bool ConfirmDelete(QWidget* parent, const QStringList& paths, bool permanent) {
    return QMessageBox::question(parent, permanent ? "Delete" : "Move to Trash",
                                 DeleteQuestion(paths, permanent)) == QMessageBox::Yes;
}

ExistingTarget AskAboutExisting(QWidget* parent, const std::string& target) {
    QMessageBox box(QMessageBox::Question, "File exists",
                    "\"" + DecodeName(target) + "\" already exists.", QMessageBox::NoButton,
                    parent);
    box.setInformativeText("Replace sends the existing one to the trash.");
    QPushButton* replace = box.addButton("&Replace", QMessageBox::DestructiveRole);
    QPushButton* skip = box.addButton("&Skip", QMessageBox::RejectRole);
    QPushButton* both = box.addButton("&Keep both", QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(both);
    box.exec();
    if (box.clickedButton() == replace)
        return ExistingTarget::Replace;
    if (box.clickedButton() == skip)
        return ExistingTarget::Skip;
    if (box.clickedButton() == both)
        return ExistingTarget::KeepBoth;
    return ExistingTarget::Cancel;
}

} // namespace

FileQuestions WindowFileQuestions(QWidget* parent) {
    FileQuestions questions;
    questions.confirmDelete = [parent](const QStringList& paths, bool permanent) {
        return ConfirmDelete(parent, paths, permanent);
    };
    questions.chooseFolder = [parent](const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, title, start);
    };
    questions.askExisting = [parent](const std::string& target) {
        return AskAboutExisting(parent, target);
    };
    questions.askExtensions = [parent](QString& from, QString& to) {
        CSetExtensionsDialog dialog(parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        from = dialog.from();
        to = dialog.newExtension();
        return true;
    };
    questions.confirmChanges = [parent](const QString& title, const QString& descriptionHeader,
                                        const std::vector<PlannedChange>& changes) {
        CPlannedChangesDialog dialog(title, descriptionHeader, CPlannedChangesDialog::tr("&Rename"),
                                     changes, parent);
        return dialog.exec() == QDialog::Accepted ? dialog.tickedChanges()
                                                  : std::vector<PlannedChange>();
    };
    questions.previewRename = [parent](const std::vector<NameMenuItem>& columns,
                                       const RenamePreviewSettings& start,
                                       const RenamePlanner& planner) {
        CRenamePreviewDialog dialog(columns, start, planner, parent);
        return dialog.exec() == QDialog::Accepted ? dialog.tickedChanges()
                                                  : std::vector<PlannedChange>();
    };
    return questions;
}

} // namespace tressel
