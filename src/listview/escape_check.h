#pragma once

// The Esc check of long commands. While a command runs on the user-interface thread,
// an application event filter records an Esc key press and swallows every other key
// and mouse event meant for the program's windows (they are not replayed); each check
// lets the window repaint and tells whether Esc was pressed.

#include "operations/feedback.h"

#include <QObject>

namespace tressel {

class CEscapeCheck : public QObject, public ICancelCheck {
    Q_OBJECT
public:
    explicit CEscapeCheck(QObject* parent = nullptr);
    ~CEscapeCheck() override;

    // Starts and ends the guarded stretch; nested calls count.
    void begin();
    void end();
    bool isActive() const { return m_depth > 0; }

    bool cancelRequested() override;
    // Forgets an Esc seen earlier.
    void clear() { m_escape = false; }

signals:
    // The outermost guarded stretch is over.
    void ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_depth = 0;
    bool m_escape = false;
};

// Holds the Esc check on for one command.
class CLongCommand {
public:
    explicit CLongCommand(CEscapeCheck& check) : m_check(check) { m_check.begin(); }
    ~CLongCommand() { m_check.end(); }
    CLongCommand(const CLongCommand&) = delete;
    CLongCommand& operator=(const CLongCommand&) = delete;

private:
    CEscapeCheck& m_check;
};

} // namespace tressel
