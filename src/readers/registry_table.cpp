// The order in which readers are tried. Shared extensions ("exe" in the executable
// and every archive list, "avi" in the AVI and ASF lists) are settled by this order
// alone. Each reader takes its numbered place below.

#include "registry.h"

#include "asf_reader.h"
#include "avi_reader.h"

namespace tressel {

const ReaderTable& DefaultReaderTable() {
    static const ReaderTable table{
        // First pass, extension filter on:
        {
            // 1 executable version info
            // 2 RealMedia
            // 3 archives (RAR, ZIP, ACE, CAB)
            // 4 MP3
            // 5 HTML
            // 6 AVI / WAV
            &MakeReader<CAviReader>,
            // 7 ASF
            &MakeReader<CAsfReader>,
            // 8 PDF
            // 9 Ogg
        },
        // Second pass, Scan All only, filter off (RealMedia moves to sixth place):
        {
            // 1 executable version info
            // 2 archives
            // 3 MP3
            // 4 HTML
            // 5 AVI / WAV
            &MakeReader<CAviReader>,
            // 6 RealMedia
            // 7 ASF
            &MakeReader<CAsfReader>,
            // 8 PDF
            // 9 Ogg
        },
    };
    return table;
}

} // namespace tressel
