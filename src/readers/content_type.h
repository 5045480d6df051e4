#pragma once

// What a file's content is, whatever its name says: the readers' answer first, and
// for content no reader takes, libmagic's (the library behind file(1)).

#include "platform/byte_source.h"

#include <string>
#include <vector>

namespace tressel {

struct ContentType {
    // The extensions the type is known by, lower case without dots, the usual one
    // first; empty when the content is unknown or has no usual extension.
    std::vector<std::string> extensions;
    // What the content is, for a person: "Windows executable", "JPEG image data, ...".
    std::string description;
    // The reader format that recognised it ("zip" for a self-extracting ZIP archive,
    // whose extension is "exe"); null when libmagic named it.
    const char* format = nullptr;
    // Plain text, or text libmagic names only by guessing: no extension says what it
    // holds.
    bool text = false;
    // Known only weakly: the content is text, which libmagic names after a few words
    // (a page of notes on JavaScript reads as JavaScript), or a web page known by a
    // title element alone, which an SVG drawing or a Pascal unit may hold too.
    bool weak = false;

    const std::string& extension() const {
        static const std::string none;
        return extensions.empty() ? none : extensions.front();
    }
};

// libmagic's answer for a source: a file as libmagic reads files (at most its first
// MiB, and its end), anything else from its first MiB. Every libmagic question of
// the program goes through here. The description is asked for only where it can serve:
// for content with an extension, and for plain text.
struct MagicAnswer {
    std::string mimeType;                // "image/jpeg", "text/plain"
    std::string encoding;                // "binary", or a text's: "us-ascii", "utf-8"
    std::vector<std::string> extensions; // "jpeg", "jpg", ...; empty for "???"
    std::string description;             // "JPEG image data, JFIF standard 1.01"

    bool isText() const { return !encoding.empty() && encoding != "binary"; }
};
MagicAnswer AskMagic(ByteSource& source, bool withDescription = true);

// The readers (every reader, whatever the extension) and then libmagic.
ContentType IdentifyContent(const std::string& path);

// The reader formats' content, for a person ("exe" -> "Windows executable"); the
// extension itself when unknown.
std::string ContentDescription(const std::string& extension, const char* format = nullptr);

} // namespace tressel
