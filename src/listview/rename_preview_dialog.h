#pragma once

// "Preview Rename": the rename command's planned changes for the selection, with the
// choices that shape them (the column, Append, Fix Extensions) above the list. Each
// change of a choice plans the names again; the user unticks the files to leave.

#include "context_menu.h"
#include "planned_changes_dialog.h"

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;

namespace tressel {

struct RenamePreviewSettings {
    int column = 1;
    bool append = false;
    bool fixExtensions = false;
};

// The changes the rename command would make with these settings.
using RenamePlanner = std::function<std::vector<PlannedChange>(const RenamePreviewSettings&)>;

class CRenamePreviewDialog : public CPlannedChangesDialog {
    Q_OBJECT
public:
    // columns are the name submenu's items; start selects one of them and the options.
    CRenamePreviewDialog(const std::vector<NameMenuItem>& columns,
                         const RenamePreviewSettings& start, RenamePlanner planner,
                         QWidget* parent);

    RenamePreviewSettings settings() const;
    QComboBox* columnChooser() const { return m_column; }
    QCheckBox* appendBox() const { return m_append; }
    QCheckBox* fixExtensionsBox() const { return m_fixExtensions; }

private:
    void plan();

    RenamePlanner m_planner;
    QComboBox* m_column = nullptr;
    QCheckBox* m_append = nullptr;
    QCheckBox* m_fixExtensions = nullptr;
};

} // namespace tressel
