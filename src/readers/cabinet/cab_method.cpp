#include "readers/cabinet/cab_method.h"

namespace tressel::cab {
namespace {

enum MethodType : unsigned { kStored = 0, kMszip = 1, kQuantum = 2, kLzx = 3 };

unsigned MethodOf(uint16_t compressionType) {
    return compressionType & 0x0F;
}
unsigned ParameterOf(uint16_t compressionType) {
    return (compressionType >> 8) & 0x1F;
}

} // namespace

MethodResult CreateCabMethod(uint16_t compressionType, const Memory& memory, int processorType) {
    switch (MethodOf(compressionType)) {
    case kStored:
        return CreateStoredMethod(memory);
    case kMszip:
        return CreateMszipMethod(memory);
    case kQuantum:
        return CreateQuantumMethod(memory, ParameterOf(compressionType), processorType);
    case kLzx:
        return CreateLzxMethod(memory, ParameterOf(compressionType));
    default:
        return {nullptr, kCabUnsupportedType};
    }
}

void DestroyCabMethod(Method* method, const Memory& memory) {
    memory.destroy(method);
}

uint32_t CabInputMargin(uint16_t compressionType) {
    switch (MethodOf(compressionType)) {
    case kMszip:
        return 12;
    case kQuantum:
        return 10240;
    case kLzx:
        return 6144;
    default:
        return 0;
    }
}

} // namespace tressel::cab
