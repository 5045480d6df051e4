#pragma once

// The cabinet engine: tests Microsoft Cabinet files (signature "MSCF", version 1.3)
// and copies their members out. The client supplies memory and file callbacks at
// creation and a notification callback per copy run; the engine calls back once per
// member, and the client decides where (and whether) each member is written.
//
// All I/O goes through the callbacks, so the same engine reads files, memory and fuzz
// input. Every callback receives the client's context pointer: nothing is process-wide,
// and several engines may work at once on different threads.

#include <cstdint>
#include <string>
#include <string_view>

namespace tressel {

// A descriptor as the client's open callback hands it out; -1 is none or failure.
using CabHandle = intptr_t;

struct CabCallbacks {
    void* context = nullptr;                                   // handed back to every callback
    void* (*allocate)(void* context, uint32_t size) = nullptr; // null when out of memory
    void (*release)(void* context, void* block) = nullptr;
    // flags and mode as for POSIX open(); the engine itself opens with O_RDONLY.
    CabHandle (*open)(void* context, const char* path, int flags, int mode) = nullptr;
    // Bytes transferred (fewer only at the end of a file), or -1.
    int64_t (*read)(void* context, CabHandle handle, void* buffer, uint32_t size) = nullptr;
    int64_t (*write)(void* context, CabHandle handle, const void* buffer, uint32_t size) = nullptr;
    int (*close)(void* context, CabHandle handle) = nullptr; // 0 on success
    // origin is SEEK_SET, SEEK_CUR or SEEK_END; returns the new position, or -1.
    int64_t (*seek)(void* context, CabHandle handle, int64_t offset, int origin) = nullptr;
};

enum CabErrorCode : int {
    kCabOk = 0,
    kCabCannotOpen = 1,
    kCabNotACabinet = 2,
    kCabUnknownVersion = 3,
    kCabCorrupt = 4,
    kCabOutOfMemory = 5,
    kCabUnsupportedType = 6,
    kCabDecompressFailed = 7,
    kCabTargetFailed = 8,
    kCabReserveMismatch = 9,
    kCabWrongCabinet = 10,
    kCabAborted = 11,
};

// The client's error record; the engine fills it whenever an operation fails.
struct CabError {
    int code = kCabOk;
    int detail = 0;      // for kCabUnknownVersion: the version word found
    bool failed = false; // set whenever a code is stored
};

// What the 36-byte cabinet header says.
struct CabCabinetInfo {
    uint32_t cabinetSize = 0;
    uint16_t folderCount = 0;
    uint16_t fileCount = 0;
    uint16_t setId = 0;
    uint16_t cabinetIndex = 0;
    bool hasReserve = false;
    bool hasPrevious = false;
    bool hasNext = false;
};

// Member folder numbers with a meaning of their own.
inline constexpr uint16_t kCabContinuedFromPrevious = 0xFFFD;
inline constexpr uint16_t kCabContinuedToNext = 0xFFFE;
inline constexpr uint16_t kCabContinuedBoth = 0xFFFF;

// Member attributes.
inline constexpr uint16_t kCabAttributeReadOnly = 0x01;
inline constexpr uint16_t kCabAttributeRunAfterExtraction = 0x40;
inline constexpr uint16_t kCabAttributeUtf8Name = 0x80;

// Notification kinds, with the answers each one takes (every kind: -1 aborts the run).
enum class CabNotify : int {
    CabinetInfo = 0, // a cabinet's header has been read
    PartialFile = 1, // a member begun in a previous cabinet that this run did not read
    CopyFile = 2,    // answer 0 to skip the member, or a descriptor to write it to; when
                     // the run fails before CloseFile, the engine closes that descriptor
    CloseFile = 3,   // the member is written: answer 0 for failure, else success
    NextCabinet = 4, // a folder continues in the next cabinet: answer anything but -1
                     // to have it opened (path may be rewritten first)
    Enumerate = 5,   // before the first member and when the members run out: size and
                     // folderIndex may be changed to move the walk
};

struct CabNotification {
    // CopyFile, PartialFile: the member's size; Enumerate: the file position of the
    // next file record; CloseFile: 1 for a member to run after extraction.
    int64_t size = 0;
    // Member kinds: the member's name (may hold directories). CabinetInfo,
    // NextCabinet: the next cabinet's name.
    const char* name = nullptr;
    const char* nextDisk = nullptr; // CabinetInfo, NextCabinet: the next disk's name
    std::string* path = nullptr;    // CabinetInfo, NextCabinet: the cabinet directory
    void* user = nullptr;
    CabHandle handle = -1; // CloseFile: the descriptor the member was written to
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attributes = 0;
    uint16_t setId = 0;
    uint16_t cabinetIndex = 0; // NextCabinet: the index expected of the next cabinet
    uint16_t folderIndex = 0;  // CopyFile: the member's folder; Enumerate: members left
    int lastError = kCabOk;    // NextCabinet: why the previous attempt failed
};
using CabNotifyFn = intptr_t (*)(CabNotify kind, CabNotification& record);

enum class CabDecryptKind : int { NewCabinet, NewFolder, Block };

// Handed to the decryption callback before data is decoded.
struct CabDecrypt {
    CabDecryptKind kind = CabDecryptKind::NewCabinet;
    void* user = nullptr;
    uint8_t* reserve = nullptr; // the header's, folder's or block's reserve area
    uint32_t reserveSize = 0;
    uint16_t setId = 0;
    uint16_t cabinetIndex = 0;
    uint16_t folderIndex = 0;
    uint8_t* data = nullptr; // Block: the compressed bytes, decrypted in place
    uint32_t dataSize = 0;
    bool split = false;            // Block: the first part of a block the next cabinet ends
    uint32_t uncompressedSize = 0; // Block
};
using CabDecryptFn = int (*)(CabDecrypt& record); // -1 aborts the run

struct CabContext;

// A new engine, allocated through the callbacks; null with kCabOutOfMemory in error
// when memory is refused. error must outlive the engine.
CabContext* CabCreate(const CabCallbacks& callbacks, int processorType, CabError* error);
// Closes what is open, frees everything through the callbacks. Always true.
bool CabDestroy(CabContext* context);
// Reads 36 bytes from the handle's current position: true for a cabinet header of
// version 1.3 (info filled), false otherwise; an other version stores
// kCabUnknownVersion. The handle is left after the bytes read.
bool CabIsCabinet(CabContext* context, CabHandle handle, CabCabinetInfo* info);
// Walks the members of cabinetPath + cabinetName and notifies for each; true when the
// walk finished, false on an error (its code in the error record). flags is unused.
bool CabCopy(CabContext* context, std::string_view cabinetName, std::string_view cabinetPath,
             int flags, CabNotifyFn notify, CabDecryptFn decrypt, void* user);

// The format's data-block checksum over size bytes, seeded.
uint32_t CabChecksum(const void* data, size_t size, uint32_t seed);

} // namespace tressel
