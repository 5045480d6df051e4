// Feeds arbitrary bytes to the MP3 tag parser.
#include "parse_check.h"
#include "readers/media/mp3_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseAndCheck(&tressel::ParseMp3, data, size);
    return 0;
}
