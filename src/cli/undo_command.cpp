#include "cli.h"
#include "operations/journal_history.h"

#include <ostream>

namespace tressel::cli {

namespace {

const char kUndoHelp[] =
    "Usage: tressel undo [--list] [--dry-run] FOLDER\n"
    "\n"
    "Takes back the newest command that moved or renamed files in FOLDER and has not\n"
    "been taken back yet: every file it moved goes back to its old name, newest move\n"
    "first. Run it again to take back the command before that. A command that was\n"
    "killed half-way is taken back too, including a move it had started: that file is\n"
    "moved back when it is found at its new name.\n"
    "\n"
    "A file goes back only when the file at its new name is the one the command moved\n"
    "there, and nothing is ever overwritten. A file that cannot go back (its old name\n"
    "taken, its folder read-only, the file gone) is named on standard error with the\n"
    "reason and stays to be undone: once the cause is fixed, run 'tressel undo' again\n"
    "to finish. Moves an interrupted undo had already made count as done.\n"
    "\n"
    "Every command that moves files writes an undo journal, one file per command, in\n"
    "$XDG_STATE_HOME/TresselUtil/undo/ (by default ~/.local/state/TresselUtil/undo/).\n"
    "A journal naming a file outside its folder (or more than one level below it) is\n"
    "refused as damaged. When a command starts, applied and undone journals older\n"
    "than 90 days are removed once 200 newer commands of their folder exist; partly\n"
    "undone, interrupted and damaged ones are kept.\n"
    "\n"
    "Options:\n"
    "  --list      show the commands run on FOLDER, newest first: start time, state\n"
    "              (applied, partly undone, undone, interrupted, running, damaged),\n"
    "              moves, command, journal file; then how many are kept\n"
    "  --dry-run   show the moves that would be made, in order, and change nothing\n"
    "  -h, --help  show this text\n"
    "\n"
    "Exit status: 0 when everything went back, 1 when a file could not go back (or\n"
    "would not, with --dry-run) or there was nothing to undo, 2 for wrong usage.\n";

const char* StateName(const JournalSummary& journal) {
    if (journal.running)
        return "running";
    switch (journal.contents.state()) {
    case JournalState::Applied:
        return "applied";
    case JournalState::PartlyUndone:
        return "partly undone";
    case JournalState::Undone:
        return "undone";
    case JournalState::Interrupted:
        return "interrupted";
    case JournalState::Damaged:
        return "damaged";
    }
    return "";
}

void PrintList(const std::vector<JournalSummary>& journals, std::ostream& out) {
    for (const JournalSummary& journal : journals) {
        const JournalContents& c = journal.contents;
        const size_t moves = c.moveCount();
        out << TableCell(c.started) << '\t' << StateName(journal) << '\t' << moves
            << (moves == 1 ? " move" : " moves") << '\t' << TableCell(c.command) << '\t'
            << TableCell(journal.path) << '\n';
    }
}

void PrintFailure(const Failure& failure, std::ostream& err) {
    err << "tressel undo: " << TableCell(FailureLine(failure)) << '\n';
}

// The moves an undo would make, in the order it would make them; false when one of
// them would fail.
bool PrintPlan(const CUndoGroup& group, std::ostream& out, std::ostream& err) {
    bool sound = true;
    for (const ReplayStep& step : group.planBack()) {
        switch (step.kind) {
        case ReplayStep::Move:
            out << "would move " << TableCell(step.from) << " -> " << TableCell(step.to)
                << (step.interrupted ? " (interrupted move)\n" : "\n");
            break;
        case ReplayStep::AlreadyDone:
            out << "already back: " << TableCell(step.to) << '\n';
            break;
        case ReplayStep::NeverMoved:
            break;
        case ReplayStep::Lost:
        case ReplayStep::Refused:
            sound = false;
            PrintFailure({step.from, "would not go back: " + step.reason.english()}, err);
            break;
        }
    }
    return sound;
}

// How long journals are kept, said once under the list.
void PrintKeeping(size_t count, std::ostream& out) {
    out << count << (count == 1 ? " command" : " commands")
        << " kept; applied and undone ones go when older than " << kJournalKeepDays << " days and "
        << kJournalKeepNewest << " newer ones exist\n";
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
        PrintKeeping(journals.size(), out);
        return 0;
    }
    const JournalSummary* newest = NewestToUndo(journals);
    if (!newest) {
        err << "tressel undo: nothing to undo for " << folders[0] << '\n';
        return 1;
    }
    if (dryRun) {
        std::string error;
        std::unique_ptr<CUndoGroup> group = LoadJournalGroup(newest->path, &error);
        if (!group) {
            err << "tressel undo: " << TableCell(error) << '\n';
            return 1;
        }
        return PrintPlan(*group, out, err) ? 0 : 1;
    }
    const JournalReplay replay = ReplayJournal(newest->path, true);
    if (!replay.error.empty()) {
        err << "tressel undo: " << TableCell(replay.error) << '\n';
        return 1;
    }
    for (const Failure& failure : replay.failures.items())
        PrintFailure(failure, err);
    out << ReportText(replay.subject, replay.errors).english() << '\n';
    return replay.errors ? 1 : 0;
}

} // namespace tressel::cli
