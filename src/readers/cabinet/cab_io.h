#pragma once

// Ready-made callbacks for the cabinet engine: heap memory with files on disk, and
// heap memory with files held in memory (for tests and fuzzing).

#include "readers/cabinet/cabinet.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

// malloc and free, POSIX files. Only regular files are opened for reading.
CabCallbacks CabFileCallbacks();

// Cabinets held in memory under names, and members written into memory. Handles are
// never 0, so any of them may answer a copy notification.
class CabMemoryFiles {
public:
    CabMemoryFiles() = default;
    CabMemoryFiles(const CabMemoryFiles&) = delete;
    CabMemoryFiles& operator=(const CabMemoryFiles&) = delete;

    // Copies the bytes; a file added again under the same path replaces the old one
    // for later opens only.
    void add(std::string path, std::string_view bytes) {
        m_files[std::move(path)] = std::make_shared<const std::string>(bytes);
    }
    // A handle whose writes collect in output(handle), or are dropped when discard is set.
    CabHandle createOutput(bool discard = false);
    const std::string& output(CabHandle handle) const;
    int openHandles() const;
    // Memory from the heap, refused once this many allocations have been made.
    void failAllocationsAfter(int count) { m_allocationsLeft = count; }
    CabCallbacks callbacks();

private:
    struct Open {
        bool input = true;
        bool discard = false;
        bool closed = false;
        std::shared_ptr<const std::string> bytes;
        uint64_t position = 0;
        std::string written;
    };
    Open* find(CabHandle handle);

    static void* allocate(void* self, uint32_t size);
    static void release(void* self, void* block);
    static CabHandle open(void* self, const char* path, int flags, int mode);
    static int64_t read(void* self, CabHandle handle, void* buffer, uint32_t size);
    static int64_t write(void* self, CabHandle handle, const void* buffer, uint32_t size);
    static int close(void* self, CabHandle handle);
    static int64_t seek(void* self, CabHandle handle, int64_t offset, int origin);

    std::map<std::string, std::shared_ptr<const std::string>, std::less<>> m_files;
    std::vector<Open> m_open; // handle h is m_open[h - 1]
    int m_allocationsLeft = -1;
};

} // namespace tressel
