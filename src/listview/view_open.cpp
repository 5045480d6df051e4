// Opening entries from the list, our properties window, and the title watch.

#include "file_list_model.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "properties_dialog.h"
#include "title_watch.h"
#include "view.h"

#include <QDesktopServices>
#include <QFile>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <stdexcept>

namespace tressel {

namespace {

// Launching more than a few programs at once is rarely what a double click meant.
constexpr size_t kMaxLaunched = 5;

QString Decode(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// Why a file shows no information. Its readers are asked again, this time noting their
// answers, and only for a file whose cells are all empty.
QString WhyEmpty(CMarlockUtilDoc& doc, int record, const QStringList& cells) {
    const bool empty =
        std::all_of(cells.begin(), cells.end(), [](const QString& cell) { return cell.isEmpty(); });
    if (!empty || doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER)
        return {};
    const InformationResult info = doc.ReadInformation(record, true);
    return info.recognised ? QString() : QString::fromStdString(WhyNothingWasRead(info.attempts));
}

} // namespace

void CMarlockUtilView::openSelection(Qt::KeyboardModifiers modifiers) {
    const std::vector<int> records = selectedRecords();
    if (records.empty())
        return;
    if (modifiers & Qt::AltModifier) {
        showProperties(records);
        return;
    }
    const int first = records.front();
    if (!(modifiers & Qt::ControlModifier) &&
        (m_doc.GetAttributes(first, SFGAO_FOLDER) & SFGAO_FOLDER)) {
        if (m_doc.OpenFolderItem(m_doc.itemId(first)))
            repopulate();
        return;
    }
    if (records.size() == 1 &&
        EqualsNoCase(SplitPath(m_doc.GetItemName(first, NameMode::InFolder)).ext, ".exe"))
        startTitleWatch(first);
    launchRecords(records);
}

void CMarlockUtilView::launchRecords(const std::vector<int>& records) {
    for (size_t i = 0; i < records.size() && i < kMaxLaunched; ++i)
        launch(Decode(m_doc.GetItemName(records[i], NameMode::Parsing)));
}

void CMarlockUtilView::launch(const QString& path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        throw std::runtime_error("No application could open " + path.toStdString());
}

void CMarlockUtilView::showProperties(const std::vector<int>& records) {
    if (records.empty())
        return;
    QStringList headers;
    const std::vector<std::string>& names = m_doc.ColumnNames();
    for (size_t column = 1; column < names.size(); ++column)
        headers << QString::fromStdString(names[column]);
    std::vector<EntryFacts> entries;
    for (int record : records) {
        if (static_cast<int>(entries.size()) >= CPropertiesDialog::kMaxTabs)
            break;
        EntryFacts facts;
        facts.path = Decode(m_doc.GetItemName(record, NameMode::Parsing));
        facts.typeName = QString::fromStdString(m_doc.GetTypeName(record));
        facts.headers = headers;
        const int row = m_model->rowOfRecord(record);
        for (int column = 1; column < m_model->columnCount(); ++column)
            facts.values << (row < 0 ? QString() : m_model->cellText(row, column));
        facts.reason = WhyEmpty(m_doc, record, facts.values);
        entries.push_back(std::move(facts));
    }
    auto* dialog = new CPropertiesDialog(entries, static_cast<int>(records.size()), this);
    m_properties = dialog;
    dialog->show();
}

CPropertiesDialog* CMarlockUtilView::propertiesDialog() const {
    return m_properties.data();
}

void CMarlockUtilView::setForegroundWindow(std::unique_ptr<IForegroundWindow> source) {
    m_foreground = std::move(source);
}

void CMarlockUtilView::startTitleWatch(int record) {
    if (!m_foreground) {
        emit statusText(2, "The title watch is off: window titles are read on X11 only");
        return;
    }
    m_watchedRecord = record;
    emit statusText(2, QString());
    m_watchEndTimer->start(kWatchMs);
    m_titleTimer->start(kTitleCheckMs);
}

void CMarlockUtilView::stopTitleWatch() {
    m_titleTimer->stop();
    m_watchEndTimer->stop();
}

bool CMarlockUtilView::titleWatchRunning() const {
    return m_titleTimer->isActive();
}

// The watch lasts while the launched program is in front and ends a little after the
// user comes back to the list.
void CMarlockUtilView::onListFocus(bool in) {
    if (!in)
        m_watchEndTimer->stop();
    else if (titleWatchRunning())
        m_watchEndTimer->start(kWatchAfterFocusMs);
}

void CMarlockUtilView::checkWindowTitle() {
    if (!m_foreground)
        return;
    const std::optional<ForegroundWindow> front = m_foreground->foreground();
    const QWidget* main = window();
    if (!front || (main->internalWinId() && front->id == main->internalWinId()))
        return;
    const int row = m_model->rowOfRecord(m_watchedRecord);
    if (row < 0) {
        stopTitleWatch();
        return;
    }
    std::vector<std::string> cells{m_model->nameBytes(row)};
    for (int column = 1; column < m_model->columnCount(); ++column)
        cells.push_back(m_model->cellText(row, column).toStdString());
    const TitleWatchStep step = ApplyWindowTitle(cells, front->title, m_doc.ColumnNames());
    if (step.outcome == TitleWatchStep::Filled) {
        m_model->setInformation(row, step.column,
                                QString::fromStdString(cells[static_cast<size_t>(step.column)]));
        emit statusText(2, QString::fromStdString(step.status));
    } else if (step.outcome == TitleWatchStep::RowFull) {
        m_titleTimer->stop();
    }
}

} // namespace tressel
