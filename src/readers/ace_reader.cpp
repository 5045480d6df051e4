#include "ace_reader.h"

#include "platform/ace/ace_archive.h"
#include "platform/read_failure.h"
#include "platform/text.h"

#include <algorithm>
#include <unistd.h>

namespace tressel {

namespace {

// Code page 437 unless the bytes are UTF-8 already, cut at a NUL and at maxBytes.
std::string OemText(std::string_view stored, size_t maxBytes) {
    stored = stored.substr(0, std::min(stored.find('\0'), maxBytes));
    return IsValidUtf8(stored) ? std::string(stored) : Cp437ToUtf8(stored);
}

// A member's name as the listing gives it: code page 437, '/' between folders.
std::string MemberName(std::string_view stored) {
    std::string name = Cp437ToUtf8(stored.substr(0, stored.find('\0')));
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

class CAceArchive final : public CArchiveReader {
public:
    CAceArchive(ByteSource& source, const ace::Archive& archive)
        : m_source(source), m_archive(archive), m_extractor(source, m_members, archive.solid()) {
        oemNames = false; // names are converted as they are listed
        solid = archive.solid();
        if (archive.hasComment)
            comment = OemText(archive.comment, kMaxAceCommentBytes);
    }

    void list() {
        m_members = ace::ListMembers(m_source, m_archive, kMaxListedMembers);
        for (const ace::Member& member : m_members)
            if (!addEntry(MemberName(member.name), member.size))
                break;
    }

    std::string extractMember(const CArchiveEntry& entry, const CTempFileItem& scratch) override {
        if (entry.index >= m_members.size())
            return {};
        BoundedMemberWriter writer(scratch.createMember(entry.name), ExtractionLimit(entry));
        if (!writer.isOpen())
            return {};
        const ace::Status status =
            m_extractor.extract(entry.index, [&writer](const uint8_t* data, size_t size) {
                return writer.write(data, size);
            });
        // A member that fails its check is no source of a title: whatever it gave is dropped.
        if (!writer.close() || status != ace::Status::Ok) {
            ::unlink(scratch.memberPath(entry.name).c_str());
            return {};
        }
        return scratch.memberPath(entry.name);
    }

private:
    ByteSource& m_source;
    const ace::Archive& m_archive;
    std::vector<ace::Member> m_members;
    ace::Extractor m_extractor;
};

} // namespace

ReadResult ParseAce(ByteSource& source, const ReadRequest& request) {
    ReadResult result("ace");
    const std::optional<ace::Archive> archive = ace::FindArchive(source);
    if (!archive)
        return result.refuse(failure::kNotThisFormat);
    result.accept(archive->start > 0 ? "exe" : "ace");
    if (request.maxValues <= 0) {
        result.moreValues = true; // listing and titles cost far more than the answer
        return result;
    }
    CAceArchive reader(source, *archive);
    reader.list();
    reader.selectTitles(request.maxValues, request.collectPreview, result);
    return result;
}

} // namespace tressel
