// links: tressel_readers
// MSZIP decoding throughput of the cabinet engine on a gcab -z cabinet of about 100 MB
// of varied text, beside cabextract -t on the same cabinet. The cabinet is made on the
// first run under $TMPDIR/tressel-bench-cabinet/ and kept there for later runs.
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

constexpr size_t kFileCount = 20;
constexpr size_t kFileSize = 5 << 20;

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
std::string TextCabinet() {
    const std::string folder = Folder();
    const std::string cabinet = folder + "text.cab";
    if (fs::exists(cabinet))
        return cabinet;
    fs::create_directories(folder + "in");
    std::mt19937 random(2024);
    const std::vector<std::string> words = Vocabulary(random);
    std::string names;
    for (size_t i = 0; i < kFileCount; ++i) {
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

void BM_MszipDecode(benchmark::State& state) {
    const std::string cabinet = TextCabinet();
    if (cabinet.empty()) {
        state.SkipWithError("gcab could not make the cabinet");
        return;
    }
    Sink sink;
    CabError error;
    CabContext* engine = CabCreate(sink.io, 1, &error);
    for (auto _ : state) {
        if (!CabCopy(engine, "text.cab", Folder(), 0, WriteToNull, nullptr, &sink))
            state.SkipWithError("the cabinet did not decode");
    }
    CabDestroy(engine);
    state.SetBytesProcessed(sink.bytes);
}
BENCHMARK(BM_MszipDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CabextractTest(benchmark::State& state) {
    const std::string cabinet = TextCabinet();
    if (cabinet.empty()) {
        state.SkipWithError("gcab could not make the cabinet");
        return;
    }
    const std::string command = "cabextract -q -t '" + cabinet + "' >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cabextract failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileCount * kFileSize));
}
BENCHMARK(BM_CabextractTest)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
