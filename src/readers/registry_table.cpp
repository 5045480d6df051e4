// The readers and the order in which they are tried. Shared extensions ("exe" in the
// executable and every archive list, "avi" in the AVI and ASF lists) are settled by
// this order alone. A new reader is one row here: its class and its place in each pass.

#include "ace_reader.h"
#include "asf_reader.h"
#include "avi_reader.h"
#include "cab_reader.h"
#include "exe_reader.h"
#include "html_reader.h"
#include "media/mp3_reader.h"
#include "media/ogg_reader.h"
#include "media/realmedia_reader.h"
#include "pdf_reader.h"
#include "rar_reader.h"
#include "registry.h"
#include "zip_reader.h"

namespace tressel {

const ReaderTable& DefaultReaderTable() {
    // Places: the first pass has the extension filter on, the second (Scan All only)
    // has it off, and RealMedia moves from second to sixth place there.
    // clang-format off
    static const ReaderTable table = TableFromRows({
        //  reader                          first  second
        {&MakeReader<CExeReader>,           1,     1},  // executable version info
        {&MakeReader<CRealMediaReader>,     2,     6},  // RealMedia
        // The archive step in the order RAR, ZIP, ACE, CAB. One row per archive reader
        // (rather than CreateArchiveReader as one row) gives the same answers, since
        // the archive step's unforced round in the second pass repeats what the first
        // pass found, and lets the trace name each archive reader.
        {&MakeReader<CRarReader>,           3,     2},  // RAR, also self-extracting
        {&MakeReader<CZipReader>,           3,     2},  // ZIP, also inside executables
        {&MakeReader<CAceReader>,           3,     2},  // ACE, also self-extracting
        {&MakeReader<CCabReader>,           3,     2},  // CAB, also inside executables
        {&MakeReader<CMp3Reader>,           4,     3},  // MP3
        {&MakeReader<CHtmlReader>,          5,     4},  // web pages
        {&MakeReader<CAviReader>,           6,     5},  // AVI, WAVE
        {&MakeReader<CAsfReader>,           7,     7},  // ASF, WMA, WMV
        {&MakeReader<CPdfReader>,           8,     8},  // PDF
        {&MakeReader<COggReader>,           9,     9},  // Ogg
    });
    // clang-format on
    return table;
}

} // namespace tressel
