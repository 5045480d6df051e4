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

class JournalParser {
public:
    void line(std::string_view text) {
        const std::vector<std::string_view> fields = SplitFields(text);
        const std::string_view kind = fields[0];
        if (kind == "intend" && fields.size() == 6)
            intend(fields);
        else if (kind == "done" && fields.size() == 3)
            done(fields[1], fields[2]);
        else if (kind == "failed")
            m_pending.reset();
        else if (kind == "end")
            m_contents.ended = true;
        else if (kind == "undone")
            m_contents.undone = true;
        else if (kind == "redone")
            m_contents.undone = false;
        else if (fields.size() == 2)
            header(kind, fields[1]);
    }

    JournalContents finish() {
        if (m_pending)
            m_contents.intended.push_back(std::move(*m_pending));
        return std::move(m_contents);
    }

private:
    void header(std::string_view kind, std::string_view value) {
        auto text = UnescapeJournalField(value);
        if (!text)
            return;
        if (kind == "folder")
            m_contents.folder = std::move(*text);
        else if (kind == "command")
            m_contents.command = std::move(*text);
        else if (kind == "started")
            m_contents.started = std::move(*text);
    }

    void intend(const std::vector<std::string_view>& fields) {
        auto source = UnescapeJournalField(fields[1]);
        auto target = UnescapeJournalField(fields[2]);
        auto device = ParseNumber(fields[3]);
        auto inode = ParseNumber(fields[4]);
        auto size = ParseNumber(fields[5]);
        if (!source || !target || !device || !inode || !size)
            return;
        // An earlier announcement left open stays a candidate for undo.
        if (m_pending)
            m_contents.intended.push_back(std::move(*m_pending));
        m_pending = IntendedMove{std::move(*source), std::move(*target), *device, *inode, *size};
    }

    void done(std::string_view newField, std::string_view oldField) {
        auto newPath = UnescapeJournalField(newField);
        auto oldPath = UnescapeJournalField(oldField);
        if (!newPath || !oldPath)
            return;
        m_pending.reset();
        m_contents.done.emplace_back(std::move(*newPath), std::move(*oldPath));
    }

    JournalContents m_contents;
    std::optional<IntendedMove> m_pending;
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
    if (undone)
        return JournalState::Undone;
    return ended ? JournalState::Applied : JournalState::Interrupted;
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
        return journal;
    }
    if (error)
        *error = journals + ": " + std::strerror(errno);
    return nullptr;
}

std::unique_ptr<CUndoJournal> CUndoJournal::openExisting(const std::string& path,
                                                         std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
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
    return std::unique_ptr<CUndoJournal>(new CUndoJournal(fd, path, false));
}

void CUndoJournal::append(const std::string& line) {
    // One write per record: a kill leaves whole records and at most one cut line.
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0 && m_fd >= 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_ok = false;
            return;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}

void CUndoJournal::recordIntent(const std::string& source, const std::string& target) {
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0)
        st = {};
    append(
        Record({"intend", EscapeJournalField(source), EscapeJournalField(target),
                std::to_string(st.st_dev), std::to_string(st.st_ino), std::to_string(st.st_size)}));
}

void CUndoJournal::recordDone(const std::string& newPath, const std::string& oldPath) {
    append(Record({"done", EscapeJournalField(newPath), EscapeJournalField(oldPath)}));
}

void CUndoJournal::recordFailed() {
    append("failed\n");
}

void CUndoJournal::recordEnd() {
    if (m_ended)
        return;
    m_ended = true;
    append("end\n");
    if (m_fd >= 0)
        ::fdatasync(m_fd);
}

void CUndoJournal::recordUndone() {
    append("undone\n");
    if (m_fd >= 0)
        ::fdatasync(m_fd);
}

void CUndoJournal::recordRedone() {
    append("redone\n");
    if (m_fd >= 0)
        ::fdatasync(m_fd);
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

std::vector<JournalSummary> ListJournals(const std::string& folder) {
    const std::string key = JournalFolderKey(folder);
    const std::string journals = JournalFolder();
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
    std::vector<JournalSummary> found;
    for (const std::string& name : names) {
        auto contents = ReadJournal(journals + name);
        if (contents && contents->folder == key)
            found.push_back({journals + name, std::move(*contents)});
    }
    return found;
}

std::unique_ptr<CUndoGroup> LoadJournalGroup(const std::string& path, std::string* error) {
    auto contents = ReadJournal(path);
    if (!contents) {
        if (error)
            *error = path + ": not an undo journal";
        return nullptr;
    }
    auto journal = CUndoJournal::openExisting(path, error);
    if (!journal)
        return nullptr;
    auto group = std::make_unique<CUndoGroup>(std::move(journal));
    for (auto& [newPath, oldPath] : contents->done)
        group->restore(newPath, oldPath);
    for (auto& move : contents->intended)
        group->restoreIntended(std::move(move));
    return group;
}

} // namespace tressel
