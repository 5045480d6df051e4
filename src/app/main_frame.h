#pragma once

// The main window: the dialog bar on top, the file list and the preview pane side by
// side in a splitter, the status bar with three panes, the main menu and the
// accelerators. It also carries the frame commands (priority, font, settings
// removal, About) and the frame's options in the settings store.

#include "operations/feedback.h"

#include <QAbstractSpinBox>
#include <QMainWindow>
#include <QPushButton>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;

namespace tressel {

class CMarlockUtilDoc;
class CMarlockUtilView;
class CMyPreview;
class CPersistentFlag;

// The "MaxCol width:" box: free text with up and down steps within the column-width
// limits. The text is read (and clamped) by the list when the box loses the focus.
class CMaxColBox : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit CMaxColBox(QWidget* parent = nullptr);
    void setText(const QString& text);
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
    QValidator::State validate(QString& input, int& pos) const override;
};

class CMainFrame : public QMainWindow, public IOperationReport, public IProgress {
    Q_OBJECT
public:
    static constexpr int kRecentCount = 16;
    static constexpr int kGroupByFirstId = 602;

    explicit CMainFrame(CMarlockUtilDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Opens the command-line folder (a file's folder with that file selected), or else
    // the most recent one, and fills the list; a folder that cannot be opened is
    // reported in the status bar.
    void startUp(const QString& commandLinePath);
    // Shows the window, placed as it was last closed the first time.
    void showFirstTime();
    void openFolder(const QString& path);

    // IOperationReport on status pane 2, IProgress on the dialog bar's progress bar.
    void report(const UiText& subject, int errors) override;
    // The report line, and a "Details" button beside it that opens the list.
    void reportFailures(const UiText& subject, const CFailureList& failures) override;
    void start(uint64_t count) override;
    void step() override;

    // Marks every setting for removal after exit; with ask, asks whether to close now.
    void requestSettingsRemoval(bool ask = true);
    bool settingsRemovalRequested() const { return m_removeSettings; }

    // Priority choice: 0 Normal, -1 Below Normal, -2 Low.
    bool setPriorityChoice(int choice);
    int priorityChoice() const { return m_priority; }

    CMarlockUtilView& view() { return *m_view; }
    QWidget* previewPane() const;
    CMyPreview& preview() { return *m_preview; }
    QString statusPaneText(int pane) const;
    const QStringList& recentFolders() const { return m_recent; }
    QAction* action(const QString& name) const;
    QMenu* groupByMenu() const { return m_groupBy; }
    CMaxColBox* maxColBox() const { return m_maxCol; }
    QProgressBar* progressBar() const { return m_progress; }
    // Runs the recent-folder command of entry index (0 is the first entry).
    void chooseRecent(int index);
    void fillGroupByMenu();
    // "&Open...": the folder browser, replaceable so tests need no modal dialog.
    void browseForFolder();
    using FolderChooser = std::function<QString(const QString& title, const QString& start)>;
    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildCentral();
    void buildDialogBar();
    void buildStatusBar();
    void buildMenus();
    void buildShortcuts();
    // A menu command (menu may be null) with its status-bar help; without a handler it
    // is a command this build does not have, shown disabled.
    QAction* addItem(QMenu* menu, const QString& name, const QString& text, const QString& help,
                     std::function<void()> handler = {}, const QList<QKeySequence>& keys = {});
    // A checkable option; without onToggled it is disabled like a missing command.
    QAction* addOption(QMenu* menu, const QString& name, const QString& text, const QString& help,
                       bool checked, std::function<void(bool)> onToggled = {});
    void showPriorityChoice(int choice);
    void rebuildRecentMenu();
    void addRecent(const QString& path);
    void saveSettings();
    void showProgress(bool shown);
    void hideProgress();
    QSize defaultSize(const QSize& room) const;
    void restoreListWidth(int listWidth);
    int listPaneWidth() const;
    void onFolderLost(const QString& path);
    void reportUnopenedFolder(const QString& path);
    void updateTitle();
    void switchPreviewFocus();
    void setPreviewVisible(bool visible);
    // The preview's answer: the pane shows with something to show, and hides without
    // when Auto Hide is on.
    void onPreviewFinished(bool shown);
    void showPreviewPane();
    void hidePreviewPane();
    void rememberListShare();
    void chooseFont();
    void about();
    void setStatusPane(int pane, const QString& text);
    void showFailureDetails();

    CMarlockUtilDoc& m_doc;
    std::unique_ptr<CPersistentFlag> m_prevAutoHide;
    bool m_previewVisible = true; // the user's Preview switch
    CMarlockUtilView* m_view = nullptr;
    CMyPreview* m_preview = nullptr;
    QSplitter* m_splitter = nullptr;
    QToolBar* m_dialogBar = nullptr;
    QToolBar* m_optionsBar = nullptr;
    static constexpr int kPaneCount = 3;
    std::array<QLabel*, kPaneCount> m_panes{};
    // The failures behind pane 2's report line, opened with the "Details" button.
    QPushButton* m_detailsButton = nullptr;
    CFailureList m_failures;
    QProgressBar* m_progress = nullptr;
    QAction* m_progressAction = nullptr;
    QString m_shownFolder;
    uint64_t m_progressDone = 0;
    uint64_t m_progressScale = 1;
    QAction* m_upAction = nullptr;
    QAction* m_selectAllAction = nullptr;
    QAction* m_refreshAction = nullptr;
    QAction* m_previewAction = nullptr;
    CMaxColBox* m_maxCol = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_exitSeparator = nullptr;
    QList<QAction*> m_recentActions;
    QMenu* m_groupBy = nullptr;
    QActionGroup* m_priorityGroup = nullptr;
    QStringList m_recent;
    QString m_browseStart;
    FolderChooser m_chooseFolder;
    int m_priority = 0;
    bool m_removeSettings = false;
    bool m_shownOnce = false;
};

} // namespace tressel
