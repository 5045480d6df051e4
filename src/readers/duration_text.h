#pragma once

#include <cstdint>
#include <string>

namespace tressel {

// A play time as the media readers show it: hours without leading zeros, then minutes
// and seconds as two digits each. 3725 seconds give "1:02:05".
std::string DurationText(uint64_t seconds);

} // namespace tressel
