#pragma once

// Short answers to "why was nothing read from this file", shared by the format layers
// and the readers so that one cause reads the same everywhere. They are static texts:
// a refusal costs no allocation.

namespace tressel::failure {

inline constexpr char kNotThisFormat[] = "not this format";
inline constexpr char kTruncatedHeader[] = "truncated header";
inline constexpr char kDamagedHeader[] = "damaged header";
inline constexpr char kUnsupportedVersion[] = "unsupported version";
inline constexpr char kExtensionFilteredOut[] = "extension filtered out";
inline constexpr char kCannotOpen[] = "cannot be opened";
inline constexpr char kNotRegularFile[] = "not a regular file";

} // namespace tressel::failure
