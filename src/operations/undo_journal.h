#pragma once

// The undo journal: a file per command under $XDG_STATE_HOME/TresselUtil/undo/ that
// records every move as it happens, so that a command can be taken back by a later
// process, even one killed half-way. Before each move it records the intended source
// and target, after it whether the move was done. Names are bytes and are written
// escaped, so any name survives.
//
// Records, one a line, fields separated by tabs:
//   TRESSEL-UNDO-JOURNAL 1              first line
//   folder F / command C / started T    header
//   intend SOURCE TARGET ID             before a move (ID: the source as it is)
//   done NEW OLD ID                     after it (ID: the file at its new path)
//   failed                              or: the move failed
//   end                                 the command finished
//   back I ID                           move I (0 is the first) is back at its old path
//   forth I ID                          move I is at its new path again
//   gone I                              move I has nothing left to replay
//   undone | redone                     every move is back / at its new path again
// ID is DEV INO SIZE MTIME BTIME (times in nanoseconds; BTIME 0 where the file system
// keeps no birth time).
// A journal is data: every path it names must lie in its folder or one level below,
// written resolved; anything else makes the whole journal refused as damaged.

#include "undo.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

class CUndoJournal {
public:
    // A new journal for a command run on `folder`; null (with a reason in *error) when
    // it cannot be written.
    static std::unique_ptr<CUndoJournal>
    create(const std::string& folder, const std::string& command, std::string* error = nullptr);
    // An existing journal, to record that it was undone or redone. Null when another
    // process is still writing it or it cannot be opened.
    static std::unique_ptr<CUndoJournal> openExisting(const std::string& path,
                                                      std::string* error = nullptr);
    ~CUndoJournal();
    CUndoJournal(const CUndoJournal&) = delete;
    CUndoJournal& operator=(const CUndoJournal&) = delete;

    void recordIntent(const std::string& source, const std::string& target);
    void recordDone(const std::string& newPath, const std::string& oldPath,
                    const FileIdentity& atNewPath);
    void recordFailed();
    // Entry `index` of the group reached entry.state during an undo or redo.
    void recordReplayed(size_t index, const UndoEntry& entry);
    // The command is over: no more moves will be recorded.
    void recordEnd();
    void recordUndone();
    void recordRedone();

    // Removes the file of a journal this process created (a command that moved nothing).
    void discard();

    const std::string& path() const { return m_path; }
    bool created() const { return m_created; }
    // False once a record could not be written or synced; nothing more is written then.
    bool ok() const { return m_ok; }
    // Why it is not ok: the journal's path and the system's reason.
    const std::string& error() const { return m_error; }

private:
    CUndoJournal(int fd, std::string path, bool created);
    void append(const std::string& line);
    void sync();
    void fail();

    int m_fd;
    std::string m_path;
    bool m_created;
    bool m_ok = true;
    bool m_ended = false;
    std::string m_error;
};

// Where journals live: $XDG_STATE_HOME/TresselUtil/undo/ ($HOME/.local/state when
// XDG_STATE_HOME is unset), with a trailing slash.
std::string JournalFolder();

// The form of a folder path journals are filed under: absolute, symbolic links
// resolved where it exists, with a trailing slash.
std::string JournalFolderKey(const std::string& folder);

enum class JournalState { Applied, PartlyUndone, Undone, Interrupted, Damaged };

struct JournalContents {
    std::string folder;
    std::string command;
    std::string started;
    // Every move, in the order it happened; a move announced but neither done nor
    // failed (the command was killed) is an unconfirmed entry.
    std::vector<UndoEntry> entries;
    bool ended = false;
    bool undone = false;
    // Why the journal is refused; empty when it is sound.
    std::string damage;

    JournalState state() const;
    // Confirmed moves.
    size_t moveCount() const;
};

// Parses a journal's bytes; nullopt when they are not a journal. A last line cut short
// is no record; any other line that is not a sound record marks the journal damaged.
std::optional<JournalContents> ParseJournal(std::string_view bytes);
std::optional<JournalContents> ReadJournal(const std::string& path);
// The folder named by the header at the start of `head`, without reading on: nullopt
// while its folder line is not complete in it, empty when it is no journal or its
// header names no sound folder first.
std::optional<std::string> JournalHeaderFolder(std::string_view head);

struct JournalSummary {
    std::string path;
    JournalContents contents;
    // Its command (or an undo of it) is still running: the journal is locked.
    bool running = false;
};

// The journals of commands run on `folder` (any form of its path), newest first.
std::vector<JournalSummary> ListJournals(const std::string& folder);

// How long journals are kept: one that is applied or undone goes once it is older (by
// its last record) than kJournalKeepDays and kJournalKeepNewest newer commands of its
// folder exist. Partly undone, interrupted, running and damaged journals are kept:
// they may still be finished, or need a look.
constexpr int kJournalKeepDays = 90;
constexpr size_t kJournalKeepNewest = 200;

// Removes the journals past keeping, as of `now`; answers how many went. Every new
// command does this, so the journal folder does not grow without end.
size_t PruneJournals(std::time_t now);

// A group holding a journal's moves, backed by the journal so that undoing it is
// recorded there. Null (with a reason) when the journal is in use, unreadable or
// damaged.
std::unique_ptr<CUndoGroup> LoadJournalGroup(const std::string& path, std::string* error = nullptr);

// Escaping of names in journal records: bytes that are control characters, '%', DEL
// or not part of valid UTF-8 are written as %XX.
std::string EscapeJournalField(std::string_view bytes);
std::optional<std::string> UnescapeJournalField(std::string_view text);

// A path a journal of `folder` may name: in it or one level below, with no empty, "."
// or ".." component.
bool IsJournalPathOf(std::string_view path, std::string_view folder);

} // namespace tressel
