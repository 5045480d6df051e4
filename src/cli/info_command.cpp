#include "catalogue/document.h"
#include "cli.h"
#include "platform/byte_source.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "readers/columns.h"
#include "readers/file_reader.h"
#include "readers/registry.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel::cli {

namespace {

std::string InfoHelp() {
    std::string formats;
    for (const std::string& format : ReadFormats())
        formats += (formats.empty() ? "" : ", ") + format;
    return "Usage: tressel info [--scan-all] [--json | --why] PATH...\n"
           "\n"
           "Prints the information the list shows for each PATH. For a file, one line; for a\n"
           "folder, one line per entry of the folder, in name order (sub-folders are listed\n"
           "but never read).\n"
           "\n" +
           WrapText("It reads " + ReadFormatsText() + ".", 80) +
           "\n"
           "The default output is a table: a header line with the ten column names, then per\n"
           "entry its name and the nine information cells, separated by tabs. A cell shows\n"
           "the first meaningful line of its value. Control characters are escaped: a tab\n"
           "as \\t, ESC as \\x1b, and a backslash as \\\\.\n"
           "\n"
           "Options:\n"
           "  --scan-all  try every reader on every file, whatever its extension (for this\n"
           "              run only; the program's stored option is not changed)\n"
           "  --json      one JSON object per entry and line instead of the table:\n"
           "              {\"name\", \"folder\", \"recognised\", \"format\", \"values\",\n"
           "               \"labels\", \"columns\"}\n"
           "              \"format\" is the reader's short name or null; \"values\" holds\n"
           "              every raw value, \"labels\" what each value is (\"Artist\",\n"
           "              \"Duration\"); a name that is not valid UTF-8 also carries\n"
           "              \"name_hex\". Short names:\n" +
           WrapText(formats + ".", 80, "              ") +
           "  --why       instead of the information, one line per reader tried on each file,\n"
           "              in order: name, pass (1, or 2 with Scan All), reader, and its answer\n"
           "              (\"accepted\", or why it refused: \"extension filtered out\", \"not\n"
           "              this format\", \"no version resource\", ...)\n"
           "  -h, --help  show this text\n"
           "\n"
           "Relative PATHs are taken from the current directory.\n"
           "Exit status: 0 when every PATH was read, 1 when one could not be read (missing,\n"
           "or a file or folder that may not be read), 2 for wrong usage.\n";
}

// The document opens a relative path from its open folder; the user means it from the
// directory the tool was started in.
std::string FromStartDirectory(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

// A regular file that exists but may not be opened (permission denied): errno says why.
// Asked of the permissions with the effective ids, as opening would check them, without
// opening every file of a folder of millions.
bool CanOpenForReading(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0;
}

// Reports a file the tool may not read; false when the file can be read.
bool ReportUnreadable(const std::string& path, const std::string& shown, std::ostream& err) {
    if (!IsRegularFile(path) || CanOpenForReading(path))
        return false;
    const int why = errno;
    err << "tressel info: " << TableCell(shown) << ": cannot be read (" << std::strerror(why)
        << ")\n";
    return true;
}

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
    if (const auto status = AnswerHelpOrUsageError(parsed, "info", InfoHelp().c_str(), out, err))
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
    // Every entry is asked about: relative to the folder, not by its full path.
    document.keepFolderOpen(true);
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
            err << "tressel info: " << TableCell(path) << ": cannot be read\n";
            status = 1;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            // --why still lists each reader's answer for a file that may not be read.
            if (ReportUnreadable(path, path, err)) {
                status = 1;
                if (!why)
                    continue;
            }
            Entry entry{path, false, CMarlockUtilDoc::ReadInformationOfPath(path, scanAll, why)};
            Print(entry, json, why, out);
            continue;
        }
        if (!document.TryOpenFolderPath(FromStartDirectory(path))) {
            err << "tressel info: " << TableCell(path) << ": folder cannot be read\n";
            status = 1;
            continue;
        }
        for (int record = 0; record < document.GetRecordCount(); ++record) {
            Entry entry;
            entry.name = document.GetItemName(record, NameMode::InFolder);
            entry.folder = document.GetAttributes(record, SFGAO_FOLDER) & SFGAO_FOLDER;
            if (!entry.folder) {
                const std::string full = document.GetItemName(record, NameMode::Parsing);
                const bool unreadable = ReportUnreadable(full, JoinPath(path, entry.name), err);
                if (unreadable)
                    status = 1;
                if (!unreadable || why)
                    entry.info = document.ReadInformation(record, why);
            }
            Print(entry, json, why, out);
        }
    }
    return status;
}

} // namespace tressel::cli
