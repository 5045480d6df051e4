// The data-block checksum: the block's 32-bit little-endian words combined by
// exclusive or, with the one to three bytes left over folded in first-byte-highest.

#include "readers/cabinet/cabinet.h"

#include "platform/byte_source.h"

namespace tressel {

uint32_t CabChecksum(const void* data, size_t size, uint32_t seed) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint32_t sum = seed;
    size_t i = 0;
    for (; i + 4 <= size; i += 4)
        sum ^= ReadLe32(bytes + i);
    uint32_t tail = 0;
    for (; i < size; ++i)
        tail = (tail << 8) | bytes[i];
    return sum ^ tail;
}

} // namespace tressel
