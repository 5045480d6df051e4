#pragma once

// What the window tests share: a settings store of their own per test, and a reader
// table whose one reader counts how often a file is read.

#include "isolated_settings.h"
#include "isolated_state.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

namespace tressel::test {

// Accepts files that start with "TST\n"; every following line is one value, led by its
// label and "@@" when it has one ("Artist@@Radio Tressel").
class CCountingReader : public CFileReader {
public:
    CCountingReader(const std::string& path, bool scanAll);
    static std::atomic<int> reads; // also counted on the reading threads
};

const ReaderTable& CountingReaderTable();

// The body of a file the counting reader accepts.
std::string ReadableContent(const std::string& firstValue, const std::string& secondValue = {});

// Runs the event loop until done() answers true or timeoutMs pass; answers done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Each test starts with an empty settings store and journal folder, a scratch folder and a read
// count of 0.
class GuiTest : public ::testing::Test {
protected:
    GuiTest() { CCountingReader::reads = 0; }

    IsolatedSettings settings;
    IsolatedState state; // undo journals
    TempDir folder;
};

} // namespace tressel::test
