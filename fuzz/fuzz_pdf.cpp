// Feeds arbitrary bytes to the parser of the PDF reader.
#include "readers/pdf_reader.h"

#include "platform/text.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tressel::MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    const tressel::ReadResult reading = tressel::ParsePdf(source, {9, false});
    if (reading.labels.size() != reading.values.size() || reading.values.size() > 8)
        __builtin_trap();
    // Every value must be text the program can show.
    for (const std::string& value : reading.values)
        if (!tressel::IsValidUtf8(value))
            __builtin_trap();
    return 0;
}
