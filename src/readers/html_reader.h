#pragma once

// Web pages: the text of the title element, searched for in the first four kilobytes.

#include "file_reader.h"

namespace tressel {

inline constexpr char kNoTitleElement[] = UI_TEXT_NOOP("Reading", "no title element");

// Any page in which "<title" occurs (in any case) within the first four windows of
// 1023 bytes is ours. Its one value is the title: character references decoded,
// white space collapsed, and turned into UTF-8 from the page's character set (kept
// when it is valid UTF-8, else the set a byte-order mark or a meta or XML declaration
// names, else Windows-1252). A title that does not close in its window gives no value.
ReadResult ParseHtml(ByteSource& source, const ReadRequest& request);

// Numeric references (decimal and hexadecimal) and HTML 4's named references (&amp;,
// &nbsp;, &uuml;, &ndash;, ...) of UTF-8 text, decoded; anything else is left as it is.
std::string DecodeCharacterReferences(std::string_view text);

inline constexpr ReaderFormat kHtmlFormat{"html", "htm;html;php;mht;asp;shtml;htx;alx;stm",
                                          &ParseHtml};

class CHtmlReader final : public CFileReader {
public:
    CHtmlReader(FileInput input, bool scanAll)
        : CFileReader(kHtmlFormat, std::move(input), scanAll) {}
};

} // namespace tressel
