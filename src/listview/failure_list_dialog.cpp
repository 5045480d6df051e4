#include "failure_list_dialog.h"

#include "translated_text.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tressel {

CFailureListDialog::CFailureListDialog(const QString& summary, const CFailureList& failures,
                                       QWidget* parent)
    : QDialog(parent) {
    setObjectName("failureListDialog");
    setWindowTitle(tr("Details"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(summary, this));

    m_list = new QTreeWidget(this);
    m_list->setObjectName("failureList");
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({tr("File"), tr("Reason")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const Failure& failure : failures.items()) {
        // Names are bytes; the list shows them as the file manager would.
        auto* row = new QTreeWidgetItem(
            m_list, {QFile::decodeName(failure.path.c_str()), Translated(failure.reason)});
        row->setToolTip(0, row->text(0));
        row->setToolTip(1, row->text(1));
    }
    // In the order the failures came up until the user sorts by a column.
    m_list->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_list->setSortingEnabled(true);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    m_list->header()->resizeSection(0, 360);
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 360);
}

} // namespace tressel
