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
// JSON string literal of text (invalid UTF-8 shown as U+FFFD).
std::string JsonString(const std::string& text);
// A cell for the tab-separated table: valid UTF-8, tabs and line breaks escaped.
std::string TableCell(const std::string& text);

} // namespace tressel::cli
