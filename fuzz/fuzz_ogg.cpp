// Feeds arbitrary bytes to the Ogg comment parser.
#include "parse_check.h"
#include "readers/media/ogg_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseAndCheck(&tressel::ParseOgg, data, size);
    return 0;
}
