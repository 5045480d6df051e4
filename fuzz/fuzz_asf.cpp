// Any bytes as an ASF header, read and turned into the reader's values.
#include "parse_check.h"
#include "readers/asf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseAndCheck(&tressel::ParseAsf, data, size);
    return 0;
}
