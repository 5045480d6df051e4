// Feeds arbitrary bytes to the parser of the ogg reader.
#include "readers/media/ogg_reader.h"

#include "platform/text.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tressel::MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    const tressel::ReadResult reading = tressel::ParseOgg(source, {9, true});
    if (reading.labels.size() != reading.values.size())
        __builtin_trap();
    // Every value must be text the program can show.
    for (const std::string& value : reading.values)
        if (!tressel::IsValidUtf8(value))
            __builtin_trap();
    return 0;
}
