// Opening entries from the list, and our properties window.

#include "file_list_model.h"
#include "file_name_text.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "properties_dialog.h"
#include "title_watch.h"
#include "translated_text.h"
#include "view.h"

#include <QDesktopServices>
#include <QUrl>

#include <algorithm>
#include <stdexcept>

namespace tressel {

namespace {

// Launching more than a few programs at once is rarely what a double click meant.
constexpr size_t kMaxLaunched = 5;

// Why a file shows no information. Its readers are asked again, this time noting their
// answers, and only for a file whose cells are all empty.
QString WhyEmpty(CMarlockUtilDoc& doc, int record, const QStringList& cells) {
    const bool empty =
        std::all_of(cells.begin(), cells.end(), [](const QString& cell) { return cell.isEmpty(); });
    if (!empty || doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER)
        return {};
    const InformationResult info = doc.ReadInformation(record, true);
    return info.recognised ? QString() : Translated(WhyNothingWasRead(info.attempts));
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
        m_titleWatch->start(first);
    launchRecords(records);
}

void CMarlockUtilView::launchRecords(const std::vector<int>& records) {
    for (size_t i = 0; i < records.size() && i < kMaxLaunched; ++i)
        launch(DecodeName(m_doc.GetItemName(records[i], NameMode::Parsing)));
}

void CMarlockUtilView::launch(const QString& path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        throw std::runtime_error(tr("No application could open %1").arg(path).toStdString());
}

void CMarlockUtilView::showProperties(const std::vector<int>& records) {
    if (records.empty())
        return;
    QStringList headers;
    const std::vector<std::string>& names = m_doc.ColumnNames();
    for (size_t column = 1; column < names.size(); ++column)
        headers << TranslatedColumnName(names[column]);
    std::vector<EntryFacts> entries;
    for (int record : records) {
        if (static_cast<int>(entries.size()) >= CPropertiesDialog::kMaxTabs)
            break;
        EntryFacts facts;
        facts.path = DecodeName(m_doc.GetItemName(record, NameMode::Parsing));
        facts.typeName = QString::fromStdString(m_doc.GetTypeName(record));
        facts.headers = headers;
        const int row = m_model->rowOfRecord(record);
        for (int column = 1; column < m_model->columnCount(); ++column) {
            facts.values << (row < 0 ? QString() : m_model->cellText(row, column));
            facts.labels << (row < 0 ? QString() : m_model->cellLabel(row, column));
        }
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

} // namespace tressel
