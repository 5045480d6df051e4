// Feeds arbitrary bytes to the RealMedia parser.
#include "parse_check.h"
#include "readers/media/realmedia_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseAndCheck(&tressel::ParseRealMedia, data, size);
    return 0;
}
