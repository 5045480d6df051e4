#pragma once

// What a long file command tells the user while it runs and when it ends. The core
// commands talk to these small interfaces only, so they run and are tested without a
// window; the main window implements them on its status bar and dialog bar, and the
// command-line tool on its output.

#include "failure_list.h"
#include "platform/ui_text.h"

#include <cstdint>
#include <string>

namespace tressel {

// One status line at the end of a command.
class IOperationReport {
public:
    virtual ~IOperationReport() = default;
    // Shows ReportText(subject, errors). A subject is a text for the user, such as
    // UI_TEXT("Grouping", "Grouped %1 File(s)").arg(n).
    virtual void report(const UiText& subject, int errors) = 0;
    // The same line for a command whose failures are listed file by file; a window
    // keeps the list for the user to open.
    virtual void reportFailures(const UiText& subject, const CFailureList& failures) {
        report(subject, failures.count());
    }
};

// "Successfully " + subject, or "<errors> error(s) ocurred while " + subject.
UiText ReportText(const UiText& subject, int errors);

// Said when a command stopped because its moves could no longer be recorded for undo.
UiText JournalStopText(const std::string& why);

class IProgress {
public:
    virtual ~IProgress() = default;
    // Range 0 to count, position 0.
    virtual void start(uint64_t count) = 0;
    virtual void step() = 0;
};

// Asked between files: true when the user pressed Esc to cancel. The window's check
// also keeps the window painting.
class ICancelCheck {
public:
    virtual ~ICancelCheck() = default;
    virtual bool cancelRequested() = 0;
};

} // namespace tressel
