// Feeds arbitrary bytes to the parser of the web page reader.
#include "readers/html_reader.h"

#include "platform/text.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tressel::MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    const tressel::ReadResult reading = tressel::ParseHtml(source, {9, false});
    if (reading.labels.size() != reading.values.size() || reading.values.size() > 1)
        __builtin_trap();
    if (!reading.values.empty() && !tressel::IsValidUtf8(reading.values[0]))
        __builtin_trap();
    return 0;
}
