#include "catalogue/document.h"
#include "catalogue/group_keys.h"
#include "cli.h"
#include "imagined_moves.h"
#include "operations/feedback.h"
#include "operations/group_files.h"
#include "operations/undo.h"
#include "readers/columns.h"
#include "readers/file_reader.h"

#include <ostream>

namespace tressel::cli {

namespace {

const char kGroupHelp[] =
    "Usage: tressel group --by type|ext|column N [--dry-run] [--scan-all] FOLDER\n"
    "\n"
    "Moves the files of FOLDER into sub-folders named after what they have in common:\n"
    "their type in the plural ('--by type': Zip archives/), their extension without the\n"
    "dot ('--by ext': exe/), or the text of their information column N, 1 to 9 ('--by\n"
    "column 2'). A file goes into its folder when another file shares it or the folder\n"
    "exists already; a lone file whose folder does not exist stays. Texts that differ\n"
    "only in letter case share one folder: an existing one whose name matches without\n"
    "regard to case, or else one spelled as the first file's text in name order. Folder\n"
    "names are cleaned (a leading '.', control characters and characters a name cannot\n"
    "hold become '_'). Files without an extension, or whose column is empty, stay;\n"
    "folders never move. A name already taken in the folder gets a number: a.txt,\n"
    "a[1].txt. Nothing is ever overwritten.\n"
    "\n"
    "Prints one line per file moved, 'name -> folder/name' (control characters escaped\n"
    "as 'tressel info' escapes them), and a status line at the end: 'Successfully\n"
    "Grouped 12 File(s)', '1 error(s) ocurred while Grouping files (12 done)'.\n"
    "\n"
    "The moves are recorded in an undo journal: 'tressel undo FOLDER' takes them back\n"
    "(the folders made stay).\n"
    "\n"
    "Options:\n"
    "  --by WHAT   what the folders are named after: type, ext, or column N (1-9)\n"
    "  --dry-run   show what would be moved, and change nothing\n"
    "  --scan-all  try every reader on every file, whatever its extension\n"
    "  -h, --help  show this text\n"
    "\n"
    "Exit status: 0 when no move failed, 1 otherwise, 2 for wrong usage.\n";

bool ParseColumnNumber(const std::string& text, int& column) {
    if (text.empty() || text.size() > 1 || text[0] < '1' || text[0] > '9')
        return false;
    column = text[0] - '0';
    return column <= kInformationColumns;
}

// The mode --by names, and the operands it leaves; nothing for wrong usage.
std::optional<int> ParseMode(const ParsedArgs& parsed, std::vector<std::string>& operands,
                             std::ostream& err) {
    const std::string* by = parsed.value("--by");
    operands = parsed.operands;
    if (!by) {
        err << "tressel group: give --by type, --by ext or --by column N (see 'tressel group "
               "--help')\n";
        return std::nullopt;
    }
    if (*by == "type")
        return GroupByType;
    if (*by == "ext")
        return GroupByExtension;
    int column = 0;
    if (*by != "column" || operands.empty() || !ParseColumnNumber(operands.front(), column)) {
        err << "tressel group: --by takes type, ext, or column and a column number from 1 to "
            << kInformationColumns << '\n';
        return std::nullopt;
    }
    operands.erase(operands.begin());
    return GroupByFirstColumn + column;
}

std::string KeyOf(CMarlockUtilDoc& doc, int record, int mode) {
    if (mode == GroupByType)
        return TypeGroupKey(doc, record);
    if (mode == GroupByExtension)
        return ExtensionGroupKey(doc.GetItemName(record, NameMode::InFolder));
    const std::vector<std::string> values = doc.GetInformation(record);
    const size_t index = static_cast<size_t>(mode - GroupByFirstColumn - 1);
    return index < values.size() ? FirstMeaningfulLine(values[index]) : std::string();
}

} // namespace

int RunGroup(const Args& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args, {"--dry-run", "--scan-all"}, {"--by"});
    if (const auto status = AnswerHelpOrUsageError(parsed, "group", kGroupHelp, out, err))
        return *status;
    std::vector<std::string> operands;
    const std::optional<int> mode = ParseMode(parsed, operands, err);
    if (!mode)
        return 2;
    if (operands.size() != 1) {
        err << "tressel group: give one FOLDER (see 'tressel group --help')\n";
        return 2;
    }
    const bool dryRun = parsed.has("--dry-run");

    CMarlockUtilDoc doc;
    if (parsed.has("--scan-all"))
        doc.setScanAll(true);
    const std::string& folder = operands[0];
    if (!doc.TryOpenFolderPath(folder)) {
        err << "tressel group: " << TableCell(folder) << ": folder cannot be read\n";
        return 1;
    }
    std::vector<GroupItem> items;
    for (int record = 0; record < doc.GetRecordCount(); ++record) {
        if (doc.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER)
            continue;
        items.push_back({doc.GetItemName(record, NameMode::InFolder), KeyOf(doc, record, *mode)});
    }

    // No move without a record of it; a dry run records nothing.
    std::unique_ptr<CUndoGroup> group =
        dryRun ? nullptr
               : CUndoGroup::Journaled(doc.GetCurrentFolderPath(),
                                       "group --by " + *parsed.value("--by") +
                                           (*mode >= GroupByFirstColumn
                                                ? " " + std::to_string(*mode - GroupByFirstColumn)
                                                : std::string()));
    CImaginedMoves imagined;
    GroupOptions options;
    if (dryRun) {
        options.move = [&](const std::string&, std::string& target) {
            return imagined.move(target, target);
        };
    }
    options.onMove = [&](const std::string& name, const std::string& movedTo) {
        out << TableCell(name) << " -> " << TableCell(movedTo) << '\n';
    };
    options.onError = [&](const std::string& name) {
        err << "tressel group: " << TableCell(name) << ": could not be moved\n";
    };
    const GroupResult result = GroupFiles(doc.GetCurrentFolderPath(), items, group.get(), options);
    out << GroupStatus(result) << '\n';
    if (!result.stopped.empty()) {
        err << "tressel group: " << JournalStopText(result.stopped) << '\n';
        return 1;
    }
    return result.errors > 0 ? 1 : 0;
}

} // namespace tressel::cli
