// Feeds arbitrary bytes to the PDF information parser.
#include "parse_check.h"
#include "readers/pdf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseAndCheck(&tressel::ParsePdf, data, size);
    return 0;
}
