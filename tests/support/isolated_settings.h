#pragma once

// For tests of Qt-side code: points the settings store at a private, empty folder
// for the life of the object, so no test reads or writes the user's options.

#include "settings/settings_store.h"
#include "temp_dir.h"

#include <cstdlib>

namespace tressel::test {

class IsolatedSettings {
public:
    IsolatedSettings() {
        setenv("XDG_CONFIG_HOME", m_home.path().c_str(), 1);
        SettingsStore::reset();
    }
    ~IsolatedSettings() { SettingsStore::reset(); }
    IsolatedSettings(const IsolatedSettings&) = delete;
    IsolatedSettings& operator=(const IsolatedSettings&) = delete;

    const std::string& home() const { return m_home.path(); }

private:
    TempDir m_home;
};

} // namespace tressel::test
