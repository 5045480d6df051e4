// Quantum folders are not decoded yet: they are refused as an unsupported type.

#include "readers/cabinet/cab_method.h"

namespace tressel::cab {

MethodResult CreateQuantumMethod(const Memory&, unsigned, int) {
    return {nullptr, kCabUnsupportedType};
}

} // namespace tressel::cab
