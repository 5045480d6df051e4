#include "image_inspector.h"

namespace tressel {

CImageInspector::CImageInspector(const std::string& path) : CFileReader(path) {
    m_source = FileSource::open(path);
    if (m_source)
        m_image = pe::PeImage::parse(*m_source);
    setRecognized(m_image.has_value());
}

uint64_t CImageInspector::overlayStart() const {
    return m_image ? m_image->overlayStart() : 0;
}

uint64_t CImageInspector::fileSize() const {
    return m_source ? m_source->size() : 0;
}

bool CImageInspector::hasOverlay() const {
    return m_image && m_image->hasOverlay();
}

uint64_t CImageInspector::rvaToFileOffset(uint64_t rva) const {
    if (!m_image)
        return 0;
    return m_image->rvaToFileOffset(rva).value_or(0);
}

std::optional<pe::Resource> CImageInspector::rcData(std::string_view name) const {
    if (!m_image)
        return std::nullopt;
    return m_image->findResource(*m_source, pe::kResourceTypeRcData, name);
}

std::string CImageInspector::readRcData(std::string_view name, size_t maxBytes) const {
    const std::optional<pe::Resource> resource = rcData(name);
    return resource ? pe::ReadResource(*m_source, *resource, maxBytes) : std::string();
}

} // namespace tressel
