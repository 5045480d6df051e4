// Any bytes as an ASF header, read and turned into the reader's values.
#include "platform/byte_source.h"
#include "readers/asf_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tressel::MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto read = tressel::ParseAsf(source, {9, true});
    // One label per value, whatever the bytes.
    if (read.labels.size() != read.values.size())
        __builtin_trap();
    return 0;
}
