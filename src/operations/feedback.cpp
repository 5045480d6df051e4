#include "feedback.h"

namespace tressel {

std::string ReportText(const std::string& subject, int errors) {
    if (errors == 0)
        return "Successfully " + subject;
    return std::to_string(errors) + " error(s) ocurred while " + subject;
}

} // namespace tressel
