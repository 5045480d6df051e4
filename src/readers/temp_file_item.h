#pragma once

// A private scratch directory in the temporary directory, removed with everything in
// it when the object dies. The archive readers extract members into it.

#include "file_reader.h"

#include <string>
#include <string_view>

namespace tressel {

class CTempFileItem final : public CFileReader {
public:
    // Makes a fresh directory "tmpXXXXXX" (mode 0700) in $TMPDIR or /tmp; path() is
    // empty when that fails.
    CTempFileItem();
    ~CTempFileItem() override;

    // Where a member called name goes: the last component of name inside the scratch
    // directory, or "" for a name that has none ("", ".", "..", "dir/").
    std::string memberPath(std::string_view name) const;
    // Creates that file, refusing to replace or follow anything already there; an open
    // descriptor for writing, or -1.
    int createMember(std::string_view name) const;
    // Drops the path without removing anything there.
    void forget() { m_path.clear(); }
};

// The calling thread's scratch directory for archive members, made on first use and
// kept until the thread ends, or until it is gone or $TMPDIR names another place:
// making and removing a directory for every archive read costs more than reading most
// archives (several times more on a disk that discards freed blocks). Its users delete
// each member they extract once read, so it stays empty between them. Its path() is
// empty when no directory could be made.
const CTempFileItem& ThreadScratchDirectory();

} // namespace tressel
