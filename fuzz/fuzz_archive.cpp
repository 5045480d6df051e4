// The archive readers over arbitrary bytes: finding a RAR, ZIP or ACE archive or a
// cabinet (also behind an executable), listing, and the title selection with its
// extractions and preview. The first byte picks the reader (0x08 set: ACE; else 0x04
// set: RAR; else bit 0: CAB or ZIP), so that all share one corpus of mutations.

#include "parse_check.h"
#include "readers/ace_reader.h"
#include "readers/cab_reader.h"
#include "readers/rar_reader.h"
#include "readers/zip_reader.h"

#include <cstddef>
#include <cstdint>

using namespace tressel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const ParseFunction parse = (data[0] & 8)   ? &ParseAce
                                : (data[0] & 4) ? &ParseRar
                                : (data[0] & 1) ? &ParseCab
                                                : &ParseZip;
    ParseAndCheck(parse, data + 1, size - 1);
    return 0;
}
