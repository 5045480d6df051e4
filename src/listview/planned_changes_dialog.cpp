#include "planned_changes_dialog.h"

#include "file_name_text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace tressel {

namespace {

// The row's place in the plan, which sorting the list does not change.
constexpr int kPlanIndexRole = Qt::UserRole;

} // namespace

CPlannedChangesDialog::CPlannedChangesDialog(const QString& title, const QString& descriptionHeader,
                                             const QString& acceptText,
                                             const std::vector<PlannedChange>& changes,
                                             QWidget* parent)
    : QDialog(parent), m_changes(changes) {
    setObjectName("plannedChangesDialog");
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    m_summary = new QLabel(this);
    layout->addWidget(m_summary);

    m_list = new QTreeWidget(this);
    m_list->setObjectName("plannedChanges");
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({tr("Old Name"), tr("New Name"), descriptionHeader});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fillList();
    m_list->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_list->setSortingEnabled(true);
    m_list->header()->resizeSection(0, 220);
    m_list->header()->resizeSection(1, 220);
    connect(m_list, &QTreeWidget::itemChanged, this, &CPlannedChangesDialog::updateSummary);
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_accept = buttons->addButton(acceptText, QDialogButtonBox::AcceptRole);
    m_accept->setObjectName("acceptChanges");
    m_accept->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    updateSummary();
    resize(760, 400);
}

namespace {

bool IsUnchanged(const PlannedChange& change) {
    return change.newName == change.oldName;
}

} // namespace

void CPlannedChangesDialog::fillList() {
    const bool sorting = m_list->isSortingEnabled();
    m_list->setSortingEnabled(false);
    m_list->clear();
    for (size_t i = 0; i < m_changes.size(); ++i) {
        const PlannedChange& change = m_changes[i];
        auto* row = new QTreeWidgetItem(
            m_list, {DecodeName(change.oldName), DecodeName(change.newName), change.description});
        if (IsUnchanged(change)) // greyed, nothing to tick
            row->setFlags(row->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable));
        else
            row->setCheckState(0, change.checked ? Qt::Checked : Qt::Unchecked);
        row->setData(0, kPlanIndexRole, static_cast<int>(i));
        for (int column = 0; column < 3; ++column)
            row->setToolTip(column, row->text(column));
    }
    m_list->setSortingEnabled(sorting);
}

// A file the user unticked stays unticked in the new plan.
void CPlannedChangesDialog::setChanges(const std::vector<PlannedChange>& changes) {
    const QSignalBlocker quiet(m_list);
    std::set<std::string> unticked;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = m_list->topLevelItem(i);
        if ((row->flags() & Qt::ItemIsUserCheckable) && row->checkState(0) == Qt::Unchecked)
            unticked.insert(
                m_changes[static_cast<size_t>(row->data(0, kPlanIndexRole).toInt())].oldName);
    }
    m_changes = changes;
    for (PlannedChange& change : m_changes)
        change.checked = change.checked && !unticked.count(change.oldName);
    fillList();
    updateSummary();
}

void CPlannedChangesDialog::addControls(QWidget* controls) {
    controls->setParent(this);
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, controls);
}

std::vector<PlannedChange> CPlannedChangesDialog::tickedChanges() const {
    std::vector<bool> ticked(m_changes.size(), false);
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = m_list->topLevelItem(i);
        const auto index = static_cast<size_t>(row->data(0, kPlanIndexRole).toInt());
        ticked[index] = !IsUnchanged(m_changes[index]) && row->checkState(0) == Qt::Checked;
    }
    std::vector<PlannedChange> result;
    for (size_t i = 0; i < m_changes.size(); ++i) {
        if (ticked[i])
            result.push_back(m_changes[i]);
    }
    return result;
}

void CPlannedChangesDialog::updateSummary() {
    const auto changing =
        static_cast<int>(std::count_if(m_changes.begin(), m_changes.end(),
                                       [](const PlannedChange& c) { return !IsUnchanged(c); }));
    const int ticked = static_cast<int>(tickedChanges().size());
    m_summary->setText(tr("%1 of %2 file(s) will be renamed. Untick those that should keep "
                          "their names.")
                           .arg(ticked)
                           .arg(changing));
    m_accept->setEnabled(ticked > 0);
}

} // namespace tressel
