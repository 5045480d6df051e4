#pragma once

// The program's settings store: an INI file under $XDG_CONFIG_HOME/TresselUtil/,
// grouped in sections holding integers, strings and binary blocks.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QSettings;

namespace tressel {

class SettingsStore {
public:
    // The process-wide store. Opened on first use; the location follows
    // XDG_CONFIG_HOME as it is when the store is first opened.
    static SettingsStore& instance();
    // Closes the process-wide store so that the next instance() reopens it (tests
    // change XDG_CONFIG_HOME between cases).
    static void reset();

    ~SettingsStore();

    int readInt(const QString& section, const QString& key, int defaultValue) const;
    void writeInt(const QString& section, const QString& key, int value);
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = {}) const;
    void writeString(const QString& section, const QString& key, const QString& value);
    std::optional<QByteArray> readBinary(const QString& section, const QString& key) const;
    void writeBinary(const QString& section, const QString& key, const QByteArray& bytes);
    void removeKey(const QString& section, const QString& key);

    // Deletes every section and key.
    void removeAll();
    // Writes pending changes to disk now.
    void sync();

    // A read-only store ignores every write (the command-line tool reads the user's
    // options but never changes them).
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }

    QString fileName() const;

private:
    SettingsStore();
    std::unique_ptr<QSettings> m_settings;
    bool m_readOnly = false;
};

// An on/off option: on exactly when the stored integer is 1; written back as 1 or 0
// when the owner is destroyed.
class CPersistentFlag {
public:
    CPersistentFlag(QString section, QString key, bool defaultValue);
    ~CPersistentFlag();
    CPersistentFlag(const CPersistentFlag&) = delete;
    CPersistentFlag& operator=(const CPersistentFlag&) = delete;

    bool value() const { return m_value; }
    void set(bool value) { m_value = value; }
    operator bool() const { return m_value; }

private:
    QString m_section;
    QString m_key;
    bool m_value;
};

// A list of texts stored under keys "0", "1", ... of one section (each led by keyPrefix
// when given: "string0", "string1", ...), most recent first. Empty stored strings are
// skipped when reading; writing back removes the keys beyond the entries, so that a list
// made shorter stays short at the next start.
class CPersistentHistory {
public:
    CPersistentHistory(QString section, int capacity, QString keyPrefix = {});
    ~CPersistentHistory();
    CPersistentHistory(const CPersistentHistory&) = delete;
    CPersistentHistory& operator=(const CPersistentHistory&) = delete;

    QStringList& entries() { return m_entries; }
    const QStringList& entries() const { return m_entries; }
    int capacity() const { return m_capacity; }
    // Puts text at the front: no two equal entries (exact comparison), at most capacity.
    void remember(const QString& text);

private:
    QString key(qsizetype index) const { return m_keyPrefix + QString::number(index); }

    QString m_section;
    QString m_keyPrefix;
    int m_capacity;
    QStringList m_entries;
};

} // namespace tressel
