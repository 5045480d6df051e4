// How much reading an AVI, WAVE or ASF file's information costs: the tagged test files,
// and a long recording, which must cost no more than a short one.
// links: tressel_readers
#include "readers/asf_reader.h"
#include "readers/avi_reader.h"
#include "readers/registry.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string Fixture(const char* name) {
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/../tests/fixtures/media/" + name;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// A copy of a test file under a new name.
std::string Copy(const char* name, const char* newName) {
    const std::string path = std::string("/tmp/tressel-bench-") + newName;
    std::ofstream(path, std::ios::binary) << ReadAll(Fixture(name));
    return path;
}

// A WAVE file of an hour and a quarter of CD audio (800 MB) with its INFO list after
// the data, as many recorders write it. The data is a hole: no disk space is used.
std::string LongWave() {
    const uint32_t dataBytes = 800u << 20;
    const std::string info = "LIST" + Le32(4 + 8 + 6) + "INFO" + "INAM" + Le32(6) + "Long.";
    const std::string format = std::string("fmt ") + Le32(16) + Le32(0x00020001) + Le32(44100) +
                               Le32(176400) + Le32(0x00100004);
    const std::string path = "/tmp/tressel-bench-long.wav";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "RIFF" << Le32(4 + format.size() + 8 + dataBytes + info.size()) << "WAVE" << format
        << "data" << Le32(dataBytes);
    out.seekp(dataBytes, std::ios::cur);
    out << info;
    return path;
}

template <class Reader> void ReadInformation(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        Reader reader(path, false);
        benchmark::DoNotOptimize(reader.extract(9));
    }
}

void BM_AviTagged(benchmark::State& state) {
    ReadInformation<tressel::CAviReader>(state, Fixture("info.avi"));
}
void BM_WaveTagged(benchmark::State& state) {
    ReadInformation<tressel::CAviReader>(state, Fixture("info.wav"));
}
void BM_WmaTagged(benchmark::State& state) {
    ReadInformation<tressel::CAsfReader>(state, Fixture("tags.wma"));
}

void BM_WaveLong(benchmark::State& state) {
    const std::string path = LongWave();
    ReadInformation<tressel::CAviReader>(state, path);
    unlink(path.c_str());
}

// The whole registry on a numbered WMV with Scan All: every reader before the ASF one
// looks at it first.
void BM_RegistryWmvScanAll(benchmark::State& state) {
    const std::string path = Copy("clip.wmv", "0A1B2C3D.bin");
    for (auto _ : state) {
        auto reader = tressel::CreateFileReader(path, true);
        benchmark::DoNotOptimize(reader->extract(9));
    }
    unlink(path.c_str());
}

} // namespace

BENCHMARK(BM_AviTagged);
BENCHMARK(BM_WaveTagged);
BENCHMARK(BM_WmaTagged);
BENCHMARK(BM_WaveLong);
BENCHMARK(BM_RegistryWmvScanAll);
BENCHMARK_MAIN();
