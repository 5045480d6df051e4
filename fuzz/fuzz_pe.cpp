// The PE reader and the executable reader's extraction over arbitrary bytes: headers,
// section mapping, the resources the readers look up, the version block and the nine
// strings with the package title.

#include "parse_check.h"
#include "platform/byte_source.h"
#include "platform/pe/pe_image.h"
#include "platform/pe/version_info.h"
#include "readers/exe_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tressel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    if (const auto image = pe::PeImage::parse(source)) {
        (void)image->overlayStart();
        (void)image->hasOverlay();
        for (const pe::Section& section : image->sections())
            (void)image->rvaToFileOffset(uint64_t(section.virtualAddress) +
                                         section.sizeOfRawData / 2);
        for (const char* name : {"CABINET", "TITLE"}) {
            if (const auto resource = image->findResource(source, pe::kResourceTypeRcData, name))
                (void)pe::ReadResource(source, *resource, 4096);
        }
    }
    (void)pe::VersionInfoSize(source);
    ParseAndCheck(&ParseExe, data, size);
    // The block parser on its own, so that mutations reach it without a valid image.
    (void)pe::VersionInfo::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
