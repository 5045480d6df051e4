#include "document.h"

#include "platform/byte_source.h"
#include "platform/paths.h"
#include "platform/read_failure.h"
#include "platform/text.h"
#include "readers/columns.h"
#include "readers/registry.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QMimeDatabase>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace tressel {

namespace {

const ItemId kEmptyId;

// Every icon theme has it, the fallback themes included.
const std::string kPlainFileIcon = "text-x-generic";

uint32_t AttributesOf(std::string_view name, bool folder) {
    uint32_t attributes = SFGAO_FILESYSTEM;
    if (!name.empty() && name.front() == '.')
        attributes |= SFGAO_GHOSTED;
    if (folder)
        attributes |= SFGAO_FOLDER;
    return attributes;
}

bool IsAsciiPunctuation(unsigned char c) {
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E);
}

bool IsHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

} // namespace

bool NameLess(std::string_view a, std::string_view b) {
    const int c = CompareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
}

std::optional<std::vector<std::string>> ListFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    auto entries = ReadFolderEntries(fd);
    ::close(fd);
    if (!entries)
        return std::nullopt;
    SortEntriesByName(*entries);
    std::vector<std::string> names;
    names.reserve(entries->size());
    for (FolderEntry& entry : *entries)
        names.push_back(std::move(entry.name));
    return names;
}

CMarlockUtilDoc::CMarlockUtilDoc(QObject* parent)
    : QObject(parent), m_scanAll(std::make_unique<CPersistentFlag>("Settings", "ScanAll", false)),
      m_fixExtensions(std::make_unique<CPersistentFlag>("Settings", "FixExtensions", false)) {
    m_columnNames.emplace_back(UI_TEXT_NOOP("Columns", "Name"));
    int n = 1;
    for (const char* field : kInformationColumnNames)
        m_columnNames.push_back(std::string(field) + " (" + std::to_string(n++) + ")");
}

CMarlockUtilDoc::~CMarlockUtilDoc() {
    closeFolder();
}

void CMarlockUtilDoc::closeFolder() {
    if (m_folderFd >= 0)
        ::close(m_folderFd);
    m_folderFd = -1;
}

void CMarlockUtilDoc::keepFolderOpen(bool on) {
    m_keepFolderOpen = on;
    if (!on) {
        closeFolder();
        return;
    }
    if (m_folderFd >= 0 || m_folder.empty())
        return;
    const int fd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    // Only the folder that was opened, not another one at its path now.
    if (fd >= 0 && ::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_dev) == m_folderDevice &&
        static_cast<uint64_t>(st.st_ino) == m_folderInode)
        m_folderFd = fd;
    else if (fd >= 0)
        ::close(fd);
}

// The open folder's descriptor: the one kept, or one opened for a scan (closed by the
// caller through ReleaseFolderFd).
int CMarlockUtilDoc::folderFdForScan() const {
    if (m_folderFd >= 0)
        return m_folderFd;
    return ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void CMarlockUtilDoc::releaseFolderFd(int fd) const {
    if (fd >= 0 && fd != m_folderFd)
        ::close(fd);
}

// An entry's stat: relative to the kept descriptor, else by full path.
bool CMarlockUtilDoc::statEntry(const ItemId& id, struct stat& st, int flags) const {
    if (id.empty())
        return false;
    if (m_folderFd >= 0)
        return ::fstatat(m_folderFd, id.c_str(), &st, flags) == 0;
    return ::fstatat(AT_FDCWD, fullPath(id).c_str(), &st, flags) == 0;
}

bool CMarlockUtilDoc::scanAll() const {
    return m_scanAll->value();
}
void CMarlockUtilDoc::setScanAll(bool on) {
    m_scanAll->set(on);
}
bool CMarlockUtilDoc::fixExtensions() const {
    return m_fixExtensions->value();
}
void CMarlockUtilDoc::setFixExtensions(bool on) {
    m_fixExtensions->set(on);
}

std::string CMarlockUtilDoc::resolve(const std::string& path) const {
    std::filesystem::path p(path);
    if (p.is_relative() && !m_folder.empty())
        p = std::filesystem::path(m_folder) / p;
    else if (p.is_relative())
        p = std::filesystem::absolute(p);
    std::string normal = p.lexically_normal().string();
    return WithTrailingSlash(normal);
}

bool CMarlockUtilDoc::OpenFolderPath(const std::string& path) {
    TryOpenFolderPath(path);
    return true;
}

bool CMarlockUtilDoc::TryOpenFolderPath(const std::string& path) {
    return !path.empty() && bindFolder(resolve(path));
}

bool CMarlockUtilDoc::OpenFolderItem(const ItemId& id) {
    if (id.empty())
        return false;
    return bindFolder(resolve(fullPath(id)));
}

void CMarlockUtilDoc::GoUp() {
    if (m_folder.size() <= 1)
        return;
    const std::string withoutSlash = m_folder.substr(0, m_folder.size() - 1);
    bindFolder(withoutSlash.substr(0, withoutSlash.rfind('/') + 1));
}

std::optional<std::deque<CMarlockUtilDoc::Record>> CMarlockUtilDoc::readRecords(int fd,
                                                                                bool sorted) const {
    std::deque<Record> records;
    if (!ForEachFolderEntry(
            fd, [&](FolderEntry&& entry) { records.push_back(recordOf(std::move(entry))); }))
        return std::nullopt;
    if (sorted)
        PutInNameOrder(records);
    return records;
}

template <class Records> void CMarlockUtilDoc::PutInNameOrder(Records& records) {
    ArrangeInOrder(records, NameOrder(records.size(),
                                      [&](size_t i) -> std::string_view { return records[i].id; }));
}

CMarlockUtilDoc::Record CMarlockUtilDoc::recordOf(FolderEntry&& entry) const {
    Record record;
    record.attributes = AttributesOf(entry.name, entry.folder);
    record.attributesKnown = true;
    record.statDone = entry.statted;
    record.size = entry.size;
    record.time = entry.time;
    record.id = std::move(entry.name);
    return record;
}

// Makes folder the open folder when it can be listed; otherwise changes nothing.
bool CMarlockUtilDoc::bindFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    auto records = ::fstat(fd, &st) == 0 ? readRecords(fd, true) : std::nullopt;
    if (!records) {
        ::close(fd);
        return false;
    }
    closeFolder();
    m_folder = folder;
    m_folderDevice = static_cast<uint64_t>(st.st_dev);
    m_folderInode = static_cast<uint64_t>(st.st_ino);
    watchFolder();
    m_records = std::move(*records);
    if (m_keepFolderOpen)
        m_folderFd = fd;
    else
        ::close(fd);
    emit folderOpened(QFile::decodeName(QByteArray::fromStdString(m_folder)));
    return true;
}

void CMarlockUtilDoc::Rescan() {
    if (m_folder.empty())
        return;
    m_records.clear();
    const int fd = folderFdForScan();
    if (auto records = readRecords(fd, true))
        m_records = std::move(*records);
    releaseFolderFd(fd);
}

void CMarlockUtilDoc::RefreshChanges() {
    if (m_folder.empty())
        return;
    const int fd = folderFdForScan();
    auto listed = readRecords(fd, false);
    releaseFolderFd(fd);
    if (!listed || !isFolderAvailable())
        listed.emplace(); // the folder itself is gone: every record vanishes
    // Views of the listed names: a million names are not copied again.
    std::unordered_set<std::string_view> present;
    present.reserve(listed->size());
    for (const Record& entry : *listed)
        present.insert(entry.id);
    for (int number = 0; number < GetRecordCount(); ++number) {
        Record& record = m_records[static_cast<size_t>(number)];
        if (record.id.empty())
            continue;
        if (present.erase(record.id) == 0) {
            if (m_view)
                m_view->removeRecordRow(number);
            record = Record{};
        }
    }
    // Only the new entries are put in name order, behind the records already there.
    std::vector<Record> added;
    for (Record& entry : *listed) {
        if (present.count(entry.id))
            added.push_back(std::move(entry));
    }
    PutInNameOrder(added);
    const int firstNew = GetRecordCount();
    for (Record& entry : added)
        m_records.push_back(std::move(entry));
    if (GetRecordCount() > firstNew && m_view)
        m_view->addRecordRows(firstNew);
}

const ItemId& CMarlockUtilDoc::itemId(int record) const {
    if (record < 0 || record >= GetRecordCount())
        return kEmptyId;
    return m_records[static_cast<size_t>(record)].id;
}

void CMarlockUtilDoc::replaceItemId(int record, ItemId id) {
    if (record >= 0 && record < GetRecordCount())
        m_records[static_cast<size_t>(record)].id = std::move(id);
}

int CMarlockUtilDoc::findRecord(const ItemId& id) const {
    if (id.empty())
        return -1;
    for (int i = 0; i < GetRecordCount(); ++i) {
        if (m_records[static_cast<size_t>(i)].id == id)
            return i;
    }
    return -1;
}

std::string CMarlockUtilDoc::fullPath(const ItemId& id) const {
    return m_folder + id;
}

std::string CMarlockUtilDoc::GetItemName(int record, NameMode mode) const {
    if (record < 0 || record >= GetRecordCount())
        return {};
    const ItemId& id = itemId(record);
    return mode == NameMode::Parsing ? fullPath(id) : id;
}

uint32_t CMarlockUtilDoc::QueryAttributes(const ItemId& id, uint32_t mask) const {
    (void)mask; // every bit is cheap to compute from one stat
    struct stat st;
    const bool folder = statEntry(id, st, 0) && S_ISDIR(st.st_mode);
    return AttributesOf(id, folder);
}

uint32_t CMarlockUtilDoc::GetAttributes(int record, uint32_t mask) {
    if (record < 0 || record >= GetRecordCount())
        return 0;
    Record& r = m_records[static_cast<size_t>(record)];
    if (!r.attributesKnown) {
        r.attributes =
            QueryAttributes(r.id, mask | SFGAO_FOLDER | SFGAO_GHOSTED | SFGAO_FILESYSTEM);
        r.attributesKnown = true;
    }
    return r.attributes;
}

void CMarlockUtilDoc::fillSizeAndTime(Record& r) const {
    r.statDone = true;
    struct stat st;
    if (!statEntry(r.id, st, 0) && !statEntry(r.id, st, AT_SYMLINK_NOFOLLOW)) {
        r.size = 0;
        r.time = 0;
        return;
    }
    r.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    r.time = FileTime(st.st_mtim);
}

uint64_t CMarlockUtilDoc::GetRecordSize(int record) {
    if (record < 0 || record >= GetRecordCount())
        return 0;
    Record& r = m_records[static_cast<size_t>(record)];
    if (!r.statDone)
        fillSizeAndTime(r);
    return r.size;
}

uint64_t CMarlockUtilDoc::GetLastWriteTime(int record) {
    if (record < 0 || record >= GetRecordCount())
        return 0;
    Record& r = m_records[static_cast<size_t>(record)];
    if (!r.statDone)
        fillSizeAndTime(r);
    return r.time;
}

std::string CMarlockUtilDoc::GetTypeName(int record) const {
    static const QMimeDatabase db;
    const ItemId& id = itemId(record);
    const QList<QMimeType> types =
        db.mimeTypesForFileName(QFile::decodeName(QByteArray::fromStdString(id)));
    const QMimeType type =
        types.isEmpty() ? db.mimeTypeForName("application/octet-stream") : types.front();
    return type.comment().toStdString();
}

std::string CMarlockUtilDoc::GetIconName(int record, const IconExists& themeHas) {
    if (GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER)
        return "folder";
    static const QMimeDatabase db;
    const QList<QMimeType> types =
        db.mimeTypesForFileName(QFile::decodeName(QByteArray::fromStdString(itemId(record))));
    const QMimeType type =
        types.isEmpty() ? db.mimeTypeForName("application/octet-stream") : types.front();
    // Themes name few types' own icons (audio-mpeg) but every generic one (audio-x-generic).
    std::vector<std::string> candidates;
    for (const QString& name : {type.iconName(), type.genericIconName()}) {
        if (!name.isEmpty())
            candidates.push_back(name.toStdString());
    }
    candidates.push_back(kPlainFileIcon);
    if (!themeHas)
        return candidates.front();
    for (const std::string& name : candidates) {
        if (themeHas(name))
            return name;
    }
    return kPlainFileIcon;
}

InformationResult CMarlockUtilDoc::ReadInformationOfPath(const std::string& path, bool scanAll,
                                                         bool traced) {
    return ReadInformationOfPath(DefaultReaderTable(), path, scanAll, traced);
}

namespace {

// FIFOs, sockets, devices, folders and dangling links give nothing, and no error:
// they are not files to read.
InformationResult NotRegularFile(bool traced) {
    InformationResult result;
    if (traced)
        result.attempts.push_back({0, nullptr, false, failure::kNotRegularFile});
    return result;
}

InformationResult ReadRegularFile(const ReaderTable& table, const std::string& path, bool scanAll,
                                  bool traced) {
    InformationResult result;
    // One open for every reader tried; it also refuses what is not a regular file.
    int error = 0;
    const FileInput input(path, CachedFileSource::open(path, &error));
    if (!input.source) {
        if (IsNotRegularFileError(error))
            return NotRegularFile(traced);
        result.openError = error;
    }
    std::unique_ptr<CFileReader> reader =
        CreateFileReader(table, input, scanAll, traced ? &result.attempts : nullptr);
    if (!reader->isRecognized())
        return result;
    reader->extract(kInformationColumns);
    result.recognised = true;
    result.format = reader->formatName();
    result.values = reader->values();
    result.labels = reader->labels();
    return result;
}

} // namespace

InformationResult CMarlockUtilDoc::ReadInformationOfPath(const ReaderTable& table,
                                                         const std::string& path, bool scanAll,
                                                         bool traced) {
    return ReadRegularFile(table, path, scanAll, traced);
}

InformationResult CMarlockUtilDoc::ReadInformation(int record, bool traced) const {
    if (isVacated(record))
        return {};
    struct stat st;
    if (!statEntry(itemId(record), st, 0) || !S_ISREG(st.st_mode))
        return NotRegularFile(traced);
    return ReadRegularFile(m_readerTable ? *m_readerTable : DefaultReaderTable(),
                           GetItemName(record, NameMode::Parsing), scanAll(), traced);
}

std::vector<std::string> CMarlockUtilDoc::GetInformation(int record) const {
    return ReadInformation(record).values;
}

std::string CMarlockUtilDoc::title() const {
    return isFolderAvailable() ? m_folder : std::string();
}

bool CMarlockUtilDoc::isFolderAvailable() const {
    struct stat st;
    return !m_folder.empty() && ::stat(m_folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           static_cast<uint64_t>(st.st_dev) == m_folderDevice &&
           static_cast<uint64_t>(st.st_ino) == m_folderInode;
}

bool CMarlockUtilDoc::IsNumberedName(std::string_view name) {
    const std::string stem = SplitPath(name).stem;
    return std::all_of(stem.begin(), stem.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return IsHexDigit(c) || IsAsciiPunctuation(c);
    });
}

void CMarlockUtilDoc::setWatching(bool on) {
    if (on && !m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
                [this](const QString& path) {
                    // The parent is watched only to see the open folder renamed or removed.
                    const bool isParent =
                        !m_folder.empty() && m_folder != "/" &&
                        QDir::cleanPath(path) ==
                            QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(
                                SplitPath(m_folder.substr(0, m_folder.size() - 1)).dir)));
                    if (!isParent || !isFolderAvailable())
                        emit folderChanged();
                });
        watchFolder();
    } else if (!on && m_watcher) {
        delete m_watcher;
        m_watcher = nullptr;
    }
}

// The folder for changes of its entries, and its parent for changes of the folder
// itself (a renamed folder sends nothing of its own).
void CMarlockUtilDoc::watchFolder() {
    if (!m_watcher)
        return;
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    if (m_folder.empty())
        return;
    m_watcher->addPath(QFile::decodeName(QByteArray::fromStdString(m_folder)));
    if (m_folder != "/") {
        const std::string parent = SplitPath(m_folder.substr(0, m_folder.size() - 1)).dir;
        m_watcher->addPath(QFile::decodeName(QByteArray::fromStdString(parent)));
    }
}

} // namespace tressel
