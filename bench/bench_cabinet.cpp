// links: tressel_readers
// Decoding throughput of the cabinet engine beside cabextract -t on the same cabinets:
// MSZIP on a gcab -z cabinet of about 100 MB of varied text, LZX on a cabinet of about
// 50 MB of varied text made by the tests' LZX encoder (hash-chain matches, window 2^21).
// The cabinets are made on the first run under $TMPDIR/tressel-bench-cabinet/ and kept
// there for later runs.
#include "../tests/readers/cabinet/lzx_encoder.h"
#include "readers/cabinet/cab_io.h"
#include "readers/cabinet/cabinet.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tressel;
namespace fs = std::filesystem;

constexpr size_t kFileSize = 5 << 20;
constexpr size_t kMszipFiles = 20;
constexpr size_t kLzxFiles = 10;

// Text with the statistics of prose: a vocabulary of a few thousand words drawn with a
// skewed frequency, numbers, punctuation and line breaks.
std::vector<std::string> Vocabulary(std::mt19937& random) {
    std::vector<std::string> words;
    for (int i = 0; i < 4000; ++i) {
        std::string word;
        const int length = 2 + int(random() % 9);
        for (int j = 0; j < length; ++j)
            word += char('a' + random() % 26);
        if (random() % 10 == 0)
            word[0] = char(word[0] - 'a' + 'A');
        words.push_back(word);
    }
    return words;
}

std::string VariedText(size_t size, std::mt19937& random, const std::vector<std::string>& words) {
    std::string text;
    text.reserve(size + 64);
    std::geometric_distribution<size_t> rank(0.002);
    while (text.size() < size) {
        text += words[rank(random) % words.size()];
        const unsigned r = random() % 100;
        if (r < 3)
            text += std::to_string(random() % 100000);
        text += r < 8 ? ", " : r < 12 ? ".\n" : r < 13 ? "\n\n" : " ";
    }
    text.resize(size);
    return text;
}

std::string Folder() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/tressel-bench-cabinet/";
}

// The cabinet's path, made when missing; empty when gcab failed.
std::string MszipCabinet() {
    const std::string folder = Folder();
    const std::string cabinet = folder + "text.cab";
    if (fs::exists(cabinet))
        return cabinet;
    fs::create_directories(folder + "in");
    std::mt19937 random(2024);
    const std::vector<std::string> words = Vocabulary(random);
    std::string names;
    for (size_t i = 0; i < kMszipFiles; ++i) {
        const std::string name = "text" + std::to_string(i) + ".txt";
        std::ofstream(folder + "in/" + name, std::ios::binary)
            << VariedText(kFileSize, random, words);
        names += " " + name;
    }
    const std::string command = "cd '" + folder + "in' && gcab -c -z ../text.cab.part" + names +
                                " && mv ../text.cab.part ../text.cab";
    const int status = std::system(command.c_str());
    fs::remove_all(folder + "in");
    return status == 0 ? cabinet : std::string();
}

std::string LzxCabinet() {
    const std::string folder = Folder();
    const std::string cabinet = folder + "lzx.cab";
    if (fs::exists(cabinet))
        return cabinet;
    fs::create_directories(folder);
    std::mt19937 random(2025);
    const std::vector<std::string> words = Vocabulary(random);
    test::cab::Cabinet cab;
    std::string data;
    for (size_t i = 0; i < kLzxFiles; ++i) {
        cab.members.push_back(
            {"text" + std::to_string(i) + ".txt", uint32_t(kFileSize), uint32_t(data.size()), 0});
        data += VariedText(kFileSize, random, words);
    }
    test::cab::LzxOptions options;
    options.windowBits = 21;
    options.blocks = {{test::cab::LzxBlock::Aligned, 1 << 20},
                      {test::cab::LzxBlock::Verbatim, 1 << 20}};
    options.chainDepth = 16;
    cab.folders = {{test::cab::LzxType(21), test::cab::LzxBlocks(data, options)}};
    std::ofstream(cabinet + ".part", std::ios::binary) << test::cab::Build(cab);
    fs::rename(cabinet + ".part", cabinet);
    return cabinet;
}

struct Sink {
    CabCallbacks io = CabFileCallbacks();
    int64_t bytes = 0;
};

intptr_t WriteToNull(CabNotify kind, CabNotification& record) {
    auto* sink = static_cast<Sink*>(record.user);
    if (kind == CabNotify::CopyFile) {
        sink->bytes += record.size;
        return sink->io.open(nullptr, "/dev/null", O_WRONLY, 0);
    }
    if (kind == CabNotify::CloseFile)
        return sink->io.close(nullptr, record.handle) == 0 ? 1 : 0;
    return 0;
}

void Decode(benchmark::State& state, const std::string& cabinet) {
    if (cabinet.empty()) {
        state.SkipWithError("the cabinet could not be made");
        return;
    }
    Sink sink;
    CabError error;
    CabContext* engine = CabCreate(sink.io, 1, &error);
    const std::string name = fs::path(cabinet).filename();
    for (auto _ : state) {
        if (!CabCopy(engine, name, Folder(), 0, WriteToNull, nullptr, &sink))
            state.SkipWithError("the cabinet did not decode");
    }
    CabDestroy(engine);
    state.SetBytesProcessed(sink.bytes);
}

void Cabextract(benchmark::State& state, const std::string& cabinet, size_t files) {
    if (cabinet.empty()) {
        state.SkipWithError("the cabinet could not be made");
        return;
    }
    const std::string command = "cabextract -q -t '" + cabinet + "' >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cabextract failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(files * kFileSize));
}

void BM_MszipDecode(benchmark::State& state) {
    Decode(state, MszipCabinet());
}
void BM_MszipCabextractTest(benchmark::State& state) {
    Cabextract(state, MszipCabinet(), kMszipFiles);
}
void BM_LzxDecode(benchmark::State& state) {
    Decode(state, LzxCabinet());
}
void BM_LzxCabextractTest(benchmark::State& state) {
    Cabextract(state, LzxCabinet(), kLzxFiles);
}
BENCHMARK(BM_MszipDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MszipCabextractTest)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LzxDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LzxCabextractTest)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
