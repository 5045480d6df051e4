// Any bytes as an ASF header, read and turned into the reader's values.
#include "platform/asf/asf_header.h"
#include "platform/byte_source.h"
#include "readers/asf_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tressel::MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    if (auto header = tressel::asf::AsfHeader::read(source))
        tressel::ReadAsfValues(*header);
    return 0;
}
