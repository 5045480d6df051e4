#include "view.h"

#include "column_width.h"
#include "file_list_model.h"
#include "file_name_text.h"
#include "file_questions.h"
#include "find_dialog.h"
#include "list_context_menu.h"
#include "list_input.h"
#include "operations/feedback.h"
#include "operations/undo_commands.h"
#include "operations/undo_journal.h"
#include "platform/paths.h"
#include "settings/settings_store.h"
#include "title_watch.h"
#include "translated_text.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>

namespace tressel {

namespace {

constexpr int kColumnWidth = 150;
// A stored width above this is no width a user dragged.
constexpr int kWidestColumn = 10000;

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
      m_numberedOnly(std::make_unique<CPersistentFlag>("Settings", "Numberd only", false)),
      m_maxColumnWidth(column_width::kDefault) {
    m_questions = WindowFileQuestions(this);
    m_model = new CFileListModel(doc, this);
    // A few threads: reading waits on the disk more than on the processor.
    m_model->startBackgroundReading(std::clamp(QThread::idealThreadCount(), 2, 4));
    m_model->setErrorHandler([this](const QString& text) {
        // Reading happens while the list paints: show the box once painting is over.
        QTimer::singleShot(0, this, [this, text] { showError(text); });
    });
    m_contextMenu = new CListContextMenu(*this);
    m_input = new CListInput(*this);
    m_findDialog = new CFindDialog(this);
    m_groupAll = [this](const QString& text) { groupInto(text); };
    buildViews();
    buildActions();

    m_titleWatch =
        new CTitleWatch(*m_model, TranslatedColumnNames(doc.ColumnNames()), m_escape, this);
    connect(m_titleWatch, &CTitleWatch::status, this,
            [this](const QString& text) { emit statusText(PaneReport, text); });
    connect(m_titleWatch, &CTitleWatch::failed, this, &CMarlockUtilView::showError);

    auto makeTimer = [this](int ms) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(ms);
        return timer;
    };
    m_refreshTimer = makeTimer(kRefreshDelayMs);
    m_statusTimer = makeTimer(20);
    m_previewTimer = makeTimer(50);
    connect(m_refreshTimer, &QTimer::timeout, this, &CMarlockUtilView::refreshWhenIdle);
    connect(&m_escape, &CEscapeCheck::ended, this, [this] {
        if (m_refreshWaiting)
            scheduleRefresh(0);
    });
    connect(m_statusTimer, &QTimer::timeout, this, &CMarlockUtilView::updateStatus);
    connect(m_previewTimer, &QTimer::timeout, this, &CMarlockUtilView::previewSelection);
    doc.setView(this);
}

CMarlockUtilView::~CMarlockUtilView() {
    m_doc.setView(nullptr);
    saveColumnOrder();
    saveColumnWidths();
    SettingsStore::instance().writeInt("Settings", "LastSort", m_sorter.sortMode());
}

namespace {

// The hint sits in the middle of the empty list; clicks and drops pass through it to
// the list below.
QWidget* AddEmptyHint(QAbstractItemView* itemView) {
    auto* hint = new QLabel(QCoreApplication::translate(
                                "CMarlockUtilView", "Open a folder with Ctrl+O or drop one here"),
                            itemView->viewport());
    hint->setObjectName("emptyHint");
    hint->setAlignment(Qt::AlignCenter);
    hint->setEnabled(false);
    hint->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QVBoxLayout(itemView->viewport());
    layout->addWidget(hint);
    hint->hide();
    return hint;
}

} // namespace

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
    header->setMinimumSectionSize(column_width::kMin);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { sortByColumn(column); });
    connect(header, &QHeaderView::sectionResized, this, [this](int column) { capColumn(column); });
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
    m_input->watch(m_details);
    m_input->watch(m_list);
    m_emptyHints = {AddEmptyHint(m_details), AddEmptyHint(m_list)};
    connect(m_details->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMarlockUtilView::onSelectionChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_escape.clear(); });
}

QAction* CMarlockUtilView::addOption(const char* name, const QString& text, const QString& help,
                                     bool checked) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setStatusTip(help);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}

void CMarlockUtilView::buildActions() {
    auto* modes = new QActionGroup(this);
    m_detailsAction =
        addOption("details", tr("&Details"), tr("Show the name and the nine information columns"),
                  !isListMode());
    m_listAction = addOption("list", tr("&List"), tr("Show the names only"), isListMode());
    for (QAction* mode : {m_detailsAction, m_listAction}) {
        modes->addAction(mode);
        connect(mode, &QAction::triggered, this,
                [this, mode] { applyListMode(mode == m_listAction); });
    }
    m_numberedOnlyAction = addOption("numberedOnly", tr("&Numbered Only"),
                                     tr("Show only entries with numbered names"), numberedOnly());
    connect(m_numberedOnlyAction, &QAction::toggled, this, &CMarlockUtilView::applyNumberedOnly);
    m_scanAllAction = addOption("scanAll", tr("&Scan All"),
                                tr("Read every file, whatever its extension"), scanAll());
    connect(m_scanAllAction, &QAction::toggled, this, &CMarlockUtilView::applyScanAll);
    m_checkBoxesAction =
        addOption("checkBoxes", tr("Check boxes"), tr("Show or hide the check boxes"), true);
    connect(m_checkBoxesAction, &QAction::toggled, this,
            [this](bool on) { m_model->setCheckBoxesShown(on); });
    m_fixExtensionsAction = addOption(
        "fixExtensions", tr("&Fix Extensions when Renaming"),
        tr("Give each renamed file the extension its content should carry"), m_doc.fixExtensions());
    connect(m_fixExtensionsAction, &QAction::toggled, this,
            [this](bool on) { m_doc.setFixExtensions(on); });
    m_confirmShiftDeleteAction =
        addOption("confirmShiftDelete", "Confirm ShiftDelete",
                  "If not checked there will be No \"Are you sure\" when you SHIFT+DELETE files "
                  "(permanently deleted)",
                  confirmDelete());
    connect(m_confirmShiftDeleteAction, &QAction::toggled, this,
            [this](bool on) { m_confirmDelete->set(on); });

    m_undoAction = new QAction(tr("&Undo"), this);
    m_undoAction->setObjectName("undo");
    m_undoAction->setStatusTip(tr("Take back the last command that moved or renamed files"));
    connect(m_undoAction, &QAction::triggered, this, &CMarlockUtilView::undo);
    m_redoAction = new QAction(tr("&Redo"), this);
    m_redoAction->setObjectName("redo");
    m_redoAction->setStatusTip(tr("Do the last undone command again"));
    connect(m_redoAction, &QAction::triggered, this, &CMarlockUtilView::redo);
    m_undoHistoryAction = new QAction(tr("Undo &History..."), this);
    m_undoHistoryAction->setObjectName("undoHistory");
    m_undoHistoryAction->setStatusTip(
        tr("Show the commands recorded for this folder, and take one back or do it again"));
    connect(m_undoHistoryAction, &QAction::triggered, this, &CMarlockUtilView::showUndoHistory);
    updateUndoActions();
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
        m_fitNameColumn = !applyColumnWidths();
        m_sorter.setSortMode(SettingsStore::instance().readInt("Settings", "LastSort", 0));
        m_stack->setCurrentWidget(isListMode() ? static_cast<QWidget*>(m_list) : m_details);
        setMaxColumnWidthText(SettingsStore::instance().readString(
            "Settings", column_width::kSettingsKey, QString::number(column_width::kDefault)));
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

// One 32-bit width per column, in the model's column order. Widths out of reason are
// skipped; the information columns are capped afterwards like any other width.
bool CMarlockUtilView::applyColumnWidths() {
    const auto stored = SettingsStore::instance().readBinary("Settings", "ColWidthArray");
    if (!stored || stored->size() < 4)
        return false;
    const int entries = std::min<int>(static_cast<int>(stored->size() / 4), m_model->columnCount());
    QHeaderView* header = m_details->horizontalHeader();
    for (int column = 0; column < entries; ++column) {
        int32_t width = 0;
        std::memcpy(&width, stored->constData() + column * 4, 4);
        if (width >= column_width::kMin && width <= kWidestColumn)
            header->resizeSection(column, width);
    }
    return true;
}

void CMarlockUtilView::saveColumnWidths() {
    QHeaderView* header = m_details->horizontalHeader();
    QByteArray bytes;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const int32_t width = header->sectionSize(column);
        bytes.append(reinterpret_cast<const char*>(&width), 4);
    }
    SettingsStore::instance().writeBinary("Settings", "ColWidthArray", bytes);
}

// Until widths are remembered, the name column is made wide enough for the first
// folder's names, "[n]" numbers and extensions included, within a sensible limit.
void CMarlockUtilView::fitNameColumnOnce() {
    if (!m_fitNameColumn || m_model->rowCount() == 0)
        return;
    m_fitNameColumn = false;
    const int widest = m_details->fontMetrics().averageCharWidth() * 60;
    m_details->resizeColumnToContents(0);
    QHeaderView* header = m_details->horizontalHeader();
    header->resizeSection(0, std::clamp(header->sectionSize(0), kColumnWidth, widest));
}

void CMarlockUtilView::repopulate() {
    guard([this] {
        m_model->repopulate(numberedOnly());
        sortFixed(CListSorter::NormalisedMode(m_sorter.sortMode()));
        // Scan All fills the whole folder, the rows on screen first.
        if (m_doc.scanAll())
            m_model->readAllInBackground();
        fitNameColumnOnce();
        updateStatus();
        updateUndoActions(); // the folder's journals may offer an undo
        for (QWidget* hint : m_emptyHints)
            hint->setVisible(m_doc.GetCurrentFolderPath().empty());
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
    CRowSortSource(CFileListModel& model, CMarlockUtilDoc& doc) : m_model(model), m_doc(doc) {}
    bool isFolder(int record) override { return m_model.isFolder(m_model.rowOfRecord(record)); }
    std::string typeName(int record) override { return m_doc.GetTypeName(record); }
    uint64_t size(int record) override { return m_doc.GetRecordSize(record); }
    uint64_t lastWriteTime(int record) override { return m_doc.GetLastWriteTime(record); }
    std::string cellText(int record, int column) override {
        const int row = m_model.rowOfRecord(record);
        if (column == 0)
            return m_model.nameBytes(row);
        return m_model.cellText(row, column).toStdString();
    }

private:
    CFileListModel& m_model;
    CMarlockUtilDoc& m_doc;
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

bool CMarlockUtilView::readRowsFirst(const std::vector<int>& records) {
    m_cancel = false;
    if (std::none_of(records.begin(), records.end(),
                     [this](int record) { return m_model->isWaitingForRead(record); }))
        return true;
    {
        CLongCommand command(m_escape);
        emit statusText(PaneReport, tr("Press Esc to cancel"));
        m_cancel = !m_model->readRecords(records, &m_escape, &progress());
    }
    emit statusText(PaneReport, QString());
    return !m_cancel;
}

// Sorting by an information column reads every unread row first; Esc stops it half-way.
void CMarlockUtilView::sortByColumn(int column) {
    guard([this, column] {
        CLongCommand command(m_escape);
        CRowSortSource source(*m_model, m_doc);
        std::vector<int> records = m_model->records();
        if (column > 0)
            m_model->readRecords(records, &m_escape, &progress());
        applyMarkers(m_sorter.sortByColumn(column, records, source, &m_escape));
        m_model->reorder(records);
    });
}

std::vector<int> CMarlockUtilView::columnDisplayOrder() const {
    const QHeaderView* header = m_details->horizontalHeader();
    std::vector<int> order;
    for (int visual = 0; visual < m_model->columnCount(); ++visual)
        order.push_back(header->logicalIndex(visual));
    return order;
}

void CMarlockUtilView::applyMarkers(const std::vector<HeaderMarkerChange>& changes) {
    for (const HeaderMarkerChange& change : changes)
        m_model->setHeaderMarked(change.column, change.marked);
    // The header's own arrow shows the direction of the column sort the " *" marks.
    QHeaderView* header = m_details->horizontalHeader();
    const int column = m_sorter.lastClickedColumn();
    header->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        header->setSortIndicator(column, m_sorter.direction() > 0 ? Qt::AscendingOrder
                                                                  : Qt::DescendingOrder);
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

bool CMarlockUtilView::openFolder(const QString& path) {
    bool opened = false;
    guard([&] {
        opened = m_doc.TryOpenFolderPath(EncodeName(path));
        if (opened)
            initialUpdate();
    });
    return opened;
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
        m_model->keepCheckMarks();
        m_doc.Rescan();
        repopulate();
        focusList();
    });
}

void CMarlockUtilView::selectAll() {
    focusList();
    currentView()->selectAll();
}

bool CMarlockUtilView::selectName(const QString& name) {
    const std::string bytes = EncodeName(name);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->nameBytes(row) != bytes)
            continue;
        const QModelIndex index = m_model->index(row, 0);
        m_details->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                QItemSelectionModel::Rows);
        currentView()->scrollTo(index);
        return true;
    }
    return false;
}

void CMarlockUtilView::focusList() {
    currentView()->setFocus();
}

bool CMarlockUtilView::isListMode() const {
    return m_listMode->value();
}

void CMarlockUtilView::setListMode(bool list) {
    (list ? m_listAction : m_detailsAction)->trigger();
}

void CMarlockUtilView::applyListMode(bool list) {
    m_listMode->set(list);
    m_stack->setCurrentWidget(list ? static_cast<QWidget*>(m_list) : m_details);
    if (!list)
        QToolTip::hideText();
    focusList();
    updateStatus();
}

bool CMarlockUtilView::numberedOnly() const {
    return m_numberedOnly->value();
}

void CMarlockUtilView::toggleNumberedOnly() {
    m_numberedOnlyAction->toggle();
}

void CMarlockUtilView::applyNumberedOnly(bool on) {
    m_numberedOnly->set(on);
    if (!on) {
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
}

void CMarlockUtilView::toggleScanAll() {
    m_scanAllAction->toggle();
}

void CMarlockUtilView::applyScanAll(bool on) {
    m_doc.setScanAll(on);
    if (on)
        repopulate();
    focusList();
}

// Holds the records it walks: rows go while it runs.
void CMarlockUtilView::validOnly() {
    guard([this] {
        CLongCommand command(m_escape);
        const std::vector<int> records = m_model->records();
        if (!m_model->readRecords(records, &m_escape, &progress()))
            return;
        for (int record : records) {
            if (m_escape.cancelRequested())
                break;
            const int row = m_model->rowOfRecord(record);
            if (row >= 0 && !m_model->isFolder(row) && m_model->firstInformation(row).isEmpty())
                m_model->removeRecord(record);
        }
    });
    m_statusTimer->start(1);
}

QString CMarlockUtilView::setMaxColumnWidthText(const QString& text) {
    if (const std::optional<int> width = column_width::Parse(text)) {
        m_maxColumnWidth = *width;
        for (int column = 0; column < m_model->columnCount(); ++column)
            capColumn(column);
    }
    return QString::number(m_maxColumnWidth);
}

// No information column, whether dragged or fitted to its contents, grows wider than
// the maximum; the name column is never cut.
void CMarlockUtilView::capColumn(int column) {
    QHeaderView* header = m_details->horizontalHeader();
    if (column > 0 && header->sectionSize(column) > m_maxColumnWidth)
        header->resizeSection(column, m_maxColumnWidth);
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
    updateUndoActions();
}

namespace {

// Where reports and progress go when no window listens (a view on its own).
struct CSilentFeedback : IOperationReport, IProgress {
    void report(const UiText&, int) override {}
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

void CMarlockUtilView::report(const UiText& subject, int errors) {
    (m_report ? *m_report : Silent()).report(subject, errors);
}

void CMarlockUtilView::reportFailures(const UiText& subject, const CFailureList& failures) {
    (m_report ? *m_report : Silent()).reportFailures(subject, failures);
}

void CMarlockUtilView::undo() {
    if (!m_undo.canUndo())
        return undoJournaled();
    guard([this] {
        CLongCommand command(m_escape);
        RunUndoCommand(m_undo, m_report ? *m_report : Silent(), progress());
    });
    updateUndoActions();
}

void CMarlockUtilView::redo() {
    if (redoJournaled())
        return;
    guard([this] {
        CLongCommand command(m_escape);
        RunRedoCommand(m_undo, m_report ? *m_report : Silent(), progress());
    });
    updateUndoActions();
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
    emit statusText(PaneCounts,
                    selected.empty()
                        ? tr("%1 Object(s)").arg(rows)
                        : tr("(%1 Selected) Total %2 Object(s)").arg(selected.size()).arg(rows));
    bool anyFile = false;
    unsigned long long bytes = 0;
    for (int record : selected) {
        if (m_doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER)
            continue;
        anyFile = true;
        bytes += m_doc.GetRecordSize(record);
    }
    emit statusText(PaneBytes, anyFile ? GroupThousands(bytes) + tr(" Bytes") : QString());
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
    emit previewRequested(DecodeName(m_doc.GetItemName(records.front(), NameMode::Parsing)));
}

void CMarlockUtilView::scheduleRefresh(int delayMs) {
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start(delayMs);
}

// A long command holds records, and its Esc check lets timers run: the refresh waits
// until the command ends, so no row goes from under it.
void CMarlockUtilView::refreshWhenIdle() {
    m_refreshWaiting = m_escape.isActive();
    if (!m_refreshWaiting)
        guard([this] { refreshChanges(); });
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
    if (!m_doc.GetCurrentFolderPath().empty() && m_doc.title().empty())
        emit folderLost(DecodeName(m_doc.GetCurrentFolderPath()));
}

void CMarlockUtilView::listFocusChanged(bool in) {
    if (in)
        m_statusTimer->start(1);
    m_titleWatch->listFocusChanged(in);
}

void CMarlockUtilView::guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(tr("Unknown error"));
    }
}

void CMarlockUtilView::showError(const QString& text) {
    if (m_presentError)
        m_presentError(text);
    else
        QMessageBox::critical(this, tr("RunTime Error"), text);
}

} // namespace tressel
