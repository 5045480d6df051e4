#pragma once

// What every archive reader shares: the member list its format fills, the archive
// comment, and the title selection that turns both into information values. The
// selection extracts a few small descriptive members (readme, .diz, .nfo, setup .ini
// and .inf files) into a private scratch directory, reads a title out of each and
// orders the values: comment, setup titles, readme titles, a few other titles, then
// member names.

#include "file_reader.h"
#include "temp_file_item.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

// A member larger than this is never extracted for its title.
inline constexpr uint64_t kMaxTitleMemberSize = 0x100000;
// In a solid archive only members starting within this much unpacked data are.
inline constexpr uint64_t kMaxSolidTitleOffset = 0x400000;
// At most this many members are extracted per archive.
inline constexpr int kMaxTitleExtractions = 5;
// The preview takes at most this much of each descriptive member.
inline constexpr size_t kMaxPreviewMemberBytes = 102400;
// Members listed beyond this many are ignored (names and titles alike).
inline constexpr size_t kMaxListedMembers = 100000;
// A member name longer than this is cut (no file system allows longer names).
inline constexpr size_t kMaxMemberNameBytes = 4096;

// The labels of the values an archive gives.
inline constexpr char kCommentLabel[] = UI_TEXT_NOOP("Labels", "Comment");
inline constexpr char kSetupTitleLabel[] = UI_TEXT_NOOP("Labels", "Setup title");
inline constexpr char kReadmeTitleLabel[] = UI_TEXT_NOOP("Labels", "Readme title");
inline constexpr char kMemberLabel[] = UI_TEXT_NOOP("Labels", "Member");

class CArchiveEntry final : public CInfoItem {
public:
    CArchiveEntry(std::string memberName, uint64_t start, uint64_t memberSize, size_t memberIndex)
        : name(std::move(memberName)), startOffset(start), size(memberSize), index(memberIndex) {}

    std::string name;     // as listed; may hold folders, separated by '/' or '\'
    uint64_t startOffset; // unpacked size of all members listed before it
    uint64_t size;        // unpacked size as the archive states it
    size_t index;         // its position in the listing
};

class CArchiveReader {
public:
    CArchiveReader() = default;
    virtual ~CArchiveReader() = default;
    CArchiveReader(const CArchiveReader&) = delete;
    CArchiveReader& operator=(const CArchiveReader&) = delete;

    // Appends a member; false (and nothing added) once kMaxListedMembers are held.
    bool addEntry(std::string name, uint64_t size);
    const std::vector<CArchiveEntry>& entries() const { return m_entries; }

    // Writes the member's bytes into the scratch directory under the file-name part of
    // its name, never more than min(its stated size, kMaxTitleMemberSize) bytes, and
    // returns that file's path; empty when nothing was written.
    virtual std::string extractMember(const CArchiveEntry& entry, const CTempFileItem& scratch) = 0;

    // The title selection: appends the values (at most maxValues member names, the
    // titles regardless) to result, and the preview text when asked.
    void selectTitles(int maxValues, bool collectPreview, ReadResult& result);

    // Member names are DOS code page 437 (RAR, ACE without their Unicode flag); the
    // other formats hand over UTF-8 and clear this.
    bool oemNames = true;
    bool solid = false;
    // UTF-8; " " stands for "there is none", so that nothing later is taken for one.
    std::string comment;

private:
    std::vector<CArchiveEntry> m_entries;
    uint64_t m_nextOffset = 0;
};

// Writes at most limit bytes to fd, as they arrive, and drops the rest.
class BoundedMemberWriter {
public:
    BoundedMemberWriter(int fd, uint64_t limit) : m_fd(fd), m_left(limit) {}
    ~BoundedMemberWriter();
    BoundedMemberWriter(const BoundedMemberWriter&) = delete;
    BoundedMemberWriter& operator=(const BoundedMemberWriter&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool full() const { return m_left == 0; }
    // False when the disk refused the bytes.
    bool write(const void* data, size_t size);
    bool close();

private:
    int m_fd;
    uint64_t m_left;
};

// The extension an archive file's content should carry: the archive's own when the
// file begins with the archive, an executable's (exe, dll, sys) when the archive rides
// on one (a self-extracting archive), and none when it lies inside anything else (an
// archive appended to a picture, a signature inside a program's code).
std::string ArchiveExtension(ByteSource& source, bool archiveAtStart, const char* own);

// Whether the title selection would look at a member of this name (a readme, .diz,
// .nfo, .ini or .inf file), whatever its size.
bool IsDescriptiveMemberName(std::string_view name);

// The bytes an extraction may write for this member.
uint64_t ExtractionLimit(const CArchiveEntry& entry);

// The title line of a readme: lines of at most 139 bytes are read until one holds
// more than 3 bytes or the text ends, each cut to the span from its first to its last
// letter or digit; the last line read is the title. text is UTF-8.
std::string TitleLineOf(std::string_view text);
std::string ReadTitleLine(const std::string& path);

// The values of every key whose lower-case name contains keyPart, in section order
// and key order, non-empty ones only, at most maxCount, from an INI text. Section and
// key lists are cut at 1000 bytes, values at 254 bytes, as the profile functions do.
std::vector<std::string> IniValuesOf(std::string_view text, std::string_view keyPart,
                                     size_t maxCount);
std::vector<std::string> FindIniValues(const std::string& path, std::string_view keyPart,
                                       size_t maxCount);

// Appends a member's text to a preview: a banner with its file name, then up to
// kMaxPreviewMemberBytes of it, and a note when it was longer.
void AppendTextForPreview(const std::string& path, std::string& target);

// The archive step of the registry: RAR, ZIP, ACE, CAB in that order, with the
// extension filter; when none recognises the file and scanAll is set,
// the same again without it. The recognised reader, or the last one tried.
std::unique_ptr<CFileReader> CreateArchiveReader(const std::string& path, bool scanAll);
std::unique_ptr<CFileReader> CreateArchiveReader(const std::string& path, bool scanAll,
                                                 bool collectPreview);

} // namespace tressel
