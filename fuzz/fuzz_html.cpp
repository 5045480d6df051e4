// Feeds arbitrary bytes to the web page title parser.
#include "parse_check.h"
#include "readers/html_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseAndCheck(&tressel::ParseHtml, data, size);
    return 0;
}
