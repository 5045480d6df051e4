#pragma once

// What the preview pane shows for one file, worked out off the window's thread: this
// reads the file and touches no widget. The order is fixed: an archive's comment and
// descriptive members, a Windows Media file's lyrics, then a plain text file, then an
// image, each under its switch.

#include <QImage>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace tressel {

struct PreviewSwitches {
    bool textual = true;  // archive texts, lyrics and plain text files
    bool media = true;    // movies and images
    bool archives = true; // archive texts
};

struct PreviewContent {
    enum Kind { None, Text, Image };
    Kind kind = None;
    QString text;
    QImage image;
};

// Plain text files are read this far.
inline constexpr size_t kMaxPlainTextBytes = 100 * 1024;
// Images are decoded at most this large on either side; the pane scales them down further.
inline constexpr int kMaxImageSide = 2048;

PreviewContent GeneratePreview(const std::string& path, const PreviewSwitches& switches);

// A plain text file by its extension (.txt .nfo .diz .ini .inf .1st), or without
// one when its first bytes hold no control characters but tabs, line and page breaks.
// The text as UTF-8: CP437 for .nfo and .diz, otherwise kept when valid UTF-8 and
// read as Windows-1252 when not. Nothing for any other file.
std::optional<std::string> PlainTextOf(const std::string& path, std::string_view firstBytes);

} // namespace tressel
