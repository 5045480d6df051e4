// The undo journal is read back from disk by a later process: any bytes there must
// parse without harm, a journal taken as sound names nothing outside its folder, and
// every name must survive escaping.
// links: tressel_operations

#include "operations/undo_journal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Journals are filed by their header alone: it never names another folder.
    const auto headerFolder = tressel::JournalHeaderFolder(bytes);
    if (auto contents = tressel::ParseJournal(bytes)) {
        (void)contents->state();
        if (contents->damage.empty() && headerFolder && !headerFolder->empty() &&
            *headerFolder != contents->folder)
            std::abort();
        for (const auto& entry : contents->entries) {
            if (contents->damage.empty() &&
                (!tressel::IsJournalPathOf(entry.newPath, contents->folder) ||
                 !tressel::IsJournalPathOf(entry.oldPath, contents->folder)))
                std::abort();
        }
    }
    const std::string escaped = tressel::EscapeJournalField(bytes);
    if (escaped.find_first_of("\t\n") != std::string::npos ||
        tressel::UnescapeJournalField(escaped) != std::string(bytes))
        std::abort();
    return 0;
}
