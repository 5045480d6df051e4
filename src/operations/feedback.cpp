#include "feedback.h"

namespace tressel {

std::string ReportText(const std::string& subject, int errors) {
    if (errors == 0)
        return "Successfully " + subject;
    return std::to_string(errors) + " error(s) ocurred while " + subject;
}

std::string JournalStopText(const std::string& why) {
    return "Stopped: the undo journal cannot be written (" + why + ")";
}

} // namespace tressel
