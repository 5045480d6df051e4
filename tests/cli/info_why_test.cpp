#include "cli/cli.h"
#include "isolated_settings.h"
#include "platform/byte_source.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tressel::cli {
namespace {

using test::ReadWholeFile;
using test::SourcePath;
using Lines = std::vector<std::string>;

std::string Fixture(const std::string& name) {
    return ReadWholeFile(SourcePath("tests/fixtures/" + name));
}

// An executable whose optional header names a kind of image we do not read (a ROM image).
std::string RomImage() {
    std::string bytes = Fixture("exe/us_english.exe");
    const size_t optionalHeader = ReadLe32(bytes.data() + 0x3C) + 24;
    bytes[optionalHeader] = 0x07;
    bytes[optionalHeader + 1] = 0x01;
    return bytes;
}

// The first pass's readers, in order, each with its answer; unnamed ones filtered out.
Lines FirstPass(const std::string& name, const std::map<std::string, std::string>& answers) {
    Lines lines;
    for (const char* reader :
         {"exe", "rm", "rar", "zip", "ace", "cab", "mp3", "html", "avi", "asf", "pdf", "ogg"}) {
        const auto found = answers.find(reader);
        lines.push_back(name + "\t1\t" + reader + "\t" +
                        (found == answers.end() ? "extension filtered out" : found->second));
    }
    return lines;
}

// The output lines grouped by the name they start with.
std::map<std::string, Lines> ByName(const std::string& output) {
    std::map<std::string, Lines> groups;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        groups[line.substr(0, line.find('\t'))].push_back(line);
    return groups;
}

class InfoWhy : public ::testing::Test {
protected:
    test::IsolatedSettings settings;
    test::TempDir sat;
};

TEST_F(InfoWhy, OneLinePerReaderTriedWithItsAnswer) {
    sat.write("a.exe", Fixture("exe/us_english.exe"));
    sat.write("b.bin", "nothing to see here");
    sat.write("c.ogg", "not an Ogg stream");
    sat.write("d.exe", "MZ but nothing more");
    sat.write("e.exe", Fixture("exe/no_version.exe"));
    sat.write("f.exe", RomImage());
    ASSERT_EQ(::mkfifo(sat.file("g.ogg").c_str(), 0600), 0);
    sat.mkdir("h");
    std::ostringstream out, err;
    ASSERT_EQ(cli::Run({"info", "--why", sat.path()}, out, err), 0) << err.str();

    const std::map<std::string, Lines> expected = {
        {"a.exe", {"a.exe\t1\texe\taccepted"}},
        {"b.bin", FirstPass("b.bin", {})},
        {"c.ogg", FirstPass("c.ogg", {{"ogg", "not this format"}})},
        {"d.exe", FirstPass("d.exe", {{"exe", "truncated header"},
                                      {"rar", "not this format"},
                                      {"zip", "not this format"},
                                      {"ace", "not this format"},
                                      {"cab", "not this format"}})},
        {"e.exe", FirstPass("e.exe", {{"exe", "no version resource"},
                                      {"rar", "not this format"},
                                      {"zip", "not this format"},
                                      {"ace", "not this format"},
                                      {"cab", "not this format"}})},
        {"f.exe", FirstPass("f.exe", {{"exe", "unsupported version"},
                                      {"rar", "not this format"},
                                      {"zip", "not this format"},
                                      {"ace", "not this format"},
                                      {"cab", "not this format"}})},
        {"g.ogg", {"g.ogg\t-\t-\tnot a regular file"}},
        {"h", {"h\t-\t-\tfolder, never read"}},
    };
    EXPECT_EQ(ByName(out.str()), expected) << out.str();
}

// Runs the command as an ordinary user (root reads any file), returning its output.
std::string RunUnprivileged(const Args& args) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "<no pipe>";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        std::ostringstream out, err;
        cli::Run(args, out, err);
        const std::string text = out.str();
        const bool written =
            ::write(pipeEnds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 4);
    }
    ::close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "<child failed>";
}

TEST_F(InfoWhy, AFileThatCannotBeOpenedIsSaidSoByEveryReaderOfBothPasses) {
    const std::string path = sat.write("0A.exe", Fixture("exe/us_english.exe"));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    ASSERT_EQ(::chmod(sat.path().c_str(), 0711), 0); // the file can be looked at, not read
    std::istringstream lines(RunUnprivileged({"info", "--why", "--scan-all", path}));
    Lines got;
    for (std::string line; std::getline(lines, line);)
        got.push_back(line.substr(path.size()));
    const size_t perPass = DefaultReaderTable().firstPass.size();
    ASSERT_EQ(got.size(), 2 * perPass) << lines.str();
    // The first pass opens the file for the readers whose list holds "exe" only.
    for (size_t i = 0; i < got.size(); ++i) {
        const bool opened = i >= perPass || got[i].find("\texe\t") != std::string::npos ||
                            got[i].find("\trar\t") != std::string::npos ||
                            got[i].find("\tzip\t") != std::string::npos ||
                            got[i].find("\tace\t") != std::string::npos ||
                            got[i].find("\tcab\t") != std::string::npos;
        EXPECT_NE(got[i].find(opened ? "cannot be opened" : "extension filtered out"),
                  std::string::npos)
            << got[i];
    }
    EXPECT_EQ(got[0], "\t1\texe\tcannot be opened");
    EXPECT_EQ(got[perPass], "\t2\texe\tcannot be opened");
    EXPECT_EQ(got.back(), "\t2\togg\tcannot be opened");
}

TEST_F(InfoWhy, DoesNotGoWithJson) {
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"info", "--why", "--json", sat.path()}, out, err), 2);
    EXPECT_TRUE(out.str().empty());
}

// `labels` in the JSON output: what each value of each format is, one per value (the
// reader tests give the values of the same files).
TEST_F(InfoWhy, JsonLabelsEveryValueOfEveryFormat) {
    const std::map<std::string, std::string> expected = {
        {"exe/us_english.exe",
         R"(["FileDescription", "ProductName", "OriginalFilename", "InternalName", )"
         R"("CompanyName", "LegalCopyright", "Comments", "FileVersion", "ProductVersion"])"},
        {"exe/wextract_title.exe",
         R"(["Package title", "ProductName", "OriginalFilename", "InternalName", )"
         R"("CompanyName", "LegalCopyright", "Comments", "FileVersion", "ProductVersion"])"},
        {"exe/payload.cab", R"(["Setup title", "Readme title", "Member", "Member"])"},
        {"media/id3v1-only.mp3", R"(["Title", "Album", "Year", "Comment"])"},
        {"media/tags.ogg", R"(["Title", "Artist", "Album", "Date", "Comment"])"},
        {"media/tags.rm", R"(["Author - Title", "Title", "Author", "Copyright", "Comment"])"},
        {"media/info.avi",
         R"(["Title", "Artist", "Subject", "Copyright", "Comment", "Video stream", )"
         R"("Video duration", "Frame size", "Audio stream", "Audio duration"])"},
        {"media/info.wav", R"(["Title", "Artist", "Copyright", "Comment", "Audio duration"])"},
        {"media/tags.wma",
         R"(["Title", "Author", "Album", "Copyright", "Year", "Duration", "Genre", )"
         R"("Description", "Lyrics", "Promotion URL"])"},
    };
    for (const auto& [fixture, labels] : expected) {
        const std::string path = sat.write(fixture.substr(fixture.find('/') + 1), Fixture(fixture));
        std::ostringstream out, err;
        ASSERT_EQ(cli::Run({"info", "--json", path}, out, err), 0) << err.str();
        const std::string line = out.str();
        EXPECT_NE(line.find("\"labels\": " + labels + ", \"columns\""), std::string::npos) << line;
    }
}

} // namespace
} // namespace tressel::cli
