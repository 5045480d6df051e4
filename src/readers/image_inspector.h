#pragma once

// The section layout, overlay and resources of a PE file, for the archive readers that
// look for a cabinet or an archive inside a self-extracting executable: in its
// CABINET resource, or appended after its sections.

#include "file_reader.h"
#include "platform/byte_source.h"
#include "platform/pe/pe_image.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tressel {

class CImageInspector final : public CFileReader {
public:
    // Recognised when the file is a PE32 or PE32+ image; the file stays open for the
    // object's life.
    explicit CImageInspector(const std::string& path);

    // The end of the section data in the file; 0 when no image was read or it has no
    // section data.
    uint64_t overlayStart() const;
    // The file's size, whether or not it is an image.
    uint64_t fileSize() const;
    // False when no image was read; else whether bytes follow the section data.
    bool hasOverlay() const;
    // The file offset of an RVA inside a section's raw data; 0 when there is none.
    uint64_t rvaToFileOffset(uint64_t rva) const;

    // The RCDATA resource of that name ("CABINET", "TITLE"), and up to maxBytes of its
    // data (empty when there is no such resource).
    std::optional<pe::Resource> rcData(std::string_view name) const;
    std::string readRcData(std::string_view name, size_t maxBytes) const;

    // The parsed image, or null when the file is not one.
    const pe::PeImage* image() const { return m_image ? &*m_image : nullptr; }
    // The open file, for reading an overlay or a resource in place; null when the file
    // could not be opened.
    ByteSource* source() const { return m_source.get(); }

private:
    std::unique_ptr<FileSource> m_source;
    std::optional<pe::PeImage> m_image;
};

} // namespace tressel
