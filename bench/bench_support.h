#pragma once

// What every benchmark of the Qt side needs before it runs: the user's settings and
// undo journals are never touched, and windows draw offscreen unless told otherwise.

#include "settings/settings_store.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tressel::bench {

inline void IsolateFromTheUser() {
    const std::string scratch = std::filesystem::temp_directory_path() / "tressel-bench-config";
    setenv("XDG_CONFIG_HOME", scratch.c_str(), 1);
    setenv("XDG_STATE_HOME", scratch.c_str(), 1);
    SettingsStore::instance().setReadOnly(true);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

inline int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace tressel::bench
