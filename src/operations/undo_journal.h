#pragma once

// The undo journal: a file per command under $XDG_STATE_HOME/TresselUtil/undo/ that
// records every move as it happens, so that a command can be taken back by a later
// process, even one killed half-way. Before each move it records the intended source
// and target, after it whether the move was done. Names are bytes and are written
// escaped, so any name survives.
//
// Records, one a line, fields separated by tabs:
//   TRESSEL-UNDO-JOURNAL 1           first line
//   folder F / command C / started T header
//   intend SOURCE TARGET DEV INO SIZE before a move
//   done NEW OLD | failed            after it
//   end                              the command finished
//   undone | redone                  the command was taken back / applied again

#include "undo.h"

#include <cstdint>
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
    void recordDone(const std::string& newPath, const std::string& oldPath);
    void recordFailed();
    // The command is over: no more moves will be recorded.
    void recordEnd();
    void recordUndone();
    void recordRedone();

    // Removes the file of a journal this process created (a command that moved nothing).
    void discard();

    const std::string& path() const { return m_path; }
    bool created() const { return m_created; }
    // False once a record could not be written.
    bool ok() const { return m_ok; }

private:
    CUndoJournal(int fd, std::string path, bool created);
    void append(const std::string& line);

    int m_fd;
    std::string m_path;
    bool m_created;
    bool m_ok = true;
    bool m_ended = false;
};

// Where journals live: $XDG_STATE_HOME/TresselUtil/undo/ ($HOME/.local/state when
// XDG_STATE_HOME is unset), with a trailing slash.
std::string JournalFolder();

// The form of a folder path journals are filed under: absolute, symbolic links
// resolved where it exists, with a trailing slash.
std::string JournalFolderKey(const std::string& folder);

enum class JournalState { Applied, Undone, Interrupted };

struct JournalContents {
    std::string folder;
    std::string command;
    std::string started;
    // Confirmed moves, in the order they happened: new path, old path.
    std::vector<std::pair<std::string, std::string>> done;
    // Moves announced but neither done nor failed (the command was killed).
    std::vector<IntendedMove> intended;
    bool ended = false;
    bool undone = false;

    JournalState state() const;
};

// Parses a journal's bytes; nullopt when they are not a journal. Records that cannot
// be read are skipped, and so is a last line cut short.
std::optional<JournalContents> ParseJournal(std::string_view bytes);
std::optional<JournalContents> ReadJournal(const std::string& path);

struct JournalSummary {
    std::string path;
    JournalContents contents;
};

// The journals of commands run on `folder` (any form of its path), newest first.
std::vector<JournalSummary> ListJournals(const std::string& folder);

// A group holding a journal's moves, backed by the journal so that undoing it is
// recorded there. Null (with a reason) when the journal is in use or unreadable.
std::unique_ptr<CUndoGroup> LoadJournalGroup(const std::string& path, std::string* error = nullptr);

// Escaping of names in journal records: bytes that are control characters, '%', DEL
// or not part of valid UTF-8 are written as %XX.
std::string EscapeJournalField(std::string_view bytes);
std::optional<std::string> UnescapeJournalField(std::string_view text);

} // namespace tressel
