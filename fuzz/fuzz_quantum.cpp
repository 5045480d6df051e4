// The Quantum decoder over arbitrary blocks. The first byte picks the window (10 to 21
// bits); then come blocks, each a 16-bit little-endian compressed size, a 16-bit
// uncompressed size (at most 32768 is used) and the compressed bytes. Blocks follow one
// another in one folder; after a failed block the decoder is reset, as the engine does
// at the next folder.

#include "readers/cabinet/cab_io.h"
#include "readers/cabinet/cab_method.h"

#include "platform/byte_source.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace tressel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    CabMemoryFiles files;
    const cab::Memory memory(files.callbacks());
    const unsigned windowBits = 10 + data[0] % 12;
    const cab::MethodResult created =
        cab::CreateCabMethod(uint16_t(2 | windowBits << 8), memory, 1);
    if (!created.method)
        __builtin_trap(); // every window of 10 to 21 bits is accepted
    std::vector<uint8_t> out(cab::kMaxBlockSize);
    size_t at = 1;
    while (at + 4 <= size) {
        const size_t inSize = std::min<size_t>(ReadLe16(data + at), size - at - 4);
        const size_t outSize = std::min<size_t>(ReadLe16(data + at + 2), cab::kMaxBlockSize);
        // A copy of exactly the block's bytes, so that ASan sees any read beyond them.
        const std::vector<uint8_t> in(data + at + 4, data + at + 4 + inSize);
        if (!created.method->decompress(in.data(), in.size(), out.data(), outSize))
            created.method->reset();
        at += 4 + inSize;
    }
    cab::DestroyCabMethod(created.method, memory);
    return 0;
}
