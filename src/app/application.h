#pragma once

// One run of the program: the settings store, the document and the main window, from
// start-up to the removal of every setting when the user asked for it.

#include <QStringList>

#include <memory>

namespace tressel {

class CMarlockUtilDoc;
class CMainFrame;

class CTresselApplication {
public:
    CTresselApplication();
    ~CTresselApplication();
    CTresselApplication(const CTresselApplication&) = delete;
    CTresselApplication& operator=(const CTresselApplication&) = delete;

    // arguments without the program name; the first one, when given, is the folder.
    void start(const QStringList& arguments, bool show = true);
    // Destroys the window and the document (they write their options back), then
    // removes every setting when that was asked for.
    void finish();

    CMainFrame* frame() const { return m_frame.get(); }
    CMarlockUtilDoc* document() const { return m_doc.get(); }

private:
    std::unique_ptr<CMarlockUtilDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace tressel
