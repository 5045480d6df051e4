#pragma once

// The command-line tool: "tressel COMMAND [OPTIONS] ARGS". Each command is one
// function; the table in cli.cpp names them.

#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tressel::cli {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* summary;
    int (*run)(const Args& args, std::ostream& out, std::ostream& err);
};

int Run(const Args& args, std::ostream& out, std::ostream& err);

int RunInfo(const Args& args, std::ostream& out, std::ostream& err);
int RunRename(const Args& args, std::ostream& out, std::ostream& err);
int RunUndo(const Args& args, std::ostream& out, std::ostream& err);
int RunDups(const Args& args, std::ostream& out, std::ostream& err);
int RunGroup(const Args& args, std::ostream& out, std::ostream& err);
int RunSetExt(const Args& args, std::ostream& out, std::ostream& err);
int RunFixExt(const Args& args, std::ostream& out, std::ostream& err);

// Shared helpers for the commands.
bool IsHelpOption(const std::string& arg);

// A command's arguments split into options and operands. "--" ends the options.
struct ParsedArgs {
    bool help = false;
    std::vector<std::string> flags;                          // given flag options
    std::vector<std::pair<std::string, std::string>> values; // options with a value
    std::vector<std::string> operands;
    std::string error; // the first unknown option or missing value, when any

    bool has(const std::string& flag) const;
    const std::string* value(const std::string& option) const;
};
// flagOptions take no value ("--json"); valueOptions take the next argument or
// "--option=value" ("--column 3").
// Prints the help text or the usage error; returns the exit status when the command
// is done with that, nothing when it should go on.
std::optional<int> AnswerHelpOrUsageError(const ParsedArgs& parsed, const char* command,
                                          const char* help, std::ostream& out, std::ostream& err);
ParsedArgs ParseArgs(const Args& args, const std::vector<std::string>& flagOptions,
                     const std::vector<std::string>& valueOptions = {});
// JSON string literal of text (invalid UTF-8 shown as U+FFFD), with every control
// character (C0, DEL and C1) escaped as JSON does, so that none reaches a terminal.
std::string JsonString(const std::string& text);
// A text from a file, or a file name, as the tool writes it to a terminal: in the
// table, the "old -> new" lines and messages. Valid UTF-8 (U+FFFD for an invalid
// byte); a backslash is doubled; tab, line feed and carriage return become \t, \n and
// \r; other C0 controls and DEL become \x and two hex digits (\x1b); C1 controls
// (U+0080 to U+009F) become a backslash, 'u' and four hex digits.
std::string TableCell(const std::string& text);

// The short names of the formats the readers read today ("exe", "mp3", ...), in the
// registry's order, and the same as words for help texts ("MP3 (ID3v1 and ID3v2
// tags)", ...), joined into one sentence part.
std::vector<std::string> ReadFormats();
std::string ReadFormatsText();
// text's words in lines of at most width characters (a longer word stands alone),
// each line starting with indent and ending with a line break.
std::string WrapText(const std::string& text, size_t width, const std::string& indent = "");

} // namespace tressel::cli
