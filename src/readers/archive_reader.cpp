#include "archive_reader.h"

#include "exe_reader.h"
#include "platform/byte_source.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <algorithm>
#include <optional>
#include <unistd.h>

namespace tressel {

namespace {

enum class MemberKind { Other, Readme, Ini };

struct MemberName {
    std::string lowerStem; // the file name without folders and extension, lower case
    std::string extension; // from the last dot, dot included, lower case
};

MemberName SplitMemberName(std::string_view name) {
    const size_t separator = name.find_last_of("/\\");
    const std::string_view leaf =
        separator == std::string_view::npos ? name : name.substr(separator + 1);
    const size_t dot = leaf.rfind('.');
    if (dot == std::string_view::npos)
        return {ToLowerAscii(leaf), {}};
    return {ToLowerAscii(leaf.substr(0, dot)), ToLowerAscii(leaf.substr(dot))};
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

MemberKind Classify(const MemberName& member) {
    const std::string& ext = member.extension;
    if (ext == ".txt" || ext == ".diz" || ext == ".nfo" ||
        (ext == ".1st" && Contains(member.lowerStem, "read")) ||
        (ext.empty() && Contains(member.lowerStem, "readme")))
        return MemberKind::Readme;
    if (ext == ".ini" || ext == ".inf")
        return MemberKind::Ini;
    return MemberKind::Other;
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The longest prefix of at most n bytes that does not end inside a UTF-8 character.
size_t Utf8CutPoint(std::string_view text, size_t n) {
    if (n >= text.size())
        return text.size();
    while (n > 0 && IsContinuationByte(text[n]))
        --n;
    return n;
}

std::string_view StripToWords(std::string_view line) {
    size_t first = 0;
    while (first < line.size() && !IsWordByte(static_cast<unsigned char>(line[first])))
        ++first;
    if (first == line.size())
        return {};
    size_t last = line.size();
    while (!IsWordByte(static_cast<unsigned char>(line[last - 1])))
        --last;
    return line.substr(first, last - first);
}

// Text as a text-mode read gives it: CR LF becomes LF.
std::string WithoutCrBeforeLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

// Raw member bytes as UTF-8; a text cut in the middle of a UTF-8 character stays UTF-8.
std::string MemberTextToUtf8(std::string_view bytes) {
    if (!IsValidUtf8(bytes)) {
        size_t cut = bytes.size();
        while (cut > 0 && bytes.size() - cut < 4 && IsContinuationByte(bytes[cut - 1]))
            --cut;
        if (cut > 0 && bytes.size() - cut < 4 &&
            static_cast<unsigned char>(bytes[cut - 1]) >= 0xC0 &&
            IsValidUtf8(bytes.substr(0, cut - 1)))
            return std::string(bytes.substr(0, cut - 1));
    }
    return RawToUtf8(bytes);
}

std::optional<std::string> ReadFilePrefix(const std::string& path, size_t maxBytes) {
    const std::unique_ptr<FileSource> file = FileSource::open(path);
    if (!file)
        return std::nullopt;
    return file->read(0, maxBytes);
}

// ---- INI -------------------------------------------------------------------------

struct IniKey {
    std::string name; // as written
    std::string value;
};
struct IniSection {
    std::string name;
    std::vector<IniKey> keys;
};

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::vector<IniSection> ParseIni(std::string_view text) {
    std::vector<IniSection> sections;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = TrimAsciiSpace(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            sections.push_back({std::string(TrimAsciiSpace(line.substr(1, close - 1))), {}});
            continue;
        }
        if (sections.empty())
            continue; // keys before the first section belong to none
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            sections.back().keys.push_back({std::string(line), {}});
            continue;
        }
        sections.back().keys.push_back(
            {std::string(TrimAsciiSpace(line.substr(0, equals))),
             std::string(Unquoted(TrimAsciiSpace(line.substr(equals + 1))))});
    }
    return sections;
}

// A name list as a profile function fills a 1000-byte buffer: each name ends with a
// NUL, the list with one more; a name that does not fit is cut.
constexpr size_t kIniListBytes = 1000;
constexpr size_t kIniValueBytes = 254;

template <class Item, class NameOf>
std::vector<std::string> ProfileNameList(const std::vector<Item>& items, NameOf nameOf) {
    std::vector<std::string> names;
    size_t left = kIniListBytes - 1;
    for (const Item& item : items) {
        if (left <= 1)
            break;
        const std::string& name = nameOf(item);
        const size_t take = Utf8CutPoint(name, std::min(name.size(), left - 1));
        names.push_back(name.substr(0, take));
        left -= take + 1;
    }
    return names;
}

const IniSection* FindSection(const std::vector<IniSection>& sections, std::string_view name) {
    for (const IniSection& section : sections)
        if (EqualsNoCase(section.name, name))
            return &section;
    return nullptr;
}

const IniKey* FindKey(const IniSection& section, std::string_view name) {
    for (const IniKey& key : section.keys)
        if (EqualsNoCase(key.name, name))
            return &key;
    return nullptr;
}

std::string IniTextToUtf8(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        return Utf16LeToUtf8(bytes.substr(2));
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return MemberTextToUtf8(bytes);
}

// ---- the title selection ---------------------------------------------------------

class TitleSelection {
public:
    TitleSelection(CArchiveReader& archive, bool collectPreview)
        : m_archive(archive), m_collectPreview(collectPreview) {}

    void scan();
    void buildValues(int maxValues, ReadResult& result) const;
    std::string preview() const;

private:
    bool considered(const CArchiveEntry& entry) const {
        return !(m_archive.solid && entry.startOffset > kMaxSolidTitleOffset) &&
               entry.size <= kMaxTitleMemberSize;
    }
    std::string extract(const CArchiveEntry& entry);
    bool takeIniTitles(const std::string& path);
    bool takeReadmeTitle(const std::string& path, const MemberName& member);

    CArchiveReader& m_archive;
    bool m_collectPreview;
    const CTempFileItem* m_scratch = nullptr;
    int m_extractions = 0;
    std::vector<std::string> m_iniTitles, m_readmeTitles, m_otherTitles;
    std::string m_mainText, m_extraText;
};

std::string TitleSelection::extract(const CArchiveEntry& entry) {
    if (!m_scratch)
        m_scratch = &ThreadScratchDirectory();
    ++m_extractions;
    if (m_scratch->path().empty())
        return {};
    std::string path = m_archive.extractMember(entry, *m_scratch);
    // The directory serves the thread's next archives: a member cut short must not
    // stand in the way of one of the same name there.
    if (path.empty())
        ::unlink(m_scratch->memberPath(entry.name).c_str());
    return path;
}

// True when the scan should end.
bool TitleSelection::takeIniTitles(const std::string& path) {
    std::vector<std::string> values = FindIniValues(path, "name", 3);
    if (values.empty())
        values = FindIniValues(path, "title", 3);
    for (const std::string& value : values)
        if (value.size() > 2)
            m_iniTitles.push_back(FirstMeaningfulLine(value, true));
    ::unlink(path.c_str());
    return m_iniTitles.size() > 3;
}

bool TitleSelection::takeReadmeTitle(const std::string& path, const MemberName& member) {
    const std::string title = ReadTitleLine(path);
    if (title.size() > 2) {
        const bool readme = Contains(member.lowerStem, "read") || member.extension == ".diz";
        (readme ? m_readmeTitles : m_otherTitles).push_back(title);
        if (m_collectPreview)
            AppendTextForPreview(path, readme ? m_mainText : m_extraText);
    }
    ::unlink(path.c_str());
    return m_readmeTitles.size() + m_otherTitles.size() > 4;
}

void TitleSelection::scan() {
    if (m_collectPreview && m_archive.comment.size() > 3)
        m_mainText = m_archive.comment + "\r\n";
    for (const CArchiveEntry& entry : m_archive.entries()) {
        if (!considered(entry))
            continue;
        const MemberName member = SplitMemberName(entry.name);
        const MemberKind kind = Classify(member);
        if (kind == MemberKind::Other)
            continue;
        const std::string path = extract(entry);
        if (!path.empty()) {
            const bool enough =
                kind == MemberKind::Ini ? takeIniTitles(path) : takeReadmeTitle(path, member);
            if (enough)
                break;
        }
        if (m_extractions >= kMaxTitleExtractions)
            break;
    }
}

void TitleSelection::buildValues(int maxValues, ReadResult& result) const {
    if (!m_archive.comment.empty()) {
        std::string line = FirstMeaningfulLine(m_archive.comment, true);
        if (!line.empty())
            result.add(kCommentLabel, std::move(line));
    }
    for (const std::string& title : m_iniTitles)
        result.add(kSetupTitleLabel, title);
    for (const std::string& title : m_readmeTitles)
        result.add(kReadmeTitleLabel, title);
    const size_t half = static_cast<size_t>(std::max(maxValues, 0) / 2);
    for (const std::string& title : m_otherTitles) {
        result.add(kReadmeTitleLabel, title);
        if (result.values.size() >= half)
            break;
    }
    for (const CArchiveEntry& entry : m_archive.entries()) {
        if (result.values.size() >= static_cast<size_t>(std::max(maxValues, 0)))
            break;
        result.add(kMemberLabel, m_archive.oemNames ? Cp437ToUtf8(entry.name) : entry.name);
    }
}

std::string TitleSelection::preview() const {
    std::string text = m_mainText + m_extraText;
    std::replace(text.begin(), text.end(), '\0', '_');
    return text;
}

} // namespace

bool CArchiveReader::addEntry(std::string name, uint64_t size) {
    if (m_entries.size() >= kMaxListedMembers)
        return false;
    if (name.size() > kMaxMemberNameBytes)
        name.resize(Utf8CutPoint(name, kMaxMemberNameBytes));
    m_entries.emplace_back(std::move(name), m_nextOffset, size, m_entries.size());
    m_nextOffset += size;
    return true;
}

void CArchiveReader::selectTitles(int maxValues, bool collectPreview, ReadResult& result) {
    TitleSelection selection(*this, collectPreview);
    selection.scan();
    selection.buildValues(maxValues, result);
    if (collectPreview)
        result.preview = selection.preview();
}

BoundedMemberWriter::~BoundedMemberWriter() {
    close();
}

bool BoundedMemberWriter::write(const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    size_t todo = static_cast<size_t>(std::min<uint64_t>(size, m_left));
    while (todo > 0) {
        const ssize_t done = ::write(m_fd, bytes, todo);
        if (done <= 0)
            return false;
        bytes += done;
        todo -= static_cast<size_t>(done);
        m_left -= static_cast<uint64_t>(done);
    }
    return true;
}

bool BoundedMemberWriter::close() {
    if (m_fd < 0)
        return true;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    return closed;
}

bool IsDescriptiveMemberName(std::string_view name) {
    return Classify(SplitMemberName(name)) != MemberKind::Other;
}

uint64_t ExtractionLimit(const CArchiveEntry& entry) {
    return std::min(entry.size, kMaxTitleMemberSize);
}

std::string TitleLineOf(std::string_view input) {
    const std::string text = WithoutCrBeforeLf(input);
    // As a stream's getline into a 140-byte buffer reads it: a longer line is read
    // on by the next pass.
    constexpr size_t kLineBytes = 139;
    size_t pos = 0;
    bool atEnd = false;
    std::string_view line;
    while (!atEnd && line.size() <= 3) {
        const size_t start = pos;
        const size_t newline = text.find('\n', pos);
        const size_t lineEnd = std::min(newline, text.size());
        if (lineEnd - start > kLineBytes) {
            pos = start + Utf8CutPoint(std::string_view(text).substr(start), kLineBytes);
            if (pos == start)
                pos = start + kLineBytes;
        } else {
            pos = lineEnd;
        }
        line = StripToWords(std::string_view(text).substr(start, pos - start));
        if (pos >= text.size())
            atEnd = true;
        else if (text[pos] == '\n')
            ++pos;
    }
    return std::string(line);
}

std::string ReadTitleLine(const std::string& path) {
    const std::optional<std::string> bytes = ReadFilePrefix(path, kMaxTitleMemberSize);
    return bytes ? TitleLineOf(MemberTextToUtf8(*bytes)) : std::string();
}

std::vector<std::string> IniValuesOf(std::string_view text, std::string_view keyPart,
                                     size_t maxCount) {
    const std::string lowerPart = ToLowerAscii(keyPart);
    const std::vector<IniSection> sections = ParseIni(text);
    std::vector<std::string> found;
    const auto sectionName = [](const IniSection& s) -> const std::string& { return s.name; };
    const auto keyName = [](const IniKey& k) -> const std::string& { return k.name; };
    for (const std::string& name : ProfileNameList(sections, sectionName)) {
        const IniSection* section = FindSection(sections, name);
        if (!section)
            continue;
        for (const std::string& key : ProfileNameList(section->keys, keyName)) {
            if (!Contains(ToLowerAscii(key), lowerPart))
                continue;
            const IniKey* entry = FindKey(*section, key);
            if (!entry || entry->value.empty())
                continue;
            found.push_back(entry->value.substr(0, Utf8CutPoint(entry->value, kIniValueBytes)));
            if (found.size() >= maxCount)
                return found;
        }
    }
    return found;
}

std::vector<std::string> FindIniValues(const std::string& path, std::string_view keyPart,
                                       size_t maxCount) {
    const std::optional<std::string> bytes = ReadFilePrefix(path, kMaxTitleMemberSize);
    return bytes ? IniValuesOf(IniTextToUtf8(*bytes), keyPart, maxCount)
                 : std::vector<std::string>();
}

void AppendTextForPreview(const std::string& path, std::string& target) {
    const std::optional<std::string> bytes = ReadFilePrefix(path, kMaxPreviewMemberBytes + 1);
    if (!bytes || bytes->empty())
        return;
    const bool truncated = bytes->size() > kMaxPreviewMemberBytes;
    target += "\r\n" + std::string(36, '|') + "__" + BaseName(path) + "__" + std::string(35, '|') +
              "\r\n\r\n";
    target += MemberTextToUtf8(std::string_view(*bytes).substr(0, kMaxPreviewMemberBytes));
    if (truncated)
        target += "\r\n\r\nTressel Renamer truncated this file";
}

std::string ArchiveExtension(ByteSource& source, bool archiveAtStart, const char* own) {
    if (archiveAtStart)
        return own;
    return source.read(0, 2) == "MZ" ? ExecutableExtension(source) : std::string();
}

} // namespace tressel
