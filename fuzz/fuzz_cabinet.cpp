// The cabinet engine over arbitrary bytes: the header test, then a copy run that writes
// every member it is offered. A second cabinet may follow the first (the first's stated
// size divides them); it is served under whatever name the first gives its successor,
// so that continued folders are followed too.

#include "readers/cabinet/cab_io.h"
#include "readers/cabinet/cabinet.h"

#include "platform/byte_source.h"

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace tressel;

namespace {

struct Client {
    CabMemoryFiles files;
    std::string_view second;
    int nextCabinetRequests = 0;
};

intptr_t Notify(CabNotify kind, CabNotification& record) {
    auto* client = static_cast<Client*>(record.user);
    switch (kind) {
    case CabNotify::CopyFile:
        // Every fifth member is skipped, so that skipping is covered too.
        return record.size % 5 == 4 ? 0 : client->files.createOutput(true);
    case CabNotify::CloseFile: {
        const CabCallbacks io = client->files.callbacks();
        io.close(io.context, record.handle);
        return 1;
    }
    case CabNotify::NextCabinet:
        if (++client->nextCabinetRequests > 3)
            return -1;
        client->files.add(*record.path + record.name, client->second);
        return 0;
    default:
        return 0;
    }
}

int Decrypt(CabDecrypt& record) {
    // Touch what the engine hands over, so that a wrong size shows under ASan.
    uint32_t sum = 0;
    for (uint32_t i = 0; i < record.reserveSize; ++i)
        sum += record.reserve[i];
    return record.dataSize && record.data[0] == 0xFF && sum == 0xFFFF ? -1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view first = input;
    Client client;
    if (size >= 12) {
        const uint32_t firstSize = ReadLe32(data + 8);
        if (firstSize >= 36 && firstSize < size) {
            first = input.substr(0, firstSize);
            client.second = input.substr(firstSize);
        }
    }
    client.files.add("in.cab", first);

    CabError error;
    const CabCallbacks io = client.files.callbacks();
    CabContext* engine = CabCreate(io, 1, &error);
    if (!engine)
        return 0;
    const CabHandle handle = io.open(io.context, "in.cab", O_RDONLY, 0);
    CabCabinetInfo info;
    const bool isCabinet = CabIsCabinet(engine, handle, &info);
    io.close(io.context, handle);
    if (isCabinet)
        (void)CabCopy(engine, "in.cab", "", 0, Notify, size % 2 ? Decrypt : nullptr, &client);
    CabDestroy(engine);
    // Every descriptor the engine opened is closed again, whatever happened.
    if (client.files.openHandles() != 0)
        __builtin_trap();
    return 0;
}
