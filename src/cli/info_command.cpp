#include "catalogue/document.h"
#include "cli.h"
#include "ordered_work.h"
#include "platform/byte_source.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "readers/columns.h"
#include "readers/file_reader.h"
#include "readers/registry.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <thread>

namespace tressel::cli {

namespace {

// More threads than this only wait for the disk.
constexpr unsigned kMaxJobs = 256;

std::string InfoHelp() {
    std::string formats;
    for (const std::string& format : ReadFormats())
        formats += (formats.empty() ? "" : ", ") + format;
    return "Usage: tressel info [--scan-all] [--json | --why] [--jobs N] PATH...\n"
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
           "  --jobs N    read N files at a time (default: one per processor core); the\n"
           "              output is the same, in name order\n"
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

struct Entry {
    std::string name;
    bool folder = false;
    InformationResult info;
};

// A file of a folder, as the reading threads get it.
struct FolderFile {
    Entry entry;
    std::string path;  // to read
    std::string shown; // in messages
};

// Reports a regular file the tool may not read (the reading said why); false when the
// file could be read.
bool ReportUnreadable(const InformationResult& info, const std::string& shown, std::ostream& err) {
    if (info.openError == 0)
        return false;
    err << "tressel info: " << TableCell(shown) << ": cannot be read ("
        << std::strerror(info.openError) << ")\n";
    return true;
}

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

// --jobs N: a whole number from 1 on; the machine's cores when not given.
std::optional<unsigned> ParseJobs(const std::string* text) {
    if (!text)
        return std::max(1u, std::thread::hardware_concurrency());
    unsigned jobs = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, jobs);
    if (error != std::errc() || stop != end || jobs < 1 || jobs > kMaxJobs)
        return std::nullopt;
    return jobs;
}

struct InfoOptions {
    bool json = false;
    bool why = false;
    bool scanAll = false;
    unsigned jobs = 1;
};

// The entries of the open folder in name order, read by options.jobs threads. False
// when a file could not be read.
bool PrintFolder(CMarlockUtilDoc& document, const std::string& shownFolder,
                 const InfoOptions& options, std::ostream& out, std::ostream& err) {
    bool allRead = true;
    const auto prepare = [&](size_t record) {
        FolderFile file;
        const int number = static_cast<int>(record);
        file.entry.name = document.GetItemName(number, NameMode::InFolder);
        file.entry.folder = document.GetAttributes(number, SFGAO_FOLDER) & SFGAO_FOLDER;
        file.path = document.GetItemName(number, NameMode::Parsing);
        file.shown = JoinPath(shownFolder, file.entry.name);
        return file;
    };
    const auto read = [&](FolderFile& file) {
        if (!file.entry.folder)
            file.entry.info =
                CMarlockUtilDoc::ReadInformationOfPath(file.path, options.scanAll, options.why);
        return std::move(file);
    };
    const auto print = [&](FolderFile& file) {
        if (ReportUnreadable(file.entry.info, file.shown, err)) {
            allRead = false;
            if (!options.why)
                file.entry.info = {};
        }
        Print(file.entry, options.json, options.why, out);
    };
    RunInOrder(static_cast<size_t>(document.GetRecordCount()), options.jobs, prepare, read, print);
    return allRead;
}

} // namespace

int RunInfo(const Args& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args, {"--json", "--scan-all", "--why"}, {"--jobs"});
    if (const auto status = AnswerHelpOrUsageError(parsed, "info", InfoHelp().c_str(), out, err))
        return *status;
    InfoOptions options;
    options.json = parsed.has("--json");
    options.why = parsed.has("--why");
    if (options.json && options.why) {
        err << "tressel info: --json and --why do not go together\n";
        return 2;
    }
    const std::optional<unsigned> jobs = ParseJobs(parsed.value("--jobs"));
    if (!jobs) {
        err << "tressel info: --jobs takes a number from 1 to " << kMaxJobs << "\n";
        return 2;
    }
    options.jobs = *jobs;
    const std::vector<std::string>& paths = parsed.operands;
    if (paths.empty()) {
        err << "tressel info: no PATH given (see 'tressel info --help')\n";
        return 2;
    }

    CMarlockUtilDoc document;
    // Every entry is asked about: relative to the folder, not by its full path.
    document.keepFolderOpen(true);
    options.scanAll = parsed.has("--scan-all") || document.scanAll();
    document.setScanAll(options.scanAll);
    const auto& headers = document.ColumnNames();
    if (!options.json && !options.why) {
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
            Entry entry{path, false,
                        CMarlockUtilDoc::ReadInformationOfPath(path, options.scanAll, options.why)};
            // --why still lists each reader's answer for a file that may not be read.
            if (ReportUnreadable(entry.info, path, err)) {
                status = 1;
                if (!options.why)
                    continue;
            }
            Print(entry, options.json, options.why, out);
            continue;
        }
        if (!document.TryOpenFolderPath(FromStartDirectory(path))) {
            err << "tressel info: " << TableCell(path) << ": folder cannot be read\n";
            status = 1;
            continue;
        }
        if (!PrintFolder(document, path, options, out, err))
            status = 1;
    }
    return status;
}

} // namespace tressel::cli
