#pragma once

// The "Details" behind a command's report line: every file the command could not
// handle, with the reason, in a list the user can read, sort and copy from.

#include "operations/failure_list.h"

#include <QDialog>

class QTreeWidget;

namespace tressel {

class CFailureListDialog : public QDialog {
    Q_OBJECT
public:
    // summary is the report line the list belongs to.
    CFailureListDialog(const QString& summary, const CFailureList& failures, QWidget* parent);
    QTreeWidget* list() const { return m_list; }

private:
    QTreeWidget* m_list = nullptr;
};

} // namespace tressel
