#pragma once

// The title watch: after the user launches a program from the list, the titles of
// the windows that come to the front fill the empty information cells of its row,
// where they can serve as new names.

#include "foreground_window.h"
#include "platform/ui_text.h"

#include <QObject>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QTimer;
class QWidget;

namespace tressel {

class CEscapeCheck;
class CFileListModel;

struct TitleWatchStep {
    enum Outcome {
        Ignored,      // a blank title
        AlreadyShown, // some cell holds this very title
        Filled,       // the first empty cell took the title
        RowFull,      // every cell holds other text: the watch ends
    };
    Outcome outcome = Ignored;
    int column = -1; // the cell filled
    UiText status;   // for the status bar, when a cell was filled
};

// cells[i] is the text of column i (cells[0] the name, which is never filled);
// headers are the column names.
TitleWatchStep ApplyWindowTitle(std::vector<std::string>& cells, std::string_view title,
                                const std::vector<std::string>& headers);

// The watch itself: after a single executable is launched from the list, one timer
// samples the foreground window's title every half second and another ends the watch,
// 10 seconds after the launch or 3 seconds after the list has the focus back.
class CTitleWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kTitleCheckMs = 500;
    static constexpr int kWatchMs = 10000;
    static constexpr int kWatchAfterFocusMs = 3000;

    // owner's window is the program's own, never watched; headers name the columns. No
    // title is taken while a long command holds the Esc check.
    CTitleWatch(CFileListModel& model, const std::vector<std::string>& headers,
                const CEscapeCheck& commands, QWidget* owner);
    ~CTitleWatch() override;

    // Where titles come from; null turns the watch off.
    void setForegroundWindow(std::unique_ptr<IForegroundWindow> source);
    void start(int record);
    void stop();
    bool running() const;
    // One sample of the foreground title (what the check timer runs).
    void checkWindowTitle();
    // The watch ends a little after the user comes back to the list.
    void listFocusChanged(bool in);

    QTimer* titleTimer() const { return m_titleTimer; }
    QTimer* watchEndTimer() const { return m_watchEndTimer; }

signals:
    void status(const QString& text);
    void failed(const QString& text);

private:
    CFileListModel& m_model;
    const std::vector<std::string> m_headers; // translated for the status line
    const CEscapeCheck& m_commands;
    QWidget* m_owner;
    std::unique_ptr<IForegroundWindow> m_foreground;
    QTimer* m_titleTimer;
    QTimer* m_watchEndTimer;
    int m_record = -1;
};

} // namespace tressel
