#include "isolated_settings.h"
#include "settings/settings_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QSettings>

#include <cstdlib>

namespace tressel {
namespace {

// Every case gets its own settings file through XDG_CONFIG_HOME.
class SettingsTest : public ::testing::Test {
protected:
    // What another process would read from the file.
    QVariant onDisk(const QString& keyPath) {
        SettingsStore::instance().sync();
        QSettings file(SettingsStore::instance().fileName(), QSettings::IniFormat);
        return file.value(keyPath);
    }

    test::IsolatedSettings settings;
};

TEST_F(SettingsTest, LivesUnderXdgConfigHome) {
    EXPECT_EQ(SettingsStore::instance().fileName().toStdString(),
              settings.home() + "TresselUtil/TresselUtil.conf");
}

TEST_F(SettingsTest, ValuesOfTheThreeTypesRoundTripAndAbsentOnesReadTheirDefault) {
    auto& store = SettingsStore::instance();
    EXPECT_EQ(store.readInt("Settings", "ListWidth", 300), 300);
    EXPECT_EQ(store.readString("Settings", "X", "dflt"), "dflt");
    EXPECT_FALSE(store.readBinary("Settings", "WP").has_value());

    store.writeInt("Settings", "ListWidth", 512);
    store.writeString("Recent File List", "File1", "/sat/");
    const QByteArray blob("\x2c\x00\x00\x00\xff", 5);
    store.writeBinary("Settings", "WP", blob);
    SettingsStore::reset();

    auto& again = SettingsStore::instance();
    EXPECT_EQ(again.readInt("Settings", "ListWidth", 300), 512);
    EXPECT_EQ(again.readString("Recent File List", "File1"), "/sat/");
    EXPECT_EQ(again.readBinary("Settings", "WP").value(), blob);
}

TEST_F(SettingsTest, SectionsDifferingOnlyInCaseAreSeparate) {
    auto& store = SettingsStore::instance();
    store.writeInt("Settings", "A", 1);
    store.writeInt("settings", "A", 2);
    SettingsStore::reset();
    EXPECT_EQ(SettingsStore::instance().readInt("Settings", "A", 0), 1);
    EXPECT_EQ(SettingsStore::instance().readInt("settings", "A", 0), 2);
}

TEST_F(SettingsTest, FlagIsOnOnlyForOneAndIsWrittenBackAsZeroOrOne) {
    auto& store = SettingsStore::instance();
    store.writeInt("Settings", "ScanAll", 2);
    {
        CPersistentFlag flag("Settings", "ScanAll", true);
        EXPECT_FALSE(flag.value());
    }
    EXPECT_EQ(onDisk("Settings/ScanAll").toInt(), 0);
    {
        CPersistentFlag flag("Settings", "Fresh", true);
        EXPECT_TRUE(flag.value());
        flag.set(false);
    }
    EXPECT_EQ(onDisk("Settings/Fresh").toInt(), 0);
    {
        CPersistentFlag flag("Settings", "Fresh", true);
        EXPECT_FALSE(flag.value());
    }
}

TEST_F(SettingsTest, HistorySkipsGapsAndRemovesKeysBeyondItsEntries) {
    auto& store = SettingsStore::instance();
    store.writeString("MoveToHistory", "0", "/in");
    store.writeString("MoveToHistory", "1", "");
    store.writeString("MoveToHistory", "2", "/out");
    {
        CPersistentHistory history("MoveToHistory", 10);
        EXPECT_EQ(history.entries(), QStringList({"/in", "/out"}));
    }
    EXPECT_EQ(onDisk("MoveToHistory/0").toString(), "/in");
    EXPECT_EQ(onDisk("MoveToHistory/1").toString(), "/out");
    EXPECT_FALSE(onDisk("MoveToHistory/2").isValid());
    {
        CPersistentHistory history("MoveToHistory", 10);
        history.entries().removeFirst();
    }
    CPersistentHistory restarted("MoveToHistory", 10);
    EXPECT_EQ(restarted.entries(), QStringList({"/out"}));
}

TEST_F(SettingsTest, RemoveAllMakesEveryOptionReadItsDefault) {
    auto& store = SettingsStore::instance();
    store.writeInt("Settings", "ScanAll", 1);
    store.writeString("FindHistory", "0", "setup");
    store.removeAll();
    EXPECT_EQ(store.readInt("Settings", "ScanAll", 0), 0);
    EXPECT_TRUE(store.readString("FindHistory", "0").isEmpty());
    SettingsStore::reset();
    EXPECT_EQ(SettingsStore::instance().readInt("Settings", "ScanAll", 0), 0);
}

TEST_F(SettingsTest, ReadOnlyStoreIgnoresEveryWrite) {
    auto& store = SettingsStore::instance();
    store.writeInt("Settings", "ScanAll", 1);
    store.setReadOnly(true);
    store.writeInt("Settings", "ScanAll", 0);
    store.writeString("FindHistory", "0", "x");
    store.removeAll();
    {
        CPersistentFlag flag("Settings", "ScanAll", false);
        flag.set(false);
    }
    store.setReadOnly(false);
    SettingsStore::reset();
    EXPECT_EQ(SettingsStore::instance().readInt("Settings", "ScanAll", 0), 1);
    EXPECT_TRUE(SettingsStore::instance().readString("FindHistory", "0").isEmpty());
}

} // namespace
} // namespace tressel
