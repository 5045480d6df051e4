#pragma once

// The preview pane on the right of the main window's splitter. For the one file
// selected in the list it shows an archive's comment and descriptive members, a
// Windows Media file's lyrics, a plain text file or an image; a Flash movie would play
// in the host laid over the pane. Files are read on the list's worker threads: the
// pane shows "Generating Preview..." meanwhile and tells previewFinished when the
// result is in, so a slow or stalled file never holds up the window.

#include "flash_host.h"
#include "preview_content.h"

#include <QWidget>

#include <cstdint>
#include <memory>

class QLabel;
class QPlainTextEdit;

namespace tressel {

class CPersistentFlag;
class CRowReader;

class CMyPreview : public QWidget {
    Q_OBJECT
public:
    // workers: the threads that read files (null: read on the window's thread).
    explicit CMyPreview(CRowReader* workers, QWidget* parent = nullptr);
    ~CMyPreview() override;

    // Starts the preview of path. Disabled, or with path already previewed (unless
    // forced), nothing changes and the last result is answered; otherwise the answer
    // is false until previewFinished brings the result (at once without workers).
    bool Preview(const QString& path, bool forced = false);
    void Clear();
    bool isShowing() const { return m_showing; }
    const QString& currentPath() const { return m_currentPath; }
    QString text() const;
    // The image shown, scaled to the pane; null when none is.
    QPixmap shownImage() const;

    bool isPreviewEnabled() const;
    void setPreviewEnabled(bool on);
    bool wordWrap() const;
    void toggleWordWrap();
    QFont textFont() const;
    void setTextFont(const QFont& font);

    // The switches of the Preview menu: Textual, Media, Archives, Swf Movies.
    enum Switch { Textual, Media, Archives, Swf };
    bool switchOn(Switch which) const;
    void setSwitch(Switch which, bool on);

    // The list's share of the splitter while the pane shows, in ten-thousandths
    // (0: none stored yet).
    int listShare() const { return m_listShare; }
    void setListShare(int share) { m_listShare = share; }

    QPlainTextEdit* textControl() const { return m_text; }

    // The first local file of a drop is previewed.
    void previewDropped(const QList<QUrl>& urls);

signals:
    void previewFinished(bool shown);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createTextControl(const QString& text, const QFont& font, bool focused);
    void showText(const QString& text);
    void showImage(const QImage& image);
    void scaleImage();
    void updateFocusProxy();
    void takeResult(uint64_t generation, const PreviewContent& content);

    CRowReader* m_workers;
    std::unique_ptr<CPersistentFlag> m_wordWrap;
    std::unique_ptr<CPersistentFlag> m_enabled;
    std::unique_ptr<CPersistentFlag> m_textual;
    std::unique_ptr<CPersistentFlag> m_media;
    std::unique_ptr<CPersistentFlag> m_archives;
    std::unique_ptr<CPersistentFlag> m_swf;
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_image = nullptr;
    QImage m_fullImage;
    CFlashHost m_flash;
    QString m_currentPath;
    bool m_showing = false;
    // Each request's number: a result that comes back after a newer request or a
    // clear is dropped.
    uint64_t m_generation = 0;
    int m_listShare = 0;
};

// The list column's width when the pane shows: its share of room, but never leaving
// the pane less than 10 pixels (the list is then 10 pixels narrower than its share).
int ListWidthForShare(int room, int shareTenThousandths);

} // namespace tressel
