#include "my_preview.h"

#include "listview/row_reader.h"
#include "log_font.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace tressel {

namespace {

const char* const kGenerating = QT_TRANSLATE_NOOP("tressel::CMyPreview", "Generating Preview...");
const char* const kNoPreview =
    QT_TRANSLATE_NOOP("tressel::CMyPreview", "Generating Preview...No Preview");
const QString kFontSection = "settings";
const QString kFontKey = "CurFont";
const QString kShareKey = "PrevListShare";
constexpr int kShareScale = 10000;
constexpr int kMinimumPaneWidth = 10;

} // namespace

int ListWidthForShare(int room, int share) {
    if (room <= 0)
        return 0;
    const int bounded = std::clamp(share > 0 ? share : kShareScale * 3 / 4, 0, kShareScale);
    int list = static_cast<int>(static_cast<long long>(room) * bounded / kShareScale);
    if (room - list < kMinimumPaneWidth)
        list -= kMinimumPaneWidth;
    return std::max(list, 0);
}

CMyPreview::CMyPreview(CRowReader* workers, QWidget* parent)
    : QWidget(parent), m_workers(workers),
      m_wordWrap(std::make_unique<CPersistentFlag>("Settings", "WordWrap", false)),
      m_enabled(std::make_unique<CPersistentFlag>("Settings", "PrevEnabled", true)),
      m_textual(std::make_unique<CPersistentFlag>("Settings", "PrevTextInfo", true)),
      m_media(std::make_unique<CPersistentFlag>("Settings", "PrevMedia", true)),
      m_archives(std::make_unique<CPersistentFlag>("Settings", "PrevArchives", true)),
      m_swf(std::make_unique<CPersistentFlag>("Settings", "PrevSwf", true)) {
    setObjectName("previewPane");
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_image = new QLabel(this);
    m_image->setObjectName("previewImage");
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setMinimumSize(1, 1);
    m_image->hide();
    layout->addWidget(m_image);

    const auto& store = SettingsStore::instance();
    m_listShare = store.readInt("Settings", kShareKey, 0);
    QFont font = QApplication::font(); // the pane's own until a font is chosen
    if (const auto record = store.readBinary(kFontSection, kFontKey))
        font = QFontFromLogFont(*record).value_or(font);
    createTextControl(QString(), font, false);
    m_text->hide();
    updateFocusProxy();
}

CMyPreview::~CMyPreview() {
    auto& store = SettingsStore::instance();
    store.writeBinary(kFontSection, kFontKey, LogFontFromQFont(m_text->font()));
    store.writeInt("Settings", kShareKey, m_listShare);
}

// Word wrap is a property of the control as it is made: the control is made again,
// with its text, font and focus.
void CMyPreview::createTextControl(const QString& text, const QFont& font, bool focused) {
    auto* control = new QPlainTextEdit(this);
    control->setObjectName("previewText");
    control->setReadOnly(true);
    control->setTabChangesFocus(true);
    control->setAcceptDrops(false); // drops go to the pane
    control->viewport()->setAcceptDrops(false);
    control->setFont(font);
    control->setLineWrapMode(m_wordWrap->value() ? QPlainTextEdit::WidgetWidth
                                                 : QPlainTextEdit::NoWrap);
    control->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    control->setHorizontalScrollBarPolicy(m_wordWrap->value() ? Qt::ScrollBarAlwaysOff
                                                              : Qt::ScrollBarAsNeeded);
    control->setPlainText(text);
    if (m_text) {
        control->setVisible(!m_text->isHidden());
        layout()->replaceWidget(m_text, control);
        delete m_text;
    } else {
        layout()->addWidget(control);
    }
    m_text = control;
    updateFocusProxy();
    if (focused)
        control->setFocus();
}

bool CMyPreview::Preview(const QString& path, bool forced) {
    if (!isPreviewEnabled() || (path == m_currentPath && !forced))
        return m_showing;
    m_showing = false;
    m_currentPath = path;
    const uint64_t generation = ++m_generation;
    showText(tr(kGenerating));
    m_text->repaint();

    const std::string file = QFile::encodeName(path).toStdString();
    if (m_media->value() && m_swf->value() && m_flash.accepts(file)) {
        m_text->hide();
        updateFocusProxy();
        m_image->hide();
        m_showing = true;
        emit previewFinished(true);
        return true;
    }
    const PreviewSwitches switches{m_textual->value(), m_media->value(), m_archives->value()};
    if (!m_workers) {
        takeResult(generation, GeneratePreview(file, switches));
        return m_showing;
    }
    // The result comes back through the application object, which outlives every
    // worker; the pane may be gone by then.
    m_workers->run([pane = QPointer<CMyPreview>(this), generation, file, switches] {
        PreviewContent content = GeneratePreview(file, switches);
        QMetaObject::invokeMethod(
            qApp,
            [pane, generation, content = std::move(content)] {
                if (pane)
                    pane->takeResult(generation, content);
            },
            Qt::QueuedConnection);
    });
    return false;
}

void CMyPreview::takeResult(uint64_t generation, const PreviewContent& content) {
    if (generation != m_generation)
        return;
    m_flash.hide();
    switch (content.kind) {
    case PreviewContent::Text:
        showText(content.text);
        break;
    case PreviewContent::Image:
        showImage(content.image);
        break;
    case PreviewContent::None:
        showText(tr(kNoPreview));
        break;
    }
    m_showing = content.kind != PreviewContent::None;
    emit previewFinished(m_showing);
}

void CMyPreview::showText(const QString& text) {
    m_fullImage = QImage();
    m_image->clear();
    m_image->hide();
    m_text->setPlainText(text);
    m_text->show();
    updateFocusProxy();
}

// Focus given to the pane goes to the text control while it shows.
void CMyPreview::updateFocusProxy() {
    setFocusProxy(m_text->isHidden() ? nullptr : m_text);
}

void CMyPreview::showImage(const QImage& image) {
    m_text->hide();
    m_text->clear();
    updateFocusProxy();
    m_fullImage = image;
    m_image->show();
    scaleImage();
}

// Scaled down to the pane, never up.
void CMyPreview::scaleImage() {
    if (m_fullImage.isNull())
        return;
    const QSize room = size().boundedTo(m_fullImage.size());
    m_image->setPixmap(QPixmap::fromImage(
        m_fullImage.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void CMyPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scaleImage();
}

void CMyPreview::Clear() {
    ++m_generation;
    m_flash.hide();
    m_text->hide();
    m_text->clear();
    updateFocusProxy();
    m_image->hide();
    m_image->clear();
    m_fullImage = QImage();
    m_currentPath.clear();
    m_showing = false;
}

QString CMyPreview::text() const {
    return m_text->toPlainText();
}

QPixmap CMyPreview::shownImage() const {
    return m_image->isHidden() ? QPixmap() : m_image->pixmap();
}

bool CMyPreview::isPreviewEnabled() const {
    return m_enabled->value();
}

void CMyPreview::setPreviewEnabled(bool on) {
    m_enabled->set(on);
    if (!on)
        Clear();
}

bool CMyPreview::wordWrap() const {
    return m_wordWrap->value();
}

void CMyPreview::toggleWordWrap() {
    m_wordWrap->set(!m_wordWrap->value());
    createTextControl(m_text->toPlainText(), m_text->font(), m_text->hasFocus());
}

QFont CMyPreview::textFont() const {
    return m_text->font();
}

void CMyPreview::setTextFont(const QFont& font) {
    m_text->setFont(font);
}

bool CMyPreview::switchOn(Switch which) const {
    switch (which) {
    case Textual:
        return m_textual->value();
    case Media:
        return m_media->value();
    case Archives:
        return m_archives->value();
    case Swf:
        return m_swf->value();
    }
    return false;
}

void CMyPreview::setSwitch(Switch which, bool on) {
    const std::array<CPersistentFlag*, 4> flags = {m_textual.get(), m_media.get(), m_archives.get(),
                                                   m_swf.get()};
    flags[which]->set(on);
}

void CMyPreview::previewDropped(const QList<QUrl>& urls) {
    const auto first =
        std::find_if(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    if (first != urls.end())
        Preview(first->toLocalFile(), true);
}

void CMyPreview::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMyPreview::dropEvent(QDropEvent* event) {
    previewDropped(event->mimeData()->urls());
    event->acceptProposedAction();
}

} // namespace tressel
