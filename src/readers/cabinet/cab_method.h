#pragma once

// The compression methods behind the cabinet engine. Each method lives in a file of its
// own and is reached only through CreateCabMethod; its state belongs to the engine that
// created it, so engines never share anything.

#include "readers/cabinet/cabinet.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace tressel::cab {

// The largest block a data record may decode to.
inline constexpr uint32_t kMaxBlockSize = 32768;

// Memory from the engine's client: everything the engine and its methods hold is
// allocated here, so the client sees (and may bound) all of it.
class Memory {
public:
    explicit Memory(const CabCallbacks& io) : m_io(io) {}

    void* allocate(size_t size) const {
        return size > UINT32_MAX ? nullptr : m_io.allocate(m_io.context, uint32_t(size));
    }
    void release(void* block) const {
        if (block)
            m_io.release(m_io.context, block);
    }

    template <class T, class... Args> T* make(Args&&... args) const {
        void* place = allocate(sizeof(T));
        return place ? new (place) T(std::forward<Args>(args)...) : nullptr;
    }
    template <class T> void destroy(T* object) const {
        if (object) {
            object->~T();
            release(object);
        }
    }

private:
    CabCallbacks m_io;
};

class Method {
public:
    virtual ~Method() = default;
    // Forgets the history: the next block starts a folder.
    virtual void reset() = 0;
    // Decodes one block of inSize bytes into exactly outSize bytes (at most
    // kMaxBlockSize); false when the data is bad or decodes to another size.
    virtual bool decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) = 0;
};

struct MethodResult {
    Method* method = nullptr;
    int error = kCabOk; // kCabOutOfMemory, kCabUnsupportedType or kCabDecompressFailed
};

// The method for a folder's compression type word (low 4 bits: the method; bits 8-12:
// its parameter). Destroy it with DestroyCabMethod.
MethodResult CreateCabMethod(uint16_t compressionType, const Memory& memory, int processorType);
void DestroyCabMethod(Method* method, const Memory& memory);
// How many bytes beyond kMaxBlockSize a compressed block of this type may take.
uint32_t CabInputMargin(uint16_t compressionType);
// The largest margin of any method: the engine's input buffer holds a block of any type.
inline constexpr uint32_t kMaxInputMargin = 10240;

// One factory per method file.
MethodResult CreateStoredMethod(const Memory& memory);
MethodResult CreateMszipMethod(const Memory& memory);
MethodResult CreateQuantumMethod(const Memory& memory, unsigned windowBits, int processorType);
MethodResult CreateLzxMethod(const Memory& memory, unsigned windowBits);

} // namespace tressel::cab
