#include "main_frame.h"

#include "app/window_placement.h"
#include "catalogue/document.h"
#include "catalogue/group_keys.h"
#include "listview/column_width.h"
#include "listview/escape_check.h"
#include "listview/failure_list_dialog.h"
#include "listview/file_list_model.h"
#include "listview/file_name_text.h"
#include "listview/list_context_menu.h"
#include "listview/translated_text.h"
#include "listview/view.h"
#include "preview/my_preview.h"
#include "settings/settings_store.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
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
#include <tuple>
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

// A dialog-bar control that stands for an action: clicking it triggers the action, and
// it shows the action's state (enabled, checked) whichever way that changes.
void BindButton(QAbstractButton* button, QAction* action) {
    auto follow = [button, action] {
        button->setEnabled(action->isEnabled());
        if (action->isCheckable())
            button->setChecked(action->isChecked());
    };
    button->setStatusTip(action->statusTip());
    follow();
    QObject::connect(action, &QAction::changed, button, follow);
    QObject::connect(button, &QAbstractButton::clicked, action, [action, follow] {
        action->trigger();
        follow(); // a click on an exclusive choice already made changes nothing
    });
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
        value = column_width::kDefault;
    setText(QString::number(column_width::Clamp(static_cast<long long>(value) + steps)));
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
    buildMenus();
    buildDialogBar();
    buildStatusBar();
    buildShortcuts();
    if (const auto state = store.readBinary("bstate", "State"))
        restoreState(*state);

    m_view->setReport(this);
    m_view->setProgress(this);
    connect(&m_view->escapeCheck(), &CEscapeCheck::ended, this, &CMainFrame::hideProgress);
    connect(m_view, &CMarlockUtilView::statusText, this, &CMainFrame::setStatusPane);
    connect(m_view, &CMarlockUtilView::folderLost, this, &CMainFrame::onFolderLost);
    connect(m_view, &CMarlockUtilView::previewHideRequested, this,
            [this] { setPreviewVisible(false); });
    connect(m_view, &CMarlockUtilView::previewRequested, this, [this](const QString& path) {
        if (m_previewVisible)
            m_preview->Preview(path);
    });
    connect(m_preview, &CMyPreview::previewFinished, this, &CMainFrame::onPreviewFinished);
    connect(&m_doc, &CMarlockUtilDoc::folderOpened, this, [this](const QString& path) {
        // What pane 2 says is about the folder it was said in.
        if (path != m_shownFolder)
            setStatusPane(PaneReport, QString());
        m_shownFolder = path;
        addRecent(path);
        updateTitle();
    });
    m_doc.setWatching(true);
    connect(&m_doc, &CMarlockUtilDoc::folderChanged, m_view,
            [this] { m_view->scheduleRefresh(CMarlockUtilView::kRefreshDelayMs); });
    showPriorityChoice(ChoiceOfNice(CurrentNice()));
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::buildCentral() {
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName("splitter");
    m_splitter->setChildrenCollapsible(false);
    m_view = new CMarlockUtilView(m_doc, m_splitter);
    m_view->setObjectName("fileList");

    // The preview reads files on the list's worker threads.
    m_preview = new CMyPreview(m_view->model().backgroundReader(), m_splitter);
    m_preview->setMinimumWidth(10);
    m_preview->resize(130, 50);

    m_splitter->addWidget(m_view);
    m_splitter->addWidget(m_preview);
    // The list keeps its share of the width when the window is resized.
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);
    m_preview->setVisible(m_previewVisible);
    setCentralWidget(m_splitter);
    connect(m_splitter, &QSplitter::splitterMoved, this, &CMainFrame::rememberListShare);
}

void CMainFrame::buildDialogBar() {
    auto* bar = new QToolBar(tr("Dialog Bar"), this);
    bar->setObjectName("dialogBar");
    m_dialogBar = bar;
    bar->setMovable(true);
    // Each control is a tool bar item of its own, so a narrow window moves the last
    // ones into the bar's extension menu instead of growing.
    auto button = [&](QAbstractButton* b, const char* name, QAction* action) {
        b->setObjectName(name);
        b->setFocusPolicy(Qt::NoFocus);
        BindButton(b, action);
        bar->addWidget(b);
        return b;
    };
    auto push = [&](const char* name, const QString& text, QAction* action) {
        auto* b = new QPushButton(text, bar);
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(text) + 28);
        return button(b, name, action);
    };
    push("upButton", tr("Up"), m_upAction);
    push("allButton", tr("All"), m_selectAllAction);
    push("checkedButton", tr("Checked"), action("selectChecked"));
    push("refreshButton", tr("Refresh"), m_refreshAction);
    push("findButton", tr("Find"), action("find"));
    push("undoButton", tr("Undo"), m_view->undoAction());
    push("redoButton", tr("Redo"), m_view->redoAction());

    m_progress = new QProgressBar(bar);
    m_progress->setObjectName("progress");
    m_progress->setFixedWidth(80);
    bar->addSeparator();
    // Shown only while a command runs, so it never stays full after one.
    m_progressAction = bar->addWidget(m_progress);
    m_progressAction->setVisible(false);
    addToolBar(Qt::TopToolBarArea, bar);

    // The options go on a second bar, which can take a row of its own when one row
    // cannot hold both.
    bar = new QToolBar(tr("Options Bar"), this);
    bar->setObjectName("optionsBar");
    bar->setMovable(true);
    m_optionsBar = bar;

    auto radio = [&](const char* name, const char* icon, QStyle::StandardPixmap fallback,
                     QAction* action) {
        auto* r = new QRadioButton(bar);
        r->setIcon(QIcon::fromTheme(icon, style()->standardIcon(fallback)));
        r->setToolTip(action->text().remove('&'));
        // The action group keeps the two exclusive; the buttons only follow it.
        r->setAutoExclusive(false);
        button(r, name, action);
    };
    radio("listRadio", "view-list-text", QStyle::SP_FileDialogListView, m_view->listAction());
    radio("detailsRadio", "view-list-details", QStyle::SP_FileDialogDetailedView,
          m_view->detailsAction());

    button(new QCheckBox(tr("Preview"), bar), "previewCheck", m_previewAction);
    button(new QCheckBox(tr("Word Wrap"), bar), "wordWrapCheck", action("wordWrap"));
    button(new QCheckBox(tr("Scan All"), bar), "scanAllCheck", m_view->scanAllAction());
    button(new QCheckBox(tr("Numbered only"), bar), "numberedCheck", m_view->numberedOnlyAction());

    bar->addSeparator();
    // The label and its box stay together when the bar runs out of room.
    auto* maxColGroup = new QWidget(bar);
    auto* maxColRow = new QHBoxLayout(maxColGroup);
    maxColRow->setContentsMargins(4, 0, 4, 0);
    maxColRow->addWidget(new QLabel(tr("MaxCol width:"), maxColGroup));
    m_maxCol = new CMaxColBox(maxColGroup);
    m_maxCol->setToolTip(tr("Widest an information column may be, in pixels (%1 to %2)")
                             .arg(column_width::kMin)
                             .arg(column_width::kMax));
    m_maxCol->setText(SettingsStore::instance().readString(
        "Settings", column_width::kSettingsKey, QString::number(column_width::kDefault)));
    connect(m_maxCol, &CMaxColBox::editingFinished, this,
            [this] { m_maxCol->setText(m_view->setMaxColumnWidthText(m_maxCol->text())); });
    maxColRow->addWidget(m_maxCol);
    bar->addWidget(maxColGroup);
    addToolBar(Qt::TopToolBarArea, bar);
}

void CMainFrame::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("statusBar");
    const std::array<int, kPaneCount> stretch = {1, 0, 2};
    for (int i = 0; i < kPaneCount; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString("pane%1").arg(i));
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        if (i == PaneBytes)
            label->setFixedWidth(150);
        else
            label->setMinimumWidth(i == PaneCounts ? 10 : 20);
        bar->addWidget(label, stretch[static_cast<size_t>(i)]);
        m_panes[static_cast<size_t>(i)] = label;
    }
    m_detailsButton = new QPushButton(tr("Details"), bar);
    m_detailsButton->setObjectName("detailsButton");
    m_detailsButton->setToolTip(tr("The files the command could not handle, and why"));
    m_detailsButton->setFlat(true);
    m_detailsButton->hide();
    connect(m_detailsButton, &QPushButton::clicked, this, &CMainFrame::showFailureDetails);
    bar->addWidget(m_detailsButton);
}

QAction* CMainFrame::addItem(QMenu* menu, const QString& name, const QString& text,
                             const QString& help, std::function<void()> handler,
                             const QList<QKeySequence>& keys) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setStatusTip(help);
    if (!keys.isEmpty())
        action->setShortcuts(keys);
    if (handler)
        connect(action, &QAction::triggered, this, handler);
    else
        action->setEnabled(false); // a command this build does not have
    if (menu)
        menu->addAction(action);
    return action;
}

QAction* CMainFrame::addOption(QMenu* menu, const QString& name, const QString& text,
                               const QString& help, bool checked,
                               std::function<void(bool)> onToggled) {
    QAction* action = addItem(menu, name, text, help);
    action->setCheckable(true);
    action->setChecked(checked);
    if (onToggled) {
        action->setEnabled(true);
        connect(action, &QAction::toggled, this, onToggled);
    }
    return action;
}

void CMainFrame::buildMenus() {
    QMenuBar* bar = menuBar();

    m_fileMenu = bar->addMenu(tr("&File"));
    addItem(m_fileMenu, "open", tr("&Open..."), tr("Open a folder"), [this] { browseForFolder(); },
            {QKeySequence("Ctrl+O")});
    m_exitSeparator = m_fileMenu->addSeparator();
    addItem(m_fileMenu, "exit", tr("E&xit"), tr("Quit the program"), [this] { close(); });
    rebuildRecentMenu();

    QMenu* edit = bar->addMenu(tr("&Edit"));
    QAction* undo = m_view->undoAction();
    undo->setShortcuts({QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")});
    m_view->redoAction()->setShortcut(QKeySequence("Ctrl+Y"));
    edit->addActions({undo, m_view->redoAction()});
    edit->addAction(m_view->undoHistoryAction());
    edit->addSeparator();
    m_selectAllAction = addItem(edit, "selectAll", tr("Select &All"), tr("Select every entry"),
                                [this] { m_view->selectAll(); }, {QKeySequence("Ctrl+A")});
    addItem(edit, "invertSelection", tr("&Invert Selection"),
            tr("Select the entries that are not selected, and only those"),
            [this] { m_view->invertSelection(); }, {QKeySequence("Ctrl+I")});
    QAction* selectChecked =
        addItem(edit, "selectChecked", tr("Select Checked"), tr("Select the checked entries"),
                [this] { m_view->selectChecked(); });
    selectChecked->setEnabled(m_view->checkBoxesAction()->isChecked());
    connect(m_view->checkBoxesAction(), &QAction::toggled, selectChecked, &QAction::setEnabled);
    edit->addSeparator();
    addItem(edit, "find", tr("&Find..."), tr("Find text in the list"), [this] { m_view->find(); },
            {QKeySequence("Ctrl+F")});
    addItem(edit, "findNext", tr("Find Next"), tr("Find the next entry holding the text"),
            [this] { m_view->findNext(false); }, {QKeySequence("F3")});
    addAction(addItem(nullptr, "findPrevious", tr("Find Previous"),
                      tr("Find the previous entry holding the text"),
                      [this] { m_view->findNext(true); }, {QKeySequence("Shift+F3")}));
    edit->addSeparator();
    addItem(edit, "previewRename", tr("Pre&view Rename..."),
            tr("Show the new names of the selected files before renaming them"),
            [this] { m_view->previewRename(false); }, {QKeySequence("Ctrl+Shift+R")});

    QMenu* view = bar->addMenu(tr("&View"));
    view->setObjectName("viewMenu");
    m_view->contextMenu().setViewMenu(view);
    QAction* switchFocus = addItem(view, "switchPreviewFocus", tr("Switch Preview Focus"),
                                   tr("Move the keyboard focus between the list and the preview"),
                                   [this] { switchPreviewFocus(); });
    switchFocus->setShortcut(QKeySequence(Qt::Key_Tab));
    switchFocus->setShortcutContext(Qt::WidgetShortcut); // shown; Tab is caught in the splitter
    view->addSeparator();
    view->addActions({m_view->detailsAction(), m_view->listAction()});
    addItem(view, "validOnly", tr("&Valid Only"), tr("Keep only the entries that show information"),
            [this] { m_view->validOnly(); });
    view->addAction(m_view->checkBoxesAction());
    view->addSeparator();
    const std::array<std::tuple<const char*, const char*, const char*, SortMode>, 5> sorts = {{
        {"byName", QT_TR_NOOP("By Na&me"), QT_TR_NOOP("Sort by name"), SortByName},
        {"byType", QT_TR_NOOP("By Ty&pe"), QT_TR_NOOP("Sort by type"), SortByType},
        {"byExtension", QT_TR_NOOP("By &Extension"), QT_TR_NOOP("Sort by extension"),
         SortByExtension},
        {"bySize", QT_TR_NOOP("By Si&ze"), QT_TR_NOOP("Sort by size, smallest first"), SortBySize},
        {"byDate", QT_TR_NOOP("By Da&te"), QT_TR_NOOP("Sort by date, newest first"), SortByDate},
    }};
    for (const auto& [name, text, help, mode] : sorts)
        addItem(view, name, tr(text), tr(help), [this, mode = mode] { m_view->sortFixed(mode); });
    view->addSeparator();
    addOption(view, "statusBarToggle", tr("&Status Bar"), tr("Show or hide the status bar"), true,
              [this](bool on) { statusBar()->setVisible(on); });

    QMenu* group = bar->addMenu(tr("&Group"));
    addItem(group, "groupByType", tr("by Registered &Type"),
            tr("Moves files to their type folder (eg: exe to applications folder) if more than "
               "one file exists or the folder already there."),
            [this] { m_view->group(GroupByType); });
    addItem(group, "groupByExtension", tr("by &Extension"),
            tr("Moves files to their extension folder (eg: exe to exe folder) if more than one "
               "file exists or the folder already there."),
            [this] { m_view->group(GroupByExtension); });
    addItem(group, "groupBySearch", tr("by &Search"),
            tr("Move the files holding a text into a folder"), [this] { m_view->find(); });
    m_groupBy = group->addMenu(tr("by"));
    m_groupBy->setObjectName("groupByMenu");
    m_groupBy->addAction("temp")->setEnabled(false);
    connect(group, &QMenu::aboutToShow, this, &CMainFrame::fillGroupByMenu);

    QMenu* tools = bar->addMenu(tr("&Tools"));
    addItem(tools, "removeDuplicates", tr("&Remove Duplicates"),
            tr("Removes identical copies of files to duplicates folder (Leaves only one copy of "
               "each file)."),
            [this] { m_view->removeDuplicates(); });
    addItem(tools, "deleteEmptyDirectories", tr("&Delete Empty Directories"),
            tr("Delete the empty folders"), [this] { m_view->deleteEmptyDirectories(); });
    addItem(tools, "setExtensions", tr("Set &Extensions..."), tr("Changes files extensions."),
            [this] { m_view->setExtensions(); });
    addItem(tools, "fixExtensions", tr("&Fix Extensions from Content"),
            tr("Give the selected files the extension their content should carry"),
            [this] { m_view->fixExtensionsFromContent(); });

    QMenu* preview = bar->addMenu(tr("&Preview"));
    addOption(preview, "previewEnabled", tr("&Enabled"), tr("Turn the preview on or off"),
              m_preview->isPreviewEnabled(), [this](bool on) { m_preview->setPreviewEnabled(on); });
    addOption(preview, "previewAutoHide", tr("Auto Hide"),
              tr("Hide the preview when it has nothing to show"), m_prevAutoHide->value(),
              [this](bool on) { m_prevAutoHide->set(on); });
    addOption(preview, "wordWrap", tr("Word Wrap"), tr("Wrap long lines in the text preview"),
              m_preview->wordWrap(),
              [this](bool on) {
                  if (on != m_preview->wordWrap())
                      m_preview->toggleWordWrap();
              })
        ->setShortcut(QKeySequence("Ctrl+W"));
    addItem(preview, "font", tr("Font..."), tr("Choose the font of the preview"),
            [this] { chooseFont(); });
    preview->addSeparator();
    const std::array<std::tuple<const char*, const char*, const char*, CMyPreview::Switch>, 4>
        switches = {{
            {"previewTextual", QT_TR_NOOP("&Textual"),
             QT_TR_NOOP("Preview archive texts, lyrics and text files"), CMyPreview::Textual},
            {"previewMedia", QT_TR_NOOP("&Media"), QT_TR_NOOP("Preview movies and images"),
             CMyPreview::Media},
            {"previewArchives", QT_TR_NOOP("Archives"),
             QT_TR_NOOP("Preview the comment and readme files of archives"), CMyPreview::Archives},
            {"previewSwf", QT_TR_NOOP("&Swf Movies"), QT_TR_NOOP("Preview Flash movies"),
             CMyPreview::Swf},
        }};
    for (const auto& [name, text, help, which] : switches)
        addOption(preview, name, tr(text), tr(help), m_preview->switchOn(which),
                  [this, which = which](bool on) { m_preview->setSwitch(which, on); });

    QMenu* options = bar->addMenu(tr("&Options"));
    QMenu* priority = options->addMenu(tr("Priority"));
    m_priorityGroup = new QActionGroup(this);
    const std::array<std::tuple<const char*, const char*, int>, 3> levels = {{
        {QT_TR_NOOP("Normal"), QT_TR_NOOP("Run at normal priority"), 0},
        {QT_TR_NOOP("Below Normal"), QT_TR_NOOP("Run below normal priority"), -1},
        {QT_TR_NOOP("Low"), QT_TR_NOOP("Run at low priority"), -2},
    }};
    for (const auto& [text, help, choice] : levels) {
        QAction* a = addItem(priority, QString("priority%1").arg(-choice), tr(text), tr(help),
                             [this, c = choice] { setPriorityChoice(c); });
        a->setCheckable(true);
        a->setData(choice);
        m_priorityGroup->addAction(a);
    }
    options->addActions(
        {m_view->scanAllAction(), m_view->numberedOnlyAction(), m_view->fixExtensionsAction()});
    options->addAction(m_view->confirmShiftDeleteAction());
    options->addSeparator();
    addItem(options, "deleteSettings", tr("&Delete Program's Registry Settings"),
            tr("Remove the program's settings when it closes"),
            [this] { requestSettingsRemoval(true); });

    QMenu* help = bar->addMenu(tr("&Help"));
    addItem(help, "about", tr("&About..."), tr("Show the program's name, version and a short help"),
            [this] { about(); }, {QKeySequence("F1")});

    // Commands of the dialog bar that no menu shows.
    m_upAction = addItem(nullptr, "up", tr("Up"), tr("Open the folder that holds this one"),
                         [this] { m_view->goUp(); });
    m_refreshAction = addItem(nullptr, "refresh", tr("Refresh"), tr("Read the folder again"),
                              [this] { m_view->rescan(); });
    m_previewAction = addOption(nullptr, "preview", tr("Preview"), tr("Show or hide the preview"),
                                m_previewVisible, [this](bool on) { setPreviewVisible(on); });
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

QAction* CMainFrame::action(const QString& name) const {
    return findChild<QAction*>(name);
}

// A file on the command line (the desktop entry passes one) opens its folder with the
// file selected.
void CMainFrame::startUp(const QString& commandLinePath) {
    const QFileInfo given(commandLinePath);
    const bool file = !commandLinePath.isEmpty() && given.exists() && !given.isDir();
    const QString folder = file                         ? given.absolutePath()
                           : !commandLinePath.isEmpty() ? commandLinePath
                           : m_recent.isEmpty()         ? QString()
                                                        : m_recent.front();
    if (!folder.isEmpty() && !m_doc.TryOpenFolderPath(EncodeName(folder)))
        reportUnopenedFolder(folder);
    m_view->initialUpdate();
    if (file)
        m_view->selectName(given.fileName());
    m_maxCol->setText(QString::number(m_view->maxColumnWidth()));
    updateTitle();
}

void CMainFrame::reportUnopenedFolder(const QString& path) {
    const QFileInfo info(path);
    const QString reason = !info.exists()  ? "it does not exist"
                           : !info.isDir() ? "it is not a folder"
                                           : "it cannot be read";
    setStatusPane(PaneReport, tr("The folder %1 could not be opened: %2").arg(path, reason));
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
        resize(defaultSize(screen->availableGeometry().size()));
        if (width() < m_dialogBar->sizeHint().width() + m_optionsBar->sizeHint().width())
            insertToolBarBreak(m_optionsBar);
    }
    if (showCommand == WindowPlacement::kShowMaximized)
        showMaximized();
    else if (showCommand == WindowPlacement::kShowMinimized)
        showMinimized();
    else
        show();
    activateWindow();
    restoreListWidth(store.readInt("Settings", "ListWidth", 0));
}

// Most of the screen, and never so narrow that a bar hides controls in its extension
// menu while the screen has room for them (large fonts, scaled screens).
QSize CMainFrame::defaultSize(const QSize& room) const {
    const int barWidth =
        std::max(m_dialogBar->sizeHint().width(), m_optionsBar->sizeHint().width());
    const int width = std::min(std::max(room.width() * 9 / 10, barWidth), room.width());
    return {width, room.height() * 4 / 5};
}

// The stored width is the list pane's own: the handle's width comes off the preview's
// share, or the splitter would scale both panes down to fit and the list would shrink
// at every start.
void CMainFrame::restoreListWidth(int listWidth) {
    if (!m_previewVisible)
        return;
    const int room = m_splitter->width() - m_splitter->handleWidth();
    if (listWidth <= 0)
        listWidth = room * 3 / 4;
    listWidth = std::min(listWidth, room - m_preview->minimumWidth());
    m_splitter->setSizes({listWidth, room - listWidth});
}

int CMainFrame::listPaneWidth() const {
    return m_splitter->sizes().value(0, m_view->width());
}

void CMainFrame::openFolder(const QString& path) {
    if (!m_view->openFolder(path))
        reportUnopenedFolder(path);
    updateTitle();
}

void CMainFrame::updateTitle() {
    const std::string title = m_doc.title();
    setWindowTitle(title.empty() ? kProgramName : DecodeName(title) + " - " + kProgramName);
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
        a->setStatusTip(tr("Open this folder"));
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

// The first entry opens its folder too: it may be one that could not be opened before.
void CMainFrame::chooseRecent(int index) {
    if (index < 0 || index >= m_recent.size())
        return;
    const QString path = m_recent[index]; // opening reorders the list
    openFolder(path);
}

void CMainFrame::fillGroupByMenu() {
    const QList<QAction*> items = m_groupBy->actions();
    if (items.size() != 1 || items.front()->text() != "temp")
        return;
    m_groupBy->removeAction(items.front());
    delete items.front();
    const auto& names = m_doc.ColumnNames();
    for (size_t i = 1; i < names.size(); ++i) {
        QAction* a = m_groupBy->addAction(TranslatedColumnName(names[i]));
        a->setObjectName(QString("groupBy%1").arg(kGroupByFirstId + static_cast<int>(i)));
        const int id = kGroupByFirstId + static_cast<int>(i);
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, id] { m_view->group(id - 600); });
    }
}

void CMainFrame::browseForFolder() {
    const QString start =
        m_browseStart.isEmpty() ? DecodeName(m_doc.GetCurrentFolderPath()) : m_browseStart;
    const QString chosen =
        m_chooseFolder ? m_chooseFolder(tr("Choose a folder"), start)
                       : QFileDialog::getExistingDirectory(this, tr("Choose a folder"), start,
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
    if (visible)
        showPreviewPane();
    else
        hidePreviewPane();
}

QWidget* CMainFrame::previewPane() const {
    return m_preview;
}

void CMainFrame::onPreviewFinished(bool shown) {
    if (shown && m_previewVisible)
        showPreviewPane();
    else if (!shown && m_prevAutoHide->value())
        hidePreviewPane();
}

void CMainFrame::showPreviewPane() {
    if (!m_preview->isHidden())
        return;
    m_preview->show();
    const int room = m_splitter->width() - m_splitter->handleWidth();
    const int list = ListWidthForShare(room, m_preview->listShare());
    m_splitter->setSizes({list, room - list});
}

void CMainFrame::hidePreviewPane() {
    if (!m_preview->isHidden())
        rememberListShare();
    m_preview->hide();
    m_preview->Clear();
}

// The share is taken only while both columns show, so a hidden pane keeps the width
// the user gave it.
void CMainFrame::rememberListShare() {
    const QList<int> sizes = m_splitter->sizes();
    const int room = m_splitter->width() - m_splitter->handleWidth();
    if (m_preview->isHidden() || sizes.size() < 2 || room <= 0 || sizes[1] <= 0)
        return;
    m_preview->setListShare(static_cast<int>(static_cast<long long>(sizes[0]) * 10000 / room));
}

void CMainFrame::chooseFont() {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, m_preview->textFont(), this, tr("Font"));
    if (ok)
        m_preview->setTextFont(font);
}

void CMainFrame::about() {
    QMessageBox::about(
        this, tr("About %1").arg(kProgramName),
        tr("<b>%1</b> %2<p>Gives meaningful names to folders of numbered files. Open a "
           "folder; the columns show what each file says about itself. Select files, "
           "right-click and rename them after a column; Undo takes a rename back.</p>")
            .arg(kProgramName, QStringLiteral(TRESSEL_VERSION)));
}

bool CMainFrame::setPriorityChoice(int choice) {
    const bool ok =
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(UiThreadId()), NiceOfChoice(choice)) == 0;
    if (!ok)
        setStatusPane(PaneReport, tr("The priority could not be changed: %1")
                                      .arg(QString::fromLocal8Bit(std::strerror(errno))));
    showPriorityChoice(ok ? choice : ChoiceOfNice(CurrentNice()));
    return ok;
}

// The check mark stays on the value in force.
void CMainFrame::showPriorityChoice(int choice) {
    m_priority = choice;
    for (QAction* a : m_priorityGroup->actions())
        a->setChecked(a->data().toInt() == choice);
}

void CMainFrame::requestSettingsRemoval(bool ask) {
    m_removeSettings = true;
    if (!ask)
        return;
    const auto answer = QMessageBox::question(
        this, kProgramName,
        tr("Program Settings will be removed after closing the program\r\nClose Now ?"),
        QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        close();
}

void CMainFrame::setStatusPane(int pane, const QString& text) {
    if (pane >= 0 && pane < kPaneCount)
        m_panes[static_cast<size_t>(pane)]->setText(text);
    if (pane == 2) // a new line: the details of the old one no longer belong to it
        m_detailsButton->hide();
}

QString CMainFrame::statusPaneText(int pane) const {
    return pane >= 0 && pane < kPaneCount ? m_panes[static_cast<size_t>(pane)]->text() : QString();
}

void CMainFrame::report(const UiText& subject, int errors) {
    setStatusPane(PaneReport, Translated(ReportText(subject, errors)));
}

void CMainFrame::reportFailures(const UiText& subject, const CFailureList& failures) {
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
    showProgress(true);
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

// Laid out at once: a command may run to its end before the event loop gets to it.
void CMainFrame::showProgress(bool shown) {
    m_progressAction->setVisible(shown);
    if (QLayout* layout = m_progress->parentWidget()->layout())
        layout->activate();
}

void CMainFrame::hideProgress() {
    showProgress(false);
    m_progress->reset();
}

void CMainFrame::onFolderLost(const QString& path) {
    setStatusPane(PaneReport,
                  tr("The folder %1 is no longer there (deleted, renamed or unmounted)").arg(path));
    updateTitle();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    saveSettings();
    QMainWindow::closeEvent(event);
}

void CMainFrame::saveSettings() {
    auto& store = SettingsStore::instance();
    store.writeBinary("bstate", "State", saveState());
    store.writeInt("Settings", "ListWidth", listPaneWidth());
    store.writeInt("Settings", "Preview", m_previewVisible ? 1 : 0);
    WindowPlacement placement;
    placement.showCommand = isMaximized()   ? WindowPlacement::kShowMaximized
                            : isMinimized() ? WindowPlacement::kShowMinimized
                                            : WindowPlacement::kShowNormal;
    placement.normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    store.writeBinary("Settings", "WP", placement.toBytes());
    store.writeString("Settings", column_width::kSettingsKey, m_maxCol->text());
}

} // namespace tressel
