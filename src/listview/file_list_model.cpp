#include "file_list_model.h"

#include "listview/file_name_text.h"
#include "listview/sort_order.h"

#include "catalogue/document.h"
#include "listview/row_reader.h"
#include "operations/feedback.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "readers/file_reader.h"
#include "translated_text.h"

#include <QApplication>
#include <QMimeData>
#include <QPalette>
#include <QStyle>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <unordered_map>

namespace tressel {

QString GroupThousands(unsigned long long value) {
    QString digits = QString::number(value);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, ',');
    return digits;
}

CFileListModel::CFileListModel(CMarlockUtilDoc& doc, QObject* parent)
    : QAbstractTableModel(parent), m_doc(doc) {}

int CFileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CFileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : CMarlockUtilDoc::kColumnCount;
}

QVariant CFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    const auto& names = m_doc.ColumnNames();
    if (section < 0 || section >= static_cast<int>(names.size()))
        return {};
    const auto at = static_cast<size_t>(section);
    const bool marked = at < m_marked.size() && m_marked[at];
    return TranslatedColumnName(names[at]) +
           QString::fromStdString(marked ? CListSorter::MarkerSuffix() : "");
}

Qt::ItemFlags CFileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f =
        Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
    if (index.column() == 0)
        f |= Qt::ItemIsEditable;
    if (index.column() == 0 && m_checkBoxes)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QStringList CFileListModel::mimeTypes() const {
    return {"text/uri-list"};
}

QMimeData* CFileListModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<QUrl> urls;
    for (int row : rows) {
        const int record = recordOfRow(row);
        if (record >= 0)
            urls << QUrl::fromLocalFile(DecodeName(m_doc.GetItemName(record, NameMode::Parsing)));
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

Qt::DropActions CFileListModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::LinkAction;
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    Row& row = m_rows[static_cast<size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (column == 0)
            return DecodeName(nameOf(row));
        if (row.folder)
            return QString();
        if (!row.read && m_reader) {
            requestRead(index.row(), true);
            return QString();
        }
        if (!row.read) {
            readRow(row);
            emit const_cast<CFileListModel*>(this)->rowRead(index.row());
        }
        if (const RowCells* cells = cellsOf(row))
            return cells->information[static_cast<size_t>(column - 1)];
        return QString();
    case Qt::ToolTipRole:
        if (column == 0 || data(index, Qt::DisplayRole).toString().isEmpty())
            return {};
        return cellsOf(row)->labels[static_cast<size_t>(column - 1)];
    case Qt::DecorationRole:
        return column == 0 ? QVariant(iconOf(row)) : QVariant();
    case Qt::CheckStateRole:
        return column == 0 && m_checkBoxes ? QVariant(row.checked) : QVariant();
    case Qt::ForegroundRole:
        if (row.hidden)
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    default:
        return {};
    }
}

bool CFileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    // The name is never set from an edit: renaming goes through the file system and
    // the row takes the name the move produced (setName).
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    m_rows[static_cast<size_t>(index.row())].checked =
        static_cast<uint8_t>(static_cast<Qt::CheckState>(value.toInt()));
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

// Cells are marked read before the reader runs, so a request arriving while the file
// is read (a repaint from the Esc check) finds empty text instead of reading again.
void CFileListModel::readRow(Row& row) const {
    row.read = true;
    m_pendingReads.erase(row.record); // whatever a worker brings for it comes too late
    InformationResult result;
    try {
        result = m_doc.ReadInformation(row.record);
    } catch (const std::exception& e) {
        storeInformation(row, {});
        if (m_onError)
            m_onError(QString::fromUtf8(e.what()));
        return;
    }
    storeInformation(row, result);
}

void CFileListModel::storeInformation(Row& row, const InformationResult& result) const {
    m_cells.erase(row.record);
    const std::vector<std::string>& values = result.values;
    if (values.empty())
        return;
    RowCells& cells = m_cells[row.record];
    for (size_t j = 0; j < cells.information.size() && j < values.size(); ++j) {
        cells.information[j] = QString::fromStdString(FirstMeaningfulLine(values[j], false));
        if (j < result.labels.size())
            cells.labels[j] = TranslatedLabel(result.labels[j]);
    }
}

void CFileListModel::startBackgroundReading(int threads) {
    if (m_reader)
        return;
    m_reader = new CRowReader(threads, this);
    connect(m_reader, &CRowReader::resultsReady, this, &CFileListModel::takeReadResults);
}

// A row asked for again while waiting only moves up the queue when it came into view.
void CFileListModel::requestRead(int row, bool urgent) const {
    const Row& r = m_rows[static_cast<size_t>(row)];
    const auto pending = m_pendingReads.find(r.record);
    if (pending != m_pendingReads.end()) {
        if (urgent)
            m_reader->hurry(pending->second);
        return;
    }
    const uint64_t ticket = ++m_lastTicket;
    m_pendingReads.emplace(r.record, ticket);
    m_reader->request({r.record, ticket, m_doc.GetItemName(r.record, NameMode::Parsing),
                       m_doc.scanAll(), &m_doc.readerTable()},
                      urgent);
}

// On the window's thread: the results whose rows still wait for them fill their cells.
void CFileListModel::takeReadResults() {
    if (!m_reader)
        return;
    for (RowReadResult& result : m_reader->takeResults()) {
        const auto pending = m_pendingReads.find(result.record);
        if (pending == m_pendingReads.end() || pending->second != result.ticket)
            continue;
        m_pendingReads.erase(pending);
        const int row = rowOfRecord(result.record);
        if (row < 0 || m_rows[static_cast<size_t>(row)].read)
            continue;
        Row& r = m_rows[static_cast<size_t>(row)];
        r.read = true;
        storeInformation(r, result.information);
        if (!result.error.empty() && m_onError)
            m_onError(QString::fromStdString(result.error));
        emit dataChanged(index(row, 1), index(row, columnCount() - 1));
        emit rowRead(row);
    }
}

bool CFileListModel::isWaitingForRead(int record) const {
    const int row = rowOfRecord(record);
    return row >= 0 && !m_rows[static_cast<size_t>(row)].folder &&
           !m_rows[static_cast<size_t>(row)].read;
}

bool CFileListModel::readRecords(const std::vector<int>& records, ICancelCheck* check,
                                 IProgress* progress) {
    if (!m_reader)
        return true; // cellText reads each row when asked
    std::vector<int> waiting;
    for (int record : records) {
        if (isWaitingForRead(record))
            waiting.push_back(record);
    }
    if (progress && !waiting.empty())
        progress->start(waiting.size());
    while (!waiting.empty()) {
        for (int record : waiting) {
            if (!m_pendingReads.count(record))
                requestRead(rowOfRecord(record), false);
        }
        if (check && check->cancelRequested())
            return false;
        m_reader->waitForResult(std::chrono::milliseconds(50));
        takeReadResults();
        const size_t before = waiting.size();
        std::erase_if(waiting, [&](int record) { return !isWaitingForRead(record); });
        for (size_t read = waiting.size(); progress && read < before; ++read)
            progress->step();
    }
    return true;
}

void CFileListModel::readAllInBackground() {
    if (!m_reader)
        return;
    for (int row = 0; row < rowCount(); ++row) {
        if (isWaitingForRead(m_rows[static_cast<size_t>(row)].record))
            requestRead(row, false);
    }
}

const CFileListModel::RowCells* CFileListModel::cellsOf(const Row& row) const {
    const auto found = m_cells.find(row.record);
    return found == m_cells.end() ? nullptr : &found->second;
}

const std::string& CFileListModel::nameOf(const Row& row) const {
    const auto renamed = m_renamed.find(row.record);
    return renamed == m_renamed.end() ? m_doc.itemId(row.record) : renamed->second;
}

QIcon CFileListModel::iconOf(const Row& row) const {
    Row& r = const_cast<Row&>(row);
    QString iconName;
    if (r.icon > 0) {
        iconName = m_iconNames[r.icon - 1u];
    } else {
        iconName =
            QString::fromStdString(m_doc.GetIconName(row.record, [](const std::string& name) {
                return QIcon::hasThemeIcon(QString::fromStdString(name));
            }));
        auto number = m_iconNumbers.constFind(iconName);
        if (number != m_iconNumbers.constEnd()) {
            r.icon = *number;
        } else if (m_iconNames.size() < UINT16_MAX) {
            m_iconNames.push_back(iconName);
            r.icon = static_cast<uint16_t>(m_iconNames.size());
            m_iconNumbers.insert(iconName, r.icon);
        }
    }
    auto found = m_icons.constFind(iconName);
    if (found != m_icons.constEnd())
        return *found;
    const QIcon fallback =
        QApplication::style()->standardIcon(row.folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    const QIcon icon = QIcon::fromTheme(iconName, fallback);
    m_icons.insert(iconName, icon);
    return icon;
}

CFileListModel::Row CFileListModel::makeRow(int record) {
    Row row;
    row.record = record;
    const uint32_t attributes = m_doc.GetAttributes(record, SFGAO_FOLDER | SFGAO_GHOSTED);
    row.folder = (attributes & SFGAO_FOLDER) != 0;
    row.hidden = (attributes & SFGAO_GHOSTED) != 0;
    return row;
}

bool CFileListModel::accepts(const Row& row, bool numberedOnly) const {
    return !numberedOnly || row.folder || CMarlockUtilDoc::IsNumberedName(nameOf(row));
}

void CFileListModel::repopulate(bool numberedOnly) {
    const int records = m_doc.GetRecordCount();
    emit populateStarted(records);
    std::unordered_set<std::string> checked;
    if (m_populatedFolder == m_doc.GetCurrentFolderPath())
        checked = m_keptChecks ? std::move(*m_keptChecks) : checkedNames();
    m_keptChecks.reset();
    m_populatedFolder = m_doc.GetCurrentFolderPath();
    beginResetModel();
    m_indexValid = false;
    m_pendingReads.clear();
    if (m_reader)
        m_reader->clear();
    m_rows.clear();
    m_cells.clear();
    m_renamed.clear();
    m_rows.reserve(static_cast<size_t>(records));
    for (int r = 0; r < records; ++r) {
        if (m_doc.isVacated(r))
            continue;
        Row row = makeRow(r);
        if (checked.count(nameOf(row)))
            row.checked = Qt::Checked;
        if (accepts(row, numberedOnly))
            m_rows.push_back(std::move(row));
    }
    endResetModel();
    emit populateFinished(rowCount());
}

void CFileListModel::insertRecords(int firstRecord, int count, bool numberedOnly) {
    // Records numbered past the last row (those a refresh appends) all go to the end:
    // one insertion for all of them.
    if (firstRecord >= rowCount()) {
        std::vector<Row> added;
        for (int r = firstRecord; r < m_doc.GetRecordCount() && count != 0; ++r) {
            if (count > 0)
                --count;
            if (m_doc.isVacated(r))
                continue;
            Row row = makeRow(r);
            if (accepts(row, numberedOnly))
                added.push_back(row);
        }
        if (added.empty())
            return;
        const int at = rowCount();
        beginInsertRows({}, at, at + static_cast<int>(added.size()) - 1);
        m_rows.insert(m_rows.end(), added.begin(), added.end());
        renumberFrom(at);
        endInsertRows();
        return;
    }
    for (int r = std::max(firstRecord, 0); r < m_doc.GetRecordCount() && count != 0; ++r) {
        if (count > 0)
            --count;
        if (m_doc.isVacated(r))
            continue;
        Row row = makeRow(r);
        if (!accepts(row, numberedOnly))
            continue;
        const int at = std::min(r, rowCount());
        beginInsertRows({}, at, at);
        m_rows.insert(m_rows.begin() + at, std::move(row));
        renumberFrom(at);
        endInsertRows();
    }
}

bool CFileListModel::removeRecord(int record) {
    const int row = rowOfRecord(record);
    if (row < 0)
        return false;
    eraseRows(row, row);
    return true;
}

int CFileListModel::removeRecords(const std::vector<int>& records) {
    std::vector<bool> doomed(static_cast<size_t>(std::max(m_doc.GetRecordCount(), 0)));
    for (int record : records) {
        if (record >= 0 && static_cast<size_t>(record) < doomed.size())
            doomed[static_cast<size_t>(record)] = true;
    }
    auto isDoomed = [&](int row) {
        return doomed[static_cast<size_t>(m_rows[static_cast<size_t>(row)].record)];
    };
    int runs = 0;
    for (int row = 0; row < rowCount(); ++row)
        runs += isDoomed(row) && (row == 0 || !isDoomed(row - 1)) ? 1 : 0;
    // Renumbering the rows behind every run would walk them once per run: the index is
    // rebuilt once when next asked instead.
    m_indexValid = false;
    // A view walks all its rows for every removal it is told of: many runs are first
    // moved behind the rows that stay and then go in one removal.
    constexpr int kFewRuns = 16;
    if (runs > kFewRuns) {
        std::vector<int> newRowOfOld(m_rows.size());
        int kept = 0;
        for (int row = 0; row < rowCount(); ++row)
            kept += isDoomed(row) ? 0 : 1;
        int nextKept = 0;
        int nextDoomed = kept;
        for (int row = 0; row < rowCount(); ++row)
            newRowOfOld[static_cast<size_t>(row)] = isDoomed(row) ? nextDoomed++ : nextKept++;
        rearrange(newRowOfOld, QAbstractItemModel::NoLayoutChangeHint);
        const int removed = rowCount() - kept;
        eraseRows(kept, rowCount() - 1);
        return removed;
    }
    int removed = 0;
    // From the end, one signal per run of adjacent rows, so earlier rows keep their
    // numbers while later ones go.
    for (int row = rowCount() - 1; row >= 0;) {
        if (!isDoomed(row)) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && isDoomed(first - 1))
            --first;
        eraseRows(first, row);
        removed += row - first + 1;
        row = first - 1;
    }
    return removed;
}

void CFileListModel::removeRowsWhere(const std::function<bool(int)>& drop) {
    for (int row = 0; row < rowCount();) {
        if (drop(row))
            eraseRows(row, row);
        else
            ++row;
    }
}

void CFileListModel::eraseRows(int first, int last) {
    beginRemoveRows({}, first, last);
    for (int row = first; row <= last; ++row) {
        const int record = m_rows[static_cast<size_t>(row)].record;
        if (m_indexValid)
            m_rowOfRecord[static_cast<size_t>(record)] = -1;
        forgetRecord(record);
    }
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
    renumberFrom(first);
    endRemoveRows();
}

void CFileListModel::forgetRecord(int record) {
    m_cells.erase(record);
    m_renamed.erase(record);
}

// Rows from row on moved: their records point at their new positions.
void CFileListModel::renumberFrom(int row) {
    if (!m_indexValid)
        return;
    for (size_t at = static_cast<size_t>(row); at < m_rows.size(); ++at) {
        const auto record = static_cast<size_t>(m_rows[at].record);
        if (record >= m_rowOfRecord.size())
            m_rowOfRecord.resize(record + 1, -1);
        m_rowOfRecord[record] = static_cast<int>(at);
    }
}

std::vector<int> CFileListModel::records() const {
    std::vector<int> out;
    out.reserve(m_rows.size());
    for (const Row& row : m_rows)
        out.push_back(row.record);
    return out;
}

void CFileListModel::reorder(const std::vector<int>& recordOrder) {
    if (recordOrder.size() != m_rows.size())
        return;
    std::vector<int> newRowOfOld(m_rows.size(), -1);
    for (size_t i = 0; i < recordOrder.size(); ++i) {
        const int old = rowOfRecord(recordOrder[i]);
        if (old < 0 || newRowOfOld[static_cast<size_t>(old)] >= 0)
            return; // not a permutation of the rows
        newRowOfOld[static_cast<size_t>(old)] = static_cast<int>(i);
    }
    rearrange(newRowOfOld, QAbstractItemModel::VerticalSortHint);
}

// Row i moves to newRowOfOld[i], a permutation of the rows; views and their selections follow.
void CFileListModel::rearrange(const std::vector<int>& newRowOfOld,
                               QAbstractItemModel::LayoutChangeHint hint) {
    emit layoutAboutToBeChanged({}, hint);
    std::vector<Row> sorted(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i)
        sorted[static_cast<size_t>(newRowOfOld[i])] = m_rows[i];
    m_rows = std::move(sorted);
    m_indexValid = false;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.push_back(index.isValid() ? this->index(newRowOfOld[static_cast<size_t>(index.row())],
                                                      index.column())
                                        : index);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, hint);
}

void CFileListModel::setHeaderMarked(int column, bool marked) {
    if (column < 0 || column >= columnCount())
        return;
    m_marked.resize(static_cast<size_t>(columnCount()), false);
    m_marked[static_cast<size_t>(column)] = marked;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int CFileListModel::recordOfRow(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[static_cast<size_t>(row)].record : -1;
}

int CFileListModel::rowOfRecord(int record) const {
    if (record < 0)
        return -1;
    if (!m_indexValid)
        rebuildIndex();
    const auto at = static_cast<size_t>(record);
    return at < m_rowOfRecord.size() ? m_rowOfRecord[at] : -1;
}

void CFileListModel::rebuildIndex() const {
    m_rowOfRecord.assign(static_cast<size_t>(std::max(m_doc.GetRecordCount(), 0)), -1);
    for (size_t row = 0; row < m_rows.size(); ++row) {
        const int record = m_rows[row].record;
        if (record < 0)
            continue;
        if (static_cast<size_t>(record) >= m_rowOfRecord.size())
            m_rowOfRecord.resize(static_cast<size_t>(record) + 1, -1);
        m_rowOfRecord[static_cast<size_t>(record)] = static_cast<int>(row);
    }
    m_indexValid = true;
}

bool CFileListModel::isFolder(int row) const {
    return row >= 0 && row < rowCount() && m_rows[static_cast<size_t>(row)].folder;
}

QString CFileListModel::name(int row) const {
    return row >= 0 && row < rowCount() ? DecodeName(nameOf(m_rows[static_cast<size_t>(row)]))
                                        : QString();
}

std::string CFileListModel::nameBytes(int row) const {
    return row >= 0 && row < rowCount() ? nameOf(m_rows[static_cast<size_t>(row)]) : std::string();
}

// The commands' way to a cell: an unread row is read on the spot, whether or not the
// worker threads have it queued.
QString CFileListModel::cellText(int row, int column) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    Row& r = m_rows[static_cast<size_t>(row)];
    if (column == 0)
        return DecodeName(nameOf(r));
    if (r.folder)
        return {};
    if (!r.read) {
        readRow(r);
        emit rowRead(row);
    }
    const RowCells* cells = cellsOf(r);
    return cells ? cells->information[static_cast<size_t>(column - 1)] : QString();
}

QString CFileListModel::cellLabel(int row, int column) {
    if (column < 1 || column > kInformationColumns || cellText(row, column).isEmpty())
        return {};
    return cellsOf(m_rows[static_cast<size_t>(row)])->labels[static_cast<size_t>(column - 1)];
}

QString CFileListModel::firstInformation(int row) {
    for (int column = 1; column <= kInformationColumns; ++column) {
        QString text = cellText(row, column);
        if (!text.isEmpty())
            return text;
    }
    return {};
}

bool CFileListModel::isRead(int row) const {
    return row >= 0 && row < rowCount() && m_rows[static_cast<size_t>(row)].read;
}

void CFileListModel::forgetInformation(int row) {
    if (row < 0 || row >= rowCount())
        return;
    Row& r = m_rows[static_cast<size_t>(row)];
    r.read = false;
    m_pendingReads.erase(r.record);
    r.icon = 0;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void CFileListModel::setName(int row, const std::string& name) {
    if (row < 0 || row >= rowCount())
        return;
    const int record = m_rows[static_cast<size_t>(row)].record;
    if (name == m_doc.itemId(record))
        m_renamed.erase(record);
    else
        m_renamed[record] = name;
    emit dataChanged(index(row, 0), index(row, 0));
}

void CFileListModel::setInformation(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 1 || column > kInformationColumns)
        return;
    if (m_rows[static_cast<size_t>(row)].folder)
        return;
    cellText(row, column); // reads an unread row
    const int record = m_rows[static_cast<size_t>(row)].record;
    m_cells[record].information[static_cast<size_t>(column - 1)] = text;
    emit dataChanged(index(row, column), index(row, column));
}

Qt::CheckState CFileListModel::checkState(int row) const {
    return row >= 0 && row < rowCount()
               ? static_cast<Qt::CheckState>(m_rows[static_cast<size_t>(row)].checked)
               : Qt::Unchecked;
}

void CFileListModel::keepCheckMarks() {
    m_keptChecks = checkedNames();
}

std::unordered_set<std::string> CFileListModel::checkedNames() const {
    std::unordered_set<std::string> names;
    for (const Row& row : m_rows) {
        if (row.checked != Qt::Unchecked)
            names.insert(nameOf(row));
    }
    return names;
}

// The views lay the rows out again: the name cells grow or lose their box.
void CFileListModel::setCheckBoxesShown(bool shown) {
    if (shown == m_checkBoxes)
        return;
    emit layoutAboutToBeChanged();
    m_checkBoxes = shown;
    emit layoutChanged();
}

bool CFileListModel::isConsistent(std::string* problem) const {
    auto fail = [problem](std::string why) {
        if (problem)
            *problem = std::move(why);
        return false;
    };
    std::vector<bool> seen(static_cast<size_t>(std::max(m_doc.GetRecordCount(), 0)));
    for (int i = 0; i < rowCount(); ++i) {
        const Row& row = m_rows[static_cast<size_t>(i)];
        const std::string at = "row " + std::to_string(i);
        if (row.record < 0 || row.record >= m_doc.GetRecordCount())
            return fail(at + " shows record " + std::to_string(row.record) + " out of range");
        if (m_doc.isVacated(row.record))
            return fail(at + " shows vacated record " + std::to_string(row.record));
        if (seen[static_cast<size_t>(row.record)])
            return fail(at + " shows record " + std::to_string(row.record) + " twice");
        seen[static_cast<size_t>(row.record)] = true;
        if (nameOf(row) != m_doc.itemId(row.record))
            return fail(at + " is named " + nameOf(row) + " but its record is " +
                        m_doc.itemId(row.record));
        const auto indexAt = static_cast<size_t>(row.record);
        if (m_indexValid && (indexAt >= m_rowOfRecord.size() || m_rowOfRecord[indexAt] != i))
            return fail(at + " is not indexed under its record " + std::to_string(row.record));
    }
    for (const auto& [record, cells] : m_cells) {
        if (rowOfRecord(record) < 0)
            return fail("cells kept for record " + std::to_string(record) + " without a row");
    }
    return true;
}

} // namespace tressel
