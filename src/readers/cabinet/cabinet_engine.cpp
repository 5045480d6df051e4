// The cabinet engine: header and record parsing, the member walk with its
// notifications, folder selection, data-block reading and checking, and the move into
// the next cabinet of a set when a folder goes on there.
//
// Two descriptors are open on the cabinet in use: one walks the file records, the
// other reads folder records and data blocks, so that members can be written while the
// walk goes on. Every size and offset taken from the file is checked against the
// buffer or the count it refers to before it is used.

#include "readers/cabinet/cab_method.h"
#include "readers/cabinet/cabinet.h"

#include "platform/byte_source.h"

#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tressel {

namespace {

constexpr size_t kHeaderSize = 36;
constexpr uint16_t kVersion = 0x0103;
constexpr uint16_t kFlagPrevious = 0x0001;
constexpr uint16_t kFlagNext = 0x0002;
constexpr uint16_t kFlagReserve = 0x0004;
constexpr size_t kReserveSizesSize = 4;
constexpr size_t kFileRecordSize = 16;
constexpr size_t kFolderRecordSize = 8;
constexpr size_t kBlockRecordSize = 8;
constexpr size_t kMaxRecordReserve = 255;
// Names are NUL-terminated and at most 255 bytes long.
constexpr size_t kNameBufferSize = 256;
constexpr uint16_t kNoFolder = 0xFFFF;
constexpr uint32_t kNoMethod = 0x10000;
constexpr uint32_t kInputCapacity = cab::kMaxBlockSize + cab::kMaxInputMargin;

struct Header {
    uint32_t cabinetSize = 0;
    uint32_t filesOffset = 0;
    uint16_t version = 0;
    uint16_t folderCount = 0;
    uint16_t fileCount = 0;
    uint16_t flags = 0;
    uint16_t setId = 0;
    uint16_t cabinetIndex = 0;
};

bool HasSignature(const uint8_t* bytes) {
    return std::memcmp(bytes, "MSCF", 4) == 0;
}

Header ParseHeader(const uint8_t* bytes) {
    Header header;
    header.cabinetSize = ReadLe32(bytes + 8);
    header.filesOffset = ReadLe32(bytes + 16);
    header.version = ReadLe16(bytes + 24);
    header.folderCount = ReadLe16(bytes + 26);
    header.fileCount = ReadLe16(bytes + 28);
    header.flags = ReadLe16(bytes + 30);
    header.setId = ReadLe16(bytes + 32);
    header.cabinetIndex = ReadLe16(bytes + 34);
    return header;
}

struct FileRecord {
    uint32_t size = 0;
    uint32_t offset = 0; // within the folder's decoded data
    uint16_t folder = 0;
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attributes = 0;
    char name[kNameBufferSize] = {};

    bool continuedFromPrevious() const {
        return folder == kCabContinuedFromPrevious || folder == kCabContinuedBoth;
    }
    uint64_t end() const { return uint64_t(offset) + size; }
};

enum class Step { Next, RunEnds, Failed };

} // namespace

struct CabContext {
    CabContext(const CabCallbacks& callbacks, int processor, CabError* errorRecord)
        : io(callbacks), memory(callbacks), processorType(processor),
          error(errorRecord ? errorRecord : &ownError) {}

    bool fail(int code, int detail = 0) {
        error->code = code;
        error->detail = detail;
        error->failed = true;
        return false;
    }
    Step failStep(int code) {
        fail(code);
        return Step::Failed;
    }

    // ---- I/O through the client's callbacks
    bool readExact(CabHandle handle, void* buffer, size_t size);
    size_t readUpTo(CabHandle handle, void* buffer, size_t size);
    bool seekTo(CabHandle handle, int64_t position) {
        return position >= 0 && io.seek(io.context, handle, position, SEEK_SET) == position;
    }
    int64_t tell(CabHandle handle) { return io.seek(io.context, handle, 0, SEEK_CUR); }
    bool readName(CabHandle handle, char* name);
    void closeHandle(CabHandle& handle) {
        if (handle != -1)
            io.close(io.context, handle);
        handle = -1;
    }
    void closeCabinet() {
        closeHandle(filesHandle);
        closeHandle(dataHandle);
    }

    // ---- cabinets
    bool openCabinet(bool firstOfRun, uint16_t setId, uint16_t cabinetIndex);
    bool readReserveAreas(bool firstOfRun);
    bool readCabinetNames();
    bool notifyCabinetInfo();
    bool continuesInNextCabinet() const {
        return currentFolder == header.folderCount - 1 && (header.flags & kFlagNext);
    }
    bool moveToNextCabinet();
    bool continueFolderInThisCabinet();

    // ---- the member walk
    // The folder a member's data lies in: members continued into the next cabinet are
    // in the last folder, those continued from the previous one in the first.
    uint16_t folderOf(const FileRecord& record) const {
        if (record.folder == kCabContinuedToNext || record.folder == kCabContinuedBoth)
            return uint16_t(header.folderCount - 1);
        return record.folder == kCabContinuedFromPrevious ? 0 : record.folder;
    }
    bool runCopy();
    bool enumerate();
    bool readFileRecord(FileRecord& record);
    Step handleMember(const FileRecord& record);
    CabNotification memberNotification(const FileRecord& record) const;
    bool extractMember(const FileRecord& record, CabHandle target);
    bool writeAll(CabHandle target, const uint8_t* bytes, size_t size);

    // ---- folders and data blocks
    bool selectFolder(uint16_t index);
    bool readFolderRecord(uint16_t index, uint32_t& dataOffset, uint16_t& blockCount,
                          uint16_t& type);
    bool selectMethod(uint16_t type);
    void destroyMethod() {
        cab::DestroyCabMethod(method, memory);
        method = nullptr;
        currentType = kNoMethod;
    }
    bool decodeNextBlock();
    bool readBlock(uint32_t& inputSize, uint32_t& uncompressedSize);
    CabDecrypt decryptRecord(CabDecryptKind kind, uint8_t* reserve, uint32_t reserveSize) const {
        CabDecrypt record;
        record.kind = kind;
        record.user = user;
        record.reserve = reserve;
        record.reserveSize = reserveSize;
        record.setId = header.setId;
        record.cabinetIndex = header.cabinetIndex;
        return record;
    }
    bool decrypt(CabDecrypt& record) {
        if (decryptFn && decryptFn(record) == -1)
            return fail(kCabAborted);
        return true;
    }
    bool decryptFolder(uint16_t index);

    CabCallbacks io;
    cab::Memory memory;
    int processorType;
    CabError ownError; // stands in when the client gives no record
    CabError* error;

    CabHandle filesHandle = -1;
    CabHandle dataHandle = -1;
    std::string cabinetPath;
    std::string cabinetName;

    Header header;
    uint8_t* headerReserve = nullptr;
    uint32_t headerReserveSize = 0;
    uint32_t folderReserveSize = 0;
    uint32_t blockReserveSize = 0;
    uint8_t folderRecord[kFolderRecordSize + kMaxRecordReserve] = {};
    uint8_t blockRecord[kBlockRecordSize + kMaxRecordReserve] = {};
    char previousCabinet[kNameBufferSize] = {};
    char previousDisk[kNameBufferSize] = {};
    char nextCabinet[kNameBufferSize] = {};
    char nextDisk[kNameBufferSize] = {};
    int64_t firstFolderPosition = 0;

    uint16_t currentFolder = kNoFolder;
    uint32_t currentType = kNoMethod;
    cab::Method* method = nullptr;
    uint8_t* input = nullptr;
    uint8_t* output = nullptr;

    uint32_t filesLeft = 0;
    uint32_t blocksLeft = 0;
    uint64_t outputStart = 0; // folder position of output[0]
    uint32_t outputSize = 0;

    // The copy run in progress.
    CabNotifyFn notifyFn = nullptr;
    CabDecryptFn decryptFn = nullptr;
    void* user = nullptr;
    bool movedIntoCabinet = false; // this run came here from the previous cabinet
    uint64_t memberEnd = 0;        // folder position where the member being written ends
    uint64_t writtenUpTo = 0;      // of the current folder, by this run
};

// ---------------------------------------------------------------- I/O

bool CabContext::readExact(CabHandle handle, void* buffer, size_t size) {
    return readUpTo(handle, buffer, size) == size;
}

size_t CabContext::readUpTo(CabHandle handle, void* buffer, size_t size) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        const uint32_t chunk = uint32_t(std::min<size_t>(size - done, 1u << 30));
        const int64_t got = io.read(io.context, handle, bytes + done, chunk);
        if (got <= 0 || uint64_t(got) > chunk)
            break;
        done += size_t(got);
    }
    return done;
}

bool CabContext::readName(CabHandle handle, char* name) {
    const int64_t start = tell(handle);
    if (start < 0)
        return false;
    const size_t got = readUpTo(handle, name, kNameBufferSize);
    const void* end = std::memchr(name, 0, got);
    if (!end)
        return false;
    const size_t length = size_t(static_cast<const char*>(end) - name);
    return seekTo(handle, start + int64_t(length) + 1);
}

// ---------------------------------------------------------------- cabinets

bool CabContext::openCabinet(bool firstOfRun, uint16_t setId, uint16_t cabinetIndex) {
    closeCabinet();
    const std::string full = cabinetPath + cabinetName;
    filesHandle = io.open(io.context, full.c_str(), O_RDONLY, 0);
    dataHandle = filesHandle == -1 ? -1 : io.open(io.context, full.c_str(), O_RDONLY, 0);
    if (filesHandle == -1 || dataHandle == -1)
        return fail(kCabCannotOpen);

    uint8_t bytes[kHeaderSize];
    if (!readExact(filesHandle, bytes, kHeaderSize) || !HasSignature(bytes))
        return fail(kCabNotACabinet);
    const Header found = ParseHeader(bytes);
    if (found.version != kVersion)
        return fail(kCabUnknownVersion, found.version);
    if (!firstOfRun && (found.setId != setId || found.cabinetIndex != cabinetIndex))
        return fail(kCabWrongCabinet);
    header = found;
    if (!readReserveAreas(firstOfRun) || !readCabinetNames())
        return false;
    firstFolderPosition = tell(filesHandle);
    if (firstFolderPosition < 0 || !seekTo(filesHandle, header.filesOffset))
        return fail(kCabCorrupt);
    filesLeft = header.fileCount;

    CabDecrypt record = decryptRecord(CabDecryptKind::NewCabinet, headerReserve, headerReserveSize);
    return decrypt(record);
}

bool CabContext::readReserveAreas(bool firstOfRun) {
    uint32_t headerSize = 0, folderSize = 0, blockSize = 0;
    if (header.flags & kFlagReserve) {
        uint8_t sizes[kReserveSizesSize];
        if (!readExact(filesHandle, sizes, sizeof sizes))
            return fail(kCabNotACabinet);
        headerSize = ReadLe16(sizes);
        folderSize = sizes[2];
        blockSize = sizes[3];
    }
    if (firstOfRun) {
        if (headerSize != headerReserveSize) {
            memory.release(headerReserve);
            headerReserve = nullptr;
            headerReserveSize = 0;
            if (headerSize) {
                headerReserve = static_cast<uint8_t*>(memory.allocate(headerSize));
                if (!headerReserve)
                    return fail(kCabOutOfMemory);
            }
            headerReserveSize = headerSize;
        }
        folderReserveSize = folderSize;
        blockReserveSize = blockSize;
    } else if (headerSize != headerReserveSize || folderSize != folderReserveSize ||
               blockSize != blockReserveSize) {
        return fail(kCabReserveMismatch);
    }
    if (headerSize && !readExact(filesHandle, headerReserve, headerSize))
        return fail(kCabNotACabinet);
    return true;
}

bool CabContext::readCabinetNames() {
    previousCabinet[0] = previousDisk[0] = nextCabinet[0] = nextDisk[0] = '\0';
    if ((header.flags & kFlagPrevious) &&
        !(readName(filesHandle, previousCabinet) && readName(filesHandle, previousDisk)))
        return fail(kCabCorrupt);
    if ((header.flags & kFlagNext) &&
        !(readName(filesHandle, nextCabinet) && readName(filesHandle, nextDisk)))
        return fail(kCabCorrupt);
    return true;
}

bool CabContext::notifyCabinetInfo() {
    CabNotification record;
    record.name = nextCabinet;
    record.nextDisk = nextDisk;
    record.path = &cabinetPath;
    record.user = user;
    record.setId = header.setId;
    record.cabinetIndex = header.cabinetIndex;
    if (notifyFn(CabNotify::CabinetInfo, record) == -1)
        return fail(kCabAborted);
    return true;
}

// The client is asked for the next cabinet until it opens as the right one or the
// client gives up; each new question carries the reason the last attempt failed.
bool CabContext::moveToNextCabinet() {
    if (!(header.flags & kFlagNext))
        return fail(kCabCorrupt);
    const uint16_t setId = header.setId;
    const uint16_t nextIndex = uint16_t(header.cabinetIndex + 1);
    const std::string name = nextCabinet;
    const std::string disk = nextDisk;
    const CabError before = *error;
    int lastError = kCabOk;
    for (;;) {
        CabNotification record;
        record.name = name.c_str();
        record.nextDisk = disk.c_str();
        record.path = &cabinetPath;
        record.user = user;
        record.setId = setId;
        record.cabinetIndex = nextIndex;
        record.lastError = lastError;
        if (notifyFn(CabNotify::NextCabinet, record) == -1)
            return fail(kCabAborted);
        cabinetName = name;
        if (openCabinet(false, setId, nextIndex))
            break;
        if (error->code == kCabAborted)
            return false;
        lastError = error->code;
    }
    *error = before;
    movedIntoCabinet = true;
    writtenUpTo = memberEnd;
    return notifyCabinetInfo() && continueFolderInThisCabinet();
}

// The folder being decoded goes on as the first folder of the cabinet just opened.
bool CabContext::continueFolderInThisCabinet() {
    uint32_t dataOffset = 0;
    uint16_t blockCount = 0, type = 0;
    if (header.folderCount == 0 || !readFolderRecord(0, dataOffset, blockCount, type))
        return fail(kCabCorrupt);
    if (type != currentType)
        return fail(kCabCorrupt);
    if (!decryptFolder(0))
        return false;
    if (!seekTo(dataHandle, dataOffset))
        return fail(kCabCorrupt);
    blocksLeft = blockCount;
    currentFolder = 0;
    return true;
}

// ---------------------------------------------------------------- the member walk

bool CabContext::runCopy() {
    if (!openCabinet(true, 0, 0) || !notifyCabinetInfo() || !enumerate())
        return false;
    for (;;) {
        while (filesLeft > 0) {
            FileRecord record;
            if (!readFileRecord(record))
                return false;
            --filesLeft;
            switch (handleMember(record)) {
            case Step::Next:
                break;
            case Step::RunEnds:
                return true;
            case Step::Failed:
                return false;
            }
        }
        if (!enumerate())
            return false;
        if (filesLeft == 0)
            return true;
    }
}

bool CabContext::enumerate() {
    const int64_t position = tell(filesHandle);
    if (position < 0)
        return fail(kCabCorrupt);
    CabNotification record;
    record.size = position;
    record.user = user;
    record.setId = header.setId;
    record.cabinetIndex = header.cabinetIndex;
    record.folderIndex = uint16_t(std::min<uint32_t>(filesLeft, 0xFFFF));
    if (notifyFn(CabNotify::Enumerate, record) == -1)
        return fail(kCabAborted);
    if (record.size != position && !seekTo(filesHandle, record.size))
        return fail(kCabCorrupt);
    filesLeft = record.folderIndex;
    return true;
}

bool CabContext::readFileRecord(FileRecord& record) {
    uint8_t bytes[kFileRecordSize];
    if (!readExact(filesHandle, bytes, sizeof bytes) || !readName(filesHandle, record.name))
        return fail(kCabCorrupt);
    record.size = ReadLe32(bytes);
    record.offset = ReadLe32(bytes + 4);
    record.folder = ReadLe16(bytes + 8);
    record.date = ReadLe16(bytes + 10);
    record.time = ReadLe16(bytes + 12);
    record.attributes = ReadLe16(bytes + 14);
    return true;
}

CabNotification CabContext::memberNotification(const FileRecord& record) const {
    CabNotification notification;
    notification.size = record.size;
    notification.name = record.name;
    notification.user = user;
    notification.date = record.date;
    notification.time = record.time;
    notification.attributes = record.attributes;
    notification.setId = header.setId;
    notification.cabinetIndex = header.cabinetIndex;
    notification.folderIndex = record.folder;
    return notification;
}

// After a move into the next cabinet, its leading members of the folder carried over
// (its first folder) are the ones this run has been decoding: those already written are
// passed over, the rest copied, and the run ends at the first member of a folder of
// this cabinet's own.
Step CabContext::handleMember(const FileRecord& record) {
    if (movedIntoCabinet) {
        if (folderOf(record) != 0)
            return Step::RunEnds;
        if (record.end() <= writtenUpTo)
            return Step::Next;
    } else if (record.continuedFromPrevious()) {
        CabNotification partial = memberNotification(record);
        if (notifyFn(CabNotify::PartialFile, partial) == -1)
            return failStep(kCabAborted);
        return Step::Next;
    }

    CabNotification copy = memberNotification(record);
    const intptr_t answer = notifyFn(CabNotify::CopyFile, copy);
    if (answer == -1)
        return failStep(kCabAborted);
    if (answer == 0)
        return Step::Next;
    CabHandle target = answer;
    if (!extractMember(record, target)) {
        // The descriptor was handed over and is never handed back: close it here.
        closeHandle(target);
        return Step::Failed;
    }

    CabNotification close = memberNotification(record);
    close.handle = target;
    close.size = 0;
    if (record.attributes & kCabAttributeRunAfterExtraction) {
        close.size = 1;
        close.attributes &= uint16_t(~kCabAttributeRunAfterExtraction);
    }
    const intptr_t closed = notifyFn(CabNotify::CloseFile, close);
    if (closed == -1)
        return failStep(kCabAborted);
    if (closed == 0)
        return failStep(kCabTargetFailed);
    return Step::Next;
}

bool CabContext::extractMember(const FileRecord& record, CabHandle target) {
    if (record.size == 0)
        return true;
    const uint16_t folder = folderOf(record);
    if (folder >= header.folderCount)
        return fail(kCabCorrupt);
    if (folder != currentFolder || record.offset < outputStart) {
        if (!selectFolder(folder))
            return false;
    }

    memberEnd = record.end();
    uint64_t done = record.offset;
    for (;;) {
        const uint64_t outputEnd = outputStart + outputSize;
        if (done >= outputStart && done < outputEnd) {
            const uint64_t upTo = std::min(outputEnd, memberEnd);
            if (!writeAll(target, output + (done - outputStart), size_t(upTo - done)))
                return false;
            done = upTo;
        }
        if (done == memberEnd)
            break;
        if (!decodeNextBlock())
            return false;
    }
    writtenUpTo = std::max(writtenUpTo, memberEnd);
    return true;
}

bool CabContext::writeAll(CabHandle target, const uint8_t* bytes, size_t size) {
    if (io.write(io.context, target, bytes, uint32_t(size)) != int64_t(size))
        return fail(kCabTargetFailed);
    return true;
}

// ---------------------------------------------------------------- folders and blocks

bool CabContext::readFolderRecord(uint16_t index, uint32_t& dataOffset, uint16_t& blockCount,
                                  uint16_t& type) {
    const size_t recordSize = kFolderRecordSize + folderReserveSize;
    const int64_t position = firstFolderPosition + int64_t(index) * int64_t(recordSize);
    if (!seekTo(dataHandle, position) || !readExact(dataHandle, folderRecord, recordSize))
        return false;
    dataOffset = ReadLe32(folderRecord);
    blockCount = ReadLe16(folderRecord + 4);
    type = ReadLe16(folderRecord + 6);
    return true;
}

bool CabContext::selectFolder(uint16_t index) {
    currentFolder = kNoFolder;
    uint32_t dataOffset = 0;
    uint16_t blockCount = 0, type = 0;
    if (!readFolderRecord(index, dataOffset, blockCount, type))
        return fail(kCabCorrupt);
    if (!selectMethod(type))
        return false;
    method->reset();
    if (!decryptFolder(index))
        return false;
    if (!seekTo(dataHandle, dataOffset))
        return fail(kCabCorrupt);
    blocksLeft = blockCount;
    outputStart = 0;
    outputSize = 0;
    writtenUpTo = 0;
    currentFolder = index;
    return true;
}

bool CabContext::decryptFolder(uint16_t index) {
    CabDecrypt record = decryptRecord(CabDecryptKind::NewFolder, folderRecord + kFolderRecordSize,
                                      folderReserveSize);
    record.folderIndex = index;
    return decrypt(record);
}

bool CabContext::selectMethod(uint16_t type) {
    if (method && type == currentType)
        return true;
    destroyMethod();
    const cab::MethodResult created = cab::CreateCabMethod(type, memory, processorType);
    if (!created.method)
        return fail(created.error);
    method = created.method;
    currentType = type;
    return true;
}

// A block whose uncompressed size is 0 is the first part of a block that the next
// cabinet completes; a folder whose blocks run out in the last folder of a cabinet
// with a successor goes on there too.
bool CabContext::decodeNextBlock() {
    if (blocksLeft == 0) {
        if (!continuesInNextCabinet())
            return fail(kCabCorrupt);
        if (!moveToNextCabinet())
            return false;
    }
    uint32_t inputSize = 0, uncompressedSize = 0;
    if (!readBlock(inputSize, uncompressedSize))
        return false;
    while (uncompressedSize == 0) {
        if (!moveToNextCabinet() || !readBlock(inputSize, uncompressedSize))
            return false;
    }
    if (!method->decompress(input, inputSize, output, uncompressedSize))
        return fail(kCabDecompressFailed);
    outputStart += outputSize;
    outputSize = uncompressedSize;
    return true;
}

// Reads one data block, appending its bytes to the inputSize bytes already held.
bool CabContext::readBlock(uint32_t& inputSize, uint32_t& uncompressedSize) {
    const size_t recordSize = kBlockRecordSize + blockReserveSize;
    if (blocksLeft == 0 || !readExact(dataHandle, blockRecord, recordSize))
        return fail(kCabCorrupt);
    const uint32_t checksum = ReadLe32(blockRecord);
    const uint32_t dataSize = ReadLe16(blockRecord + 4);
    const uint32_t decodedSize = ReadLe16(blockRecord + 6);
    const uint32_t capacity = cab::kMaxBlockSize + cab::CabInputMargin(uint16_t(currentType));
    if (inputSize + dataSize > capacity || decodedSize > cab::kMaxBlockSize)
        return fail(kCabCorrupt);
    uint8_t* data = input + inputSize;
    if (!readExact(dataHandle, data, dataSize))
        return fail(kCabCorrupt);
    if (checksum != 0 &&
        checksum != CabChecksum(blockRecord + 4, recordSize - 4, CabChecksum(data, dataSize, 0)))
        return fail(kCabCorrupt);

    CabDecrypt record =
        decryptRecord(CabDecryptKind::Block, blockRecord + kBlockRecordSize, blockReserveSize);
    record.folderIndex = currentFolder;
    record.data = data;
    record.dataSize = dataSize;
    record.split = decodedSize == 0;
    record.uncompressedSize = decodedSize;
    if (!decrypt(record))
        return false;
    inputSize += dataSize;
    uncompressedSize = decodedSize;
    --blocksLeft;
    return true;
}

// ---------------------------------------------------------------- the interface

CabContext* CabCreate(const CabCallbacks& callbacks, int processorType, CabError* error) {
    const cab::Memory memory(callbacks);
    auto* context = memory.make<CabContext>(callbacks, processorType, error);
    if (context) {
        context->input = static_cast<uint8_t*>(memory.allocate(kInputCapacity));
        context->output = static_cast<uint8_t*>(memory.allocate(cab::kMaxBlockSize));
        if (context->input && context->output)
            return context;
        CabDestroy(context);
    }
    if (error)
        *error = CabError{kCabOutOfMemory, 0, true};
    return nullptr;
}

bool CabDestroy(CabContext* context) {
    if (!context)
        return true;
    context->destroyMethod();
    context->closeCabinet();
    const cab::Memory memory = context->memory;
    memory.release(context->headerReserve);
    memory.release(context->input);
    memory.release(context->output);
    memory.destroy(context);
    return true;
}

bool CabIsCabinet(CabContext* context, CabHandle handle, CabCabinetInfo* info) {
    if (!context)
        return false;
    uint8_t bytes[kHeaderSize];
    if (!context->readExact(handle, bytes, kHeaderSize) || !HasSignature(bytes))
        return false;
    const Header header = ParseHeader(bytes);
    if (header.version != kVersion)
        return context->fail(kCabUnknownVersion, header.version);
    if (info) {
        info->cabinetSize = header.cabinetSize;
        info->folderCount = header.folderCount;
        info->fileCount = header.fileCount;
        info->setId = header.setId;
        info->cabinetIndex = header.cabinetIndex;
        info->hasReserve = header.flags & kFlagReserve;
        info->hasPrevious = header.flags & kFlagPrevious;
        info->hasNext = header.flags & kFlagNext;
    }
    return true;
}

bool CabCopy(CabContext* context, std::string_view cabinetName, std::string_view cabinetPath,
             int /*flags*/, CabNotifyFn notify, CabDecryptFn decrypt, void* user) {
    if (!context || !notify)
        return false;
    context->cabinetName = cabinetName;
    context->cabinetPath = cabinetPath;
    context->notifyFn = notify;
    context->decryptFn = decrypt;
    context->user = user;
    context->movedIntoCabinet = false;
    context->currentFolder = kNoFolder;
    context->writtenUpTo = 0;
    const bool finished = context->runCopy();
    context->closeCabinet();
    // The next run starts from a closed cabinet: no folder carries over.
    context->currentFolder = kNoFolder;
    return finished;
}

} // namespace tressel
