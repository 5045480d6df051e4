#pragma once

// The command-line tool: "tressel COMMAND [OPTIONS] ARGS". Each command is one
// function; the table in cli.cpp names them.

#include <iosfwd>
#include <string>
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
int RunUndo(const Args& args, std::ostream& out, std::ostream& err);

// Shared helpers for the commands.
bool IsHelpOption(const std::string& arg);
// JSON string literal of text (invalid UTF-8 shown as U+FFFD).
std::string JsonString(const std::string& text);
// A cell for the tab-separated table: valid UTF-8, tabs and line breaks escaped.
std::string TableCell(const std::string& text);

} // namespace tressel::cli
