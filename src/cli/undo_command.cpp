#include "cli.h"
#include "operations/undo_commands.h"
#include "operations/undo_journal.h"

#include <ostream>

namespace tressel::cli {

namespace {

const char kUndoHelp[] =
    "Usage: tressel undo [--list] [--dry-run] FOLDER\n"
    "\n"
    "Takes back the newest command that moved or renamed files in FOLDER and has not\n"
    "been taken back yet: every file it moved goes back to its old name. Run it again\n"
    "to take back the command before that. A command that was killed half-way is\n"
    "taken back too, including a move it had started: that file is moved back when it\n"
    "is found at its new name and its old name is free. Nothing is ever overwritten;\n"
    "a file that cannot go back is counted as an error and left where it is.\n"
    "\n"
    "Every command that moves files writes an undo journal, one file per command, in\n"
    "$XDG_STATE_HOME/TresselUtil/undo/ (by default ~/.local/state/TresselUtil/undo/).\n"
    "\n"
    "Options:\n"
    "  --list      show the commands run on FOLDER, newest first: start time, state\n"
    "              (applied, undone, interrupted), moves, command, journal file\n"
    "  --dry-run   show the moves that would be made, and change nothing\n"
    "  -h, --help  show this text\n"
    "\n"
    "Exit status: 0 when everything went back, 1 when a move failed or there was\n"
    "nothing to undo, 2 for wrong usage.\n";

const char* StateName(JournalState state) {
    switch (state) {
    case JournalState::Applied:
        return "applied";
    case JournalState::Undone:
        return "undone";
    case JournalState::Interrupted:
        return "interrupted";
    }
    return "";
}

class PrintedReport final : public IOperationReport {
public:
    explicit PrintedReport(std::ostream& out) : m_out(out) {}
    void report(const std::string& subject, int errors) override {
        m_out << ReportText(subject, errors) << '\n';
    }

private:
    std::ostream& m_out;
};

class NoProgress final : public IProgress {
public:
    void start(uint64_t) override {}
    void step() override {}
};

void PrintList(const std::vector<JournalSummary>& journals, std::ostream& out) {
    for (const JournalSummary& journal : journals) {
        const JournalContents& c = journal.contents;
        out << TableCell(c.started) << '\t' << StateName(c.state()) << '\t' << c.done.size()
            << (c.done.size() == 1 ? " move" : " moves") << '\t' << TableCell(c.command) << '\t'
            << TableCell(journal.path) << '\n';
    }
}

void PrintPlannedMoves(const CUndoGroup& group, std::ostream& out) {
    for (const auto& [newPath, oldPath] : group.entries())
        out << "would move " << TableCell(newPath) << " -> " << TableCell(oldPath) << '\n';
    for (const IntendedMove& move : group.intended()) {
        if (IntendedMoveLanded(move))
            out << "would move " << TableCell(move.target) << " -> " << TableCell(move.source)
                << " (interrupted move)\n";
    }
}

const JournalSummary* NewestNotUndone(const std::vector<JournalSummary>& journals) {
    for (const JournalSummary& journal : journals) {
        if (journal.contents.state() != JournalState::Undone)
            return &journal;
    }
    return nullptr;
}

} // namespace

int RunUndo(const Args& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args, {"--list", "--dry-run"});
    if (const auto status = AnswerHelpOrUsageError(parsed, "undo", kUndoHelp, out, err))
        return *status;
    const bool list = parsed.has("--list");
    const bool dryRun = parsed.has("--dry-run");
    const std::vector<std::string>& folders = parsed.operands;
    if (folders.size() != 1) {
        err << "tressel undo: give one FOLDER (see 'tressel undo --help')\n";
        return 2;
    }

    const std::vector<JournalSummary> journals = ListJournals(folders[0]);
    if (list) {
        PrintList(journals, out);
        return 0;
    }
    const JournalSummary* newest = NewestNotUndone(journals);
    if (!newest) {
        err << "tressel undo: nothing to undo for " << folders[0] << '\n';
        return 1;
    }
    std::string error;
    std::unique_ptr<CUndoGroup> group = LoadJournalGroup(newest->path, &error);
    if (!group) {
        err << "tressel undo: " << error << '\n';
        return 1;
    }
    if (dryRun) {
        PrintPlannedMoves(*group, out);
        return 0;
    }
    if (group->empty()) {
        group->moveBack({}); // marks it undone, so that the next run goes one further
        PrintedReport(out).report("Undone (" + newest->contents.folder + ")", 0);
        return 0;
    }
    CUndoHistory history;
    history.push(std::move(group));
    PrintedReport report(out);
    NoProgress progress;
    return RunUndoCommand(history, report, progress) == 0 ? 0 : 1;
}

} // namespace tressel::cli
