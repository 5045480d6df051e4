#pragma once

// The planned changes of a command that renames files, shown before anything moves:
// one row per file with its old name, its new name and a description, each with a
// check box. The user unticks the rows that should stay as they are. A row whose new
// name is its old one is shown greyed, without a check box: nothing would change.

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace tressel {

struct PlannedChange {
    std::string oldName; // file names are bytes
    std::string newName;
    QString description; // what the file is, or why it changes
    bool checked = true;
};

class CPlannedChangesDialog : public QDialog {
    Q_OBJECT
public:
    // descriptionHeader heads the third column; acceptText names the button that
    // carries the changes out.
    CPlannedChangesDialog(const QString& title, const QString& descriptionHeader,
                          const QString& acceptText, const std::vector<PlannedChange>& changes,
                          QWidget* parent);

    // The rows as the user left them, ticked ones only, in the list's first order.
    std::vector<PlannedChange> tickedChanges() const;
    QTreeWidget* list() const { return m_list; }
    // Shows another plan in place of the rows; files unticked stay unticked.
    void setChanges(const std::vector<PlannedChange>& changes);

protected:
    // Puts controls (owned by the dialog) above the list.
    void addControls(QWidget* controls);

private:
    void fillList();
    void updateSummary();

    std::vector<PlannedChange> m_changes;
    QTreeWidget* m_list = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_accept = nullptr;
};

} // namespace tressel
