// links: tressel_readers
// Quantum decoding throughput of the cabinet engine on a cabinet of about 50 MB of
// varied text, beside cabextract -t on the same cabinet. No Quantum compressor is
// packaged, so the test encoder (hash-chain matches, 21-bit window) makes the cabinet on
// the first run, under $TMPDIR/tressel-bench-quantum/, where later runs find it.
#include "../tests/readers/cabinet/quantum_encoder.h"

#include "readers/cabinet/cab_io.h"
#include "readers/cabinet/cabinet.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tressel;
namespace fs = std::filesystem;

constexpr unsigned kWindowBits = 21;
constexpr size_t kMemberCount = 10;
constexpr size_t kMemberSize = 5'000'000;

// Made-up words of two to four syllables, drawn with a Zipf-like skew, in sentences and
// paragraphs with numbers, names and the odd repeated heading.
class TextMaker {
public:
    explicit TextMaker(unsigned seed) : m_random(seed) {
        static const char* const syllables[] = {"ka",  "ri", "mo",  "ten", "sa",  "lu", "ve",
                                                "dor", "an", "pel", "is",  "qua", "nt", "er",
                                                "ob",  "st", "ing", "al",  "ex",  "ur"};
        for (int i = 0; i < 6000; ++i) {
            std::string word;
            for (unsigned n = 2 + m_random() % 3; n > 0; --n)
                word += syllables[m_random() % std::size(syllables)];
            m_words.push_back(word);
        }
    }

    std::string text(size_t size) {
        std::string out;
        out.reserve(size + 256);
        std::geometric_distribution<size_t> rank(0.004);
        while (out.size() < size) {
            if (m_random() % 400 == 0)
                out += "\n== Chapter " + std::to_string(m_random() % 50) + " ==\n\n";
            std::string sentence = m_words[rank(m_random) % m_words.size()];
            sentence[0] = char(sentence[0] - 'a' + 'A');
            for (unsigned n = 3 + m_random() % 12; n > 0; --n) {
                const unsigned r = m_random() % 40;
                sentence += r == 0 ? " " + std::to_string(m_random() % 10000) : r == 1 ? ", " : " ";
                sentence += m_words[rank(m_random) % m_words.size()];
            }
            out += sentence + (m_random() % 6 ? ". " : ".\n");
        }
        out.resize(size);
        return out;
    }

private:
    std::mt19937 m_random;
    std::vector<std::string> m_words;
};

std::string Folder() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/tressel-bench-quantum/";
}

std::string CabinetPath() {
    return Folder() + "text.cab";
}

// The cabinet's bytes, made and saved when missing.
const std::string& TextCabinet() {
    static const std::string bytes = [] {
        if (fs::exists(CabinetPath())) {
            std::ifstream in(CabinetPath(), std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        }
        TextMaker maker(1996);
        std::vector<std::pair<std::string, std::string>> members;
        for (size_t i = 0; i < kMemberCount; ++i)
            members.push_back({"part" + std::to_string(i) + ".txt", maker.text(kMemberSize)});
        test::cab::Cabinet cab;
        test::quantum::AddQuantumFolder(cab, kWindowBits, members);
        std::string made = test::cab::Build(cab);
        fs::create_directories(Folder());
        std::ofstream(CabinetPath() + ".part", std::ios::binary) << made;
        fs::rename(CabinetPath() + ".part", CabinetPath());
        return made;
    }();
    return bytes;
}

struct Client {
    CabMemoryFiles files;
    int64_t bytes = 0;
};

intptr_t Discard(CabNotify kind, CabNotification& record) {
    auto* client = static_cast<Client*>(record.user);
    if (kind == CabNotify::CopyFile) {
        client->bytes += record.size;
        return client->files.createOutput(true);
    }
    if (kind == CabNotify::CloseFile) {
        const CabCallbacks io = client->files.callbacks();
        return io.close(io.context, record.handle) == 0 ? 1 : 0;
    }
    return 0;
}

// The engine reads the cabinet from memory and drops what it decodes.
void BM_QuantumDecode(benchmark::State& state) {
    Client client;
    client.files.add("text.cab", TextCabinet());
    CabError error;
    CabContext* engine = CabCreate(client.files.callbacks(), 1, &error);
    for (auto _ : state) {
        if (!CabCopy(engine, "text.cab", "", 0, Discard, nullptr, &client))
            state.SkipWithError("the cabinet did not decode");
    }
    CabDestroy(engine);
    state.SetBytesProcessed(client.bytes);
    state.counters["ratio"] = double(TextCabinet().size()) / double(kMemberCount * kMemberSize);
}
BENCHMARK(BM_QuantumDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QuantumCabextractTest(benchmark::State& state) {
    TextCabinet();
    const std::string command = "cabextract -q -t '" + CabinetPath() + "' >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cabextract failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kMemberCount * kMemberSize));
}
BENCHMARK(BM_QuantumCabextractTest)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
