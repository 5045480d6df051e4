#include "application.h"

#include "app/contrast_style.h"
#include "app/icon_theme.h"
#include "app/main_frame.h"
#include "catalogue/document.h"
#include "settings/settings_store.h"

#include <clocale>

namespace tressel {

CTresselApplication::CTresselApplication() {
    std::setlocale(LC_ALL, "");
    SettingsStore::instance();
    UseIconThemeFallbacks();
    CContrastStyle::Install();
    m_doc = std::make_unique<CMarlockUtilDoc>();
    m_frame = std::make_unique<CMainFrame>(*m_doc);
}

CTresselApplication::~CTresselApplication() {
    finish();
}

void CTresselApplication::start(const QStringList& arguments, bool show) {
    m_frame->startUp(arguments.isEmpty() ? QString() : arguments.front());
    if (show)
        m_frame->showFirstTime();
}

void CTresselApplication::finish() {
    if (!m_frame)
        return;
    const bool removeSettings = m_frame->settingsRemovalRequested();
    m_frame.reset();
    m_doc.reset();
    auto& store = SettingsStore::instance();
    if (removeSettings)
        store.removeAll();
    store.sync();
}

} // namespace tressel
