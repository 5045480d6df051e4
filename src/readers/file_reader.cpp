#include "file_reader.h"

#include "platform/paths.h"
#include "platform/read_failure.h"
#include "platform/text.h"

#include <memory>

namespace tressel {

FileInput OpenFileInput(const std::string& path) {
    return FileInput(path, CachedFileSource::open(path));
}

CFileReader::CFileReader(const ReaderFormat& format, FileInput input, bool scanAll,
                         bool collectPreview)
    : m_path(std::move(input.path)), m_format(&format), m_result(format.name),
      m_collectPreview(collectPreview) {
    if (!scanAll && !ExtensionPassesFilter(m_path, format.extensions)) {
        m_result.refuse(failure::kExtensionFilteredOut);
        return;
    }
    // Only regular files: a FIFO, device or folder is refused without blocking.
    m_source = input.opened ? std::move(input.source) : CachedFileSource::open(m_path);
    if (!m_source) {
        m_result.refuse(failure::kCannotOpen);
        return;
    }
    m_result = format.parse(*m_source, ReadRequest{0, collectPreview});
    m_result.format = format.name;
    if (!m_result.recognised || !m_result.moreValues)
        m_source.reset();
}

// A parser that stopped at the probe's limit reads the source again; the others found
// every value while probing.
int CFileReader::extract(int maxValues) {
    if (m_format && m_source && m_result.recognised && m_result.moreValues && !m_extracted) {
        m_extracted = true;
        ReadResult read = m_format->parse(*m_source, ReadRequest{maxValues, m_collectPreview});
        m_source.reset();
        m_result.values = std::move(read.values);
        m_result.labels = std::move(read.labels);
        m_result.preview = std::move(read.preview);
        m_result.moreValues = read.moreValues;
        if (read.recognised)
            m_result.extension = std::move(read.extension);
    }
    return static_cast<int>(m_result.values.size());
}

bool CFileReader::passesExtensionFilter(bool scanAll) const {
    return scanAll || ExtensionPassesFilter(m_path, extensions());
}

bool ExtensionPassesFilter(std::string_view path, const char* extensionList) {
    if (!extensionList)
        return false;
    return std::string_view(extensionList).find(LowerExtension(path)) != std::string_view::npos;
}

std::string FirstMeaningfulLine(std::string_view in, bool stripNonAlnum) {
    const size_t nul = in.find('\0');
    std::string_view rest = in.substr(0, nul);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (stripNonAlnum) {
            size_t first = 0;
            while (first < line.size() && !IsWordByte(static_cast<unsigned char>(line[first])))
                ++first;
            if (first == line.size())
                continue;
            size_t last = line.size();
            while (!IsWordByte(static_cast<unsigned char>(line[last - 1])))
                --last;
            line = line.substr(first, last - first);
        }
        line = TrimAsciiSpace(line);
        if (!line.empty())
            return std::string(line);
    }
    return {};
}

void FirstMeaningfulLine(const std::string& in, std::string& out, bool stripNonAlnum) {
    out = FirstMeaningfulLine(std::string_view(in), stripNonAlnum);
}

} // namespace tressel
