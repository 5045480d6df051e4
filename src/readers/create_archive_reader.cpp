// The archive step: which archive reader answers for a file.

#include "ace_reader.h"
#include "archive_reader.h"
#include "cab_reader.h"
#include "rar_reader.h"
#include "zip_reader.h"

namespace tressel {

namespace {

using ArchiveFactory = std::unique_ptr<CFileReader> (*)(const FileInput& input, bool force,
                                                        bool collectPreview);

template <class Reader>
std::unique_ptr<CFileReader> MakeArchiveReader(const FileInput& input, bool force,
                                               bool collectPreview) {
    return std::make_unique<Reader>(input, force, collectPreview);
}

constexpr ArchiveFactory kArchiveOrder[] = {
    &MakeArchiveReader<CRarReader>, &MakeArchiveReader<CZipReader>, &MakeArchiveReader<CAceReader>,
    &MakeArchiveReader<CCabReader>};

} // namespace

std::unique_ptr<CFileReader> CreateArchiveReader(const std::string& path, bool scanAll,
                                                 bool collectPreview) {
    const FileInput input = OpenFileInput(path); // one open for every archive reader
    std::unique_ptr<CFileReader> last;
    for (const bool force : {false, true}) {
        if (force && !scanAll)
            break;
        for (ArchiveFactory make : kArchiveOrder) {
            last.reset();
            last = make(input, force, collectPreview);
            if (last->isRecognized())
                return last;
        }
    }
    return last;
}

std::unique_ptr<CFileReader> CreateArchiveReader(const std::string& path, bool scanAll) {
    return CreateArchiveReader(path, scanAll, false);
}

} // namespace tressel
