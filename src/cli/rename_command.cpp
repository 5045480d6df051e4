#include "catalogue/rename_command.h"
#include "catalogue/document.h"
#include "catalogue/fix_extensions.h"
#include "cli.h"
#include "operations/feedback.h"
#include "operations/undo.h"
#include "operations/undo_journal.h"
#include "readers/file_reader.h"

#include <map>
#include <ostream>

namespace tressel::cli {

namespace {

const char kRenameHelp[] =
    "Usage: tressel rename --column N [--append] [--fix-ext] [--dry-run] [--scan-all]\n"
    "                      FOLDER [NAME...]\n"
    "\n"
    "Renames the named files of FOLDER (every file of FOLDER, in name order, when no\n"
    "NAME is given) to the text of their information column N (1 to 9, as 'tressel\n"
    "info' shows them). Each file keeps its extension; names are cleaned (control\n"
    "characters and characters a name cannot hold become '_') and cut to the length the\n"
    "file system allows; a name another file holds gets a number: Setup.exe,\n"
    "Setup[1].exe, Setup[2].exe, in the order the files are given (README.mp3 beside\n"
    "another file readme.mp3 becomes readme[1].mp3). A file whose column is empty, or\n"
    "whose new name would be its name, is left as it is. Nothing is ever overwritten.\n"
    "\n"
    "Prints one line per file renamed, 'old -> new' (control characters escaped as\n"
    "'tressel info' escapes them), and a status line at the end: '3 Renamed',\n"
    "'1 Error(s), 4 Renamed, Selected Unchanged' (files left unchanged).\n"
    "\n"
    "The moves are recorded in an undo journal: 'tressel undo FOLDER' takes them back.\n"
    "When the journal cannot be written (a full disk, a read-only state folder) the\n"
    "command stops before its next rename and exits with 1.\n"
    "\n"
    "Options:\n"
    "  --column N  the information column whose text becomes the name (1-9)\n"
    "  --append    keep the old name and append the text: 1A2B.zip -> 1A2B_Driver Pack.zip\n"
    "  --fix-ext   also give each renamed file the extension its content should carry\n"
    "              (as 'tressel fixext' does); the window's option \"Fix Extensions\n"
    "              when Renaming\" turns this on too\n"
    "  --dry-run   show what would be renamed, and change nothing\n"
    "  --scan-all  try every reader on every file, whatever its extension\n"
    "  -h, --help  show this text\n"
    "\n"
    "Exit status: 0 when no rename failed, 1 when one failed or a NAME was not found,\n"
    "2 for wrong usage.\n";

const char kFixExtHelp[] =
    "Usage: tressel fixext [--dry-run] FOLDER [NAME...]\n"
    "\n"
    "Gives the named files of FOLDER (every file of FOLDER, in name order, when no NAME\n"
    "is given) the extension their content should carry: 7F00A1.bin holding an\n"
    "executable becomes 7F00A1.exe, an extensionless video gets .wmv. The content is\n"
    "what the readers recognise (executables and libraries, archives, media, web pages,\n"
    "PDF), and for the rest what libmagic names (JPEG, PNG, GIF, RTF, ...). Text changes\n"
    "only a numbered name: RTF, PostScript, SVG, HTML and XML get their extension, other\n"
    "text (libmagic only guesses what it is) gets .txt when the name has no extension.\n"
    "\n"
    "An extension that already fits is kept as it is, case included, also one of the\n"
    "same family (.scr and .com for an executable, .ocx for a library, .htm, .jpeg,\n"
    ".tiff, .mpeg, .ra) and the own extension of a format that is a ZIP archive inside\n"
    "(.jar, .docx, .odt, .epub, ...). Hidden files, symbolic links, and files whose\n"
    "content is unknown are left as they are. A name another file\n"
    "holds gets a number: 7F00A1[1].exe. Nothing is ever overwritten.\n"
    "\n"
    "Prints one line per file renamed, 'old -> new', and a status line at the end:\n"
    "'3 Renamed'.\n"
    "\n"
    "The moves are recorded in an undo journal: 'tressel undo FOLDER' takes them back.\n"
    "\n"
    "Options:\n"
    "  --dry-run   show what would be renamed, and change nothing\n"
    "  -h, --help  show this text\n"
    "\n"
    "Exit status: 0 when no rename failed, 1 when one failed or a NAME was not found,\n"
    "2 for wrong usage.\n";

// The files of the open folder given on the command line, as list rows.
class CommandLineRows final : public IRenameRows {
public:
    CommandLineRows(CMarlockUtilDoc& doc, std::vector<int> records)
        : m_doc(doc), m_records(std::move(records)) {}

    std::vector<int> selectedRows() override {
        std::vector<int> rows(m_records.size());
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<int>(i);
        return rows;
    }
    int record(int row) override { return m_records[static_cast<size_t>(row)]; }
    std::string cellText(int row, int column) override {
        const int rec = record(row);
        if (column == 0)
            return m_doc.GetItemName(rec, NameMode::InFolder);
        auto cached = m_values.find(rec);
        if (cached == m_values.end())
            cached = m_values.emplace(rec, m_doc.GetInformation(rec)).first;
        const auto& values = cached->second;
        const size_t index = static_cast<size_t>(column - 1);
        return index < values.size() ? FirstMeaningfulLine(values[index]) : std::string();
    }
    void deselect(int) override {}
    void setName(int, const std::string&) override {}

private:
    CMarlockUtilDoc& m_doc;
    std::vector<int> m_records;
    std::map<int, std::vector<std::string>> m_values;
};

bool ParseColumn(const std::string* text, int& column) {
    if (!text || text->empty() || text->size() > 2 ||
        text->find_first_not_of("0123456789") != std::string::npos || (*text)[0] == '0')
        return false;
    column = std::stoi(*text);
    return column <= kInformationColumns;
}

// The records of the files the operands after FOLDER name, or every record when none
// is named. A name not found is reported and sets status to 1.
std::vector<int> NamedRecords(const CMarlockUtilDoc& doc, const std::vector<std::string>& operands,
                              const char* command, std::ostream& err, int& status) {
    std::vector<int> records;
    if (operands.size() == 1) {
        for (int record = 0; record < doc.GetRecordCount(); ++record)
            records.push_back(record);
        return records;
    }
    for (size_t i = 1; i < operands.size(); ++i) {
        const int record = doc.findRecord(operands[i]);
        if (record < 0) {
            err << "tressel " << command << ": " << TableCell(operands[i]) << ": no such file in "
                << TableCell(doc.GetCurrentFolderPath()) << '\n';
            status = 1;
        } else {
            records.push_back(record);
        }
    }
    return records;
}

// Runs the rename command on records, printing 'old -> new' per file and the status.
int RunOnRecords(CMarlockUtilDoc& doc, std::vector<int> records, RenameOptions options,
                 const std::string& undoName, const char* command, std::ostream& out,
                 std::ostream& err, int status) {
    CommandLineRows rows(doc, std::move(records));
    if (options.dryRun) {
        // The plan the window's rename preview shows, printed.
        const RenamePlan plan = PlanRenameCommand(doc, rows, options);
        for (const PlannedRename& file : plan.files) {
            if (file.newName != file.oldName)
                out << TableCell(file.oldName) << " -> " << TableCell(file.newName) << '\n';
        }
        out << plan.result.status.english() << '\n';
        return status;
    }
    // No rename without a record of it: a journal that cannot be written stops the
    // command before its next move.
    std::unique_ptr<CUndoGroup> group = CUndoGroup::Journaled(doc.GetCurrentFolderPath(), undoName);
    options.onRename = [&](const std::string& from, const std::string& to) {
        out << TableCell(from) << " -> " << TableCell(to) << '\n';
    };
    options.onError = [&](const std::string& name) {
        err << "tressel " << command << ": " << TableCell(name) << ": could not be renamed\n";
    };
    const RenameResult result = RunRenameCommand(doc, rows, *group, options);
    out << result.status.english() << '\n';
    if (!result.stopped.empty()) {
        err << "tressel " << command << ": " << JournalStopText(result.stopped).english() << '\n';
        return 1;
    }
    return result.errors > 0 ? 1 : status;
}

} // namespace

int RunRename(const Args& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed =
        ParseArgs(args, {"--append", "--fix-ext", "--dry-run", "--scan-all"}, {"--column"});
    if (const auto status = AnswerHelpOrUsageError(parsed, "rename", kRenameHelp, out, err))
        return *status;
    RenameOptions options;
    if (!ParseColumn(parsed.value("--column"), options.column)) {
        err << "tressel rename: --column takes a column number from 1 to " << kInformationColumns
            << "\n";
        return 2;
    }
    if (parsed.operands.empty()) {
        err << "tressel rename: no FOLDER given (see 'tressel rename --help')\n";
        return 2;
    }
    options.append = parsed.has("--append");
    options.dryRun = parsed.has("--dry-run");

    CMarlockUtilDoc doc;
    if (parsed.has("--scan-all"))
        doc.setScanAll(true);
    const std::string& folder = parsed.operands[0];
    if (!doc.TryOpenFolderPath(folder)) {
        err << "tressel rename: " << TableCell(folder) << ": folder cannot be read\n";
        return 1;
    }
    options.fixExtension = parsed.has("--fix-ext") || doc.fixExtensions();

    int status = 0;
    std::vector<int> records = NamedRecords(doc, parsed.operands, "rename", err, status);

    return RunOnRecords(doc, std::move(records), options,
                        "rename --column " + std::to_string(options.column), "rename", out, err,
                        status);
}

int RunFixExt(const Args& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args, {"--dry-run"});
    if (const auto status = AnswerHelpOrUsageError(parsed, "fixext", kFixExtHelp, out, err))
        return *status;
    if (parsed.operands.empty()) {
        err << "tressel fixext: no FOLDER given (see 'tressel fixext --help')\n";
        return 2;
    }
    CMarlockUtilDoc doc;
    const std::string& folder = parsed.operands[0];
    if (!doc.TryOpenFolderPath(folder)) {
        err << "tressel fixext: " << TableCell(folder) << ": folder cannot be read\n";
        return 1;
    }
    int status = 0;
    std::vector<int> records = NamedRecords(doc, parsed.operands, "fixext", err, status);
    RenameOptions options;
    options.dryRun = parsed.has("--dry-run");
    options.targetName = [&doc](int, const std::string& name) {
        const std::optional<ExtensionFix> fix = PlanExtensionFix(doc.GetCurrentFolderPath(), name);
        return fix ? fix->newName : std::string();
    };
    return RunOnRecords(doc, std::move(records), options, "fixext", "fixext", out, err, status);
}

} // namespace tressel::cli
