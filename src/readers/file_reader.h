#pragma once

// The reader contract. Every format is one parse function of one shape: the bytes of a
// file (a ByteSource) and a request in, a ReadResult out. CFileReader adapts such a
// function to the registry's reader objects: its constructor runs the extension filter
// and the probe, extract() hands maxValues to the parser unchanged. A parser never
// opens a file by path: it reads through the source it is given, which the registry
// opened once for every reader it tries.

#include "platform/byte_source.h"
#include "platform/ui_text.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

struct ReadRequest {
    // At most this many values, for a parser that honours the limit (the executable
    // parser alone does). 0 asks only whether the content is of the format: a parser
    // whose values cost much more than that answer may stop there (see moreValues).
    int maxValues = 0;
    // Also gather the text the preview pane shows (song lyrics, readme texts).
    bool collectPreview = false;
};

struct ReadResult {
    explicit ReadResult(const char* formatName = nullptr) : format(formatName) {}

    bool recognised = false;
    const char* format = nullptr; // short name: "exe", "mp3", ...
    std::vector<std::string> values;
    std::vector<std::string> labels; // what each value is ("Artist", "Duration"), one per value
    std::string extension;           // the extension the content should carry, without dot
    std::string preview;             // only when the request asked for it
    const char* reason = nullptr;    // why the content was refused; null once recognised
    // The parser left values out because of maxValues: asking again with a larger
    // maxValues gives them.
    bool moreValues = false;

    void add(std::string label, std::string value) {
        labels.push_back(std::move(label));
        values.push_back(std::move(value));
    }
    void accept(std::string contentExtension) {
        recognised = true;
        reason = nullptr;
        extension = std::move(contentExtension);
    }
    ReadResult& refuse(const char* why) {
        recognised = false;
        reason = why;
        return *this;
    }
};

using ParseFunction = ReadResult (*)(ByteSource& source, const ReadRequest& request);

// What the registry needs to know of a format: its name, its extension list (without
// dots, lower case, separated by ';'; the cheap first test) and its parse function.
struct ReaderFormat {
    const char* name;
    const char* extensions;
    ParseFunction parse;
};

// A file as a reader gets it: its path and, from the registry, the source opened once
// for every reader tried on it (opened is then set, and a null source means the open
// failed). A reader given a path alone opens the file itself.
struct FileInput {
    FileInput(std::string filePath) : path(std::move(filePath)) {}
    FileInput(std::string filePath, std::shared_ptr<ByteSource> openedSource)
        : path(std::move(filePath)), source(std::move(openedSource)), opened(true) {}
    // Readers written against a path still take a FileInput (and open the path).
    operator const std::string&() const { return path; }

    std::string path;
    std::shared_ptr<ByteSource> source;
    bool opened = false;
};

// Opens path once for every reader the registry tries on it.
FileInput OpenFileInput(const std::string& path);

// Base of everything that carries information: readers and archive member entries.
class CInfoItem {
public:
    virtual ~CInfoItem() = default;
    virtual std::string typeName() const { return "Unknown"; }
};

class CFileReader : public CInfoItem {
public:
    ~CFileReader() override = default;
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;

    // Fills the value list and returns the number of values held. A format reader passes
    // maxValues to its parser unchanged, so only a parser that honours it appends at
    // most maxValues; the others hold every value they found.
    virtual int extract(int maxValues);
    bool isRecognized() const { return m_result.recognised; }
    // Extensions without dots, lower case, separated by ';'; null for none.
    virtual const char* extensions() const { return m_format ? m_format->extensions : nullptr; }
    // Short format name for the command-line tool ("exe", "zip", "mp3", ...); null for
    // items that read no format.
    virtual const char* formatName() const { return m_format ? m_format->name : nullptr; }

    const std::string& path() const { return m_path; }
    const std::vector<std::string>& values() const { return m_result.values; }
    const std::vector<std::string>& labels() const { return m_result.labels; }
    // The extension the content should carry; empty when unknown.
    const std::string& contentExtension() const { return m_result.extension; }
    const std::string& previewText() const { return m_result.preview; }
    // Why the file was not recognised (the extension filter, the open, or the parser's
    // answer); null when it was, or when nobody said.
    const char* reason() const { return m_result.reason; }

protected:
    // An item that reads no format (the image inspector, the scratch directory).
    explicit CFileReader(std::string path) : m_path(std::move(path)) {}
    // The adapter: unless scanAll is set, the extension filter; then format.parse
    // probes the input's source (opening the path when the input has none). The source
    // is kept only when extract() will need it again (moreValues).
    CFileReader(const ReaderFormat& format, FileInput input, bool scanAll,
                bool collectPreview = false);

    // The registry's cheap first test, run before anything is opened: unless scanAll
    // is set, the path's lower-case extension must occur in extensions() as a plain
    // substring. The substring test is deliberate and known: "ex" passes "exe", and
    // an empty extension passes every list.
    bool passesExtensionFilter(bool scanAll) const;

    void setRecognized(bool recognised) { m_result.recognised = recognised; }
    void appendValue(std::string value) { m_result.add({}, std::move(value)); }
    void appendValue(std::string label, std::string value) {
        m_result.add(std::move(label), std::move(value));
    }

    std::string m_path;

private:
    const ReaderFormat* m_format = nullptr;
    std::shared_ptr<ByteSource> m_source;
    ReadResult m_result;
    bool m_collectPreview = false;
    bool m_extracted = false;
};

// The extension filter itself: does extensionList contain the path's extension?
bool ExtensionPassesFilter(std::string_view path, const char* extensionList);

// The reader the registry returns when no reader exists to refuse a file.
class CUnrecognisedReader final : public CFileReader {
public:
    explicit CUnrecognisedReader(std::string path) : CFileReader(std::move(path)) {}
};

// The first non-empty trimmed line of a text (up to its first NUL), optionally cut to
// the span from its first to its last letter or digit. in and out may be the same.
void FirstMeaningfulLine(const std::string& in, std::string& out, bool stripNonAlnum);
std::string FirstMeaningfulLine(std::string_view in, bool stripNonAlnum = false);

} // namespace tressel
