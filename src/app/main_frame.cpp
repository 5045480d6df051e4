#include "main_frame.h"

#include "app/window_placement.h"
#include "catalogue/document.h"
#include "listview/failure_list_dialog.h"
#include "listview/view.h"
#include "settings/settings_store.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tressel {

namespace {

const QString kRecentSection = "Recent File List";
const QString kProgramName = "Tressel Renamer";

// Nice values of the priority choices 0, -1 and -2.
int NiceOfChoice(int choice) {
    return choice == -1 ? 5 : choice == -2 ? 10 : 0;
}

pid_t UiThreadId() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

int CurrentNice() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(UiThreadId()));
    return errno == 0 ? nice : 0;
}

int ChoiceOfNice(int nice) {
    return nice >= 10 ? -2 : nice >= 5 ? -1 : 0;
}

} // namespace

CMaxColBox::CMaxColBox(QWidget* parent) : QAbstractSpinBox(parent) {
    setObjectName("maxColWidth");
    setKeyboardTracking(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setFixedWidth(fontMetrics().horizontalAdvance("00000") + 30);
}

void CMaxColBox::setText(const QString& text) {
    lineEdit()->setText(text);
}

void CMaxColBox::stepBy(int steps) {
    bool ok = false;
    int value = text().trimmed().toInt(&ok);
    if (!ok)
        value = 255;
    setText(QString::number(std::clamp(value + steps, 10, 255)));
    emit editingFinished();
}

QValidator::State CMaxColBox::validate(QString& input, int&) const {
    for (QChar c : input) {
        if (!c.isDigit() && c != ' ' && c != '-' && c != '+')
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

CMainFrame::CMainFrame(CMarlockUtilDoc& doc, QWidget* parent)
    : QMainWindow(parent), m_doc(doc),
      m_prevAutoHide(std::make_unique<CPersistentFlag>("Settings", "PrevAutoHide", true)) {
    setObjectName("mainFrame");
    setWindowTitle(kProgramName);
    setWindowIcon(QIcon::fromTheme("tressel-renamer",
                                   QApplication::style()->standardIcon(QStyle::SP_DirIcon)));
    auto& store = SettingsStore::instance();
    m_previewVisible = store.readInt("Settings", "Preview", 1) == 1;
    for (int i = 1; i <= kRecentCount; ++i) {
        const QString entry = store.readString(kRecentSection, QString("File%1").arg(i));
        if (!entry.isEmpty())
            m_recent.push_back(entry);
    }

    buildCentral();
    buildDialogBar();
    buildStatusBar();
    buildMenus();
    setMenuHelp();
    buildShortcuts();
    if (const auto state = store.readBinary("bstate", "State"))
        restoreState(*state);

    m_view->setReport(this);
    m_view->setProgress(this);
    connect(m_view, &CMarlockUtilView::undoStateChanged, this, &CMainFrame::updateUndoState);
    connect(m_view, &CMarlockUtilView::statusText, this, &CMainFrame::setStatusPane);
    connect(m_view, &CMarlockUtilView::folderLost, this, &CMainFrame::onFolderLost);
    connect(m_view, &CMarlockUtilView::listModeChanged, this, [this] { syncOptionControls(); });
    connect(m_view, &CMarlockUtilView::optionsChanged, this, [this] { syncOptionControls(); });
    connect(m_view, &CMarlockUtilView::previewRequested, this,
            [this](const QString& path) { m_previewLabel->setText(path.section('/', -1)); });
    connect(&m_doc, &CMarlockUtilDoc::folderOpened, this, [this](const QString& path) {
        addRecent(path);
        updateTitle();
    });
    m_doc.setWatching(true);
    connect(&m_doc, &CMarlockUtilDoc::folderChanged, m_view,
            [this] { m_view->scheduleRefresh(CMarlockUtilView::kRefreshDelayMs); });
    m_priority = ChoiceOfNice(CurrentNice());
    syncOptionControls();
    updateUndoState();
}

void CMainFrame::updateUndoState() {
    const bool undo = m_view->canUndo();
    const bool redo = m_view->canRedo();
    m_undoButton->setEnabled(undo);
    m_redoButton->setEnabled(redo);
    action("undo")->setEnabled(undo);
    action("redo")->setEnabled(redo);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::buildCentral() {
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName("splitter");
    m_splitter->setChildrenCollapsible(false);
    m_view = new CMarlockUtilView(m_doc, m_splitter);
    m_view->setObjectName("fileList");

    // The preview pane comes later; this keeps its place.
    m_preview = new QWidget(m_splitter);
    m_preview->setObjectName("previewPane");
    m_preview->setFocusPolicy(Qt::StrongFocus);
    m_preview->setMinimumWidth(130);
    auto* layout = new QVBoxLayout(m_preview);
    m_previewLabel = new QLabel("Preview", m_preview);
    m_previewLabel->setAlignment(Qt::AlignCenter);
    m_previewLabel->setEnabled(false);
    m_previewLabel->setWordWrap(true);
    layout->addWidget(m_previewLabel);

    m_splitter->addWidget(m_view);
    m_splitter->addWidget(m_preview);
    // The list keeps its share of the width when the window is resized.
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);
    m_preview->setVisible(m_previewVisible);
    setCentralWidget(m_splitter);
}

void CMainFrame::buildDialogBar() {
    auto* bar = new QToolBar("Dialog Bar", this);
    bar->setObjectName("dialogBar");
    bar->setMovable(true);
    // Each control is a tool bar item of its own, so a narrow window moves the last
    // ones into the bar's extension menu instead of growing.
    QToolBar* row = bar;
    QWidget* box = bar;

    auto button = [&](const QString& name, const QString& text, std::function<void()> handler) {
        auto* b = new QPushButton(text, box);
        b->setObjectName(name);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(text) + 28);
        if (handler)
            connect(b, &QPushButton::clicked, this, handler);
        else
            b->setEnabled(false);
        row->addWidget(b);
        return b;
    };
    button("upButton", "Up", [this] { m_view->goUp(); });
    button("allButton", "All", [this] { m_view->selectAll(); });
    button("checkedButton", "Checked", {});
    button("refreshButton", "Refresh", [this] { m_view->rescan(); });
    button("findButton", "Find", {});
    m_undoButton = button("undoButton", "Undo", [this] { m_view->undo(); });
    m_redoButton = button("redoButton", "Redo", [this] { m_view->redo(); });

    m_progress = new QProgressBar(box);
    m_progress->setObjectName("progress");
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFixedWidth(80);
    row->addSeparator();
    row->addWidget(m_progress);
    row->addSeparator();

    m_listRadio = new QRadioButton(box);
    m_listRadio->setObjectName("listRadio");
    m_listRadio->setIcon(
        QIcon::fromTheme("view-list-text", style()->standardIcon(QStyle::SP_FileDialogListView)));
    m_listRadio->setToolTip("List");
    m_detailsRadio = new QRadioButton(box);
    m_detailsRadio->setObjectName("detailsRadio");
    m_detailsRadio->setIcon(QIcon::fromTheme(
        "view-list-details", style()->standardIcon(QStyle::SP_FileDialogDetailedView)));
    m_detailsRadio->setToolTip("Details");
    connect(m_listRadio, &QRadioButton::clicked, this, [this] { m_view->setListMode(true); });
    connect(m_detailsRadio, &QRadioButton::clicked, this, [this] { m_view->setListMode(false); });
    row->addWidget(m_listRadio);
    row->addWidget(m_detailsRadio);

    auto check = [&](const QString& name, const QString& text, std::function<void()> handler) {
        auto* c = new QCheckBox(text, box);
        c->setObjectName(name);
        c->setFocusPolicy(Qt::NoFocus);
        if (handler)
            connect(c, &QCheckBox::clicked, this, handler);
        else
            c->setEnabled(false);
        row->addWidget(c);
        return c;
    };
    m_previewCheck =
        check("previewCheck", "Preview", [this] { setPreviewVisible(!m_previewVisible); });
    check("wordWrapCheck", "Word Wrap", {});
    m_scanAllCheck = check("scanAllCheck", "Scan All", [this] { m_view->toggleScanAll(); });
    m_numberedCheck =
        check("numberedCheck", "Numbered only", [this] { m_view->toggleNumberedOnly(); });

    row->addSeparator();
    // The label and its box stay together when the bar runs out of room.
    auto* maxColGroup = new QWidget(box);
    auto* maxColRow = new QHBoxLayout(maxColGroup);
    maxColRow->setContentsMargins(4, 0, 4, 0);
    maxColRow->addWidget(new QLabel("MaxCol width:", maxColGroup));
    m_maxCol = new CMaxColBox(maxColGroup);
    m_maxCol->setText(SettingsStore::instance().readString("Settings", "MaxColSize", "255"));
    connect(m_maxCol, &CMaxColBox::editingFinished, this,
            [this] { m_maxCol->setText(m_view->setMaxColumnWidthText(m_maxCol->text())); });
    maxColRow->addWidget(m_maxCol);
    row->addWidget(maxColGroup);
    addToolBar(Qt::TopToolBarArea, bar);
}

void CMainFrame::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("statusBar");
    const std::array<int, 3> stretch = {1, 0, 2};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString("pane%1").arg(i));
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        if (i == 1)
            label->setFixedWidth(150);
        else
            label->setMinimumWidth(i == 0 ? 10 : 20);
        bar->addWidget(label, stretch[static_cast<size_t>(i)]);
        m_panes[static_cast<size_t>(i)] = label;
    }
    m_detailsButton = new QPushButton("Details", bar);
    m_detailsButton->setObjectName("detailsButton");
    m_detailsButton->setToolTip("The files the command could not handle, and why");
    m_detailsButton->setFlat(true);
    m_detailsButton->hide();
    connect(m_detailsButton, &QPushButton::clicked, this, &CMainFrame::showFailureDetails);
    bar->addWidget(m_detailsButton);
}

QAction* CMainFrame::addItem(QMenu* menu, const QString& name, const QString& text,
                             std::function<void()> handler, const QList<QKeySequence>& keys) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    if (!keys.isEmpty())
        action->setShortcuts(keys);
    if (handler)
        connect(action, &QAction::triggered, this, handler);
    else
        action->setEnabled(false);
    return action;
}

void CMainFrame::buildMenus() {
    QMenuBar* bar = menuBar();

    m_fileMenu = bar->addMenu("&File");
    addItem(m_fileMenu, "open", "&Open...", [this] { browseForFolder(); },
            {QKeySequence("Ctrl+O")});
    m_exitSeparator = m_fileMenu->addSeparator();
    addItem(m_fileMenu, "exit", "E&xit", [this] { close(); });
    rebuildRecentMenu();

    QMenu* edit = bar->addMenu("&Edit");
    addItem(edit, "undo", "&Undo", [this] { m_view->undo(); },
            {QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")});
    addItem(edit, "redo", "&Redo", [this] { m_view->redo(); }, {QKeySequence("Ctrl+Y")});
    edit->addSeparator();
    addItem(edit, "selectAll", "Select &All", [this] { m_view->selectAll(); },
            {QKeySequence("Ctrl+A")});
    addItem(edit, "invertSelection", "&Invert Selection", {}, {QKeySequence("Ctrl+I")});
    addItem(edit, "selectChecked", "Select Checked");
    edit->addSeparator();
    addItem(edit, "find", "&Find...", {}, {QKeySequence("Ctrl+F")});
    addItem(edit, "findNext", "Find Next", {}, {QKeySequence("F3")});
    QAction* findPrevious = new QAction("Find Previous", this);
    findPrevious->setObjectName("findPrevious");
    findPrevious->setShortcut(QKeySequence("Shift+F3"));
    findPrevious->setEnabled(false);
    addAction(findPrevious);

    QMenu* view = bar->addMenu("&View");
    view->setObjectName("viewMenu");
    m_view->setViewMenu(view);
    QAction* switchFocus = addItem(view, "switchPreviewFocus", "Switch Preview Focus",
                                   [this] { switchPreviewFocus(); });
    switchFocus->setShortcut(QKeySequence(Qt::Key_Tab));
    switchFocus->setShortcutContext(Qt::WidgetShortcut); // shown; Tab is caught in the splitter
    view->addSeparator();
    QAction* details = addItem(view, "details", "&Details", [this] { m_view->setListMode(false); });
    QAction* list = addItem(view, "list", "&List", [this] { m_view->setListMode(true); });
    details->setCheckable(true);
    list->setCheckable(true);
    addItem(view, "validOnly", "&Valid Only", [this] { m_view->validOnly(); });
    addItem(view, "checkBoxes", "Check boxes");
    view->addSeparator();
    addItem(view, "byName", "By Na&me", [this] { m_view->sortFixed(SortByName); });
    addItem(view, "byType", "By Ty&pe", [this] { m_view->sortFixed(SortByType); });
    addItem(view, "byExtension", "By &Extension", [this] { m_view->sortFixed(SortByExtension); });
    addItem(view, "bySize", "By Si&ze", [this] { m_view->sortFixed(SortBySize); });
    addItem(view, "byDate", "By Da&te", [this] { m_view->sortFixed(SortByDate); });
    view->addSeparator();
    QAction* status = addItem(view, "statusBarToggle", "&Status Bar",
                              [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    status->setCheckable(true);
    status->setChecked(true);

    QMenu* group = bar->addMenu("&Group");
    addItem(group, "groupByType", "by Registered &Type");
    addItem(group, "groupByExtension", "by &Extension");
    addItem(group, "groupBySearch", "by &Search");
    m_groupBy = group->addMenu("by");
    m_groupBy->setObjectName("groupByMenu");
    m_groupBy->addAction("temp")->setEnabled(false);
    connect(group, &QMenu::aboutToShow, this, &CMainFrame::fillGroupByMenu);

    QMenu* tools = bar->addMenu("&Tools");
    addItem(tools, "removeDuplicates", "&Remove Duplicates");
    addItem(tools, "deleteEmptyDirectories", "&Delete Empty Directories");
    addItem(tools, "setExtensions", "Set &Extensions...");

    QMenu* preview = bar->addMenu("&Preview");
    addItem(preview, "previewEnabled", "&Enabled");
    QAction* autoHide = addItem(preview, "previewAutoHide", "Auto Hide",
                                [this] { m_prevAutoHide->set(!m_prevAutoHide->value()); });
    autoHide->setCheckable(true);
    addItem(preview, "wordWrap", "Word Wrap", {}, {QKeySequence("Ctrl+W")});
    addItem(preview, "font", "Font...", [this] { chooseFont(); });
    preview->addSeparator();
    addItem(preview, "previewTextual", "&Textual");
    addItem(preview, "previewMedia", "&Media");
    addItem(preview, "previewArchives", "Archives");
    addItem(preview, "previewSwf", "&Swf Movies");

    QMenu* options = bar->addMenu("&Options");
    QMenu* priority = options->addMenu("Priority");
    m_priorityGroup = new QActionGroup(this);
    const std::array<std::pair<const char*, int>, 3> levels = {
        {{"Normal", 0}, {"Below Normal", -1}, {"Low", -2}}};
    for (const auto& [text, choice] : levels) {
        QAction* a = addItem(priority, QString("priority%1").arg(-choice), text,
                             [this, c = choice] { setPriorityChoice(c); });
        a->setCheckable(true);
        a->setData(choice);
        m_priorityGroup->addAction(a);
    }
    QAction* scanAll =
        addItem(options, "scanAll", "&Scan All", [this] { m_view->toggleScanAll(); });
    QAction* numbered = addItem(options, "numberedOnly", "&Numbered Only",
                                [this] { m_view->toggleNumberedOnly(); });
    scanAll->setCheckable(true);
    numbered->setCheckable(true);
    addItem(options, "confirmShiftDelete", "Confirm ShiftDelete");
    options->addSeparator();
    addItem(options, "deleteSettings", "&Delete Program's Registry Settings",
            [this] { requestSettingsRemoval(true); });
    connect(options, &QMenu::aboutToShow, this, [this] { syncOptionControls(); });
    connect(view, &QMenu::aboutToShow, this, [this] { syncOptionControls(); });
    connect(preview, &QMenu::aboutToShow, this, [this] { syncOptionControls(); });

    QMenu* help = bar->addMenu("&Help");
    addItem(help, "about", "&About...", [this] { about(); }, {QKeySequence("F1")});
}

// The help line pane 0 shows while the pointer rests on a menu item.
void CMainFrame::setMenuHelp() {
    static const std::pair<const char*, const char*> kHelp[] = {
        {"open", "Open a folder"},
        {"exit", "Quit the program"},
        {"undo", "Take back the last command that moved or renamed files"},
        {"redo", "Do the last undone command again"},
        {"selectAll", "Select every entry"},
        {"invertSelection", "Select the entries that are not selected, and only those"},
        {"selectChecked", "Select the checked entries"},
        {"find", "Find text in the list"},
        {"findNext", "Find the next entry holding the text"},
        {"switchPreviewFocus", "Move the keyboard focus between the list and the preview"},
        {"details", "Show the name and the nine information columns"},
        {"list", "Show the names only"},
        {"validOnly", "Keep only the entries that show information"},
        {"checkBoxes", "Show or hide the check boxes"},
        {"byName", "Sort by name"},
        {"byType", "Sort by type"},
        {"byExtension", "Sort by extension"},
        {"bySize", "Sort by size, smallest first"},
        {"byDate", "Sort by date, newest first"},
        {"statusBarToggle", "Show or hide the status bar"},
        {"groupByType", "Move the selected files into one folder per type"},
        {"groupByExtension", "Move the selected files into one folder per extension"},
        {"groupBySearch", "Move the files holding a text into a folder"},
        {"removeDuplicates", "Move identical copies into the Duplicates folder"},
        {"deleteEmptyDirectories", "Delete the empty folders"},
        {"setExtensions", "Change the extension of the selected files"},
        {"previewEnabled", "Turn the preview on or off"},
        {"previewAutoHide", "Hide the preview when it has nothing to show"},
        {"wordWrap", "Wrap long lines in the text preview"},
        {"font", "Choose the font of the preview"},
        {"previewTextual", "Preview texts"},
        {"previewMedia", "Preview media"},
        {"previewArchives", "Preview archives"},
        {"previewSwf", "Preview Flash movies"},
        {"priority0", "Run at normal priority"},
        {"priority1", "Run below normal priority"},
        {"priority2", "Run at low priority"},
        {"scanAll", "Read every file, whatever its extension"},
        {"numberedOnly", "Show only entries with numbered names"},
        {"confirmShiftDelete", "Ask before deleting files permanently"},
        {"deleteSettings", "Remove the program's settings when it closes"},
        {"about", "Show the program's name, version and a short help"},
    };
    for (const auto& [name, help] : kHelp) {
        if (QAction* a = action(name))
            a->setStatusTip(help);
    }
}

void CMainFrame::buildShortcuts() {
    // Tab switches between the list and the preview only while one of them has the
    // focus, so Tab still moves through the dialog bar.
    auto* tab = new QShortcut(QKeySequence(Qt::Key_Tab), m_splitter);
    tab->setContext(Qt::WidgetWithChildrenShortcut);
    connect(tab, &QShortcut::activated, this, &CMainFrame::switchPreviewFocus);
    for (const char* keys : {"F6", "Shift+F6"}) {
        auto* pane = new QShortcut(QKeySequence(keys), this);
        connect(pane, &QShortcut::activated, this, &CMainFrame::switchPreviewFocus);
    }
}

void CMainFrame::syncOptionControls() {
    const bool listMode = m_view->isListMode();
    m_listRadio->setChecked(listMode);
    m_detailsRadio->setChecked(!listMode);
    m_scanAllCheck->setChecked(m_doc.scanAll());
    m_numberedCheck->setChecked(m_view->numberedOnly());
    m_previewCheck->setChecked(m_previewVisible);
    if (QAction* a = action("list"))
        a->setChecked(listMode);
    if (QAction* a = action("details"))
        a->setChecked(!listMode);
    if (QAction* a = action("scanAll"))
        a->setChecked(m_doc.scanAll());
    if (QAction* a = action("numberedOnly"))
        a->setChecked(m_view->numberedOnly());
    if (QAction* a = action("previewAutoHide"))
        a->setChecked(m_prevAutoHide->value());
    if (QAction* a = action("statusBarToggle"))
        a->setChecked(statusBar()->isVisible());
    if (m_priorityGroup) {
        for (QAction* a : m_priorityGroup->actions())
            a->setChecked(a->data().toInt() == m_priority);
    }
}

QAction* CMainFrame::action(const QString& name) const {
    return findChild<QAction*>(name);
}

void CMainFrame::startUp(const QString& commandLineFolder) {
    if (!commandLineFolder.isEmpty())
        m_doc.TryOpenFolderPath(QFile::encodeName(commandLineFolder).toStdString());
    else if (!m_recent.isEmpty())
        m_doc.TryOpenFolderPath(QFile::encodeName(m_recent.front()).toStdString());
    m_view->initialUpdate();
    m_maxCol->setText(QString::number(m_view->maxColumnWidth()));
    updateTitle();
    syncOptionControls();
}

void CMainFrame::showFirstTime() {
    if (m_shownOnce) {
        show();
        return;
    }
    m_shownOnce = true;
    auto& store = SettingsStore::instance();
    int showCommand = WindowPlacement::kShowNormal;
    std::optional<WindowPlacement> placement;
    if (const auto bytes = store.readBinary("Settings", "WP"))
        placement = WindowPlacement::fromBytes(*bytes);
    if (placement) {
        placement->showCommand &= 3;
        placement->flags = 1;
        if (placement->normal.isValid())
            setGeometry(placement->normal);
        if (placement->showCommand != 0)
            showCommand = placement->showCommand;
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        resize(room.width() * 9 / 10, room.height() * 4 / 5);
    }
    if (showCommand == WindowPlacement::kShowMaximized)
        showMaximized();
    else if (showCommand == WindowPlacement::kShowMinimized)
        showMinimized();
    else
        show();
    activateWindow();
    const int listWidth = store.readInt("Settings", "ListWidth", 0);
    const int total = m_splitter->width();
    if (listWidth > 0 && m_previewVisible)
        m_splitter->setSizes({listWidth, std::max(total - listWidth, m_preview->minimumWidth())});
    else if (m_previewVisible)
        m_splitter->setSizes({total * 3 / 4, total - total * 3 / 4});
}

void CMainFrame::openFolder(const QString& path) {
    m_view->openFolder(path);
    updateTitle();
}

void CMainFrame::updateTitle() {
    const std::string title = m_doc.title();
    setWindowTitle(title.empty() ? kProgramName
                                 : QFile::decodeName(QByteArray::fromStdString(title)) + " - " +
                                       kProgramName);
}

void CMainFrame::addRecent(const QString& path) {
    m_recent.removeAll(path);
    m_recent.prepend(path);
    while (m_recent.size() > kRecentCount)
        m_recent.removeLast();
    auto& store = SettingsStore::instance();
    for (int i = 0; i < m_recent.size(); ++i)
        store.writeString(kRecentSection, QString("File%1").arg(i + 1), m_recent[i]);
    rebuildRecentMenu();
}

void CMainFrame::rebuildRecentMenu() {
    for (QAction* a : m_recentActions) {
        m_fileMenu->removeAction(a);
        a->deleteLater();
    }
    m_recentActions.clear();
    for (int i = 0; i < m_recent.size(); ++i) {
        QString text = m_recent[i];
        text.replace('&', "&&");
        auto* a = new QAction(QString("&%1 %2").arg(i + 1).arg(text), m_fileMenu);
        a->setObjectName(QString("recent%1").arg(i + 1));
        a->setStatusTip("Open this folder");
        connect(a, &QAction::triggered, this, [this, i] { chooseRecent(i); });
        m_fileMenu->insertAction(m_exitSeparator, a);
        m_recentActions.push_back(a);
    }
    if (!m_recentActions.isEmpty()) {
        auto* separator = new QAction(m_fileMenu);
        separator->setSeparator(true);
        m_fileMenu->insertAction(m_recentActions.front(), separator);
        m_recentActions.prepend(separator);
    }
}

// The first entry is the folder already open, and choosing it does nothing.
void CMainFrame::chooseRecent(int index) {
    if (index <= 0 || index >= m_recent.size())
        return;
    openFolder(m_recent[index]);
}

void CMainFrame::fillGroupByMenu() {
    const QList<QAction*> items = m_groupBy->actions();
    if (items.size() != 1 || items.front()->text() != "temp")
        return;
    m_groupBy->removeAction(items.front());
    delete items.front();
    const auto& names = m_doc.ColumnNames();
    for (size_t i = 1; i < names.size(); ++i) {
        QAction* a = m_groupBy->addAction(QString::fromStdString(names[i]));
        a->setObjectName(QString("groupBy%1").arg(kGroupByFirstId + static_cast<int>(i)));
        a->setData(kGroupByFirstId + static_cast<int>(i));
        a->setEnabled(false); // grouping comes with the grouping commands
    }
}

void CMainFrame::browseForFolder() {
    const QString start = m_browseStart.isEmpty()
                              ? QFile::decodeName(QByteArray::fromStdString(m_doc.pathName()))
                              : m_browseStart;
    const QString chosen = m_chooseFolder
                               ? m_chooseFolder("Choose a folder", start)
                               : QFileDialog::getExistingDirectory(this, "Choose a folder", start,
                                                                   QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return;
    m_browseStart = chosen;
    openFolder(chosen);
}

void CMainFrame::switchPreviewFocus() {
    if (m_preview->isVisible() && !m_preview->hasFocus())
        m_preview->setFocus();
    else
        m_view->currentView()->setFocus();
}

void CMainFrame::setPreviewVisible(bool visible) {
    m_previewVisible = visible;
    m_preview->setVisible(visible);
    syncOptionControls();
}

void CMainFrame::chooseFont() {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, m_previewLabel->font(), this, "Font");
    if (ok)
        m_previewLabel->setFont(font);
}

void CMainFrame::about() {
    QMessageBox::about(
        this, "About " + kProgramName,
        QString("<b>%1</b> %2<p>Gives meaningful names to folders of numbered files. Open a "
                "folder; the columns show what each file says about itself. Select files, "
                "right-click and rename them after a column; Undo takes a rename back.</p>")
            .arg(kProgramName, QStringLiteral(TRESSEL_VERSION)));
}

bool CMainFrame::setPriorityChoice(int choice) {
    const bool ok =
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(UiThreadId()), NiceOfChoice(choice)) == 0;
    if (!ok)
        setStatusPane(2, QString("The priority could not be changed: %1")
                             .arg(QString::fromLocal8Bit(std::strerror(errno))));
    m_priority = ok ? choice : ChoiceOfNice(CurrentNice());
    syncOptionControls();
    return ok;
}

void CMainFrame::requestSettingsRemoval(bool ask) {
    m_removeSettings = true;
    if (!ask)
        return;
    const auto answer = QMessageBox::question(
        this, kProgramName,
        "Program Settings will be removed after closing the program\r\nClose Now ?",
        QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        close();
}

void CMainFrame::setStatusPane(int pane, const QString& text) {
    if (pane >= 0 && pane < 3)
        m_panes[static_cast<size_t>(pane)]->setText(text);
    if (pane == 2) // a new line: the details of the old one no longer belong to it
        m_detailsButton->hide();
}

QString CMainFrame::statusPaneText(int pane) const {
    return pane >= 0 && pane < 3 ? m_panes[static_cast<size_t>(pane)]->text() : QString();
}

void CMainFrame::report(const std::string& subject, int errors) {
    setStatusPane(2, QString::fromStdString(ReportText(subject, errors)));
}

void CMainFrame::reportFailures(const std::string& subject, const CFailureList& failures) {
    report(subject, failures.count());
    m_failures = failures;
    m_detailsButton->setVisible(!failures.empty());
}

void CMainFrame::showFailureDetails() {
    auto* dialog = new CFailureListDialog(statusPaneText(2), m_failures, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

// The bar's range is an int: huge counts are scaled down.
void CMainFrame::start(uint64_t count) {
    m_progressDone = 0;
    m_progressScale = count / INT_MAX + 1;
    m_progress->setRange(0, static_cast<int>(count / m_progressScale));
    m_progress->setValue(0);
}

void CMainFrame::step() {
    ++m_progressDone;
    const auto position = static_cast<int>(m_progressDone / m_progressScale);
    if (position <= m_progress->maximum())
        m_progress->setValue(position);
}

void CMainFrame::onFolderLost(const QString& path) {
    setStatusPane(
        2, QString("The folder %1 is no longer there (deleted, renamed or unmounted)").arg(path));
    updateTitle();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    saveSettings();
    QMainWindow::closeEvent(event);
}

void CMainFrame::saveSettings() {
    auto& store = SettingsStore::instance();
    store.writeBinary("bstate", "State", saveState());
    store.writeInt("Settings", "ListWidth", m_view->width());
    store.writeInt("Settings", "Preview", m_previewVisible ? 1 : 0);
    WindowPlacement placement;
    placement.showCommand = isMaximized()   ? WindowPlacement::kShowMaximized
                            : isMinimized() ? WindowPlacement::kShowMinimized
                                            : WindowPlacement::kShowNormal;
    placement.normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    store.writeBinary("Settings", "WP", placement.toBytes());
    store.writeString("Settings", "MaxColSize", m_maxCol->text());
}

} // namespace tressel
