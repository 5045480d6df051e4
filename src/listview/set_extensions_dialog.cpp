#include "set_extensions_dialog.h"

#include "catalogue/set_extensions.h"
#include "settings/settings_store.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tressel {

namespace {

const char kSection[] = "Settings";
const char kLastFrom[] = "LastFromExt";
const char kLastNew[] = "LastNewExt";

} // namespace

CSetExtensionsDialog::CSetExtensionsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("setExtensionsDialog");
    setWindowTitle(tr("Set Extensions"));
    const SettingsStore& store = SettingsStore::instance();
    m_from = new QLineEdit(store.readString(kSection, kLastFrom), this);
    m_from->setObjectName("fromEdit");
    m_new = new QLineEdit(this);
    m_new->setObjectName("newExtensionEdit");
    m_new->setMaxLength(static_cast<int>(kMaxNewExtensionLength));
    m_new->setText(store.readString(kSection, kLastNew));
    auto* form = new QFormLayout;
    form->addRow(tr("From:"), m_from);
    form->addRow(tr("New Extention:"), m_new);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

CSetExtensionsDialog::~CSetExtensionsDialog() {
    SettingsStore& store = SettingsStore::instance();
    store.writeString(kSection, kLastFrom, m_from->text());
    store.writeString(kSection, kLastNew, m_new->text());
}

QString CSetExtensionsDialog::from() const {
    return m_from->text();
}

QString CSetExtensionsDialog::newExtension() const {
    return m_new->text();
}

} // namespace tressel
