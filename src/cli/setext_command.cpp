#include "catalogue/document.h"
#include "catalogue/set_extensions.h"
#include "cli.h"
#include "operations/feedback.h"
#include "operations/undo.h"

#include <ostream>

namespace tressel::cli {

namespace {

const char kSetExtHelp[] =
    "Usage: tressel setext [--dry-run] FROM TO FOLDER\n"
    "\n"
    "Gives every file of FOLDER whose extension is FROM the extension TO instead:\n"
    "'tressel setext exe zip FOLDER' renames a.exe and b.EXE to a.zip and b.zip. FROM\n"
    "matches without regard to letter case; an empty FROM, given as \"\", matches the\n"
    "files without an extension, and an empty TO removes the extension. Both are given\n"
    "without the dot (a leading dot is dropped); TO has at most 10 characters. A name\n"
    "another file holds gets a number: a.zip, a[1].zip. Folders never change, and\n"
    "nothing is ever overwritten.\n"
    "\n"
    "Prints one line per file renamed, 'old -> new' (control characters escaped as\n"
    "'tressel info' escapes them), and a status line at the end: 'Successfully set\n"
    "extension for 7 files', '1 error(s) ocurred while setting extension (7 done)'.\n"
    "\n"
    "The renames are recorded in an undo journal: 'tressel undo FOLDER' takes them back.\n"
    "\n"
    "Options:\n"
    "  --dry-run   show what would be renamed, and change nothing\n"
    "  -h, --help  show this text\n"
    "\n"
    "Exit status: 0 when no rename failed, 1 otherwise, 2 for wrong usage.\n";

} // namespace

int RunSetExt(const Args& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args, {"--dry-run"});
    if (const auto status = AnswerHelpOrUsageError(parsed, "setext", kSetExtHelp, out, err))
        return *status;
    if (parsed.operands.size() != 3) {
        err << "tressel setext: give FROM, TO and FOLDER (see 'tressel setext --help')\n";
        return 2;
    }
    SetExtensionsOptions options;
    options.from = ExtensionText(parsed.operands[0]);
    options.to = ExtensionText(parsed.operands[1]);
    options.dryRun = parsed.has("--dry-run");
    if (CharacterCount(options.to) > kMaxNewExtensionLength) {
        err << "tressel setext: the new extension may have at most " << kMaxNewExtensionLength
            << " characters\n";
        return 2;
    }

    CMarlockUtilDoc doc;
    const std::string& folder = parsed.operands[2];
    if (!doc.TryOpenFolderPath(folder)) {
        err << "tressel setext: " << TableCell(folder) << ": folder cannot be read\n";
        return 1;
    }
    std::vector<int> records;
    for (int record = 0; record < doc.GetRecordCount(); ++record)
        records.push_back(record);
    // No rename without a record of it; a dry run records nothing.
    std::unique_ptr<CUndoGroup> group =
        options.dryRun ? std::make_unique<CUndoGroup>()
                       : CUndoGroup::Journaled(doc.GetCurrentFolderPath(),
                                               "setext " + options.from + " " + options.to);
    options.onRename = [&](int, const std::string& from, const std::string& to) {
        out << TableCell(from) << " -> " << TableCell(to) << '\n';
    };
    options.onError = [&](const std::string& name) {
        err << "tressel setext: " << TableCell(name) << ": could not be renamed\n";
    };
    const SetExtensionsResult result = SetExtensions(doc, records, *group, options);
    out << SetExtensionsStatus(result) << '\n';
    if (!result.stopped.empty()) {
        err << "tressel setext: " << JournalStopText(result.stopped) << '\n';
        return 1;
    }
    return result.errors > 0 ? 1 : 0;
}

} // namespace tressel::cli
