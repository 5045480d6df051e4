#pragma once

// The one primitive every move and rename of the program ends in. It never replaces
// an existing entry, and a move that fails leaves the source as it was.

#include <cstddef>
#include <string>
#include <string_view>

namespace tressel {

// Moves the entry at `from` (a file, a folder or a symbolic link, which is moved as a
// link) to `to`, which must not exist. Within a file system this is one atomic rename.
// Across file systems a regular file is copied to a new file (mode and times kept) and
// the source removed only once the copy is complete and on disk; a symbolic link is
// re-created as a link; a folder is not moved. A change of letter case only
// (readme.txt to README.TXT) also works where the file system ignores case.
// On failure returns false with errno set and nothing changed.
bool PlainMove(const std::string& from, const std::string& to);

// The case-only rename: from -> a free temporary name in the same folder -> to. On a
// file system that ignores case, `to` names the file itself until it has left.
// When the second step fails the file returns to `from`.
bool RenameViaTemporaryName(const std::string& from, const std::string& to);

// Whether path names the entry at `entry` itself: the same path, or one that differs
// only in letter case on a file system that ignores case. Decided by device and inode
// (a symbolic link is the link itself): on a case-sensitive file system README.txt and
// readme.txt are two files; a hard link under another name is another entry too.
bool NamesSameEntry(const std::string& path, const std::string& entry);

// The longest file name (in bytes) the file system holding `folder` accepts.
size_t FileNameLimit(const std::string& folder);

// stem + suffix + ext, with the stem (and, only when that is not enough, the
// extension) cut at a character boundary so that the whole fits in `limit` bytes.
std::string FitFileName(std::string_view stem, std::string_view suffix, std::string_view ext,
                        size_t limit);

} // namespace tressel
