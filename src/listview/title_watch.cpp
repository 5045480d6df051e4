#include "title_watch.h"

#include "escape_check.h"
#include "file_list_model.h"
#include "platform/text.h"
#include "translated_text.h"

#include <QTimer>
#include <QWidget>

#include <exception>

namespace tressel {

TitleWatchStep ApplyWindowTitle(std::vector<std::string>& cells, std::string_view title,
                                const std::vector<std::string>& headers) {
    TitleWatchStep step;
    title = TrimAsciiSpace(title);
    if (title.empty())
        return step;
    for (size_t i = 1; i < cells.size(); ++i) {
        if (cells[i] == title) {
            step.outcome = TitleWatchStep::AlreadyShown;
            step.column = static_cast<int>(i);
            return step;
        }
        if (!cells[i].empty())
            continue;
        cells[i] = std::string(title);
        step.outcome = TitleWatchStep::Filled;
        step.column = static_cast<int>(i);
        const std::string header = i < headers.size() ? headers[i] : std::string();
        step.status = UI_TEXT("tressel::CTitleWatch", "%1 filled with \"%2\"")
                          .arg(header)
                          .arg(std::string(title));
        return step;
    }
    step.outcome = TitleWatchStep::RowFull;
    return step;
}

CTitleWatch::CTitleWatch(CFileListModel& model, const std::vector<std::string>& headers,
                         const CEscapeCheck& commands, QWidget* owner)
    : QObject(owner), m_model(model), m_headers(headers), m_commands(commands), m_owner(owner),
      m_foreground(MakeDesktopForegroundWindow()), m_titleTimer(new QTimer(this)),
      m_watchEndTimer(new QTimer(this)) {
    m_titleTimer->setInterval(kTitleCheckMs);
    m_watchEndTimer->setSingleShot(true);
    m_watchEndTimer->setInterval(kWatchMs);
    connect(m_titleTimer, &QTimer::timeout, this, [this] {
        if (m_commands.isActive())
            return; // the cells of a command's rows stay as the command found them
        try {
            checkWindowTitle();
        } catch (const std::exception& e) {
            emit failed(QString::fromUtf8(e.what()));
        }
    });
    connect(m_watchEndTimer, &QTimer::timeout, this, &CTitleWatch::stop);
}

CTitleWatch::~CTitleWatch() = default;

void CTitleWatch::setForegroundWindow(std::unique_ptr<IForegroundWindow> source) {
    m_foreground = std::move(source);
}

void CTitleWatch::start(int record) {
    if (!m_foreground) {
        emit status(tr("The title watch is off: window titles are read on X11 only"));
        return;
    }
    m_record = record;
    emit status(QString());
    m_watchEndTimer->start(kWatchMs);
    m_titleTimer->start(kTitleCheckMs);
}

void CTitleWatch::stop() {
    m_titleTimer->stop();
    m_watchEndTimer->stop();
}

bool CTitleWatch::running() const {
    return m_titleTimer->isActive();
}

void CTitleWatch::listFocusChanged(bool in) {
    if (!in)
        m_watchEndTimer->stop();
    else if (running())
        m_watchEndTimer->start(kWatchAfterFocusMs);
}

void CTitleWatch::checkWindowTitle() {
    if (!m_foreground)
        return;
    const std::optional<ForegroundWindow> front = m_foreground->foreground();
    const QWidget* main = m_owner->window();
    if (!front || (main->internalWinId() && front->id == main->internalWinId()))
        return;
    const int row = m_model.rowOfRecord(m_record);
    if (row < 0) {
        stop();
        return;
    }
    std::vector<std::string> cells{m_model.nameBytes(row)};
    for (int column = 1; column < m_model.columnCount(); ++column)
        cells.push_back(m_model.cellText(row, column).toStdString());
    const TitleWatchStep step = ApplyWindowTitle(cells, front->title, m_headers);
    if (step.outcome == TitleWatchStep::Filled) {
        m_model.setInformation(row, step.column,
                               QString::fromStdString(cells[static_cast<size_t>(step.column)]));
        emit status(Translated(step.status));
    } else if (step.outcome == TitleWatchStep::RowFull) {
        m_titleTimer->stop();
    }
}

} // namespace tressel
