#include "view.h"

#include "file_list_model.h"
#include "operations/feedback.h"
#include "operations/undo_commands.h"
#include "operations/undo_journal.h"
#include "platform/paths.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <exception>
#include <unordered_map>

namespace tressel {

namespace {

constexpr int kColumnWidth = 150;
constexpr int kMinColumnWidth = 10;

std::string Encode(const QString& text) {
    return QFile::encodeName(text).toStdString();
}
QString Decode(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// Edits a row's name: selects the name without its extension, and hands the typed
// text to the view's rename instead of setting it into the model.
class CNameDelegate : public QStyledItemDelegate {
public:
    explicit CNameDelegate(CMarlockUtilView& view) : QStyledItemDelegate(&view), m_view(view) {}

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        QStyledItemDelegate::setEditorData(editor, index);
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line || m_view.model().isFolder(index.row()))
            return;
        const QString name = line->text();
        const int dot = name.lastIndexOf('.');
        // The view selects the whole text once the editor shows; select afterwards.
        QTimer::singleShot(0, line, [line, dot, size = name.size()] {
            line->setSelection(0, dot < 0 ? size : dot);
        });
    }

    // Rows are selected whole: no focus frame around a single cell.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            m_view.renameRow(index.row(), line->text());
    }

private:
    CMarlockUtilView& m_view;
};

} // namespace

CMarlockUtilView::CMarlockUtilView(CMarlockUtilDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc),
      m_confirmDelete(std::make_unique<CPersistentFlag>("Settings", "ConfirmDel", true)),
      m_moveTo(std::make_unique<CPersistentHistory>("MoveToHistory", 10)),
      m_listMode(std::make_unique<CPersistentFlag>("Settings", "ViewList", false)),
      m_numberedOnly(std::make_unique<CPersistentFlag>("Settings", "Numberd only", false)) {
    m_model = new CFileListModel(doc, this);
    m_model->setErrorHandler([this](const QString& text) {
        // Reading happens while the list paints: show the box once painting is over.
        QTimer::singleShot(0, this, [this, text] { showError(text); });
    });
    buildViews();

    auto makeTimer = [this](int ms) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(ms);
        return timer;
    };
    m_refreshTimer = makeTimer(kRefreshDelayMs);
    m_titleTimer = makeTimer(kTitleCheckMs);
    m_titleTimer->setSingleShot(false);
    m_watchEndTimer = makeTimer(kWatchMs);
    connect(m_titleTimer, &QTimer::timeout, this,
            [this] { guard([this] { checkWindowTitle(); }); });
    connect(m_watchEndTimer, &QTimer::timeout, this, &CMarlockUtilView::stopTitleWatch);
    m_foreground = MakeDesktopForegroundWindow();
    m_statusTimer = makeTimer(20);
    m_previewTimer = makeTimer(50);
    connect(m_refreshTimer, &QTimer::timeout, this,
            [this] { guard([this] { refreshChanges(); }); });
    connect(m_statusTimer, &QTimer::timeout, this, &CMarlockUtilView::updateStatus);
    connect(m_previewTimer, &QTimer::timeout, this, &CMarlockUtilView::previewSelection);
    doc.setView(this);
}

CMarlockUtilView::~CMarlockUtilView() {
    m_doc.setView(nullptr);
    saveColumnOrder();
    SettingsStore::instance().writeInt("Settings", "LastSort", m_sorter.sortMode());
}

void CMarlockUtilView::buildViews() {
    m_stack = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);

    m_details = new QTableView(m_stack);
    m_details->setObjectName("details");
    m_details->setModel(m_model);
    m_details->setShowGrid(true);
    m_details->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_details->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->setWordWrap(false);
    m_details->setCornerButtonEnabled(false);
    m_details->verticalHeader()->hide();
    // Fixed row heights: the table then asks only for the rows it draws.
    m_details->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_details->verticalHeader()->setDefaultSectionSize(m_details->fontMetrics().height() + 6);
    QHeaderView* header = m_details->horizontalHeader();
    header->setSectionsMovable(true);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setDefaultSectionSize(kColumnWidth);
    header->setMinimumSectionSize(kMinColumnWidth);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { sortByColumn(column); });
    m_details->setItemDelegate(new CNameDelegate(*this));

    m_list = new QListView(m_stack);
    m_list->setObjectName("list");
    m_list->setModel(m_model);
    m_list->setModelColumn(0);
    m_list->setSelectionModel(m_details->selectionModel());
    m_list->setViewMode(QListView::ListMode);
    m_list->setFlow(QListView::TopToBottom);
    m_list->setWrapping(true);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setItemDelegate(new CNameDelegate(*this));
    m_list->setMouseTracking(true);

    m_stack->addWidget(m_details);
    m_stack->addWidget(m_list);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_list)}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        view->viewport()->setAcceptDrops(true);
        view->setAcceptDrops(true);
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid())
                guard([this] { openSelection(QApplication::keyboardModifiers()); });
        });
    }
    connect(m_details->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMarlockUtilView::onSelectionChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_escape.clear(); });
}

QAbstractItemView* CMarlockUtilView::currentView() const {
    return isListMode() ? static_cast<QAbstractItemView*>(m_list)
                        : static_cast<QAbstractItemView*>(m_details);
}

bool CMarlockUtilView::confirmDelete() const {
    return m_confirmDelete->value();
}

void CMarlockUtilView::initialUpdate() {
    if (!m_initialised) {
        m_initialised = true;
        applyColumnOrder();
        m_sorter.setSortMode(SettingsStore::instance().readInt("Settings", "LastSort", 0));
        m_stack->setCurrentWidget(isListMode() ? static_cast<QWidget*>(m_list) : m_details);
        setMaxColumnWidthText(
            SettingsStore::instance().readString("Settings", "MaxColSize", "255"));
    }
    repopulate();
}

// The stored order counts only when it keeps the name column first.
void CMarlockUtilView::applyColumnOrder() {
    const auto stored = SettingsStore::instance().readBinary("Settings", "ColOrderArray");
    if (!stored || stored->size() < 4)
        return;
    const int entries = std::min<int>(static_cast<int>(stored->size() / 4), m_model->columnCount());
    std::vector<int32_t> order(static_cast<size_t>(entries));
    std::memcpy(order.data(), stored->constData(), order.size() * 4);
    if (order[0] != 0)
        return;
    QHeaderView* header = m_details->horizontalHeader();
    for (int visual = 0; visual < entries; ++visual) {
        const int logical = order[static_cast<size_t>(visual)];
        if (logical < 0 || logical >= m_model->columnCount())
            continue;
        header->moveSection(header->visualIndex(logical), visual);
    }
}

void CMarlockUtilView::saveColumnOrder() {
    QHeaderView* header = m_details->horizontalHeader();
    QByteArray bytes;
    for (int visual = 0; visual < m_model->columnCount(); ++visual) {
        const int32_t logical = header->logicalIndex(visual);
        bytes.append(reinterpret_cast<const char*>(&logical), 4);
    }
    SettingsStore::instance().writeBinary("Settings", "ColOrderArray", bytes);
}

void CMarlockUtilView::repopulate() {
    guard([this] {
        m_model->repopulate(numberedOnly());
        sortFixed(CListSorter::NormalisedMode(m_sorter.sortMode()));
        updateStatus();
        if (m_model->rowCount() > 0)
            m_details->selectionModel()->setCurrentIndex(m_model->index(0, 0),
                                                         QItemSelectionModel::NoUpdate);
        m_findPosition = -1;
    });
}

namespace {

// The rows as the sorts see them: named by record number, cells from the model (read
// on demand), facts from the document.
class CRowSortSource : public ISortRows {
public:
    CRowSortSource(CFileListModel& model, CMarlockUtilDoc& doc)
        : m_model(model), m_doc(doc), m_rowOf(static_cast<size_t>(doc.GetRecordCount()), -1) {
        for (int row = 0; row < model.rowCount(); ++row) {
            const int record = model.recordOfRow(row);
            if (record >= 0 && record < doc.GetRecordCount())
                m_rowOf[static_cast<size_t>(record)] = row;
        }
    }
    bool isFolder(int record) override { return m_model.isFolder(rowOf(record)); }
    std::string typeName(int record) override { return m_doc.GetTypeName(record); }
    uint64_t size(int record) override { return m_doc.GetRecordSize(record); }
    uint64_t lastWriteTime(int record) override { return m_doc.GetLastWriteTime(record); }
    std::string cellText(int record, int column) override {
        if (column == 0)
            return m_model.nameBytes(rowOf(record));
        return m_model.cellText(rowOf(record), column).toStdString();
    }

private:
    int rowOf(int record) const {
        return record >= 0 && static_cast<size_t>(record) < m_rowOf.size()
                   ? m_rowOf[static_cast<size_t>(record)]
                   : -1;
    }
    CFileListModel& m_model;
    CMarlockUtilDoc& m_doc;
    std::vector<int> m_rowOf; // by record number
};

} // namespace

void CMarlockUtilView::sortFixed(int mode) {
    guard([this, mode] {
        CRowSortSource source(*m_model, m_doc);
        std::vector<int> records = m_model->records();
        applyMarkers(m_sorter.sortFixed(mode, records, source, nullptr));
        m_model->reorder(records);
    });
}

// Sorting by an information column reads every unread row; Esc stops it half-way.
void CMarlockUtilView::sortByColumn(int column) {
    guard([this, column] {
        CLongCommand command(m_escape);
        CRowSortSource source(*m_model, m_doc);
        std::vector<int> records = m_model->records();
        applyMarkers(m_sorter.sortByColumn(column, records, source, &m_escape));
        m_model->reorder(records);
    });
}

void CMarlockUtilView::applyMarkers(const std::vector<HeaderMarkerChange>& changes) {
    for (const HeaderMarkerChange& change : changes)
        m_model->setHeaderMarked(change.column, change.marked);
}

void CMarlockUtilView::removeRecordRow(int record) {
    if (m_refreshing) {
        m_vanished.push_back(record);
        return;
    }
    if (m_model->removeRecord(record))
        m_statusTimer->start(20);
}

// A refresh can report thousands of vanished records; finding each row alone would
// walk the rows once per record.
void CMarlockUtilView::removeVanishedRows() {
    if (m_vanished.empty())
        return;
    if (m_model->removeRecords(m_vanished) > 0)
        m_statusTimer->start(20);
    m_vanished.clear();
}

void CMarlockUtilView::addRecordRows(int firstRecord) {
    removeVanishedRows();
    m_model->insertRecords(firstRecord, -1, numberedOnly());
    m_statusTimer->start(20);
}

void CMarlockUtilView::openFolder(const QString& path) {
    guard([this, &path] {
        if (m_doc.TryOpenFolderPath(Encode(path)))
            initialUpdate();
    });
}

void CMarlockUtilView::goUp() {
    guard([this] {
        m_doc.GoUp();
        repopulate();
        focusList();
    });
}

void CMarlockUtilView::rescan() {
    guard([this] {
        m_doc.Rescan();
        repopulate();
        focusList();
    });
}

void CMarlockUtilView::selectAll() {
    focusList();
    currentView()->selectAll();
}

void CMarlockUtilView::focusList() {
    currentView()->setFocus();
}

bool CMarlockUtilView::isListMode() const {
    return m_listMode->value();
}

void CMarlockUtilView::setListMode(bool list) {
    m_listMode->set(list);
    m_stack->setCurrentWidget(list ? static_cast<QWidget*>(m_list) : m_details);
    if (!list)
        QToolTip::hideText();
    focusList();
    updateStatus();
    emit listModeChanged(list);
}

bool CMarlockUtilView::numberedOnly() const {
    return m_numberedOnly->value();
}

void CMarlockUtilView::toggleNumberedOnly() {
    m_numberedOnly->set(!numberedOnly());
    if (!numberedOnly()) {
        repopulate();
    } else {
        setUpdatesEnabled(false);
        m_model->removeRowsWhere([this](int row) {
            return !m_model->isFolder(row) &&
                   !CMarlockUtilDoc::IsNumberedName(m_model->nameBytes(row));
        });
        setUpdatesEnabled(true);
    }
    focusList();
    updateStatus();
    emit optionsChanged();
}

void CMarlockUtilView::toggleScanAll() {
    m_doc.setScanAll(!m_doc.scanAll());
    if (m_doc.scanAll())
        repopulate();
    focusList();
    emit optionsChanged();
}

void CMarlockUtilView::validOnly() {
    guard([this] {
        CLongCommand command(m_escape);
        m_model->removeRowsWhere(
            [this](int row) {
                return !m_model->isFolder(row) && m_model->firstInformation(row).isEmpty();
            },
            [this] { return m_escape.cancelRequested(); });
    });
    m_statusTimer->start(1);
}

QString CMarlockUtilView::setMaxColumnWidthText(const QString& text) {
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return QString::number(m_maxColumnWidth);
    m_maxColumnWidth = static_cast<int>(std::clamp<long long>(value, kMinColumnWidth, 255));
    applyMaxColumnWidth();
    return QString::number(m_maxColumnWidth);
}

// No column, whether dragged or fitted to its contents, grows wider than the maximum.
void CMarlockUtilView::applyMaxColumnWidth() {
    QHeaderView* header = m_details->horizontalHeader();
    header->setMaximumSectionSize(m_maxColumnWidth);
    header->setDefaultSectionSize(std::min(kColumnWidth, m_maxColumnWidth));
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (header->sectionSize(column) > m_maxColumnWidth)
            header->resizeSection(column, m_maxColumnWidth);
    }
}

int CMarlockUtilView::selectionMarkRow() const {
    const QModelIndex current = m_details->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CMarlockUtilView::editName() {
    const int row = selectionMarkRow();
    if (row < 0)
        return;
    QAbstractItemView* view = currentView();
    view->setFocus();
    view->scrollTo(m_model->index(row, 0));
    view->edit(m_model->index(row, 0));
}

void CMarlockUtilView::renameRow(int row, const QString& typed) {
    const int record = m_model->recordOfRow(row);
    if (record < 0 || typed.isEmpty())
        return;
    const std::string name = Encode(typed);
    if (name == m_model->nameBytes(row))
        return; // an edit that changed nothing is not a rename
    const PathParts parts = SplitPath(m_doc.GetItemName(record, NameMode::Parsing));
    bool renamed = false;
    std::string lastJournalError;
    guard([&] {
        std::unique_ptr<CUndoGroup> group = newUndoGroup("rename");
        renamed = m_doc.RenameItem(record, parts.dir + name, group.get());
        lastJournalError = group->journalError();
        if (renamed)
            pushUndoGroup(std::move(group));
    });
    if (!renamed) {
        report("Setting name", 1);
        if (!lastJournalError.empty())
            emit statusText(2, QString::fromStdString(ReportText("Setting name", 1) + ". " +
                                                      JournalStopText(lastJournalError)));
        return;
    }
    m_model->forgetInformation(row);
    // The name the move produced (cleaned, numbered); a file moved out of the folder
    // keeps its row until the folder refresh removes it.
    m_model->setName(row, m_doc.GetItemName(record, NameMode::InFolder));
}

std::unique_ptr<CUndoGroup> CMarlockUtilView::newUndoGroup(const std::string& command) const {
    // A group whose journal cannot be written refuses every move: nothing is moved
    // that a later undo could not find.
    return CUndoGroup::Journaled(m_doc.GetCurrentFolderPath(), command);
}

void CMarlockUtilView::pushUndoGroup(std::unique_ptr<CUndoGroup> group) {
    if (!group || group->empty())
        return;
    m_undo.push(std::move(group));
    emit undoStateChanged();
}

namespace {

// Where reports and progress go when no window listens (a view on its own).
struct CSilentFeedback : IOperationReport, IProgress {
    void report(const std::string&, int) override {}
    void start(uint64_t) override {}
    void step() override {}
};

CSilentFeedback& Silent() {
    static CSilentFeedback silent;
    return silent;
}

} // namespace

IProgress& CMarlockUtilView::progress() {
    return m_progress ? *m_progress : static_cast<IProgress&>(Silent());
}

void CMarlockUtilView::report(const std::string& subject, int errors) {
    (m_report ? *m_report : Silent()).report(subject, errors);
}

void CMarlockUtilView::undo() {
    guard([this] { RunUndoCommand(m_undo, m_report ? *m_report : Silent(), progress()); });
    emit undoStateChanged();
}

void CMarlockUtilView::redo() {
    guard([this] { RunRedoCommand(m_undo, m_report ? *m_report : Silent(), progress()); });
    emit undoStateChanged();
}

std::vector<int> CMarlockUtilView::selectedRecords() const {
    QModelIndexList rows = m_details->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<int> records;
    records.reserve(static_cast<size_t>(rows.size()));
    for (const QModelIndex& index : rows)
        records.push_back(m_model->recordOfRow(index.row()));
    return records;
}

std::vector<std::string> CMarlockUtilView::selectedItemIds() const {
    std::vector<std::string> ids;
    for (int record : selectedRecords())
        ids.push_back(m_doc.itemId(record));
    return ids;
}

void CMarlockUtilView::updateStatus() {
    m_statusTimer->stop();
    const std::vector<int> selected = selectedRecords();
    const int rows = m_model->rowCount();
    emit statusText(
        0, selected.empty()
               ? QString("%1 Object(s)").arg(rows)
               : QString("(%1 Selected) Total %2 Object(s)").arg(selected.size()).arg(rows));
    bool anyFile = false;
    unsigned long long bytes = 0;
    for (int record : selected) {
        if (m_doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER)
            continue;
        anyFile = true;
        bytes += m_doc.GetRecordSize(record);
    }
    emit statusText(1, anyFile ? GroupThousands(bytes) + " Bytes" : QString());
}

void CMarlockUtilView::onSelectionChanged() {
    const qsizetype selected = m_details->selectionModel()->selectedRows(0).size();
    m_statusTimer->start(selected < 10 ? 1 : 20);
    m_previewTimer->start(50);
}

void CMarlockUtilView::previewSelection() {
    const std::vector<int> records = selectedRecords();
    if (records.size() != 1)
        return;
    if (m_doc.GetAttributes(records.front(), SFGAO_FOLDER) & SFGAO_FOLDER)
        return;
    emit previewRequested(Decode(m_doc.GetItemName(records.front(), NameMode::Parsing)));
}

void CMarlockUtilView::scheduleRefresh(int delayMs) {
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start(delayMs);
}

void CMarlockUtilView::refreshChanges() {
    m_refreshTimer->stop();
    QAbstractItemView* view = currentView();
    const bool hadFocus = view->hasFocus();
    view->setUpdatesEnabled(false);
    m_refreshing = true;
    {
        const auto finish = qScopeGuard([&] {
            m_refreshing = false;
            removeVanishedRows();
            view->setUpdatesEnabled(true);
        });
        m_doc.RefreshChanges();
    }
    if (hadFocus)
        view->setFocus();
    if (!m_doc.pathName().empty() && m_doc.title().empty())
        emit folderLost(Decode(m_doc.pathName()));
}

void CMarlockUtilView::guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError("Unknown error");
    }
}

void CMarlockUtilView::showError(const QString& text) {
    if (m_presentError)
        m_presentError(text);
    else
        QMessageBox::critical(this, "RunTime Error", text);
}

bool CMarlockUtilView::handleKey(int key) {
    switch (key) {
    case Qt::Key_Backspace:
        goUp();
        return true;
    case Qt::Key_Escape:
        m_cancel = true;
        return true;
    case Qt::Key_Delete: // the delete command comes with the file commands
        return true;
    case Qt::Key_F2:
        guard([this] { editName(); });
        return true;
    case Qt::Key_F5:
        rescan();
        return true;
    default:
        return false;
    }
}

bool CMarlockUtilView::showListTooltip(QObject* viewport, QEvent* event) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = m_list->indexAt(help->pos());
    QString text;
    guard([&] {
        if (index.isValid())
            text = m_model->firstInformation(index.row());
    });
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), text, qobject_cast<QWidget*>(viewport),
                       m_list->visualRect(index));
    return true;
}

// Dropped files open the folder of the first dropped item.
bool CMarlockUtilView::handleDrop(QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData()->hasUrls())
        return false;
    if (event->type() != QEvent::Drop) {
        drop->acceptProposedAction();
        return true;
    }
    const QList<QUrl> urls = drop->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return false;
    // The folder that holds the first item, be it a file or a folder.
    std::string path = Encode(urls.front().toLocalFile());
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    openFolder(Decode(SplitPath(path).dir));
    drop->acceptProposedAction();
    return true;
}

// Keys the name editor passes on (Enter, Esc) are the editor's, not the list's.
bool CMarlockUtilView::isEditing(QObject* view) const {
    const QWidget* focus = QApplication::focusWidget();
    return focus && focus != view && static_cast<QWidget*>(view)->isAncestorOf(focus);
}

bool CMarlockUtilView::eventFilter(QObject* watched, QEvent* event) {
    const bool isView = watched == m_details || watched == m_list;
    const bool isViewport = watched == m_details->viewport() || watched == m_list->viewport();
    switch (event->type()) {
    case QEvent::KeyPress:
        if (isView) {
            auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !isEditing(watched)) {
                guard([this, key] { openSelection(key->modifiers()); });
                return true;
            }
            if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier) || isEditing(watched))
                break;
            return handleKey(key->key());
        }
        break;
    case QEvent::ToolTip:
        if (isViewport && watched == m_list->viewport())
            return showListTooltip(watched, event);
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (isViewport)
            return handleDrop(event);
        break;
    case QEvent::ContextMenu:
        if (isView || isViewport) {
            guard([&] {
                showContextMenu(static_cast<QWidget*>(watched),
                                static_cast<QContextMenuEvent*>(event));
            });
            return true;
        }
        break;
    case QEvent::FocusIn:
        if (isView) {
            m_statusTimer->start(1);
            onListFocus(true);
        }
        break;
    case QEvent::FocusOut:
        if (isView)
            onListFocus(false);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tressel
