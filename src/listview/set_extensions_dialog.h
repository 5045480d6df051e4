#pragma once

// The Set Extensions dialog: the extension to replace ("From:") and its replacement
// ("New Extention:", at most 10 characters), both without the dot. It starts from the
// texts last used (LastFromExt, LastNewExt) and keeps what it shows when it closes,
// whether by OK or Cancel.

#include <QDialog>

class QLineEdit;

namespace tressel {

class CSetExtensionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSetExtensionsDialog(QWidget* parent = nullptr);
    ~CSetExtensionsDialog() override;

    QString from() const;
    QString newExtension() const;
    QLineEdit* fromEdit() const { return m_from; }
    QLineEdit* newExtensionEdit() const { return m_new; }

private:
    QLineEdit* m_from;
    QLineEdit* m_new;
};

} // namespace tressel
