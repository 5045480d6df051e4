#include "undo_history_dialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTimeZone>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tressel {

QString JournalStartText(const std::string& started) {
    const QString text = QString::fromStdString(started);
    QDateTime when = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss 'UTC'");
    if (!when.isValid())
        return text;
    when.setTimeZone(QTimeZone::utc());
    return QLocale().toString(when.toLocalTime(), CUndoHistoryDialog::tr("d MMM, HH:mm"));
}

QString JournalStateText(const JournalSummary& journal) {
    if (journal.running)
        return CUndoHistoryDialog::tr("running");
    switch (journal.contents.state()) {
    case JournalState::Applied:
        return CUndoHistoryDialog::tr("applied");
    case JournalState::PartlyUndone:
        return CUndoHistoryDialog::tr("partly undone");
    case JournalState::Undone:
        return CUndoHistoryDialog::tr("undone");
    case JournalState::Interrupted:
        return CUndoHistoryDialog::tr("interrupted");
    case JournalState::Damaged:
        return CUndoHistoryDialog::tr("damaged");
    }
    return {};
}

CUndoHistoryDialog::CUndoHistoryDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("undoHistoryDialog");
    setWindowTitle(tr("Undo History"));
    auto* layout = new QVBoxLayout(this);

    m_list = new QTreeWidget(this);
    m_list->setObjectName("undoHistoryList");
    m_list->setHeaderLabels({tr("When"), tr("Command"), tr("Files"), tr("State")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setSectionResizeMode(Command, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_undo = buttons->addButton(tr("&Undo"), QDialogButtonBox::ActionRole);
    m_undo->setObjectName("undoHistoryUndo");
    m_redo = buttons->addButton(tr("&Redo"), QDialogButtonBox::ActionRole);
    m_redo->setObjectName("undoHistoryRedo");
    // The action buttons never close the dialog: the list shows their outcome.
    m_undo->setAutoDefault(false);
    m_redo->setAutoDefault(false);
    connect(m_undo, &QPushButton::clicked, this, &CUndoHistoryDialog::undoRequested);
    connect(m_redo, &QPushButton::clicked, this, &CUndoHistoryDialog::redoRequested);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 320);
}

void CUndoHistoryDialog::showJournals(const std::vector<JournalSummary>& journals, int undoRow,
                                      int redoRow) {
    m_list->clear();
    for (const JournalSummary& journal : journals) {
        const JournalContents& c = journal.contents;
        auto* row = new QTreeWidgetItem(
            m_list, {JournalStartText(c.started), QString::fromStdString(c.command),
                     QString::number(c.moveCount()), JournalStateText(journal)});
        row->setTextAlignment(Files, Qt::AlignRight | Qt::AlignVCenter);
        row->setToolTip(Command, QString::fromStdString(journal.path));
    }
    m_undo->setEnabled(undoRow >= 0);
    m_redo->setEnabled(redoRow >= 0);
    const int current = undoRow >= 0 ? undoRow : redoRow;
    if (current >= 0)
        m_list->setCurrentItem(m_list->topLevelItem(current));
    for (int column = 0; column < m_list->columnCount(); ++column) {
        if (column != Command)
            m_list->resizeColumnToContents(column);
    }
}

} // namespace tressel
