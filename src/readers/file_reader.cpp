#include "file_reader.h"

#include "platform/paths.h"
#include "platform/text.h"

namespace tressel {

int CFileReader::extract(int) {
    return static_cast<int>(m_values.size());
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
