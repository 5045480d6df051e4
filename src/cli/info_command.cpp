#include "catalogue/document.h"
#include "cli.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "readers/columns.h"
#include "readers/file_reader.h"
#include "readers/registry.h"

#include <ostream>
#include <sys/stat.h>

namespace tressel::cli {

namespace {

const char kInfoHelp[] =
    "Usage: tressel info [--scan-all] [--json | --why] PATH...\n"
    "\n"
    "Prints the information the list shows for each PATH. For a file, one line; for a\n"
    "folder, one line per entry of the folder, in name order (sub-folders are listed\n"
    "but never read).\n"
    "\n"
    "The default output is a table: a header line with the ten column names, then per\n"
    "entry its name and the nine information cells, separated by tabs. A cell shows\n"
    "the first meaningful line of its value; a tab inside a cell is written as \\t.\n"
    "\n"
    "Options:\n"
    "  --scan-all  try every reader on every file, whatever its extension (for this\n"
    "              run only; the program's stored option is not changed)\n"
    "  --json      one JSON object per entry and line instead of the table:\n"
    "              {\"name\", \"folder\", \"recognised\", \"format\", \"values\", \"columns\"}\n"
    "              \"format\" is the reader's short name (exe, rm, rar, zip, ace, cab,\n"
    "              mp3, html, avi, asf, pdf, ogg) or null; \"values\" holds every raw\n"
    "              value, \"labels\" what each value is (\"Artist\", \"Duration\"); a\n"
    "              name that is not valid UTF-8 also carries \"name_hex\".\n"
    "  --why       instead of the information, one line per reader tried on each file,\n"
    "              in order: name, pass (1, or 2 with Scan All), reader, and its answer\n"
    "              (\"accepted\", or why it refused: \"extension filtered out\", \"not\n"
    "              this format\", \"no version resource\", ...)\n"
    "  -h, --help  show this text\n"
    "\n"
    "Exit status: 0 when every PATH was read, 1 when one could not be read, 2 for\n"
    "wrong usage.\n";

struct Entry {
    std::string name;
    bool folder = false;
    InformationResult info;
};

void PrintEntry(const Entry& entry, bool json, std::ostream& out) {
    std::vector<std::string> cells(kInformationColumns);
    for (int i = 0; i < kInformationColumns && i < static_cast<int>(entry.info.values.size()); ++i)
        cells[static_cast<size_t>(i)] =
            FirstMeaningfulLine(entry.info.values[static_cast<size_t>(i)]);
    if (!json) {
        out << TableCell(entry.name);
        for (const auto& cell : cells)
            out << '\t' << TableCell(cell);
        out << '\n';
        return;
    }
    out << "{\"name\": " << JsonString(entry.name);
    if (!IsValidUtf8(entry.name))
        out << ", \"name_hex\": \"" << ToHex(entry.name) << '"';
    out << ", \"folder\": " << (entry.folder ? "true" : "false")
        << ", \"recognised\": " << (entry.info.recognised ? "true" : "false") << ", \"format\": "
        << (entry.info.format ? JsonString(entry.info.format) : std::string("null"))
        << ", \"values\": [";
    for (size_t i = 0; i < entry.info.values.size(); ++i)
        out << (i ? ", " : "") << JsonString(entry.info.values[i]);
    out << "], \"labels\": [";
    for (size_t i = 0; i < entry.info.labels.size(); ++i)
        out << (i ? ", " : "") << JsonString(entry.info.labels[i]);
    out << "], \"columns\": [";
    for (size_t i = 0; i < cells.size(); ++i)
        out << (i ? ", " : "") << JsonString(cells[i]);
    out << "]}\n";
}

// One line per reader tried: name, pass, reader, answer.
void PrintAttempts(const Entry& entry, std::ostream& out) {
    const std::string name = TableCell(entry.name);
    if (entry.folder) {
        out << name << "\t-\t-\tfolder, never read\n";
        return;
    }
    for (const ReaderAttempt& attempt : entry.info.attempts)
        out << name << '\t' << (attempt.pass ? std::to_string(attempt.pass) : "-") << '\t'
            << (attempt.reader ? attempt.reader : "-") << '\t' << AnswerText(attempt) << '\n';
}

void Print(const Entry& entry, bool json, bool why, std::ostream& out) {
    if (why)
        PrintAttempts(entry, out);
    else
        PrintEntry(entry, json, out);
}

} // namespace

int RunInfo(const Args& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args, {"--json", "--scan-all", "--why"});
    if (const auto status = AnswerHelpOrUsageError(parsed, "info", kInfoHelp, out, err))
        return *status;
    const bool json = parsed.has("--json");
    const bool why = parsed.has("--why");
    if (json && why) {
        err << "tressel info: --json and --why do not go together\n";
        return 2;
    }
    const std::vector<std::string>& paths = parsed.operands;
    if (paths.empty()) {
        err << "tressel info: no PATH given (see 'tressel info --help')\n";
        return 2;
    }

    CMarlockUtilDoc document;
    const bool scanAll = parsed.has("--scan-all") || document.scanAll();
    document.setScanAll(scanAll);
    const auto& headers = document.ColumnNames();
    if (!json && !why) {
        for (size_t i = 0; i < headers.size(); ++i)
            out << (i ? "\t" : "") << headers[i];
        out << '\n';
    }

    int status = 0;
    for (const std::string& path : paths) {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            err << "tressel info: " << path << ": cannot be read\n";
            status = 1;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            Entry entry{path, false, CMarlockUtilDoc::ReadInformationOfPath(path, scanAll, why)};
            Print(entry, json, why, out);
            continue;
        }
        if (!document.TryOpenFolderPath(path)) {
            err << "tressel info: " << path << ": folder cannot be read\n";
            status = 1;
            continue;
        }
        for (int record = 0; record < document.GetRecordCount(); ++record) {
            Entry entry;
            entry.name = document.GetItemName(record, NameMode::InFolder);
            entry.folder = document.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER;
            if (!entry.folder)
                entry.info = document.ReadInformation(record, why);
            Print(entry, json, why, out);
        }
    }
    return status;
}

} // namespace tressel::cli
