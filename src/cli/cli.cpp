#include "cli.h"

#include "platform/text.h"
#include "readers/registry.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <ostream>
#include <sstream>

namespace tressel::cli {

namespace {

const Command kCommands[] = {
    {"info", "print the information columns of files and folders", &RunInfo},
    {"rename", "rename files after one of their information columns", &RunRename},
    {"fixext", "give files the extension their content should carry", &RunFixExt},
    {"dups", "move identical copies of files into a Duplicates folder", &RunDups},
    {"group", "move files into folders by type, extension or column", &RunGroup},
    {"setext", "change one extension to another on every file", &RunSetExt},
    {"undo", "take back the newest command that moved files in a folder", &RunUndo},
};

void PrintUsage(std::ostream& out) {
    out << "Usage: tressel COMMAND [OPTIONS] ARGS...\n"
           "\n"
        << WrapText("Reads descriptive text out of files and renames files after it. It reads " +
                        ReadFormatsText() + ".",
                    80)
        << "\n"
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

// What the user is told each reader reads, by the reader's short name.
struct FormatText {
    const char* format;
    const char* text;
};
const FormatText kFormatTexts[] = {
    {"exe", "version resources of executables and libraries"},
    {"rm", "RealMedia"},
    {"zip", "ZIP archives"},
    {"rar", "RAR archives"},
    {"ace", "ACE archives"},
    {"cab", "CAB archives"},
    {"mp3", "MP3 (ID3v1 and ID3v2 tags)"},
    {"html", "web page titles"},
    {"avi", "AVI and WAV"},
    {"asf", "ASF/WMA/WMV"},
    {"pdf", "PDF information"},
    {"ogg", "Ogg Vorbis"},
};

std::string FormatDescription(const std::string& format) {
    for (const FormatText& known : kFormatTexts) {
        if (format == known.format)
            return known.text;
    }
    return format;
}

std::string Hex2(unsigned value) {
    const char* digits = "0123456789abcdef";
    return {digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

} // namespace

std::vector<std::string> ReadFormats() {
    std::vector<std::string> formats;
    // A reader names its format whatever the file; one on no file is cheapest to ask.
    for (ReaderFactory make : DefaultReaderTable().firstPass) {
        const char* format = make(std::string(), false)->formatName();
        if (format && std::find(formats.begin(), formats.end(), format) == formats.end())
            formats.emplace_back(format);
    }
    return formats;
}

std::string ReadFormatsText() {
    std::vector<std::string> texts;
    for (const std::string& format : ReadFormats())
        texts.push_back(FormatDescription(format));
    std::string joined;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            joined += i + 1 == texts.size() ? " and " : ", ";
        joined += texts[i];
    }
    return joined;
}

std::string WrapText(const std::string& text, size_t width, const std::string& indent) {
    std::string wrapped;
    size_t lineLength = 0;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (lineLength > 0 && lineLength + 1 + word.size() > width) {
            wrapped += '\n';
            lineLength = 0;
        }
        if (lineLength == 0) {
            wrapped += indent;
            lineLength = indent.size();
        } else {
            wrapped += ' ';
            ++lineLength;
        }
        wrapped += word;
        lineLength += word.size();
    }
    return wrapped + '\n';
}

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
    // An option given twice is a mistake, whichever of the two was meant.
    auto noteRepeated = [&parsed](const std::string& option) {
        if (parsed.error.empty() && (parsed.has(option) || parsed.value(option)))
            parsed.error = "option '" + option + "' given more than once";
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
            noteRepeated(arg);
            parsed.flags.push_back(arg);
        } else if (const size_t eq = arg.find('=');
                   eq != std::string::npos && isOneOf(valueOptions, arg.substr(0, eq))) {
            noteRepeated(arg.substr(0, eq));
            parsed.values.emplace_back(arg.substr(0, eq), arg.substr(eq + 1));
        } else if (isOneOf(valueOptions, arg) && i + 1 < args.size()) {
            noteRepeated(arg);
            parsed.values.emplace_back(arg, args[++i]);
        } else if (parsed.error.empty()) {
            parsed.error = isOneOf(valueOptions, arg) ? "option '" + arg + "' needs a value"
                                                      : "unknown option '" + arg + "'";
        }
    }
    return parsed;
}

namespace {

// Bytes both escapings copy as they are: printable ASCII but the quote and the
// backslash, and every byte of a multi-byte sequence but the lead of a C1 control
// (C2). Copying them a run at a time keeps a folder's output cheap.
bool IsPlainByte(unsigned char c) {
    return c >= 0x20 && c != 0x7F && c != '"' && c != '\\' && c != 0xC2;
}

size_t PlainRunAt(const std::string& text, size_t i) {
    size_t end = i;
    while (end < text.size() && IsPlainByte(static_cast<unsigned char>(text[end])))
        ++end;
    return end - i;
}

} // namespace

std::string JsonString(const std::string& text) {
    const std::string valid = ToValidUtf8(text);
    std::string out = "\"";
    out.reserve(valid.size() + 2);
    for (size_t i = 0; i < valid.size(); ++i) {
        if (const size_t run = PlainRunAt(valid, i)) {
            out.append(valid, i, run);
            i += run - 1;
            continue;
        }
        const char c = valid[i];
        const size_t control = ControlCharacterLength(valid, i);
        if (c == '"' || c == '\\')
            out.append(1, '\\').append(1, c);
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (control == 0)
            out += c;
        else {
            i += control - 1; // the code point is its last byte's value: C2 85 is U+0085
            out += "\\u00" + Hex2(static_cast<unsigned char>(valid[i]));
        }
    }
    out += '"';
    return out;
}

std::string TableCell(const std::string& text) {
    const std::string valid = ToValidUtf8(text);
    std::string out;
    out.reserve(valid.size());
    for (size_t i = 0; i < valid.size(); ++i) {
        if (const size_t run = PlainRunAt(valid, i)) {
            out.append(valid, i, run);
            i += run - 1;
            continue;
        }
        const char c = valid[i];
        const size_t control = ControlCharacterLength(valid, i);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (control == 0)
            out += c;
        else if (control == 1)
            out += "\\x" + Hex2(static_cast<unsigned char>(c));
        else
            out += "\\u00" + Hex2(static_cast<unsigned char>(valid[++i]));
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
