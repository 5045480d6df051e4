#include "feedback.h"

namespace tressel {

UiText ReportText(const UiText& subject, int errors) {
    if (errors == 0)
        return UI_TEXT("Report", "Successfully %1").arg(subject);
    return UI_TEXT("Report", "%1 error(s) ocurred while %2").arg(errors).arg(subject);
}

UiText JournalStopText(const std::string& why) {
    return UI_TEXT("Report", "Stopped: the undo journal cannot be written (%1)").arg(why);
}

} // namespace tressel
