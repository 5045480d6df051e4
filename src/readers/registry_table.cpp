// The readers and the order in which they are tried. Shared extensions ("exe" in the
// executable and every archive list, "avi" in the AVI and ASF lists) are settled by
// this order alone. A new reader is one row here: its class and its place in each pass.

#include "asf_reader.h"
#include "avi_reader.h"
#include "exe_reader.h"
#include "media/mp3_reader.h"
#include "media/ogg_reader.h"
#include "media/realmedia_reader.h"
#include "registry.h"

namespace tressel {

const ReaderTable& DefaultReaderTable() {
    // Places: the first pass has the extension filter on, the second (Scan All only)
    // has it off, and RealMedia moves from second to sixth place there.
    // clang-format off
    static const ReaderTable table = TableFromRows({
        //  reader                          first  second
        {&MakeReader<CExeReader>,           1,     1},  // executable version info
        {&MakeReader<CRealMediaReader>,     2,     6},  // RealMedia
        //  archives (RAR, ZIP, ACE, CAB)   3      2
        {&MakeReader<CMp3Reader>,           4,     3},  // MP3
        //  HTML                            5      4
        {&MakeReader<CAviReader>,           6,     5},  // AVI, WAVE
        {&MakeReader<CAsfReader>,           7,     7},  // ASF, WMA, WMV
        //  PDF                             8      8
        {&MakeReader<COggReader>,           9,     9},  // Ogg
    });
    // clang-format on
    return table;
}

} // namespace tressel
