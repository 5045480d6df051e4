#include "settings_store.h"

#include <QSettings>

namespace tressel {

namespace {
std::unique_ptr<SettingsStore>& Slot() {
    static std::unique_ptr<SettingsStore> store;
    return store;
}

QString KeyPath(const QString& section, const QString& key) {
    return section + '/' + key;
}
} // namespace

SettingsStore& SettingsStore::instance() {
    auto& slot = Slot();
    if (!slot)
        slot.reset(new SettingsStore());
    return *slot;
}

void SettingsStore::reset() {
    Slot().reset();
}

SettingsStore::SettingsStore() {
    // QSettings reads XDG_CONFIG_HOME only once per process; pass the path explicitly
    // so that the variable in force when the store opens decides.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = qEnvironmentVariable("HOME") + "/.config";
    m_settings =
        std::make_unique<QSettings>(base + "/TresselUtil/TresselUtil.conf", QSettings::IniFormat);
}

SettingsStore::~SettingsStore() = default;

int SettingsStore::readInt(const QString& section, const QString& key, int defaultValue) const {
    const QVariant v = m_settings->value(KeyPath(section, key));
    bool ok = false;
    const int n = v.toInt(&ok);
    return v.isValid() && ok ? n : defaultValue;
}

void SettingsStore::writeInt(const QString& section, const QString& key, int value) {
    if (!m_readOnly)
        m_settings->setValue(KeyPath(section, key), value);
}

QString SettingsStore::readString(const QString& section, const QString& key,
                                  const QString& defaultValue) const {
    const QVariant v = m_settings->value(KeyPath(section, key));
    return v.isValid() ? v.toString() : defaultValue;
}

void SettingsStore::writeString(const QString& section, const QString& key, const QString& value) {
    if (!m_readOnly)
        m_settings->setValue(KeyPath(section, key), value);
}

std::optional<QByteArray> SettingsStore::readBinary(const QString& section,
                                                    const QString& key) const {
    const QVariant v = m_settings->value(KeyPath(section, key));
    if (!v.isValid())
        return std::nullopt;
    return v.toByteArray();
}

void SettingsStore::writeBinary(const QString& section, const QString& key,
                                const QByteArray& bytes) {
    if (!m_readOnly)
        m_settings->setValue(KeyPath(section, key), bytes);
}

void SettingsStore::removeKey(const QString& section, const QString& key) {
    if (!m_readOnly)
        m_settings->remove(KeyPath(section, key));
}

void SettingsStore::removeAll() {
    if (m_readOnly)
        return;
    m_settings->clear();
    m_settings->sync();
}

void SettingsStore::sync() {
    if (!m_readOnly)
        m_settings->sync();
}

QString SettingsStore::fileName() const {
    return m_settings->fileName();
}

CPersistentFlag::CPersistentFlag(QString section, QString key, bool defaultValue)
    : m_section(std::move(section)), m_key(std::move(key)) {
    m_value = SettingsStore::instance().readInt(m_section, m_key, defaultValue ? 1 : 0) == 1;
}

CPersistentFlag::~CPersistentFlag() {
    SettingsStore::instance().writeInt(m_section, m_key, m_value ? 1 : 0);
}

CPersistentHistory::CPersistentHistory(QString section, int capacity, QString keyPrefix)
    : m_section(std::move(section)), m_keyPrefix(std::move(keyPrefix)), m_capacity(capacity) {
    auto& store = SettingsStore::instance();
    for (int i = 0; i < m_capacity; ++i) {
        const QString entry = store.readString(m_section, key(i));
        if (!entry.isEmpty())
            m_entries.append(entry);
    }
}

CPersistentHistory::~CPersistentHistory() {
    auto& store = SettingsStore::instance();
    for (int i = 0; i < m_entries.size(); ++i)
        store.writeString(m_section, key(i), m_entries[i]);
    for (auto i = m_entries.size(); i < m_capacity; ++i)
        store.removeKey(m_section, key(i));
}

void CPersistentHistory::remember(const QString& text) {
    m_entries.removeAll(text);
    m_entries.prepend(text);
    while (m_entries.size() > m_capacity)
        m_entries.removeLast();
}

} // namespace tressel
