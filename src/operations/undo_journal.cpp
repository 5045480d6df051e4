#include "undo_journal.h"

#include "platform/byte_source.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {

namespace {

constexpr std::string_view kMagic = "TRESSEL-UNDO-JOURNAL 1";
constexpr std::string_view kSuffix = ".journal";
// A journal is a few hundred bytes per move; anything beyond this is not ours.
constexpr uint64_t kMaxJournalBytes = uint64_t(512) << 20;
constexpr int kCreateTries = 100;

std::string Record(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty())
            line.push_back('\t');
        line += field;
    }
    line.push_back('\n');
    return line;
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

// The journal folder, private to the user: journals name every file a command moved.
bool MakeJournalFolder(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::create_directories(path, ec))
        ::chmod(path.c_str(), 0700);
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

// Zero-padded nanoseconds, so that names sort in the order the commands started.
std::string NewJournalName(int attempt) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    std::string stamp = std::to_string(ns);
    stamp.insert(0, stamp.size() < 20 ? 20 - stamp.size() : 0, '0');
    return stamp + "-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) +
           std::string(kSuffix);
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

std::optional<uint64_t> ParseNumber(std::string_view text) {
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Length of the valid UTF-8 character starting at text[at], or 0.
size_t Utf8CharacterLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    return IsValidUtf8(text.substr(at, length)) ? length : 0;
}

bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '%';
}

void AppendEscaped(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 15]);
}

std::string IdentityFields(const FileIdentity& id) {
    return std::to_string(id.device) + "\t" + std::to_string(id.inode) + "\t" +
           std::to_string(id.size) + "\t" + std::to_string(id.mtimeNs) + "\t" +
           std::to_string(id.hasBirth ? id.birthNs : 0);
}

std::optional<int64_t> ParseSigned(std::string_view text) {
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// DEV INO SIZE, then MTIME and BTIME where the journal has them (0: unknown birth).
std::optional<FileIdentity> ParseIdentity(const std::vector<std::string_view>& fields,
                                          size_t first) {
    const size_t count = fields.size() - first;
    if (count < 3 || count > 5)
        return std::nullopt;
    auto device = ParseNumber(fields[first]);
    auto inode = ParseNumber(fields[first + 1]);
    auto size = ParseNumber(fields[first + 2]);
    if (!device || !inode || !size)
        return std::nullopt;
    FileIdentity id;
    id.device = *device;
    id.inode = *inode;
    id.size = *size;
    if (count >= 4) {
        auto mtime = ParseSigned(fields[first + 3]);
        if (!mtime)
            return std::nullopt;
        id.mtimeNs = *mtime;
        id.hasMtime = true;
    }
    if (count == 5) {
        auto birth = ParseSigned(fields[first + 4]);
        if (!birth)
            return std::nullopt;
        id.birthNs = *birth;
        id.hasBirth = *birth != 0;
    }
    return id;
}

bool IsCleanComponent(std::string_view part) {
    return !part.empty() && part != "." && part != "..";
}

// An absolute folder path with a trailing slash and clean components.
bool IsCleanFolder(std::string_view folder) {
    if (folder.size() < 1 || folder.front() != '/' || folder.back() != '/')
        return false;
    if (folder == "/")
        return true;
    std::string_view rest = folder.substr(1, folder.size() - 2);
    for (size_t slash; (slash = rest.find('/')) != std::string_view::npos;
         rest.remove_prefix(slash + 1)) {
        if (!IsCleanComponent(rest.substr(0, slash)))
            return false;
    }
    return IsCleanComponent(rest);
}

class JournalParser {
public:
    void line(std::string_view text) {
        if (!m_contents.damage.empty())
            return;
        const std::vector<std::string_view> fields = SplitFields(text);
        const std::string_view kind = fields[0];
        if (kind == "intend" && fields.size() >= 6 && fields.size() <= 8)
            intend(fields);
        else if (kind == "done" && (fields.size() == 3 || fields.size() == 7 || fields.size() == 8))
            done(fields);
        else if (kind == "failed" && fields.size() == 1)
            m_pending.reset();
        else if ((kind == "back" || kind == "forth") && (fields.size() == 6 || fields.size() == 7))
            replayed(fields, kind == "back" ? EntryState::Undone : EntryState::Applied);
        else if (kind == "gone" && fields.size() == 2)
            replayed(fields, EntryState::Gone);
        else if (kind == "end" && fields.size() == 1)
            flushPending(), m_contents.ended = true;
        else if ((kind == "undone" || kind == "redone") && fields.size() == 1)
            wholeGroup(kind == "undone");
        else if ((kind == "folder" || kind == "command" || kind == "started") && fields.size() == 2)
            header(kind, fields[1]);
        else
            damaged("a line that is not a journal record");
    }

    JournalContents finish() {
        flushPending();
        return std::move(m_contents);
    }

private:
    void damaged(const std::string& why) {
        if (m_contents.damage.empty())
            m_contents.damage = why;
    }

    void flushPending() {
        if (m_pending)
            m_contents.entries.push_back(std::move(*m_pending));
        m_pending.reset();
    }

    std::optional<std::string> path(std::string_view field) {
        auto text = UnescapeJournalField(field);
        if (!text) {
            damaged("a path that cannot be read");
            return std::nullopt;
        }
        if (!m_folderSeen || !IsJournalPathOf(*text, m_contents.folder)) {
            damaged("a path outside its folder: " + *text);
            return std::nullopt;
        }
        return text;
    }

    void header(std::string_view kind, std::string_view value) {
        auto text = UnescapeJournalField(value);
        if (!text)
            return damaged("a header that cannot be read");
        if (kind == "folder") {
            if (m_folderSeen || !IsCleanFolder(*text))
                return damaged("no sound folder");
            m_folderSeen = true;
            m_contents.folder = std::move(*text);
        } else if (kind == "command") {
            m_contents.command = std::move(*text);
        } else {
            m_contents.started = std::move(*text);
        }
    }

    void intend(const std::vector<std::string_view>& fields) {
        auto source = path(fields[1]);
        auto target = path(fields[2]);
        auto identity = ParseIdentity(fields, 3);
        if (!source || !target)
            return;
        if (!identity)
            return damaged("an intended move that cannot be read");
        // An earlier announcement left open stays a candidate for undo.
        flushPending();
        m_pending = UndoEntry{std::move(*target), std::move(*source), *identity, false,
                              EntryState::Applied};
    }

    void done(const std::vector<std::string_view>& fields) {
        auto newPath = path(fields[1]);
        auto oldPath = path(fields[2]);
        if (!newPath || !oldPath)
            return;
        std::optional<FileIdentity> identity;
        if (fields.size() > 3)
            identity = ParseIdentity(fields, 3);
        else if (m_pending)
            identity = m_pending->identity; // the file as it was before the move
        if (!identity)
            return damaged("a move that cannot be read");
        m_pending.reset();
        m_contents.entries.push_back(UndoEntry{std::move(*newPath), std::move(*oldPath), *identity,
                                               true, EntryState::Applied});
    }

    void replayed(const std::vector<std::string_view>& fields, EntryState state) {
        flushPending();
        const auto index = ParseNumber(fields[1]);
        if (!index || *index >= m_contents.entries.size())
            return damaged("a replayed move that cannot be read");
        UndoEntry& entry = m_contents.entries[static_cast<size_t>(*index)];
        entry.state = state;
        if (state != EntryState::Gone) {
            const auto identity = ParseIdentity(fields, 2);
            if (!identity)
                return damaged("a replayed move that cannot be read");
            entry.identity = *identity;
        }
    }

    // Journals written before moves were recorded one by one say it for the group.
    void wholeGroup(bool undone) {
        flushPending();
        m_contents.undone = undone;
        const EntryState from = undone ? EntryState::Applied : EntryState::Undone;
        for (UndoEntry& entry : m_contents.entries) {
            if (entry.state == from)
                entry.state = undone ? EntryState::Undone : EntryState::Applied;
        }
    }

    JournalContents m_contents;
    std::optional<UndoEntry> m_pending;
    bool m_folderSeen = false;
};

} // namespace

std::string EscapeJournalField(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            if (NeedsEscape(c))
                AppendEscaped(out, c);
            else
                out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (const size_t length = Utf8CharacterLength(bytes, i)) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            AppendEscaped(out, c);
            ++i;
        }
    }
    return out;
}

bool IsJournalPathOf(std::string_view path, std::string_view folder) {
    if (!IsCleanFolder(folder) || !path.starts_with(folder))
        return false;
    std::string_view rest = path.substr(folder.size());
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return IsCleanComponent(rest);
    const std::string_view name = rest.substr(slash + 1);
    return IsCleanComponent(rest.substr(0, slash)) && IsCleanComponent(name) &&
           name.find('/') == std::string_view::npos;
}

std::optional<std::string> UnescapeJournalField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(high << 4 | low));
        i += 2;
    }
    return out;
}

JournalState JournalContents::state() const {
    if (!damage.empty())
        return JournalState::Damaged;
    size_t applied = 0;
    for (const UndoEntry& entry : entries)
        applied += entry.state == EntryState::Applied;
    if (applied == 0 && (undone || !entries.empty()))
        return JournalState::Undone;
    if (applied < entries.size())
        return JournalState::PartlyUndone;
    return ended ? JournalState::Applied : JournalState::Interrupted;
}

size_t JournalContents::moveCount() const {
    return static_cast<size_t>(std::count_if(entries.begin(), entries.end(),
                                             [](const UndoEntry& e) { return e.confirmed; }));
}

std::optional<JournalContents> ParseJournal(std::string_view bytes) {
    const size_t firstEnd = bytes.find('\n');
    if (firstEnd == std::string_view::npos || bytes.substr(0, firstEnd) != kMagic)
        return std::nullopt;
    JournalParser parser;
    size_t start = firstEnd + 1;
    // A line without its newline was cut short by a kill: it is not a record.
    for (size_t end; (end = bytes.find('\n', start)) != std::string_view::npos; start = end + 1)
        parser.line(bytes.substr(start, end - start));
    return parser.finish();
}

std::optional<std::string> JournalHeaderFolder(std::string_view head) {
    size_t end = head.find('\n');
    if (end == std::string_view::npos)
        return std::nullopt;
    if (head.substr(0, end) != kMagic)
        return std::string();
    for (size_t start = end + 1;; start = end + 1) {
        end = head.find('\n', start);
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::vector<std::string_view> fields = SplitFields(head.substr(start, end - start));
        if (fields.size() != 2 ||
            (fields[0] != "folder" && fields[0] != "command" && fields[0] != "started"))
            return std::string();
        if (fields[0] == "folder") {
            auto folder = UnescapeJournalField(fields[1]);
            return folder && IsCleanFolder(*folder) ? *folder : std::string();
        }
    }
}

std::optional<JournalContents> ReadJournal(const std::string& path) {
    auto source = FileSource::open(path);
    if (!source || source->size() > kMaxJournalBytes)
        return std::nullopt;
    const std::string bytes = source->read(0, static_cast<size_t>(source->size()));
    return ParseJournal(bytes);
}

std::string JournalFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string base =
        state && *state == '/' ? std::string(state) : JoinPath(HomeFolder(), ".local/state");
    return JoinPath(base, "TresselUtil/undo/");
}

std::string JournalFolderKey(const std::string& folder) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(folder, ec);
    if (ec)
        path = folder;
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    return WithTrailingSlash((ec ? path.lexically_normal() : resolved).string());
}

CUndoJournal::CUndoJournal(int fd, std::string path, bool created)
    : m_fd(fd), m_path(std::move(path)), m_created(created) {}

CUndoJournal::~CUndoJournal() {
    if (m_fd >= 0)
        ::close(m_fd); // also releases the lock
}

std::unique_ptr<CUndoJournal> CUndoJournal::create(const std::string& folder,
                                                   const std::string& command, std::string* error) {
    const std::string journals = JournalFolder();
    if (!MakeJournalFolder(journals)) {
        if (error)
            *error = journals + ": cannot be created";
        return nullptr;
    }
    PruneJournals(std::time(nullptr));
    for (int attempt = 0; attempt < kCreateTries; ++attempt) {
        const std::string path = journals + NewJournalName(attempt);
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            break;
        // Held while this process writes, so that no one takes the command back
        // half-way; a killed process lets go of it.
        ::flock(fd, LOCK_EX | LOCK_NB);
        std::unique_ptr<CUndoJournal> journal(new CUndoJournal(fd, path, true));
        journal->append(std::string(kMagic) + "\n" +
                        Record({"folder", EscapeJournalField(JournalFolderKey(folder))}) +
                        Record({"command", EscapeJournalField(command)}) +
                        Record({"started", EscapeJournalField(UtcNow())}));
        // A full disk or a broken state folder shows here, before the first move.
        journal->sync();
        if (journal->ok())
            return journal;
        if (error)
            *error = journal->error();
        journal->discard();
        return nullptr;
    }
    if (error)
        *error = journals + ": " + std::strerror(errno);
    return nullptr;
}

namespace {

// A record cut short (a full disk) is no record; appending after it would glue the
// next record to it.
void DropTornTail(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size == 0)
        return;
    off_t end = st.st_size;
    char c = 0;
    if (::pread(fd, &c, 1, end - 1) != 1 || c == '\n')
        return;
    constexpr off_t kChunk = 4096;
    std::string buffer(static_cast<size_t>(kChunk), '\0');
    while (end > 0) {
        const off_t start = end > kChunk ? end - kChunk : 0;
        const ssize_t got = ::pread(fd, buffer.data(), static_cast<size_t>(end - start), start);
        if (got != end - start)
            return;
        const size_t newline =
            std::string_view(buffer.data(), static_cast<size_t>(got)).rfind('\n');
        if (newline != std::string_view::npos) {
            (void)::ftruncate(fd, start + static_cast<off_t>(newline) + 1);
            return;
        }
        end = start;
    }
}

} // namespace

std::unique_ptr<CUndoJournal> CUndoJournal::openExisting(const std::string& path,
                                                         std::string* error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        if (error)
            *error = path + ": in use by a command that is still running";
        return nullptr;
    }
    DropTornTail(fd);
    return std::unique_ptr<CUndoJournal>(new CUndoJournal(fd, path, false));
}

void CUndoJournal::fail() {
    if (m_ok)
        m_error = m_path + ": " + std::strerror(errno);
    m_ok = false;
}

void CUndoJournal::append(const std::string& line) {
    // One write per record: a kill leaves whole records and at most one cut line. Once
    // a record is lost nothing more is written, so a cut line can only be the last.
    const char* data = line.data();
    size_t left = line.size();
    while (m_ok && left > 0 && m_fd >= 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return fail();
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}

void CUndoJournal::sync() {
    if (m_ok && m_fd >= 0 && ::fdatasync(m_fd) != 0)
        fail();
}

void CUndoJournal::recordIntent(const std::string& source, const std::string& target) {
    const FileIdentity id = FileIdentity::Of(source).value_or(FileIdentity{});
    append("intend\t" + EscapeJournalField(source) + "\t" + EscapeJournalField(target) + "\t" +
           IdentityFields(id) + "\n");
}

void CUndoJournal::recordDone(const std::string& newPath, const std::string& oldPath,
                              const FileIdentity& atNewPath) {
    append("done\t" + EscapeJournalField(newPath) + "\t" + EscapeJournalField(oldPath) + "\t" +
           IdentityFields(atNewPath) + "\n");
}

void CUndoJournal::recordFailed() {
    append("failed\n");
}

void CUndoJournal::recordReplayed(size_t index, const UndoEntry& entry) {
    if (entry.state == EntryState::Gone)
        return append("gone\t" + std::to_string(index) + "\n");
    const char* kind = entry.state == EntryState::Undone ? "back\t" : "forth\t";
    append(kind + std::to_string(index) + "\t" + IdentityFields(entry.identity) + "\n");
}

void CUndoJournal::recordEnd() {
    if (m_ended)
        return;
    m_ended = true;
    append("end\n");
    sync();
}

void CUndoJournal::recordUndone() {
    append("undone\n");
    sync();
}

void CUndoJournal::recordRedone() {
    append("redone\n");
    sync();
}

void CUndoJournal::discard() {
    if (!m_created || m_path.empty())
        return;
    ::unlink(m_path.c_str());
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

namespace {

// Another process (or another part of this one) holds the journal's lock.
bool IsLocked(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

} // namespace

namespace {

// Where a journal's header is looked for: most fit the first read; the folder comes
// first, and a path of at most PATH_MAX bytes is escaped to at most three times that.
constexpr size_t kFirstHeadBytes = 4096;
constexpr size_t kHeaderBytes = 64 * 1024;
constexpr std::time_t kSecondsPerDay = 24 * 60 * 60;

// File names sort in the order the commands started.
std::vector<std::string> JournalNamesNewestFirst(const std::string& journals) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(journals.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name(entry->d_name);
            if (name.size() > kSuffix.size() && name.ends_with(kSuffix))
                names.emplace_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

// The folder a journal was written for, read from its header only; empty when the file
// is no journal or names no sound folder.
std::string JournalFolderOf(const std::string& path) {
    auto source = FileSource::open(path);
    if (!source)
        return {};
    for (const size_t limit : {kFirstHeadBytes, kHeaderBytes}) {
        const auto head = static_cast<size_t>(std::min<uint64_t>(source->size(), limit));
        if (auto folder = JournalHeaderFolder(source->read(0, head)))
            return *folder;
        if (head == source->size())
            break;
    }
    return {};
}

// Removes a journal that is neither running nor still to be finished. Its lock is held
// meanwhile, so that no undo takes it up half-way.
bool RemoveIfSettled(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool removed = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        const auto contents = ReadJournal(path);
        const JournalState state = contents ? contents->state() : JournalState::Damaged;
        if (state == JournalState::Applied || state == JournalState::Undone)
            removed = ::unlink(path.c_str()) == 0;
    }
    ::close(fd);
    return removed;
}

} // namespace

std::vector<JournalSummary> ListJournals(const std::string& folder) {
    const std::string key = JournalFolderKey(folder);
    const std::string journals = JournalFolder();
    std::vector<JournalSummary> found;
    for (const std::string& name : JournalNamesNewestFirst(journals)) {
        const std::string path = journals + name;
        // Most journals belong to other folders: their heads tell, without a full read.
        if (JournalFolderOf(path) != key)
            continue;
        auto contents = ReadJournal(path);
        if (contents && contents->folder == key)
            found.push_back({path, std::move(*contents), IsLocked(path)});
    }
    return found;
}

size_t PruneJournals(std::time_t now) {
    const std::string journals = JournalFolder();
    const std::vector<std::string> names = JournalNamesNewestFirst(journals);
    if (names.size() <= kJournalKeepNewest)
        return 0;
    const std::time_t oldest = now - kJournalKeepDays * kSecondsPerDay;
    std::vector<std::optional<std::time_t>> changed;
    bool anyOld = false;
    for (const std::string& name : names) {
        struct stat st;
        const bool file = ::lstat((journals + name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
        changed.push_back(file ? std::optional(st.st_mtime) : std::nullopt);
        anyOld = anyOld || (file && st.st_mtime < oldest);
    }
    if (!anyOld)
        return 0;
    // Journals of each folder seen so far, all newer than the one at hand.
    std::map<std::string, size_t> newer;
    size_t removed = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string path = journals + names[i];
        const std::string folder = changed[i] ? JournalFolderOf(path) : std::string();
        if (folder.empty())
            continue;
        const size_t rank = newer[folder]++;
        if (rank >= kJournalKeepNewest && *changed[i] < oldest && RemoveIfSettled(path))
            ++removed;
    }
    return removed;
}

std::unique_ptr<CUndoGroup> LoadJournalGroup(const std::string& path, std::string* error) {
    auto contents = ReadJournal(path);
    if (!contents || !contents->damage.empty()) {
        if (error)
            *error = path + (contents ? ": damaged undo journal, refused (" + contents->damage + ")"
                                      : std::string(": not an undo journal"));
        return nullptr;
    }
    auto journal = CUndoJournal::openExisting(path, error);
    if (!journal)
        return nullptr;
    auto group = std::make_unique<CUndoGroup>(std::move(journal));
    for (UndoEntry& entry : contents->entries)
        group->restore(std::move(entry));
    return group;
}

} // namespace tressel
