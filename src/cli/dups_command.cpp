#include "catalogue/document.h"
#include "cli.h"
#include "imagined_moves.h"
#include "operations/feedback.h"
#include "operations/remove_duplicates.h"
#include "operations/undo.h"

#include <ostream>

namespace tressel::cli {

namespace {

const char kDupsHelp[] =
    "Usage: tressel dups [--dry-run] FOLDER\n"
    "\n"
    "Moves every copy of a file of FOLDER into FOLDER/Duplicates/, keeping the first\n"
    "copy in name order where it is. Files of one size are compared by CRC-32, and each\n"
    "copy is compared byte for byte with the file that stays before it is moved. Empty\n"
    "files, folders (Duplicates/ among them) and symbolic links never take part; hard\n"
    "links to one file are one file. A name already taken in Duplicates/ gets a number:\n"
    "a.txt, a[1].txt. A file that changes while it is compared is left where it is.\n"
    "\n"
    "Prints one line per copy moved, 'name -> Duplicates/name (copy of kept)' (control\n"
    "characters escaped as 'tressel info' escapes them), and a status line at the end:\n"
    "'5 dups Removed', '2 error(s) ocurred while remove (5 dups Removed)'.\n"
    "\n"
    "The moves are recorded in an undo journal: 'tressel undo FOLDER' takes them back.\n"
    "\n"
    "Options:\n"
    "  --dry-run   show what would be moved, and change nothing\n"
    "  -h, --help  show this text\n"
    "\n"
    "Exit status: 0 when no move failed and no file changed, 1 otherwise, 2 for wrong\n"
    "usage.\n";

} // namespace

int RunDups(const Args& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args, {"--dry-run"});
    if (const auto status = AnswerHelpOrUsageError(parsed, "dups", kDupsHelp, out, err))
        return *status;
    if (parsed.operands.size() != 1) {
        err << "tressel dups: give one FOLDER (see 'tressel dups --help')\n";
        return 2;
    }
    const bool dryRun = parsed.has("--dry-run");

    CMarlockUtilDoc doc;
    const std::string& folder = parsed.operands[0];
    if (!doc.TryOpenFolderPath(folder)) {
        err << "tressel dups: " << TableCell(folder) << ": folder cannot be read\n";
        return 1;
    }
    std::vector<std::string> names;
    for (int record = 0; record < doc.GetRecordCount(); ++record)
        names.push_back(doc.GetItemName(record, NameMode::InFolder));

    // No move without a record of it: a journal that cannot be written stops the
    // command before its next move. A dry run records nothing.
    std::unique_ptr<CUndoGroup> group =
        dryRun ? nullptr : CUndoGroup::Journaled(doc.GetCurrentFolderPath(), "dups");
    CImaginedMoves imagined;
    RemoveDuplicatesOptions options;
    if (dryRun) {
        options.move = [&](const std::string&, std::string& target) {
            return imagined.move(target, target);
        };
    }
    options.onMove = [&](const std::string& name, const std::string& movedTo,
                         const std::string& kept) {
        out << TableCell(name) << " -> " << TableCell(movedTo) << " (copy of " << TableCell(kept)
            << ")\n";
    };
    options.onTrouble = [&](const std::string& name, DuplicateTrouble trouble) {
        err << "tressel dups: " << TableCell(name) << ": "
            << DuplicateTroubleText(trouble).english() << '\n';
    };
    const RemoveDuplicatesResult result =
        RemoveDuplicates(doc.GetCurrentFolderPath(), names, group.get(), options);
    out << RemoveDuplicatesStatus(result).english() << '\n';
    if (!result.stopped.empty()) {
        err << "tressel dups: " << JournalStopText(result.stopped).english() << '\n';
        return 1;
    }
    return result.errors > 0 ? 1 : 0;
}

} // namespace tressel::cli
