#include "find_dialog.h"

#include "settings/settings_store.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tressel {

CFindDialog::CFindDialog(QWidget* parent)
    : QDialog(parent),
      m_history(std::make_unique<CPersistentHistory>("FindHistory", kHistorySize, "string")) {
    setObjectName("findDialog");
    setWindowTitle(tr("Find String"));
    if (!m_history->entries().isEmpty())
        m_findText = m_history->entries().front();

    auto* label = new QLabel(tr("Find what:"), this);
    m_what = new QComboBox(this);
    m_what->setObjectName("findWhat");
    m_what->setEditable(true);
    // The recent texts change only when a search runs, never while typing.
    m_what->setInsertPolicy(QComboBox::NoInsert);
    m_what->setMinimumContentsLength(30);
    label->setBuddy(m_what);
    connect(m_what, &QComboBox::editTextChanged, this, &CFindDialog::enableSearchButtons);

    auto* direction = new QGroupBox(tr("Direction"), this);
    m_up = new QRadioButton(tr("Up"), direction);
    m_up->setObjectName("findUp");
    m_downButton = new QRadioButton(tr("Down"), direction);
    m_downButton->setObjectName("findDown");
    auto* directionRow = new QHBoxLayout(direction);
    directionRow->addWidget(m_up);
    directionRow->addWidget(m_downButton);

    auto* left = new QVBoxLayout;
    auto* whatRow = new QHBoxLayout;
    whatRow->addWidget(label);
    whatRow->addWidget(m_what, 1);
    left->addLayout(whatRow);
    left->addWidget(direction);
    left->addStretch();

    auto* buttons = new QVBoxLayout;
    QPushButton* findNext = addButton(tr("&Find Next"), "findNextButton", FindButton::FindNext);
    findNext->setDefault(true);
    buttons->addWidget(findNext);
    buttons->addWidget(addButton(tr("&Select All"), "selectAllButton", FindButton::SelectAll));
    buttons->addWidget(addButton(tr("&Group All"), "groupAllButton", FindButton::GroupAll));
    buttons->addWidget(addButton(tr("&Cancel"), "cancelButton", FindButton::Cancel));
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
}

CFindDialog::~CFindDialog() = default;

const QStringList& CFindDialog::history() const {
    return m_history->entries();
}

QPushButton* CFindDialog::addButton(const QString& text, const char* name, FindButton button) {
    auto* push = new QPushButton(text, this);
    push->setObjectName(name);
    push->setAutoDefault(false);
    connect(push, &QPushButton::clicked, this, [this, button] { done(static_cast<int>(button)); });
    if (button != FindButton::Cancel)
        m_searchButtons.push_back(push);
    return push;
}

// Every row holds the empty text: searching for it would select whatever comes first,
// and grouping after it would have no folder name.
void CFindDialog::enableSearchButtons() {
    const bool any = !m_what->currentText().isEmpty();
    for (QPushButton* button : m_searchButtons)
        button->setEnabled(any);
}

FindButton CFindDialog::ask() {
    showState();
    m_what->setFocus();
    m_what->lineEdit()->selectAll();
    const auto button = static_cast<FindButton>(exec());
    if (button != FindButton::Cancel)
        takeBack();
    return button;
}

void CFindDialog::showState() {
    m_what->clear();
    m_what->addItems(m_history->entries());
    m_what->setEditText(m_findText);
    (m_down ? m_downButton : m_up)->setChecked(true);
    enableSearchButtons();
}

void CFindDialog::takeBack() {
    m_down = m_downButton->isChecked();
    m_findText = m_what->currentText();
    m_history->remember(m_findText);
}

} // namespace tressel
