// The order in which readers are tried. Shared extensions ("exe" in the executable
// and every archive list, "avi" in the AVI and ASF lists) are settled by this order
// alone. Each reader takes its numbered place below.

#include "asf_reader.h"
#include "avi_reader.h"
#include "exe_reader.h"
#include "media/mp3_reader.h"
#include "media/ogg_reader.h"
#include "media/realmedia_reader.h"
#include "registry.h"

namespace tressel {

const ReaderTable& DefaultReaderTable() {
    static const ReaderTable table{
        // First pass, extension filter on:
        {
            &MakeReader<CExeReader>,       // 1 executable version info
            &MakeReader<CRealMediaReader>, // 2 RealMedia
            // 3 archives (RAR, ZIP, ACE, CAB)
            &MakeReader<CMp3Reader>, // 4 MP3
            // 5 HTML
            &MakeReader<CAviReader>, // 6 AVI / WAV
            &MakeReader<CAsfReader>, // 7 ASF
            // 8 PDF
            &MakeReader<COggReader>, // 9 Ogg
        },
        // Second pass, Scan All only, filter off (RealMedia moves to sixth place):
        {
            &MakeReader<CExeReader>, // 1 executable version info
            // 2 archives
            &MakeReader<CMp3Reader>, // 3 MP3
            // 4 HTML
            &MakeReader<CAviReader>,       // 5 AVI / WAV
            &MakeReader<CRealMediaReader>, // 6 RealMedia
            &MakeReader<CAsfReader>,       // 7 ASF
            // 8 PDF
            &MakeReader<COggReader>, // 9 Ogg
        },
    };
    return table;
}

} // namespace tressel
