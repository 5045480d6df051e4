// Any bytes as an AVI or WAVE file: the structure walk, the INFO search and the stream
// values. The same bytes also go to the INFO search alone, as if they were INFO data.
#include "parse_check.h"
#include "readers/avi_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ParseAndCheck(&tressel::ParseAvi, data, size);
    tressel::InfoListTexts(bytes);
    return 0;
}
