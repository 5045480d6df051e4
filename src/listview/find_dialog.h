#pragma once

// The "Find String" dialog: the text to find with its recent texts, the direction, and
// the button that closed it. The view keeps one for its whole life, so the direction
// and the text carry over from one search to the next and F3 finds the text again.

#include <QDialog>

#include <memory>
#include <vector>

class QComboBox;
class QPushButton;
class QRadioButton;

namespace tressel {

class CPersistentHistory;

// The buttons that close the dialog; Cancel is also Esc and the window's close button.
enum class FindButton : int { Cancel = 0, FindNext, SelectAll, GroupAll };

class CFindDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHistorySize = 10;

    explicit CFindDialog(QWidget* parent = nullptr);
    ~CFindDialog() override;

    // Shows the dialog modally. Any button but Cancel takes the direction and the text
    // back and puts the text at the front of the recent texts; Cancel changes nothing.
    FindButton ask();

    bool down() const { return m_down; }
    void setDown(bool down) { m_down = down; }
    const QString& findText() const { return m_findText; }
    void setFindText(const QString& text) { m_findText = text; }
    // The recent texts, most recent first, stored in section "FindHistory".
    const QStringList& history() const;

private:
    void showState();
    void takeBack();
    QPushButton* addButton(const QString& text, const char* name, FindButton button);
    void enableSearchButtons();

    std::unique_ptr<CPersistentHistory> m_history;
    bool m_down = true;
    QString m_findText;
    QComboBox* m_what = nullptr;
    QRadioButton* m_up = nullptr;
    QRadioButton* m_downButton = nullptr;
    std::vector<QPushButton*> m_searchButtons;
};

} // namespace tressel
