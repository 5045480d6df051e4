#include "catalogue/document.h"
#include "platform/byte_source.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>

namespace tressel {
namespace {

std::mutex g_opensMutex;
std::map<std::string, int> g_opens;

void CountOpen(const std::string& path) {
    std::lock_guard lock(g_opensMutex);
    ++g_opens[path];
}

// Every sample and reader fixture: executables, archives (also inside executables),
// media, pages and PDFs.
std::vector<std::string> FilesOfEveryFormat() {
    std::vector<std::string> files;
    for (const char* folder : {"samples", "tests/fixtures"}) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(test::SourcePath(folder))) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && ext != ".md" && ext != ".sh" && ext != ".ts")
                files.push_back(entry.path().string());
        }
    }
    return files;
}

// However many readers look at a file, in one pass or both, and whatever they extract
// (archive members go to scratch files of their own), the file itself is opened once.
TEST(ReadCache, EveryFileIsOpenedOnceForAllTheReadersTried) {
    const std::vector<std::string> files = FilesOfEveryFormat();
    ASSERT_GT(files.size(), 50u);
    SetFileOpenObserver(&CountOpen);
    int recognised = 0;
    for (const std::string& file : files) {
        for (const bool scanAll : {false, true}) {
            g_opens.clear();
            recognised += CMarlockUtilDoc::ReadInformationOfPath(file, scanAll, true).recognised;
            EXPECT_EQ(g_opens[file], 1) << file << (scanAll ? " with" : " without") << " Scan All";
        }
    }
    SetFileOpenObserver(nullptr);
    EXPECT_GT(recognised, static_cast<int>(files.size())); // the readers did read them
}

} // namespace
} // namespace tressel
