#include "rename_preview_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTreeWidget>

namespace tressel {

CRenamePreviewDialog::CRenamePreviewDialog(const std::vector<NameMenuItem>& columns,
                                           const RenamePreviewSettings& start,
                                           RenamePlanner planner, QWidget* parent)
    : CPlannedChangesDialog(tr("Preview Rename"), tr("Text"), tr("&Rename"), {}, parent),
      m_planner(std::move(planner)) {
    setObjectName("renamePreviewDialog");
    auto* controls = new QWidget;
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(tr("&Column:"), controls);
    m_column = new QComboBox(controls);
    m_column->setObjectName("previewColumn");
    // Texts from files are shown as they are (a combo box takes no mnemonics).
    for (const NameMenuItem& item : columns) {
        m_column->addItem(QString::fromStdString(NameItemText(item)), item.column);
        if (item.column == start.column)
            m_column->setCurrentIndex(m_column->count() - 1);
    }
    label->setBuddy(m_column);
    m_append = new QCheckBox(tr("&Append to the name"), controls);
    m_append->setObjectName("previewAppend");
    m_append->setChecked(start.append);
    m_fixExtensions = new QCheckBox(tr("&Fix Extensions"), controls);
    m_fixExtensions->setObjectName("previewFixExtensions");
    m_fixExtensions->setToolTip(tr("Also give each file the extension its content should carry"));
    m_fixExtensions->setChecked(start.fixExtensions);
    row->addWidget(label);
    row->addWidget(m_column, 1);
    row->addWidget(m_append);
    row->addWidget(m_fixExtensions);
    addControls(controls);

    connect(m_column, &QComboBox::currentIndexChanged, this, &CRenamePreviewDialog::plan);
    connect(m_append, &QCheckBox::toggled, this, &CRenamePreviewDialog::plan);
    connect(m_fixExtensions, &QCheckBox::toggled, this, &CRenamePreviewDialog::plan);
    plan();
    list()->setFocus();
}

RenamePreviewSettings CRenamePreviewDialog::settings() const {
    return {m_column->currentData().toInt(), m_append->isChecked(), m_fixExtensions->isChecked()};
}

void CRenamePreviewDialog::plan() {
    if (m_column->currentIndex() < 0 || !m_planner)
        return;
    setChanges(m_planner(settings()));
}

} // namespace tressel
