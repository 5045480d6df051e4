// The ACE library over arbitrary bytes: finding the main header, the comment, the
// member walk, and unpacking every member (stored and LZ77, solid or not) into a sink
// that counts. The bytes are also taken as a packed comment on their own.

#include "platform/ace/ace_archive.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tressel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ace::DecompressComment(bytes);
    MemorySource source(bytes);
    const std::optional<ace::Archive> archive = ace::FindArchive(source);
    if (!archive)
        return 0;
    const std::vector<ace::Member> members = ace::ListMembers(source, *archive, 64);
    ace::Extractor extractor(source, members, archive->solid());
    for (size_t i = 0; i < members.size(); ++i) {
        uint64_t got = 0;
        const ace::Status status = extractor.extract(i, [&got](const uint8_t*, size_t n) {
            got += n;
            return got <= (1u << 24); // a sink may refuse, as a full disk does
        });
        // Whatever succeeds hands over exactly the stated size.
        if (status == ace::Status::Ok && got != members[i].size && !members[i].directory())
            __builtin_trap();
    }
    return 0;
}
