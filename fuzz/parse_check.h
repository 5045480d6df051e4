#pragma once

// What every format parser owes any bytes: one label per value, and values the
// program can show (valid UTF-8). A broken promise stops the fuzzer.

#include "platform/text.h"
#include "readers/file_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

inline void ParseAndCheck(tressel::ParseFunction parse, const uint8_t* data, size_t size) {
    tressel::MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    const tressel::ReadResult result = parse(source, {9, true});
    if (result.labels.size() != result.values.size())
        __builtin_trap();
    for (const std::string& value : result.values)
        if (!tressel::IsValidUtf8(value))
            __builtin_trap();
}
