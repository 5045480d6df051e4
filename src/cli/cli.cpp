#include "cli.h"

#include "platform/text.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace tressel::cli {

namespace {

const Command kCommands[] = {
    {"info", "print the information columns of files and folders", &RunInfo},
    {"rename", "rename files after one of their information columns", &RunRename},
    {"undo", "take back the newest command that moved files in a folder", &RunUndo},
};

void PrintUsage(std::ostream& out) {
    out << "Usage: tressel COMMAND [OPTIONS] ARGS...\n"
           "\n"
           "Reads descriptive text out of files (version resources, archive titles,\n"
           "media tags, page titles, PDF information) and renames files after it.\n"
           "\n"
           "Commands:\n";
    for (const Command& command : kCommands) {
        out << "  " << command.name;
        for (size_t pad = std::char_traits<char>::length(command.name); pad < 10; ++pad)
            out << ' ';
        out << command.summary << '\n';
    }
    out << "\n"
           "Options:\n"
           "  -h, --help  show this text\n"
           "  --version   print the version\n"
           "\n"
           "Run 'tressel COMMAND --help' for a command's options.\n"
           "Options are read from the program's settings file ($XDG_CONFIG_HOME/TresselUtil/\n"
           "TresselUtil.conf) and never written by this tool.\n";
}

} // namespace

bool IsHelpOption(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

bool ParsedArgs::has(const std::string& flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

const std::string* ParsedArgs::value(const std::string& option) const {
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        if (it->first == option)
            return &it->second;
    }
    return nullptr;
}

std::optional<int> AnswerHelpOrUsageError(const ParsedArgs& parsed, const char* command,
                                          const char* help, std::ostream& out, std::ostream& err) {
    if (parsed.help) {
        out << help;
        return 0;
    }
    if (!parsed.error.empty()) {
        err << "tressel " << command << ": " << parsed.error << " (see 'tressel " << command
            << " --help')\n";
        return 2;
    }
    return std::nullopt;
}

ParsedArgs ParseArgs(const Args& args, const std::vector<std::string>& flagOptions,
                     const std::vector<std::string>& valueOptions) {
    ParsedArgs parsed;
    auto isOneOf = [](const std::vector<std::string>& list, const std::string& arg) {
        return std::find(list.begin(), list.end(), arg) != list.end();
    };
    bool optionsDone = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsDone || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
        } else if (arg == "--") {
            optionsDone = true;
        } else if (IsHelpOption(arg)) {
            parsed.help = true;
        } else if (isOneOf(flagOptions, arg)) {
            parsed.flags.push_back(arg);
        } else if (const size_t eq = arg.find('=');
                   eq != std::string::npos && isOneOf(valueOptions, arg.substr(0, eq))) {
            parsed.values.emplace_back(arg.substr(0, eq), arg.substr(eq + 1));
        } else if (isOneOf(valueOptions, arg) && i + 1 < args.size()) {
            parsed.values.emplace_back(arg, args[++i]);
        } else if (parsed.error.empty()) {
            parsed.error = isOneOf(valueOptions, arg) ? "option '" + arg + "' needs a value"
                                                      : "unknown option '" + arg + "'";
        }
    }
    return parsed;
}

std::string JsonString(const std::string& text) {
    const std::string valid = ToValidUtf8(text);
    std::string out = "\"";
    for (char ch : valid) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
    return out;
}

std::string TableCell(const std::string& text) {
    std::string out;
    for (char ch : ToValidUtf8(text)) {
        if (ch == '\t')
            out += "\\t";
        else if (ch == '\n')
            out += "\\n";
        else if (ch == '\r')
            out += "\\r";
        else
            out.push_back(ch);
    }
    return out;
}

int Run(const Args& args, std::ostream& out, std::ostream& err) {
    // The tool reads the user's options but never changes them.
    SettingsStore::instance().setReadOnly(true);
    if (args.empty()) {
        PrintUsage(err);
        return 2;
    }
    if (IsHelpOption(args[0]) || args[0] == "help") {
        PrintUsage(out);
        return 0;
    }
    if (args[0] == "--version") {
        out << "tressel " << TRESSEL_VERSION << '\n';
        return 0;
    }
    for (const Command& command : kCommands) {
        if (args[0] == command.name)
            return command.run(Args(args.begin() + 1, args.end()), out, err);
    }
    err << "tressel: unknown command '" << args[0] << "' (see 'tressel --help')\n";
    return 2;
}

} // namespace tressel::cli
