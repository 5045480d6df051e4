#include "cab_reader.h"

#include "cabinet/cabinet.h"
#include "platform/pe/pe_image.h"
#include "platform/read_failure.h"
#include "platform/text.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <vector>

namespace tressel {

namespace {

constexpr char kCabinetSignature[] = "MSCF";
// The name under which the engine asks for the cabinet; nothing else is ever opened.
constexpr char kCabinetName[] = "cabinet";

// The cabinet engine's client: the cabinet is the byte source from the cabinet's start
// on, so that the engine sees a cabinet inside an executable as a file of its own;
// members go to scratch files, bounded.
class CCabArchive final : public CArchiveReader {
public:
    CCabArchive(ByteSource& source, uint64_t start) : m_source(source), m_start(start) {
        oemNames = false;
        m_engine = CabCreate(callbacks(), 1, &m_error);
    }
    ~CCabArchive() override {
        if (m_engine)
            CabDestroy(m_engine);
    }

    bool isCabinet();
    void list() { copy(); }
    std::string extractMember(const CArchiveEntry& entry, const CTempFileItem& scratch) override;

private:
    struct Open {
        uint64_t position = 0;                       // input only
        std::unique_ptr<BoundedMemberWriter> output; // null for the cabinet
        bool closed = false;
    };

    CabCallbacks callbacks() {
        CabCallbacks io;
        io.context = this;
        io.allocate = [](void*, uint32_t size) { return std::malloc(size ? size : 1); };
        io.release = [](void*, void* block) { std::free(block); };
        io.open = [](void* self, const char* path, int flags, int) {
            return static_cast<CCabArchive*>(self)->openCabinet(path, flags);
        };
        io.read = [](void* self, CabHandle h, void* buffer, uint32_t size) {
            return static_cast<CCabArchive*>(self)->read(h, buffer, size);
        };
        io.write = [](void* self, CabHandle h, const void* buffer, uint32_t size) {
            return static_cast<CCabArchive*>(self)->write(h, buffer, size);
        };
        io.close = [](void* self, CabHandle h) {
            return static_cast<CCabArchive*>(self)->close(h);
        };
        io.seek = [](void* self, CabHandle h, int64_t offset, int origin) {
            return static_cast<CCabArchive*>(self)->seek(h, offset, origin);
        };
        return io;
    }

    Open* find(CabHandle handle) {
        if (handle < 1 || static_cast<size_t>(handle) > m_open.size())
            return nullptr;
        Open& open = m_open[static_cast<size_t>(handle) - 1];
        return open.closed ? nullptr : &open;
    }
    CabHandle add(Open open) {
        m_open.push_back(std::move(open));
        return static_cast<CabHandle>(m_open.size());
    }
    uint64_t cabinetSize() const { return m_source.size() - std::min(m_start, m_source.size()); }

    CabHandle openCabinet(const char* path, int flags);
    int64_t read(CabHandle handle, void* buffer, uint32_t size);
    int64_t write(CabHandle handle, const void* buffer, uint32_t size);
    int close(CabHandle handle);
    int64_t seek(CabHandle handle, int64_t offset, int origin);

    static intptr_t Notify(CabNotify kind, CabNotification& record) {
        return static_cast<CCabArchive*>(record.user)->notify(kind, record);
    }
    intptr_t notify(CabNotify kind, CabNotification& record);
    intptr_t copyFile(const CabNotification& record);
    void copy();

    ByteSource& m_source;
    uint64_t m_start;
    CabError m_error;
    CabContext* m_engine = nullptr;
    std::vector<Open> m_open; // handle h is m_open[h - 1]

    // A copy run lists the members, or (with a wanted member) writes that one only.
    size_t m_memberNumber = 0;
    const CArchiveEntry* m_wanted = nullptr;
    const CTempFileItem* m_scratch = nullptr;
    bool m_written = false;
};

CabHandle CCabArchive::openCabinet(const char* path, int flags) {
    if ((flags & O_ACCMODE) != O_RDONLY || std::string_view(path) != kCabinetName)
        return -1;
    return add(Open{});
}

int64_t CCabArchive::read(CabHandle handle, void* buffer, uint32_t size) {
    Open* open = find(handle);
    if (!open || open->output)
        return -1;
    if (open->position >= cabinetSize())
        return 0;
    const size_t got = m_source.readAt(m_start + open->position, buffer, size);
    open->position += got;
    return static_cast<int64_t>(got);
}

int64_t CCabArchive::write(CabHandle handle, const void* buffer, uint32_t size) {
    Open* open = find(handle);
    if (!open || !open->output || !open->output->write(buffer, size))
        return -1;
    return size; // bytes past the member's limit are dropped, not refused
}

int CCabArchive::close(CabHandle handle) {
    Open* open = find(handle);
    if (!open)
        return -1;
    open->closed = true;
    const bool closed = !open->output || open->output->close();
    open->output.reset();
    return closed ? 0 : -1;
}

int64_t CCabArchive::seek(CabHandle handle, int64_t offset, int origin) {
    Open* open = find(handle);
    if (!open || open->output)
        return -1;
    int64_t base = 0;
    if (origin == SEEK_CUR)
        base = static_cast<int64_t>(open->position);
    else if (origin == SEEK_END)
        base = static_cast<int64_t>(cabinetSize());
    else if (origin != SEEK_SET)
        return -1;
    if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset))
        return -1;
    open->position = static_cast<uint64_t>(base + offset);
    return static_cast<int64_t>(open->position);
}

bool CCabArchive::isCabinet() {
    if (!m_engine)
        return false;
    const CabHandle handle = openCabinet(kCabinetName, O_RDONLY);
    CabCabinetInfo info;
    const bool found = CabIsCabinet(m_engine, handle, &info);
    close(handle);
    return found;
}

intptr_t CCabArchive::copyFile(const CabNotification& record) {
    const size_t number = m_memberNumber++;
    const uint64_t size = record.size > 0 ? static_cast<uint64_t>(record.size) : 0;
    if (!m_wanted) {
        const std::string_view raw = record.name ? record.name : "";
        const std::string name =
            (record.attributes & kCabAttributeUtf8Name) ? ToValidUtf8(raw) : RawToUtf8(raw);
        return addEntry(name, size) ? 0 : -1; // the listing stops at its bound
    }
    if (number != m_wanted->index)
        return 0;
    auto writer = std::make_unique<BoundedMemberWriter>(m_scratch->createMember(m_wanted->name),
                                                        ExtractionLimit(*m_wanted));
    if (!writer->isOpen())
        return -1;
    m_written = true;
    return add(Open{0, std::move(writer), false});
}

intptr_t CCabArchive::notify(CabNotify kind, CabNotification& record) {
    switch (kind) {
    case CabNotify::CopyFile:
        return copyFile(record);
    case CabNotify::CloseFile:
        close(record.handle);
        return m_wanted ? -1 : 1; // the wanted member is written: stop decoding
    case CabNotify::NextCabinet:
        return -1; // a set's next cabinet is never opened
    default:
        return 0;
    }
}

void CCabArchive::copy() {
    m_memberNumber = 0;
    if (m_engine)
        CabCopy(m_engine, kCabinetName, "", 0, &CCabArchive::Notify, nullptr, this);
    for (size_t h = 1; h <= m_open.size(); ++h)
        close(static_cast<CabHandle>(h)); // whatever an aborted run left open
}

std::string CCabArchive::extractMember(const CArchiveEntry& entry, const CTempFileItem& scratch) {
    m_wanted = &entry;
    m_scratch = &scratch;
    m_written = false;
    copy();
    m_wanted = nullptr;
    m_scratch = nullptr;
    return m_written ? scratch.memberPath(entry.name) : std::string();
}

} // namespace

std::optional<uint64_t> FindCabinetStart(ByteSource& source) {
    const std::string magic = source.read(0, 4);
    if (magic == kCabinetSignature)
        return 0;
    if (magic.compare(0, 2, "MZ") != 0)
        return std::nullopt;
    const std::optional<pe::PeImage> image = pe::PeImage::parse(source);
    if (!image)
        return std::nullopt;
    if (const auto resource = image->findResource(source, pe::kResourceTypeRcData, "CABINET"))
        return resource->dataOffset;
    if (image->hasOverlay() && source.read(image->overlayStart(), 4) == kCabinetSignature)
        return image->overlayStart();
    return std::nullopt;
}

ReadResult ParseCab(ByteSource& source, const ReadRequest& request) {
    ReadResult result("cab");
    const std::optional<uint64_t> start = FindCabinetStart(source);
    if (!start)
        return result.refuse(failure::kNotThisFormat);
    CCabArchive archive(source, *start);
    if (!archive.isCabinet())
        return result.refuse(failure::kNotThisFormat);
    result.accept(ArchiveExtension(source, *start == 0 && source.read(0, 2) != "MZ", "cab"));
    if (request.maxValues <= 0) {
        result.moreValues = true; // listing and titles cost far more than the answer
        return result;
    }
    archive.list();
    archive.selectTitles(request.maxValues, request.collectPreview, result);
    return result;
}

} // namespace tressel
