#pragma once

// The reader framework: every format reader derives from CFileReader, does all of
// its probing in its constructor and reports acceptance through isRecognized().
// Values have no names of their own: value i is shown in information column i + 1.

#include <string>
#include <string_view>
#include <vector>

namespace tressel {

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

    // Fills the value list (a reader that honours it appends at most maxValues) and
    // returns the number of values held. Readers that read everything while probing
    // keep this default.
    virtual int extract(int maxValues);
    bool isRecognized() const { return m_recognised; }
    // Extensions without dots, lower case, separated by ';'; null for none.
    virtual const char* extensions() const { return nullptr; }
    // Short format name for the command-line tool ("exe", "zip", "mp3", ...); null for
    // readers that never accept a file.
    virtual const char* formatName() const { return nullptr; }

    const std::string& path() const { return m_path; }
    const std::vector<std::string>& values() const { return m_values; }

protected:
    explicit CFileReader(std::string path) : m_path(std::move(path)) {}

    // The registry's cheap first test, run by each reader's constructor before it
    // opens anything: unless scanAll is set, the path's lower-case extension must
    // occur in extensions() as a plain substring. The substring test is deliberate
    // and known: "ex" passes "exe", and an empty extension passes every list.
    bool passesExtensionFilter(bool scanAll) const;

    void setRecognized(bool recognised) { m_recognised = recognised; }
    void appendValue(std::string value) { m_values.push_back(std::move(value)); }
    std::vector<std::string>& mutableValues() { return m_values; }

    std::string m_path;

private:
    std::vector<std::string> m_values;
    bool m_recognised = false;
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
