// MSZIP folders: each block is "CK" followed by Deflate data that may refer back into
// the 32 KiB decoded before it in the same folder. zlib inflates each block raw, with
// that history handed over as its dictionary.

#include "readers/cabinet/cab_method.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace tressel::cab {
namespace {

constexpr uint32_t kHistorySize = 32768;

void* ZlibAllocate(void* opaque, unsigned items, unsigned size) {
    const auto* memory = static_cast<const Memory*>(opaque);
    if (size != 0 && items > UINT32_MAX / size)
        return nullptr;
    return memory->allocate(size_t(items) * size);
}

void ZlibRelease(void* opaque, void* block) {
    static_cast<const Memory*>(opaque)->release(block);
}

class MszipMethod final : public Method {
public:
    explicit MszipMethod(const Memory& memory) : m_memory(memory) {}
    ~MszipMethod() override {
        if (m_streamReady)
            inflateEnd(&m_stream);
        m_memory.release(m_history);
    }
    MszipMethod(const MszipMethod&) = delete;
    MszipMethod& operator=(const MszipMethod&) = delete;

    bool init() {
        m_history = static_cast<uint8_t*>(m_memory.allocate(kHistorySize));
        m_stream.zalloc = ZlibAllocate;
        m_stream.zfree = ZlibRelease;
        m_stream.opaque = &m_memory;
        m_streamReady = m_history && inflateInit2(&m_stream, -MAX_WBITS) == Z_OK;
        return m_streamReady;
    }

    void reset() override { m_historySize = 0; }

    bool decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override {
        if (inSize < 2 || in[0] != 'C' || in[1] != 'K' || inflateReset(&m_stream) != Z_OK)
            return false;
        if (m_historySize && inflateSetDictionary(&m_stream, m_history, m_historySize) != Z_OK)
            return false;
        m_stream.next_in = const_cast<uint8_t*>(in + 2);
        m_stream.avail_in = static_cast<uInt>(inSize - 2);
        m_stream.next_out = out;
        m_stream.avail_out = static_cast<uInt>(outSize);
        const int result = inflate(&m_stream, Z_FINISH);
        // Each block's Deflate data ends with a final block, and exactly there the
        // stated size must be reached.
        if (result != Z_STREAM_END || m_stream.avail_out != 0)
            return false;
        remember(out, outSize);
        return true;
    }

private:
    void remember(const uint8_t* out, size_t size) {
        if (size >= kHistorySize) {
            std::memcpy(m_history, out + size - kHistorySize, kHistorySize);
            m_historySize = kHistorySize;
            return;
        }
        const size_t kept = std::min<size_t>(m_historySize, kHistorySize - size);
        std::memmove(m_history, m_history + m_historySize - kept, kept);
        std::memcpy(m_history + kept, out, size);
        m_historySize = uint32_t(kept + size);
    }

    Memory m_memory;
    z_stream m_stream{};
    bool m_streamReady = false;
    uint8_t* m_history = nullptr;
    uint32_t m_historySize = 0;
};

} // namespace

MethodResult CreateMszipMethod(const Memory& memory) {
    auto* method = memory.make<MszipMethod>(memory);
    if (!method || !method->init()) {
        memory.destroy(method);
        return {nullptr, kCabOutOfMemory};
    }
    return {method, kCabOk};
}

} // namespace tressel::cab
