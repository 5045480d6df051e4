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
};

} // namespace tressel
