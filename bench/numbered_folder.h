#pragma once

// A folder of 20,000 numbered files under the temporary directory, one in sixty an
// executable with a version resource and the rest unreadable, made afresh for the
// window benchmarks.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tressel::bench {

inline constexpr int kNumberedEntries = 20000;
inline constexpr int kExecutableEvery = 60;

// The folder's path with a trailing '/'.
inline std::string MakeNumberedFolder(const std::string& name) {
    namespace fs = std::filesystem;
    std::ifstream in(std::string(TRESSEL_BENCH_SOURCE_DIR) + "/tests/fixtures/exe/us_english.exe",
                     std::ios::binary);
    const std::string executable(std::istreambuf_iterator<char>(in), {});
    const fs::path folder = fs::temp_directory_path() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (int i = 0; i < kNumberedEntries; ++i) {
        char file[32];
        const bool exe = i % kExecutableEvery == 0;
        std::snprintf(file, sizeof file, "%08X.%s", 0x0A000000 + i, exe ? "exe" : "bin");
        std::ofstream(folder / file, std::ios::binary) << (exe ? executable : "not readable");
    }
    return folder.string() + "/";
}

} // namespace tressel::bench
