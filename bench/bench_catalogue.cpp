// Opening a big folder and reading information from files no reader accepts.
// links: tressel_catalogue
//
// TRESSEL_BENCH_FOLDER names a folder of many entries (scripts/bench makes one of
// 100,000); without it a folder of 100,000 empty files is made in the temporary folder.

#include "catalogue/document.h"
#include "settings/settings_store.h"

#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string MakeFolder(const std::string& name, int count, const char* content) {
    const std::string folder = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "/%08X.bin", 0x0A000000 + i);
        const int fd = ::open((folder + file).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            if (content && ::write(fd, content, std::char_traits<char>::length(content)) < 0)
                std::perror("write");
            ::close(fd);
        }
    }
    return folder;
}

const std::string& BigFolder() {
    static const std::string folder = [] {
        const char* given = std::getenv("TRESSEL_BENCH_FOLDER");
        return given ? std::string(given) : MakeFolder("tressel-bench-100k", 100000, nullptr);
    }();
    return folder;
}

void BM_OpenFolder(benchmark::State& state) {
    tressel::CMarlockUtilDoc doc;
    int64_t entries = 0;
    for (auto _ : state) {
        doc.OpenFolderPath(BigFolder());
        entries += doc.GetRecordCount();
        benchmark::DoNotOptimize(doc.GetRecordCount());
    }
    state.counters["entries"] = static_cast<double>(doc.GetRecordCount());
    state.SetItemsProcessed(entries);
}
BENCHMARK(BM_OpenFolder)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_InformationOfUnrecognisedFiles(benchmark::State& state) {
    static const std::string folder =
        MakeFolder("tressel-bench-10k-unknown", 10000, "nothing any reader knows\n");
    tressel::CMarlockUtilDoc doc;
    doc.OpenFolderPath(folder);
    int64_t read = 0;
    for (auto _ : state) {
        for (int i = 0; i < doc.GetRecordCount(); ++i)
            benchmark::DoNotOptimize(doc.GetInformation(i));
        read += doc.GetRecordCount();
    }
    state.SetItemsProcessed(read);
}
BENCHMARK(BM_InformationOfUnrecognisedFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    tressel::bench::IsolateFromTheUser();
    return tressel::bench::RunBenchmarks(argc, argv);
}
