#include "move_item.h"

#include "plain_move.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "undo.h"

#include <cstdint>
#include <limits>
#include <sys/stat.h>

namespace tressel {

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

void CreateMissingFolder(const std::string& folder) {
    struct stat st;
    if (!folder.empty() && ::stat(folder.c_str(), &st) != 0)
        (void)::mkdir(folder.c_str(), 0777); // a failure shows as a failed move
}

// A stem's trailing counter: "report[4]" reads 4 and leaves "report". A stem whose
// last ']' stands before its last '[' is read too ("x[3"); a number 0 means none.
struct Counter {
    std::string base;
    int64_t value = 0;
};

int64_t ReadDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

Counter ReadCounter(const std::string& stem) {
    const size_t open = stem.rfind('[');
    if (open == std::string::npos)
        return {stem, 0};
    const size_t close = stem.rfind(']');
    if (close != std::string::npos && close < open)
        return {stem, 0};
    const int64_t value = ReadDecimal(std::string_view(stem).substr(open + 1));
    if (value == 0)
        return {stem, 0};
    return {stem.substr(0, open), value};
}

// The target's name cleaned and fitted to the file system, in its folder.
std::string CleanTarget(const std::string& target) {
    const PathParts parts = SplitPath(target);
    std::string name = parts.fileName();
    if (name.empty())
        return target;
    SanitiseName(name);
    const PathParts cleaned = SplitPath(name);
    return parts.dir + FitFileName(cleaned.stem, "", cleaned.ext, FileNameLimit(parts.dir));
}

bool TryMove(const std::string& source, const std::string& target, CUndoGroup* group) {
    if (group && !group->intend(source, target))
        return false; // a move that cannot be recorded is not made
    const bool moved = PlainMove(source, target);
    if (group && !moved)
        group->failed();
    return moved;
}

// The first free name after the clash: report[1].txt, report[2].txt, ...
bool NextFreeName(const std::string& source, std::string& target) {
    const PathParts parts = SplitPath(target);
    Counter counter = ReadCounter(parts.stem);
    const size_t limit = FileNameLimit(parts.dir);
    while (Exists(target) && !NamesSameEntry(target, source)) {
        if (counter.value == std::numeric_limits<int64_t>::max())
            return false;
        ++counter.value;
        const std::string suffix = "[" + std::to_string(counter.value) + "]";
        target = parts.dir + FitFileName(counter.base, suffix, parts.ext, limit);
    }
    return true;
}

} // namespace

void SanitiseName(std::string& text) {
    if (text.empty())
        return;
    if (text.front() == '.')
        text.front() = '_';
    std::string cleaned;
    cleaned.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (const size_t length = ControlCharacterLength(text, i)) {
            cleaned.push_back('_'); // one '_' for all of the character's bytes
            i += length - 1;
        } else {
            const bool forbidden = kForbiddenNameCharacters.find(text[i]) != std::string_view::npos;
            cleaned.push_back(forbidden ? '_' : text[i]);
        }
    }
    text = std::move(cleaned);
}

bool MoveItem(const std::string& source, std::string& target, CUndoGroup* group) {
    CreateMissingFolder(SplitPath(target).dir);
    target = CleanTarget(target);
    if (target == source)
        return Exists(source); // cleaned back to its own name: no move, nothing to record
    if (!TryMove(source, target, group)) {
        if (!NextFreeName(source, target) || !TryMove(source, target, group))
            return false;
    }
    if (group)
        group->add(target, source);
    return true;
}

} // namespace tressel
