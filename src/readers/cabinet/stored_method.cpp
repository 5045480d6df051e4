// Stored folders: every block holds its bytes as they are.

#include "readers/cabinet/cab_method.h"

#include <cstring>

namespace tressel::cab {
namespace {

class StoredMethod final : public Method {
public:
    void reset() override {}
    bool decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override {
        if (inSize != outSize)
            return false;
        std::memcpy(out, in, inSize);
        return true;
    }
};

} // namespace

MethodResult CreateStoredMethod(const Memory& memory) {
    Method* method = memory.make<StoredMethod>();
    return {method, method ? kCabOk : kCabOutOfMemory};
}

} // namespace tressel::cab
