// links: tressel_readers
// What probing a song or a clip costs: the byte-window readers must stay cheap on
// large files, a cover picture ahead of the text frames included.
#include "platform/byte_source.h"
#include "readers/media/mp3_reader.h"
#include "readers/media/ogg_reader.h"
#include "readers/media/realmedia_reader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string Be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string Le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string Frame(const char* id, const std::string& data) {
    return id + Be32(static_cast<uint32_t>(data.size())) + std::string(2, '\0') + data;
}

// An ID3v2.3 tag with a 100 KB cover picture ahead of five text frames, then audio.
std::string Mp3WithCover() {
    std::string frames = Frame("APIC", std::string(100 * 1024, '\xAB'));
    for (const char* id : {"TIT2", "TPE1", "TYER", "TALB", "TCOP"})
        frames += Frame(id, std::string(1, '\0') + "Some text of " + id);
    frames += std::string(1024, '\0');
    const auto size = static_cast<uint32_t>(frames.size());
    const std::string header = {'I',
                                'D',
                                '3',
                                3,
                                0,
                                0,
                                char((size >> 21) & 0x7F),
                                char((size >> 14) & 0x7F),
                                char((size >> 7) & 0x7F),
                                char(size & 0x7F)};
    return header + frames + std::string(4 << 20, '\x55');
}

std::string OggWithComments() {
    std::string bytes = "OggS" + std::string(54, '\x01') + "OggS" + std::string(26, '\x02');
    bytes += std::string("\x03vorbis", 7) + Le32(4) + "xiph" + Le32(5);
    for (const char* field : {"title=Song", "artist=Band", "album=Album", "date=2001", "comment=x"})
        bytes += Le32(static_cast<uint32_t>(std::string(field).size())) + field;
    return bytes + std::string(4 << 20, '\x05');
}

// The content-description chunk late in the first window, so that two windows are read.
std::string RealMediaLateChunk() {
    std::string strings;
    for (const char* text : {"Title", "Author", "(C) 2004", "Comment"})
        strings += std::string{0, char(std::string(text).size())} + text;
    return std::string(900, '\x11') + "CONT" + Be32(static_cast<uint32_t>(10 + strings.size())) +
           std::string(2, '\0') + strings + std::string(4 << 20, '\x22');
}

using Parser = tressel::ParseFunction;

void ParseInMemory(benchmark::State& state, Parser parse, std::string (*make)()) {
    const std::string bytes = make();
    for (auto _ : state) {
        tressel::MemorySource source(bytes);
        benchmark::DoNotOptimize(parse(source, {9, false}));
    }
}

// The reader as the registry builds it, on a 4 MB file.
template <class Reader> void ReadFile(benchmark::State& state, std::string (*make)()) {
    char path[] = "/tmp/tressel-bench-XXXXXX";
    const int fd = mkstemp(path);
    const std::string bytes = make();
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        state.SkipWithError("cannot write the file");
        return;
    }
    close(fd);
    for (auto _ : state) {
        Reader reader(std::string(path), true);
        benchmark::DoNotOptimize(reader.values());
    }
    unlink(path);
}

void ReadMp3File(benchmark::State& state) {
    ReadFile<tressel::CMp3Reader>(state, &Mp3WithCover);
}
void ReadOggFile(benchmark::State& state) {
    ReadFile<tressel::COggReader>(state, &OggWithComments);
}
void ReadRealMediaFile(benchmark::State& state) {
    ReadFile<tressel::CRealMediaReader>(state, &RealMediaLateChunk);
}

} // namespace

BENCHMARK_CAPTURE(ParseInMemory, mp3_cover_100k, &tressel::ParseMp3, &Mp3WithCover);
BENCHMARK_CAPTURE(ParseInMemory, ogg, &tressel::ParseOgg, &OggWithComments);
BENCHMARK_CAPTURE(ParseInMemory, rm_late_chunk, &tressel::ParseRealMedia, &RealMediaLateChunk);
BENCHMARK(ReadMp3File);
BENCHMARK(ReadOggFile);
BENCHMARK(ReadRealMediaFile);

BENCHMARK_MAIN();
