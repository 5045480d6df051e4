// The archive readers over arbitrary bytes: finding a ZIP or a cabinet (also behind an
// executable), listing, and the title selection with its extractions and preview. The
// first byte picks the reader, so that both share one corpus of mutations.

#include "parse_check.h"
#include "readers/cab_reader.h"
#include "readers/zip_reader.h"

#include <cstddef>
#include <cstdint>

using namespace tressel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    ParseAndCheck((data[0] & 1) ? &ParseCab : &ParseZip, data + 1, size - 1);
    return 0;
}
