#pragma once

// The document: the one open folder and its file records. A record is addressed by
// its record number, its position in the item table. Record numbers are never reused
// or shifted while a scan lives: a vanished entry leaves a vacated record (empty item
// id) and new entries are appended; only a full rescan renumbers from 0.
//
// The PascalCase members are the documented interface; everything added is camelCase.

#include "platform/folder_listing.h"
#include "readers/columns.h"
#include "readers/file_reader.h"
#include "readers/registry.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QFileSystemWatcher;
struct stat;

namespace tressel {

class CPersistentFlag;
class CUndoGroup;

// Attribute bits, as the list and the commands test them.
inline constexpr uint32_t SFGAO_FOLDER = 0x20000000;
inline constexpr uint32_t SFGAO_GHOSTED = 0x00080000; // hidden (dot) entries, drawn dimmed
inline constexpr uint32_t SFGAO_FILESYSTEM = 0x40000000;

// An entry's name (bytes) relative to the open folder; empty for a vacated record.
using ItemId = std::string;

enum class NameMode {
    Parsing,  // the full path
    InFolder, // the name inside the folder
};

// What a view is told when the folder changed under it.
class IDocumentView {
public:
    virtual ~IDocumentView() = default;
    virtual void removeRecordRow(int record) = 0;
    // Rows for the records from firstRecord to the end of the table.
    virtual void addRecordRows(int firstRecord) = 0;
};

struct InformationResult {
    bool recognised = false;
    const char* format = nullptr; // the accepting reader's short name
    std::vector<std::string> values;
    std::vector<std::string> labels; // one per value
    // The errno of a regular file that could not be opened (permission denied), or 0.
    int openError = 0;
    // Every reader tried with its answer, when asked for; a file that is not a regular
    // file has one attempt by no reader.
    ReaderTrace attempts;
};

class CMarlockUtilDoc : public QObject {
    Q_OBJECT
public:
    static constexpr int kColumnCount = tressel::kColumnCount;

    explicit CMarlockUtilDoc(QObject* parent = nullptr);
    ~CMarlockUtilDoc() override;

    // Opens a folder given as a path (relative paths against the open folder). A path
    // that is not a readable folder leaves everything as it was. Always true.
    bool OpenFolderPath(const std::string& path);
    // The same, telling whether the folder was opened.
    bool TryOpenFolderPath(const std::string& path);
    // Opens the folder that id (relative to the open folder) names; false when it
    // could not be opened, with nothing changed.
    bool OpenFolderItem(const ItemId& id);
    // Opens the parent folder; does nothing at the root.
    void GoUp();
    void Rescan();
    void RefreshChanges();

    int GetRecordCount() const { return static_cast<int>(m_records.size()); }
    std::string GetItemName(int record, NameMode mode) const;
    uint32_t GetAttributes(int record, uint32_t mask);
    uint32_t QueryAttributes(const ItemId& id, uint32_t mask) const;
    uint64_t GetRecordSize(int record);
    // 100-ns units since 1601-01-01 UTC.
    uint64_t GetLastWriteTime(int record);
    std::string GetTypeName(int record) const;
    // Whether the icon theme in use has an icon of that name.
    using IconExists = std::function<bool(const std::string& name)>;
    // A freedesktop icon name for the entry's type that the theme has: the type's own
    // icon, else its generic icon, else a plain file's. Without a theme to ask, the
    // type's own icon name.
    std::string GetIconName(int record, const IconExists& themeHas = {});
    std::vector<std::string> GetInformation(int record) const;
    // traced: also note every reader tried and its answer.
    InformationResult ReadInformation(int record, bool traced = false) const;
    // Reads one path's information as the document would (regular files only).
    static InformationResult ReadInformationOfPath(const std::string& path, bool scanAll,
                                                   bool traced = false);
    static InformationResult ReadInformationOfPath(const ReaderTable& table,
                                                   const std::string& path, bool scanAll,
                                                   bool traced = false);
    // The readers GetInformation asks; the default table unless one is set (the table
    // must outlive the document or be unset again).
    void setReaderTable(const ReaderTable* table) { m_readerTable = table; }
    const ReaderTable& readerTable() const {
        return m_readerTable ? *m_readerTable : DefaultReaderTable();
    }

    // The open folder with a trailing '/', or "" before any folder is open.
    const std::string& GetCurrentFolderPath() const { return m_folder; }
    // The open folder while it exists as a folder, "" otherwise.
    std::string title() const;
    // False once the open folder was deleted, renamed, replaced or unmounted: its path
    // no longer names the directory that was opened.
    bool isFolderAvailable() const;

    static bool IsNumberedName(std::string_view name);
    const std::vector<std::string>& ColumnNames() const { return m_columnNames; }

    bool scanAll() const;
    void setScanAll(bool on);
    // "Fix Extensions when Renaming": the rename command also gives each file the
    // extension its content should carry.
    bool fixExtensions() const;
    void setFixExtensions(bool on);

    void setView(IDocumentView* view) { m_view = view; }
    // Keeps the open folder's descriptor between scans, so questions about its entries
    // (kind, size, time) go relative to it instead of walking the folder's path each
    // time. Off by default: a descriptor held keeps the folder's file system from being
    // unmounted while the window shows it; a short run over many entries turns it on.
    void keepFolderOpen(bool on);
    // Folder change notification (off by default; the window turns it on).
    void setWatching(bool on);

    const ItemId& itemId(int record) const;
    bool isVacated(int record) const { return itemId(record).empty(); }
    // Moves a record's file to newPath (relative paths against the open folder) with the
    // move routine, recording the move in group. When the file stays in the open folder
    // the record follows it, keeping its number and cached facts; moved elsewhere, the
    // record keeps its old id. usedPath receives the path the file got. False when the
    // file could not be moved; nothing changed then.
    bool RenameItem(int record, const std::string& newPath, CUndoGroup* group,
                    std::string* usedPath = nullptr);
    // Points a record at another entry of the open folder, keeping its number and facts.
    void replaceItemId(int record, ItemId id);
    // The record number of the entry named id, or -1.
    int findRecord(const ItemId& id) const;

signals:
    // A name changed in the open folder (files or folders added, removed, renamed).
    void folderChanged();
    // A folder was opened; the window adds it to its recent list.
    void folderOpened(const QString& path);

private:
    // Sized for folders of millions of entries: the name is the only heap string.
    struct Record {
        ItemId id;
        uint64_t size = 0;
        uint64_t time = 0;
        uint32_t attributes = 0;
        bool attributesKnown = false;
        bool statDone = false;
    };

    bool bindFolder(const std::string& folder);
    // The records of the folder open as fd, made in place, so a folder of millions of
    // entries is never held twice; sorted: in name order, else in the directory's.
    std::optional<std::deque<Record>> readRecords(int fd, bool sorted) const;
    template <class Records> static void PutInNameOrder(Records& records);
    Record recordOf(FolderEntry&& entry) const;
    void watchFolder();
    void fillSizeAndTime(Record& record) const;
    void closeFolder();
    int folderFdForScan() const;
    void releaseFolderFd(int fd) const;
    bool statEntry(const ItemId& id, struct stat& st, int flags) const;
    std::string fullPath(const ItemId& id) const;
    std::string resolve(const std::string& path) const;

    std::vector<std::string> m_columnNames;
    std::deque<Record> m_records;
    std::string m_folder;
    // The open folder itself while kept open (keepFolderOpen): entries are looked at
    // relative to it.
    int m_folderFd = -1;
    bool m_keepFolderOpen = false;
    uint64_t m_folderDevice = 0;
    uint64_t m_folderInode = 0;
    std::unique_ptr<CPersistentFlag> m_scanAll;
    std::unique_ptr<CPersistentFlag> m_fixExtensions;
    IDocumentView* m_view = nullptr;
    const ReaderTable* m_readerTable = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
};

// Entries of a folder (names only, "." and ".." left out), sorted as the program
// sorts names; nullopt when the folder cannot be read.
std::optional<std::vector<std::string>> ListFolder(const std::string& folder);

// The program's name order: case-insensitive (ASCII folded), then by bytes.
bool NameLess(std::string_view a, std::string_view b);

} // namespace tressel
