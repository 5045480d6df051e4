// The archive readers over arbitrary bytes: finding a ZIP or a cabinet (also behind an
// executable), listing, and the title selection with its extractions and preview. The
// first byte picks the reader, so that both share one corpus of mutations.

#include "platform/byte_source.h"
#include "readers/cab_reader.h"
#include "readers/zip_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tressel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    MemorySource source(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    const ReadRequest request{9, (data[0] & 2) != 0};
    const ReadResult read = (data[0] & 1) ? ParseCab(source, request) : ParseZip(source, request);
    // One label per value, and never more member names than asked for.
    if (read.labels.size() != read.values.size() || (!read.recognised && !read.values.empty()))
        __builtin_trap();
    return 0;
}
