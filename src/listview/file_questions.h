#pragma once

// The questions the file commands ask. The view holds them as function objects so that
// tests answer them; these are the window's own dialogs.

#include "catalogue/file_commands.h"
#include "planned_changes_dialog.h"
#include "rename_preview_dialog.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace tressel {

struct FileQuestions {
    // Yes to deleting paths (permanent: for good, else to the trash).
    std::function<bool(const QStringList& paths, bool permanent)> confirmDelete;
    // The chosen folder, or empty on Cancel.
    std::function<QString(const QString& title, const QString& start)> chooseFolder;
    // What to do with a target that exists.
    AskExisting askExisting;
    // The extension to replace and its replacement (without dots); false on Cancel.
    std::function<bool(QString& from, QString& to)> askExtensions;
    // The changes the user leaves ticked in the planned-changes list; none on Cancel.
    std::function<std::vector<PlannedChange>(const QString& title, const QString& descriptionHeader,
                                             const std::vector<PlannedChange>& changes)>
        confirmChanges;
    // The rename preview over the name submenu's columns, opened with start and planned
    // by planner: the changes the user leaves ticked; none on Cancel.
    std::function<std::vector<PlannedChange>(const std::vector<NameMenuItem>& columns,
                                             const RenamePreviewSettings& start,
                                             const RenamePlanner& planner)>
        previewRename;
};

// Modal dialogs owned by parent.
FileQuestions WindowFileQuestions(QWidget* parent);

} // namespace tressel
